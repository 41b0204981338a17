#pragma once

// A judgement of the SquashFS superblock at the offset where the search found the magic: "hsqs" can
// also turn up in kernel bytes or in a second image, and values computed from such an offset would
// describe something that is not a file system.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flintor {

/// Bytes of a version 4 superblock; older versions are judged on their first 32 bytes only.
inline constexpr std::size_t kSquashFsSuperblockSize = 96;
/// Bytes up to and including the version fields, which every SquashFS version keeps at bytes 28 to 31.
inline constexpr std::size_t kSquashFsVersionEnd = 32;

/// What the superblock at the found offset says, and whether it looks like a real file system.
struct SquashFsSuperblock {
    std::int64_t offset = 0;                ///< 0-based offset of the magic in the image
    std::optional<int> versionMajor;        ///< none when the image ends before the version fields
    std::optional<int> versionMinor;        ///< read together with the major
    std::optional<std::uint64_t> bytesUsed; ///< version 4 only: the file system's length
    bool plausible = false;
    std::string problem; ///< what looked wrong, for the owner; empty when plausible

    /// "4.0" for a version of 1 to 4; empty otherwise (a value out of range is not a version).
    std::string versionText() const;
};

/// Judges the superblock held by bytes, which start at the magic at offset; count is what the image
/// still holds from there (clipped to the superblock's size by the caller or not). A version of 1 to 4
/// is required; version 4 must have a block size that is a power of two from 4 KiB to 1 MiB, a block
/// log that matches it, and a length of more than 0 that ends within the image (imageLength). Reads
/// nothing beyond count bytes.
SquashFsSuperblock JudgeSquashFsSuperblock(const std::uint8_t* bytes, std::size_t count, std::int64_t offset,
                                           std::int64_t imageLength);

/// The warning shown beside the results for an implausible superblock; empty when it is plausible.
std::string SquashFsWarning(const SquashFsSuperblock& superblock);

} // namespace flintor
