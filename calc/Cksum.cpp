#include "Cksum.h"

#include <array>

#ifdef FLINTOR_HAVE_ISAL
#include <isa-l/crc.h>
#endif

namespace flintor {

namespace {

constexpr std::uint32_t kPolynomial = 0x04C11DB7u;

// kTables[0][b] is the register after the byte b is shifted through a register of 0; kTables[k][b] the
// same followed by k more zero bytes, so that eight bytes are taken in one step.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeTables() {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t crc = b << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? crc << 1 ^ kPolynomial : crc << 1;
        }
        tables[0][b] = crc;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t b = 0; b < 256; ++b) {
            const std::uint32_t previous = tables[k - 1][b];
            tables[k][b] = previous << 8 ^ tables[0][previous >> 24];
        }
    }
    return tables;
}

constexpr auto kTables = MakeTables();

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

std::uint32_t TableCrcUpdate(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) {
    const auto& t = kTables;
    for (; count >= 8; bytes += 8, count -= 8) {
        const std::uint32_t high = crc ^ BigEndian(bytes);
        const std::uint32_t low = BigEndian(bytes + 4);
        crc = t[7][high >> 24] ^ t[6][high >> 16 & 0xFF] ^ t[5][high >> 8 & 0xFF] ^ t[4][high & 0xFF] ^
              t[3][low >> 24] ^ t[2][low >> 16 & 0xFF] ^ t[1][low >> 8 & 0xFF] ^ t[0][low & 0xFF];
    }
    for (; count > 0; ++bytes, --count) {
        crc = crc << 8 ^ t[0][(crc >> 24) ^ *bytes];
    }
    return crc;
}

// The register after the length of the bytes, as few of its bytes as it needs, lowest first, complemented.
std::uint32_t Completed(std::uint32_t crcRegister, std::uint64_t length) {
    std::uint8_t bytes[8];
    std::size_t size = 0;
    for (; length != 0; length >>= 8) {
        bytes[size++] = static_cast<std::uint8_t>(length);
    }
    return ~TableCrcUpdate(crcRegister, bytes, size);
}

std::uint32_t RegisterUpdate(std::uint32_t crcRegister, const std::uint8_t* bytes, std::size_t count) {
#ifdef FLINTOR_HAVE_ISAL
    // ISA-L starts from the complement of the value it is given and returns its register complemented.
    return ~crc32_ieee(~crcRegister, bytes, count);
#else
    return TableCrcUpdate(crcRegister, bytes, count);
#endif
}

} // namespace

std::uint32_t TableCksumOf(const std::uint8_t* bytes, std::size_t count) {
    return Completed(TableCrcUpdate(0, bytes, count), count);
}

void CksumCrc::update(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    m_register = RegisterUpdate(m_register, bytes, count);
    m_length += count;
}

std::uint32_t CksumCrc::value() const {
    return Completed(m_register, m_length);
}

std::uint32_t CksumOf(const std::uint8_t* bytes, std::size_t count) {
    CksumCrc crc;
    crc.update(bytes, count);
    return crc.value();
}

bool CksumUsesIsal() {
#ifdef FLINTOR_HAVE_ISAL
    return true;
#else
    return false;
#endif
}

} // namespace flintor
