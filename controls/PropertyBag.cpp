#include "PropertyBag.h"

namespace {
QString folded(const QString& key) { return key.toCaseFolded(); }
} // namespace

QVariant PropertyBag::read(const QString& key, const QVariant& defaultValue) const {
    const auto it = m_values.constFind(folded(key));
    return it == m_values.cend() ? defaultValue : it->value;
}

void PropertyBag::write(const QString& key, const QVariant& value, const QVariant& defaultValue) {
    if (value == defaultValue) {
        m_values.remove(folded(key));
        return;
    }
    m_values.insert(folded(key), Entry{key, value});
}

bool PropertyBag::contains(const QString& key) const { return m_values.contains(folded(key)); }

QStringList PropertyBag::keys() const {
    QStringList result;
    for (const auto& entry : m_values)
        result << entry.key;
    return result;
}
