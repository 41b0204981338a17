#include "LenientNumber.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace flintor {

namespace {

bool IsBlankOrLineEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

LenientNumber ReadHex(std::string_view digits) {
    LenientNumber number;
    number.hex = true;
    for (char c : digits) {
        const int digit = HexValue(c);
        if (digit < 0) {
            break;
        }
        number.value = number.value * 16 + digit;
        ++number.hexDigits;
    }
    if (std::isinf(number.value)) {
        number.overflow = true;
    }
    return number;
}

// Decimal order of magnitude of a number text that a double cannot hold: above 0 it was too large,
// otherwise too small.
long long DecimalOrderOf(std::string_view part) {
    const auto e = part.find_first_of("eE");
    const std::string_view mantissa = part.substr(0, e);
    long long order = 0;
    bool inFraction = false;
    bool nonZero = false;
    for (char c : mantissa) {
        if (c == '.') {
            inFraction = true;
        } else if (!inFraction) {
            if (nonZero || c != '0') {
                nonZero = true;
                ++order;
            }
        } else if (!nonZero) {
            if (c == '0') {
                --order;
            } else {
                nonZero = true;
            }
        }
    }
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = part.substr(e + 1);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
            digits.remove_prefix(1);
        }
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
        // An exponent this large only ever overflows or underflows; holding it there keeps the sum
        // with the mantissa's order within long long.
        if (parsed.ec == std::errc::result_out_of_range || exponent > 1'000'000'000) {
            exponent = 1'000'000'000;
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    return order + exponent;
}

LenientNumber ReadDecimal(std::string_view text) {
    LenientNumber number;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t mantissaStart = pos;
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        std::size_t fraction = 0;
        while (pos + 1 + fraction < text.size() && IsDigit(text[pos + 1 + fraction])) {
            ++fraction;
        }
        if (digits + fraction > 0) {
            pos += 1 + fraction;
            digits += fraction;
        }
    }
    if (digits == 0) {
        return number;
    }
    std::size_t end = pos;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) {
            ++exp;
        }
        if (exp < text.size() && IsDigit(text[exp])) {
            while (exp < text.size() && IsDigit(text[exp])) {
                ++exp;
            }
            end = exp;
        }
    }
    // from_chars accepts no "+" and is independent of the C locale, which the window may have set.
    const std::string_view part = text.substr(mantissaStart, end - mantissaStart);
    double value = 0;
    const auto result = std::from_chars(part.data(), part.data() + part.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        number.overflow = DecimalOrderOf(part) > 0;
        value = number.overflow ? HUGE_VAL : 0.0;
    }
    number.value = negative ? -value : value;
    return number;
}

} // namespace

LenientNumber ReadLenientNumber(std::string_view text) {
    std::string packed;
    packed.reserve(text.size());
    for (char c : text) {
        if (!IsBlankOrLineEnd(c)) {
            packed += c;
        }
    }
    if (packed.size() >= 2 && packed[0] == '&' && (packed[1] == 'H' || packed[1] == 'h')) {
        return ReadHex(std::string_view(packed).substr(2));
    }
    return ReadDecimal(packed);
}

} // namespace flintor
