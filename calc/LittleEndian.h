#pragma once

// Numbers in an image (its header, the kernel's magic, the checksum trailer, the SquashFS superblock) are
// stored lowest byte first.

#include <cstddef>
#include <cstdint>

namespace flintor {

/// The number in size bytes (at most 8), lowest byte first.
inline std::uint64_t LittleEndian(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

/// The 32-bit word in four bytes, lowest byte first.
inline std::uint32_t LittleEndianWord(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(LittleEndian(bytes, 4));
}

} // namespace flintor
