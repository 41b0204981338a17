#include "SquashFs.h"

#include "LittleEndian.h"
#include "Texts.h"
#include "modMTD.h"

namespace flintor {

namespace {

constexpr std::uint32_t kSmallestBlock = 4096;
constexpr std::uint32_t kLargestBlock = 1024 * 1024;

std::string Decimal(std::uint64_t value) {
    return std::to_string(value);
}

} // namespace

std::string SquashFsSuperblock::versionText() const {
    if (!versionMajor || *versionMajor < 1 || *versionMajor > 4) {
        return {};
    }
    return std::to_string(*versionMajor) + "." + std::to_string(versionMinor.value_or(0));
}

SquashFsSuperblock JudgeSquashFsSuperblock(const std::uint8_t* bytes, std::size_t count, std::int64_t offset,
                                           std::int64_t imageLength) {
    SquashFsSuperblock result;
    result.offset = offset;
    const auto fail = [&result](std::string problem) {
        result.problem = std::move(problem);
        return result;
    };
    if (count < kSquashFsVersionEnd) {
        return fail("the image ends inside its superblock");
    }
    // The magic "hsqs" is the little-endian word 0x73717368, so every field is little-endian too.
    result.versionMajor = static_cast<int>(LittleEndian(bytes + 28, 2));
    result.versionMinor = static_cast<int>(LittleEndian(bytes + 30, 2));
    if (*result.versionMajor < 1 || *result.versionMajor > 4) {
        return fail("its version " + std::to_string(*result.versionMajor) + "." +
                    std::to_string(*result.versionMinor) + " is not one of 1 to 4");
    }
    // Versions 1 to 3 lay their superblocks out differently; only their version is judged.
    if (*result.versionMajor < 4) {
        result.plausible = true;
        return result;
    }
    if (count < kSquashFsSuperblockSize) {
        return fail("the image ends inside its superblock");
    }
    const auto blockSize = static_cast<std::uint32_t>(LittleEndian(bytes + 12, 4));
    const auto blockLog = static_cast<unsigned>(LittleEndian(bytes + 22, 2));
    result.bytesUsed = LittleEndian(bytes + 40, 8);
    if (blockSize < kSmallestBlock || blockSize > kLargestBlock || (blockSize & (blockSize - 1)) != 0) {
        return fail("its block size " + Decimal(blockSize) + " is not a power of two from 4 KiB to 1 MiB");
    }
    if (blockLog >= 32 || (std::uint32_t{1} << blockLog) != blockSize) {
        return fail("its block log " + Decimal(blockLog) + " does not match its block size " +
                    Decimal(blockSize));
    }
    if (*result.bytesUsed == 0) {
        return fail("it says it holds no bytes");
    }
    const std::int64_t room = imageLength - offset;
    if (room < 0 || *result.bytesUsed > static_cast<std::uint64_t>(room)) {
        return fail("it would end " +
                    Decimal(*result.bytesUsed - static_cast<std::uint64_t>(room < 0 ? 0 : room)) +
                    " bytes beyond the end of the image, which looks truncated");
    }
    result.plausible = true;
    return result;
}

std::string SquashFsWarning(const SquashFsSuperblock& superblock) {
    if (superblock.plausible) {
        return {};
    }
    return texts::kSquashFsImplausiblePrefix + Decimal(static_cast<std::uint64_t>(superblock.offset)) + " (" +
           HexAddress(static_cast<std::uint32_t>(superblock.offset)) + ")" +
           texts::kSquashFsImplausibleMiddle + superblock.problem + texts::kSquashFsImplausibleSuffix;
}

} // namespace flintor
