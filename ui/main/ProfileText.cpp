#include "ProfileText.h"

#include "AsciiText.h"

#include <vector>

namespace profile {
namespace {

using flintor::EqualsIgnoringCase;
using flintor::IsBlank;
using flintor::Trimmed;

struct Line {
    std::string_view body;   // without its line end
    std::string_view ending; // "\r\n", "\n", "\r" or empty for a last line without one
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        const std::size_t endLength =
            (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(start, stop - start), text.substr(stop, endLength)});
        start = stop + endLength;
    }
    return lines;
}

// The section name of a section line, or nullopt for any other line.
std::optional<std::string_view> sectionOf(std::string_view body) {
    const std::string_view t = Trimmed(body);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    std::string_view name = t.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos)
        name = name.substr(0, close);
    return Trimmed(name);
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyOf(std::string_view body) {
    const std::size_t eq = body.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trimmed(body.substr(0, eq)), Trimmed(body.substr(eq + 1))};
}

std::string_view withoutBom(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

// Shortens a UTF-8 text to at most `limit` bytes without cutting a multi-byte character in two.
std::string_view cutUtf8(std::string_view s, std::size_t limit) {
    if (s.size() <= limit)
        return s;
    std::size_t cut = limit;
    // Step back over continuation bytes to the start of the character that the limit splits...
    std::size_t start = cut;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80 && cut - start < 3)
        --start;
    if (start != cut) {
        const auto lead = static_cast<unsigned char>(s[start]);
        const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        // ...and leave it out unless it would have ended exactly at the limit.
        if (start + need > cut)
            cut = start;
    }
    return s.substr(0, cut);
}

} // namespace

std::optional<std::string> readValue(std::string_view text, std::string_view section, std::string_view key) {
    const std::string_view wantSection = Trimmed(section);
    const std::string_view wantKey = Trimmed(key);
    bool inSection = false;
    bool seenSection = false;
    for (const Line& line : splitLines(withoutBom(text))) {
        if (const auto name = sectionOf(line.body)) {
            if (inSection)
                return std::nullopt; // the first matching section ended without the key
            inSection = !seenSection && EqualsIgnoringCase(*name, wantSection);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const auto entry = keyOf(line.body);
        if (!entry || !EqualsIgnoringCase(entry->key, wantKey))
            continue;
        std::string_view value = entry->value;
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        value = value.substr(0, value.find('\0'));
        return std::string(cutUtf8(value, kMaxValueLength));
    }
    return std::nullopt;
}

bool canStore(std::string_view section, std::string_view key, std::string_view value) {
    const auto hasBreak = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    const std::string_view s = Trimmed(section);
    const std::string_view k = Trimmed(key);
    if (s.empty() || k.empty())
        return false;
    if (hasBreak(section) || hasBreak(key) || hasBreak(value))
        return false;
    return s.find(']') == std::string_view::npos && k.find('=') == std::string_view::npos && k.front() != '[';
}

std::optional<std::string> writeValue(std::string_view text, std::string_view section, std::string_view key,
                                      std::string_view value) {
    if (!canStore(section, key, value))
        return std::nullopt;
    const std::string_view wantSection = Trimmed(section);
    const std::string_view wantKey = Trimmed(key);

    std::string storedValue(value);
    const bool needsQuotes =
        !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    if (needsQuotes)
        storedValue = '"' + storedValue + '"';
    const std::string keyLine = std::string(wantKey) + '=' + storedValue;

    const std::vector<Line> lines = splitLines(text);
    std::string_view newline = "\n";
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            newline = line.ending;
            break;
        }
    }

    // Find the first matching section, the key line in it, and its last non-blank line.
    std::size_t sectionLine = lines.size();
    std::size_t keyIndex = lines.size();
    std::size_t lastFilled = lines.size();
    const bool bom = withoutBom(text).size() != text.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view body = lines[i].body;
        if (i == 0 && bom)
            body.remove_prefix(3);
        if (const auto name = sectionOf(body)) {
            if (sectionLine < lines.size())
                break;
            if (EqualsIgnoringCase(*name, wantSection)) {
                sectionLine = i;
                lastFilled = i;
            }
            continue;
        }
        if (sectionLine == lines.size())
            continue;
        if (!Trimmed(body).empty())
            lastFilled = i;
        const auto entry = keyOf(body);
        if (entry && EqualsIgnoringCase(entry->key, wantKey)) {
            keyIndex = i;
            break;
        }
    }

    std::string out;
    out.reserve(text.size() + keyLine.size() + wantSection.size() + 8);
    const auto append = [&](const Line& line) {
        out.append(line.body);
        out.append(line.ending);
    };
    if (sectionLine == lines.size()) {
        out.assign(text);
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out.append(newline);
        out.append("[").append(wantSection).append("]").append(newline);
        out.append(keyLine).append(newline);
        return out;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == keyIndex) {
            if (i == 0 && bom)
                out.append("\xEF\xBB\xBF");
            out.append(keyLine);
            out.append(lines[i].ending.empty() ? newline : lines[i].ending);
            continue;
        }
        append(lines[i]);
        if (keyIndex == lines.size() && i == lastFilled) {
            if (lines[i].ending.empty())
                out.append(newline);
            out.append(keyLine).append(newline);
        }
    }
    return out;
}

} // namespace profile
