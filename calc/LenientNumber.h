#pragma once

// The forgiving number reading used for the flash size boxes and for the partition map's Partitions text.

#include <string_view>

namespace flintor {

/// What ReadLenientNumber found in a text.
struct LenientNumber {
    double value = 0;      ///< the number; 0 when the text holds none
    bool hex = false;      ///< the text began with "&H" and was read as hexadecimal
    int hexDigits = 0;     ///< number of hexadecimal digits read (leading zeros included)
    bool overflow = false; ///< the number is beyond the range of a double (value is then ±infinity)

    /// A hexadecimal text that a 32-bit reader could not hold.
    bool hexTooLong() const { return hex && hexDigits > 8; }
};

/// Reads the longest leading number of text, ignoring blanks anywhere: a decimal number (optional sign,
/// digits, optional "." and fraction, optional exponent) or, after a leading "&H", an unsigned hexadecimal
/// integer. Whatever follows is ignored; a text without a number reads as 0. The decimal point is always
/// ".", whatever the locale.
LenientNumber ReadLenientNumber(std::string_view text);

} // namespace flintor
