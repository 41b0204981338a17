#pragma once

// What the fuzz targets share: cutting the fuzzer's bytes into texts, a private scratch folder, a
// GUI application for the targets that draw, and the check that a result's addresses are sound.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

/// Stops the run with a message: libFuzzer reports the abort and keeps the input.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "fuzz check failed: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void check(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition)
        fail(what, detail);
}

/// Hands the bytes to receive in pieces of the given lengths, cycled (0: all that is left), and calls after
/// once after each piece: a conversation must not depend on how its bytes arrive.
template <typename Receive, typename After>
void feedInPieces(std::string_view bytes, const std::vector<std::size_t>& pieces, Receive receive, After after) {
    std::size_t piece = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = pieces[piece++ % pieces.size()];
        const std::size_t take = length == 0 ? bytes.size() - at : std::min(length, bytes.size() - at);
        receive(bytes.substr(at, take));
        at += take;
        after();
    }
}

/// The bytes cut at each `separator`: "a\0b" gives {"a", "b"}; an empty input gives one empty text.
inline std::vector<std::string> split(const std::uint8_t* data, std::size_t size, char separator) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (static_cast<char>(data[i]) == separator)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}

/// A fresh folder of this process under the temporary folder, made at the first call and removed
/// when the process ends.
inline const std::string& scratchFolder() {
    // Never destroyed, so that the exit handler that removes the folder can still read its name.
    static const std::string* const folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "flintor-fuzz.XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return new std::string(pattern);
    }();
    return *folder;
}

/// Checks every "mtdN" line of a result in any output form: both addresses read as 32-bit hexadecimal
/// numbers of at most eight digits, lie in the flash window from 0x90000000, and the end is not below
/// the start.
inline void checkResultAddresses(std::string_view text) {
    const auto hexAt = [&text](std::size_t& pos) {
        check(text.substr(pos, 2) == "0x", "address without 0x", text);
        pos += 2;
        std::uint64_t value = 0;
        int digits = 0;
        for (; pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos])); ++pos, ++digits)
            value =
                value * 16 + static_cast<std::uint64_t>(std::isdigit(static_cast<unsigned char>(text[pos]))
                                                            ? text[pos] - '0'
                                                            : (text[pos] | 0x20) - 'a' + 10);
        check(digits >= 1 && digits <= 8, "address digits", text);
        return value;
    };
    for (std::size_t line = 0; line < text.size();) {
        std::size_t stop = text.find('\n', line);
        if (stop == std::string_view::npos)
            stop = text.size();
        const std::string_view body = text.substr(line, stop - line);
        const std::size_t mtd = body.find("mtd");
        if (mtd != std::string_view::npos && mtd + 3 < body.size() && body[mtd + 3] >= '0' &&
            body[mtd + 3] <= '5') {
            std::size_t pos = body.find("0x", mtd);
            if (pos != std::string_view::npos) {
                pos += line;
                const std::uint64_t start = hexAt(pos);
                pos = text.find("0x", pos);
                check(pos != std::string_view::npos && pos < stop, "second address missing", body);
                const std::uint64_t end = hexAt(pos);
                check(start >= 0x90000000u && end >= 0x90000000u, "address below the flash", body);
                check(end >= start, "partition ends before it starts", body);
            }
        }
        line = stop + 1;
    }
}

} // namespace fuzz
