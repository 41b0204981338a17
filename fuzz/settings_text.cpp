// The settings file's format: the fuzzer's bytes up to the last three NUL characters are the file, the
// three texts after them a section, a key and a value. Reads stay bounded, a stored value reads back,
// storing it again changes nothing, and other keys keep their values.

#include "FuzzSupport.h"
#include "ProfileText.h"

#include <algorithm>
#include <array>

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool SameName(std::string_view a, std::string_view b) {
    return Lower(Trimmed(a)) == Lower(Trimmed(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::array<std::string_view, 3> names{}; // section, key, value
    std::string_view text = all;
    for (int i = 2; i >= 0; --i) {
        const auto nul = text.rfind('\0');
        if (nul == std::string_view::npos)
            break;
        names[static_cast<std::size_t>(i)] = text.substr(nul + 1);
        text = text.substr(0, nul);
    }
    const auto [section, key, value] = names;

    if (const auto read = profile::readValue(text, section, key)) {
        fuzz::check(read->size() <= profile::kMaxValueLength, "value longer than the limit", *read);
        fuzz::check(read->find('\0') == std::string::npos, "NUL in a value", *read);
    }

    const std::array<std::pair<std::string_view, std::string_view>, 3> others = {
        {{"Paths", "Last path"}, {"Paths", "Other"}, {"Window", "Last path"}}};
    std::array<std::optional<std::string>, 3> before;
    for (std::size_t i = 0; i < others.size(); ++i)
        before[i] = profile::readValue(text, others[i].first, others[i].second);

    const auto written = profile::writeValue(text, section, key, value);
    fuzz::check(written.has_value() == profile::canStore(section, key, value), "write and canStore disagree");
    if (!written)
        return 0;

    const auto back = profile::readValue(*written, section, key);
    fuzz::check(back.has_value(), "stored key not found", *written);
    if (value.size() <= profile::kMaxValueLength)
        fuzz::check(*back == value, "stored value reads back changed", *written);
    else
        fuzz::check(value.substr(0, back->size()) == *back, "long value not cut from its start", *written);

    fuzz::check(profile::writeValue(*written, section, key, value) == *written,
                "storing again changes the file", *written);

    for (std::size_t i = 0; i < others.size(); ++i) {
        if (SameName(others[i].first, section) && SameName(others[i].second, key))
            continue;
        fuzz::check(profile::readValue(*written, others[i].first, others[i].second) == before[i],
                    "another key changed", *written);
    }
    return 0;
}
