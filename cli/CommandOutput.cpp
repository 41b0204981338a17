#include "CommandOutput.h"

namespace flintor::cli {

namespace {

// File names and captures come from outside: their strings are made valid before the document is printed.
void MakeStringsValid(Json& value) {
    if (value.is_string()) {
        value = ValidUtf8(value.get_ref<const std::string&>());
    } else if (value.is_structured()) {
        for (auto& element : value) {
            MakeStringsValid(element);
        }
    }
}

} // namespace

std::string WithUnixLineEnds(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        result += text[i];
    }
    return result;
}

std::string ValidUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            result += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 && c <= 0xF4   ? 4
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xC2 && c <= 0xDF ? 2
                                                            : 0;
        bool valid = length > 0 && i + length <= size;
        std::uint32_t codePoint = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; valid && k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                valid = false;
            } else {
                codePoint = codePoint << 6 | (bytes[i + k] & 0x3F);
            }
        }
        if (valid && ((length == 3 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF))) ||
                      (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)))) {
            valid = false;
        }
        if (valid) {
            result.append(text.substr(i, length));
            i += length;
        } else {
            result += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return result;
}

Json BoundsJson(const std::optional<PartitionBounds>& bounds) {
    if (!bounds) {
        return nullptr;
    }
    return Json{{"start", bounds->start}, {"end", bounds->end}};
}

Json PartitionJson(const PartitionBounds& bounds) {
    return Json{
        {"name", "mtd" + std::to_string(bounds.number)}, {"start", bounds.start}, {"end", bounds.end}};
}

std::string JsonText(const Json& document) {
    Json valid = document;
    MakeStringsValid(valid);
    return valid.dump(2) + '\n';
}

} // namespace flintor::cli
