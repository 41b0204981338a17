#pragma once

// Two things an owner cannot see in an image and a router needs: that the download is intact (the
// checksum trailer that the vendors' checksum tool appends), and that a kernel begins where mtd1 begins.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flintor {

/// The trailer: the little-endian magic, then the little-endian cksum of every byte before the magic.
inline constexpr std::uint32_t kChecksumTrailerMagic = 0xC453DE23u;
inline constexpr std::size_t kChecksumTrailerSize = 8;

/// The kernel that follows the image header (at kKernelHeader) starts with one of these little-endian
/// words.
inline constexpr std::uint32_t kKernelMagic = 0xFEEDFA42u;
inline constexpr std::uint32_t kKernelMagicAlternative = 0xFEED1281u;
/// The bytes of the kernel magic.
inline constexpr std::size_t kKernelMagicSize = 4;

/// What the image's last eight bytes say about the bytes before them.
struct ChecksumTrailer {
    bool present = false;       ///< the image ends with the trailer's magic and a checksum
    std::uint32_t stored = 0;   ///< the checksum in the trailer, when present
    std::uint32_t computed = 0; ///< the cksum of every byte before the trailer, when present
    bool valid() const { return present && stored == computed; }
};

/// Judges the last count (at most kChecksumTrailerSize) bytes of an image; computed is the cksum of the
/// bytes before the last eight. Fewer than eight bytes hold no trailer. Reads nothing beyond count bytes.
ChecksumTrailer JudgeChecksumTrailer(const std::uint8_t* last, std::size_t count, std::uint32_t computed);

/// The word where mtd1 begins, and whether a kernel starts there.
struct KernelCheck {
    std::optional<std::uint32_t> magic; ///< none when the image ends before the word does
    bool plausible = false;
};

/// Judges the count (at most kKernelMagicSize) bytes of the image from kKernelHeader on.
KernelCheck JudgeKernel(const std::uint8_t* bytes, std::size_t count);

/// The warning for a trailer whose checksum is wrong; empty otherwise.
std::string ChecksumWarning(const ChecksumTrailer& trailer);
/// The note for a trailer whose checksum is right; empty otherwise.
std::string ChecksumNote(const ChecksumTrailer& trailer);
/// The warning for an image without a kernel where mtd1 begins; empty when one is there.
std::string KernelWarning(const KernelCheck& kernel);

/// "0x" and eight upper-case hexadecimal digits.
std::string HexWord(std::uint32_t value);

} // namespace flintor
