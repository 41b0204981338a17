#pragma once

#include "Colour.h"
#include "PropertyBag.h"

#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <limits>

/// Reading the gradient controls' design values back from the host's property bag. A layout may
/// hold a colour as a signed or an unsigned number, or as text: all read as the same colour value.
namespace gradient::stored {

inline ColourValue readColour(const PropertyBag& bag, const QString& key, ColourValue defaultValue) {
    return static_cast<ColourValue>(static_cast<std::uint32_t>(bag.read(key, defaultValue).toLongLong()));
}

inline int readInt(const PropertyBag& bag, const QString& key, int defaultValue) {
    return bag.read(key, defaultValue).toInt();
}

/// A 16-bit value; a stored number beyond the 16-bit range is held at its nearer end.
inline std::int16_t readShort(const PropertyBag& bag, const QString& key, std::int16_t defaultValue) {
    const long long value = bag.read(key, QVariant::fromValue(defaultValue)).toLongLong();
    return static_cast<std::int16_t>(std::clamp<long long>(value, std::numeric_limits<std::int16_t>::min(),
                                                           std::numeric_limits<std::int16_t>::max()));
}

inline bool readBool(const PropertyBag& bag, const QString& key, bool defaultValue) {
    return bag.read(key, defaultValue).toBool();
}

inline QString readText(const PropertyBag& bag, const QString& key, const QString& defaultValue) {
    return bag.read(key, defaultValue).toString();
}

} // namespace gradient::stored
