#include "modMisc.h"

#include "AsciiText.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <locale>

namespace flintor {

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    // std::nearbyint would follow whatever rounding mode the process has set; this does not.
    if (std::fabs(value - std::trunc(value)) == 0.5) {
        return 2.0 * std::round(value / 2.0);
    }
    return std::round(value);
}

float RoundHalfEven(float value) {
    if (!std::isfinite(value)) {
        return value;
    }
    if (std::fabs(value - std::trunc(value)) == 0.5f) {
        return 2.0f * std::round(value / 2.0f);
    }
    return std::round(value);
}

int RoundToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double rounded = RoundHalfEven(value);
    if (rounded <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    if (rounded >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(rounded);
}

std::string AddBackslash(std::string_view path, char separator) {
    std::string result(path);
    if (result.empty() || result.back() != separator) {
        result += separator;
    }
    return result;
}

std::int32_t CountOf(std::string_view text, std::string_view part) {
    if (part.empty()) {
        return 0;
    }
    std::int32_t count = 0;
    for (auto pos = text.find(part); pos != std::string_view::npos; pos = text.find(part, pos + 1)) {
        ++count;
    }
    return count;
}

std::string FieldOf(std::string_view text, std::string_view separator, int n) {
    if (n < 1 || separator.empty() || CountOf(text, separator) < n - 1) {
        return {};
    }
    std::size_t begin = 0;
    for (int field = 1; field < n; ++field) {
        begin = text.find(separator, begin) + separator.size();
    }
    const auto end = text.find(separator, begin);
    return std::string(text.substr(begin, end == std::string_view::npos ? text.size() - begin : end - begin));
}

std::string FileNameOf(std::string_view path, char separator) {
    const std::string_view sep(&separator, 1);
    return FieldOf(path, sep, CountOf(path, sep) + 1);
}

std::string FolderOf(std::string_view path, char separator) {
    const std::string name = FileNameOf(path, separator);
    if (name.find('.') != std::string::npos) {
        return std::string(path.substr(0, path.size() - name.size()));
    }
    return std::string(path);
}

std::string CollapseSeparator(std::string_view text, std::string_view separator, bool trim) {
    if (separator.empty()) {
        return std::string(text);
    }
    const std::string twice = std::string(separator) + std::string(separator);
    std::string result;
    if (text.find(twice) == std::string_view::npos) {
        result = text;
    } else {
        std::size_t pos = 0;
        for (auto hit = text.find(twice); hit != std::string_view::npos; hit = text.find(twice, pos)) {
            result.append(text.substr(pos, hit - pos));
            result.append(separator);
            pos = hit;
            while (text.substr(pos, separator.size()) == separator) {
                pos += separator.size();
            }
        }
        result.append(text.substr(pos));
    }
    // The trim also applies when nothing was collapsed, so that a list of lines never keeps a single
    // leading or trailing line break.
    if (trim) {
        if (EndsWithIgnoringCase(result, separator)) {
            result.erase(result.size() - separator.size());
        }
        if (StartsWithIgnoringCase(result, separator)) {
            result.erase(0, separator.size());
        }
    }
    return result;
}

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper >= 'A' && upper <= 'F') {
        return upper - 'A' + 10;
    }
    return 0;
}

std::string DoubleText(double value, std::chars_format format, int precision) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return std::string(buffer, result.ptr);
}

std::string ShortestText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string WithLocaleDecimalPoint(std::string text) {
    const char point = std::use_facet<std::numpunct<char>>(std::locale()).decimal_point();
    for (char& c : text) {
        if (c == '.') {
            c = point;
        }
    }
    return text;
}

} // namespace

std::string HexToDecimalText(std::string_view digits) {
    // Up to 16 digits the sum is kept exactly; longer texts fall back to a floating-point sum.
    if (digits.size() <= 16) {
        std::uint64_t sum = 0;
        for (char c : digits) {
            sum = sum * 16 + static_cast<std::uint64_t>(HexDigitValue(c));
        }
        return std::to_string(sum);
    }
    double sum = 0;
    for (char c : digits) {
        sum = sum * 16 + HexDigitValue(c);
    }
    return DoubleText(sum, std::chars_format::fixed, 0);
}

bool BitIsSet(std::int64_t value, int bit) {
    if (bit < 1 || bit > 64) {
        return false;
    }
    return (static_cast<std::uint64_t>(value) >> (bit - 1)) & 1u;
}

std::string SizeText(double bytes) {
    const auto formatted = [](double value, const char* unit) {
        return WithLocaleDecimalPoint(DoubleText(value, std::chars_format::fixed, 2)) + unit;
    };
    if (bytes >= 0 && bytes <= 1023) {
        return formatted(bytes, " B ");
    }
    if (bytes >= 1024 && bytes <= 1048575) {
        return formatted(bytes / 1024, " KB");
    }
    if (bytes >= 1048576 && bytes <= 1073741823) {
        return formatted(bytes / 1048576, " MB");
    }
    if (bytes >= 1073741824) {
        return formatted(bytes / 1073741824, " GB");
    }
    return WithLocaleDecimalPoint(ShortestText(bytes)) + " ??";
}

} // namespace flintor
