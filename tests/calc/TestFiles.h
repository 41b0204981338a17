#pragma once

// Firmware files made at run time in a private temporary folder.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace flintor::test {

/// The 16 bytes that open a combined image.
inline std::vector<std::uint8_t> CombinedHeader() {
    return {0x34, 0x44, 0x54, 0x4D, 0x01, 0x02, 0x03, 0x04, 0x40, 0x30, 0x20, 0x10, 0x00, 0x00, 0x00, 0x00};
}

/// A combined image's first bytes: the header, zeros to the kernel at 0x90 and the kernel's magic.
inline std::vector<std::uint8_t> CombinedStart() {
    std::vector<std::uint8_t> bytes(0x94, 0);
    const auto header = CombinedHeader();
    std::copy(header.begin(), header.end(), bytes.begin());
    const std::uint8_t kernel[] = {0x42, 0xFA, 0xED, 0xFE};
    std::copy(std::begin(kernel), std::end(kernel), bytes.begin() + 0x90);
    return bytes;
}

/// A UTF-8 path as the file system library takes it (on Windows a narrow path would be read in the ANSI
/// code page), and back.
inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

/// Puts something at path that is no regular file and blocks whoever opens it for reading: a FIFO
/// without a writer; on Windows, whose file systems hold no FIFOs, a folder.
inline bool MakeBlockingNonFile(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::create_directory(PathOf(path));
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

/// Devices that must never be read as a file: the null and the zero device, and on Windows the console.
inline std::vector<std::string> DevicePaths() {
#ifdef _WIN32
    return {"NUL", "CON", "\\\\.\\NUL"};
#else
    return {"/dev/null", "/dev/zero"};
#endif
}

/// A regular file that no user can read, root included, and the reason the system gives.
struct UnreadableFile {
    std::string path;
    std::string reason;
};

/// Such files on Linux: a kernel setting that may only be written, whose open is refused, and a device
/// attribute that is listed with a length but holds no value, whose read fails. None on Windows.
inline std::vector<UnreadableFile> UnreadableFiles() {
#ifdef _WIN32
    return {};
#else
    return {{"/proc/sys/vm/drop_caches", "Permission denied"},
            {"/sys/devices/system/cpu/cpu0/power/autosuspend_delay_ms", "Input/output error"}};
#endif
}

/// A folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("flintor-test." + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                m_path = candidate;
            }
        }
        if (m_path.empty()) {
            throw std::runtime_error("no temporary folder");
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "flintor-test.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const {
        return m_path;
    }
    /// The folder as the programs take paths: UTF-8.
    std::string folder() const {
        return Utf8(m_path);
    }
    std::string file(const std::string& name) const {
        return Utf8(m_path / PathOf(name));
    }

    /// Writes bytes to a new file and returns its path.
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string target = file(name);
        std::ofstream out(PathOf(target), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + target);
        }
        return target;
    }

    /// A file of length bytes: the start of a combined image, header and kernel magic (unless withHeader
    /// is false), zeros, and "hsqs" at each of the given offsets.
    std::string image(const std::string& name, std::size_t length, const std::vector<std::size_t>& magicAt,
                      bool withHeader = true) const {
        std::vector<std::uint8_t> bytes(length, 0);
        if (withHeader) {
            const auto start = CombinedStart();
            std::copy(start.begin(), start.begin() + static_cast<long>(std::min(length, start.size())),
                      bytes.begin());
        }
        for (std::size_t at : magicAt) {
            const char magic[] = "hsqs";
            for (std::size_t i = 0; i < 4 && at + i < length; ++i) {
                bytes[at + i] = static_cast<std::uint8_t>(magic[i]);
            }
        }
        return write(name, bytes);
    }

    /// A combined image of length bytes whose file system at offset has a version 4.0 superblock as
    /// mksquashfs writes it (128 KiB blocks), reaching to the image's end.
    std::string fileSystemImage(const std::string& name, std::size_t length, std::size_t offset) const {
        std::vector<std::uint8_t> bytes(length, 0);
        const auto start = CombinedStart();
        std::copy(start.begin(), start.end(), bytes.begin());
        const auto put = [&bytes, offset](std::size_t at, std::uint64_t value, int size) {
            for (int i = 0; i < size; ++i) {
                bytes.at(offset + at + static_cast<std::size_t>(i)) =
                    static_cast<std::uint8_t>(value >> (8 * i));
            }
        };
        put(0, 0x73717368, 4);
        put(12, 0x20000, 4);
        put(22, 17, 2);
        put(28, 4, 2);
        put(40, length - offset, 8);
        return write(name, bytes);
    }

    /// Appends a checksum trailer to the file at path: the trailer's magic and checksum, little-endian.
    void appendTrailer(const std::string& path, std::uint32_t checksum) const {
        std::ofstream out(PathOf(path), std::ios::binary | std::ios::app);
        for (const std::uint32_t word : {0xC453DE23u, checksum}) {
            for (int i = 0; i < 4; ++i) {
                out.put(static_cast<char>(word >> (8 * i)));
            }
        }
        if (!out) {
            throw std::runtime_error("cannot append to " + path);
        }
    }

    /// A sparse file of length bytes that starts with a combined-image header and holds "hsqs" at magicAt.
    std::string sparseImage(const std::string& name, std::uintmax_t length,
                            std::optional<std::size_t> magicAt = std::nullopt) const {
        auto bytes = CombinedHeader();
        if (magicAt) {
            bytes.resize(*magicAt + 4, 0);
            std::copy_n("hsqs", 4, bytes.begin() + static_cast<long>(*magicAt));
        }
        const std::string target = write(name, bytes);
        std::filesystem::resize_file(PathOf(target), length);
        return target;
    }

private:
    std::filesystem::path m_path;
};

} // namespace flintor::test
