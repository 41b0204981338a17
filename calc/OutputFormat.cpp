#include "OutputFormat.h"

#include "AsciiText.h"
#include "Texts.h"

#include <algorithm>
#include <cctype>

namespace flintor {

namespace {

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

bool IsPartitionLine(std::string_view line) {
    return StartsWithIgnoringCase(line, "mtd");
}

std::string RewriteLine(std::string line, int form, bool adam2) {
    line = ReplaceAll(std::move(line), ", ", ",");
    switch (form) {
    case 1:
        return "setenv " + ReplaceAll(std::move(line), ":", "");
    case 2:
        line = ReplaceAll(std::move(line), ":", ",");
        return "quote SETENV " + ReplaceAll(std::move(line), " ", "");
    default: {
        // The grave accent and "|" stand in for the escaped and the plain double quote until the end.
        line = "SEND |echo `" + ReplaceAll(std::move(line), ":", "");
        line += adam2 ? "` >/proc/sys/dev/adam2/environment\\n|" : "` >/proc/ticfg/env\\n|";
        line = ReplaceAll(std::move(line), "`", "\\\"");
        return ReplaceAll(std::move(line), "|", "\"");
    }
    }
}

// The partition lines of a CR LF text rewritten for output form 1..3, with the Telnet note of Adam2.
std::string RewriteText(std::string_view resultText, int index, bool adam2) {
    std::string text;
    std::size_t pos = 0;
    while (true) {
        const auto end = resultText.find("\r\n", pos);
        std::string line(
            resultText.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        text += IsPartitionLine(line) ? RewriteLine(std::move(line), index, adam2) : line;
        if (end == std::string_view::npos) {
            break;
        }
        text += "\r\n";
        pos = end + 2;
    }
    if (index == 3 && adam2) {
        text += "\r\n";
        text += texts::kTelnetNote;
        text += "\r\n\"/proc/sys/dev/adam2/environment\" with \"/proc/ticfg/env\"";
    }
    return text;
}

int FormIndex(std::optional<int> form) {
    return form && *form >= 0 && *form <= 3 ? *form : 0;
}

} // namespace

std::string FormatOutput(std::string_view resultText, std::optional<int> form, bool includeFileName,
                         std::string_view fileName) {
    const int index = FormIndex(form);
    // A result without the "Single images:" heading is PSP's.
    std::string text = index == 0
                           ? std::string(resultText)
                           : RewriteText(resultText, index, ContainsIgnoringCase(resultText, "single"));
    if (includeFileName) {
        return std::string(fileName) + "\r\n" + text;
    }
    return text;
}

std::string FormatPartitionLines(std::string_view lines, std::optional<int> form, bool adam2) {
    const int index = FormIndex(form);
    return index == 0 ? std::string(lines) : RewriteText(lines, index, adam2);
}

} // namespace flintor
