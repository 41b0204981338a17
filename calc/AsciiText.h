#pragma once

// The small text rules that reading shares: a capture, a router's replies, a results text, a settings file.
// ASCII only: those bytes are in no known encoding, and the locale must not change how they read (in a
// Turkish one, "I" would not be a capital "i").

#include <cstddef>
#include <string>
#include <string_view>

namespace flintor {

inline bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/// A character that continues a word: "mtd0x" and "flashsize_2" are other words than "mtd0" and "flashsize".
inline bool IsWordCharacter(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_';
}

/// A blank between the words of a line: a space or a tab.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

/// The text without the blanks at its ends.
inline std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

inline char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Whether text holds lowerWord (in lower case) at pos, in any case.
inline bool HasAtIgnoringCase(std::string_view text, std::size_t pos, std::string_view lowerWord) {
    if (text.size() - pos < lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
        if (Lower(text[pos + i]) != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

/// Whether a and b are the same text but for the case of their letters.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && EqualsIgnoringCase(text.substr(0, head.size()), head);
}

inline bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

inline bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (EqualsIgnoringCase(text.substr(i, part.size()), part)) {
            return true;
        }
    }
    return false;
}

/// The text with a lower-case first letter made upper case, to begin a sentence.
inline std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

/// The text with every byte outside printable ASCII written as \xNN ("0x9040\xff0000"), so that a
/// router's bytes can be shown, recorded and compared without ending a line or changing a terminal.
/// With every, all bytes are written so.
inline std::string Escaped(std::string_view text, bool every = false) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && !every) {
            escaped += c;
        } else {
            escaped += "\\x";
            escaped += kDigits[byte >> 4];
            escaped += kDigits[byte & 0xF];
        }
    }
    return escaped;
}

/// Escaped(text), cut after longest bytes of the original with "..." after it: a quotation in a message.
inline std::string EscapedShort(std::string_view text, std::size_t longest = 80) {
    return text.size() <= longest ? Escaped(text) : Escaped(text.substr(0, longest)) + "...";
}

/// EscapedShort(text) in double quotes.
inline std::string QuotedShort(std::string_view text, std::size_t longest = 80) {
    // Built in steps: GCC 12 warns falsely (-Wrestrict) about a sum that starts with a literal.
    std::string quoted(1, '"');
    quoted += EscapedShort(text, longest);
    quoted += '"';
    return quoted;
}

} // namespace flintor
