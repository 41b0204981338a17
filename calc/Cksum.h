#pragma once

// The checksum that POSIX cksum prints, which the vendors' checksum tool stores in an image's trailer:
// the CRC with the polynomial 0x04C11DB7, most significant bit first, starting from 0, over the bytes
// and then over their length (lowest byte first, only as many bytes as it needs), complemented.

#include <cstddef>
#include <cstdint>

namespace flintor {

/// The cksum of bytes given in pieces of any size, in order.
class CksumCrc {
public:
    void update(const std::uint8_t* bytes, std::size_t count);
    /// The cksum of every byte given so far.
    std::uint32_t value() const;

private:
    std::uint32_t m_register = 0;
    std::uint64_t m_length = 0;
};

/// The cksum of count bytes.
std::uint32_t CksumOf(const std::uint8_t* bytes, std::size_t count);

/// Whether the CRC is ISA-L's (true) or the portable table's of this file.
bool CksumUsesIsal();

/// The cksum of count bytes by the portable table CRC (eight bytes a step through eight tables), which
/// builds without ISA-L use; callable on its own so that it is tested where ISA-L is used too.
std::uint32_t TableCksumOf(const std::uint8_t* bytes, std::size_t count);

} // namespace flintor
