// The SquashFS superblock judgement. The input's first two bytes choose how much of the image lies
// beyond the superblock bytes (so that lengths at and around bytes_used are reached); the rest is
// the superblock, copied to an allocation of exactly its size so that a read past it is caught.

#include "FuzzSupport.h"
#include "SquashFs.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::int64_t beyond = static_cast<std::int64_t>(data[0] | data[1] << 8) - 0x100;
    const std::size_t count = size - 2;
    const auto bytes = std::make_unique<std::uint8_t[]>(count);
    std::copy(data + 2, data + size, bytes.get());
    const std::int64_t offset = 0x1000;
    const std::int64_t imageLength = offset + static_cast<std::int64_t>(count) + beyond;
    const std::string detail(reinterpret_cast<const char*>(data), size);

    const flintor::SquashFsSuperblock judged =
        flintor::JudgeSquashFsSuperblock(bytes.get(), count, offset, imageLength);
    fuzz::check(judged.offset == offset, "offset changed", detail);
    fuzz::check(judged.plausible == judged.problem.empty(), "a verdict without its reason", detail);
    fuzz::check(judged.plausible == flintor::SquashFsWarning(judged).empty(), "warning disagrees", detail);
    if (count < flintor::kSquashFsVersionEnd) {
        fuzz::check(!judged.plausible && !judged.versionMajor, "a version read past the bytes", detail);
    }
    if (judged.plausible) {
        fuzz::check(*judged.versionMajor >= 1 && *judged.versionMajor <= 4, "plausible out of 1 to 4",
                    detail);
        fuzz::check(!judged.versionText().empty(), "plausible without a version text", detail);
        if (*judged.versionMajor == 4) {
            fuzz::check(count >= flintor::kSquashFsSuperblockSize, "version 4 judged on a cut superblock",
                        detail);
            fuzz::check(judged.bytesUsed && *judged.bytesUsed > 0 &&
                            *judged.bytesUsed <= static_cast<std::uint64_t>(imageLength - offset),
                        "plausible file system beyond the image", detail);
        }
    }
    return 0;
}
