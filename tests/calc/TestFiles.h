#pragma once

// Firmware files made at run time in a private temporary folder.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace flintor::test {

/// The 16 bytes that open a combined image.
inline std::vector<std::uint8_t> CombinedHeader() {
    return {0x34, 0x44, 0x54, 0x4D, 0x01, 0x02, 0x03, 0x04, 0x40, 0x30, 0x20, 0x10, 0x00, 0x00, 0x00, 0x00};
}

/// A folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "flintor-test.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

    /// Writes bytes to a new file and returns its path.
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string target = file(name);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + target);
        }
        return target;
    }

    /// A file of length bytes: a combined-image header (unless withHeader is false), zeros, and "hsqs" at
    /// each of the given offsets.
    std::string image(const std::string& name, std::size_t length, const std::vector<std::size_t>& magicAt,
                      bool withHeader = true) const {
        std::vector<std::uint8_t> bytes(length, 0);
        if (withHeader) {
            const auto header = CombinedHeader();
            std::copy(header.begin(), header.begin() + static_cast<long>(std::min(length, header.size())),
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
        const auto header = CombinedHeader();
        std::copy(header.begin(), header.end(), bytes.begin());
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

    /// A sparse file of length bytes that starts with a combined-image header and holds "hsqs" at magicAt.
    std::string sparseImage(const std::string& name, std::uintmax_t length,
                            std::optional<std::size_t> magicAt = std::nullopt) const {
        auto bytes = CombinedHeader();
        if (magicAt) {
            bytes.resize(*magicAt + 4, 0);
            std::copy_n("hsqs", 4, bytes.begin() + static_cast<long>(*magicAt));
        }
        const std::string target = write(name, bytes);
        std::filesystem::resize_file(target, length);
        return target;
    }

private:
    std::filesystem::path m_path;
};

} // namespace flintor::test
