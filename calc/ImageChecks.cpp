#include "ImageChecks.h"

#include "LittleEndian.h"
#include "Texts.h"

namespace flintor {

std::string HexWord(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kDigits[value >> shift & 0xF];
    }
    return text;
}

ChecksumTrailer JudgeChecksumTrailer(const std::uint8_t* last, std::size_t count, std::uint32_t computed) {
    ChecksumTrailer trailer;
    if (count < kChecksumTrailerSize || LittleEndianWord(last) != kChecksumTrailerMagic) {
        return trailer;
    }
    trailer.present = true;
    trailer.stored = LittleEndianWord(last + 4);
    trailer.computed = computed;
    return trailer;
}

KernelCheck JudgeKernel(const std::uint8_t* bytes, std::size_t count) {
    KernelCheck kernel;
    if (count >= kKernelMagicSize) {
        kernel.magic = LittleEndianWord(bytes);
        kernel.plausible = *kernel.magic == kKernelMagic || *kernel.magic == kKernelMagicAlternative;
    }
    return kernel;
}

std::string ChecksumWarning(const ChecksumTrailer& trailer) {
    if (!trailer.present || trailer.valid()) {
        return {};
    }
    return texts::kChecksumWrongPrefix + HexWord(trailer.stored) + texts::kChecksumWrongMiddle +
           HexWord(trailer.computed) + texts::kChecksumWrongSuffix;
}

std::string ChecksumNote(const ChecksumTrailer& trailer) {
    if (!trailer.valid()) {
        return {};
    }
    return texts::kChecksumRightPrefix + HexWord(trailer.stored) + texts::kChecksumRightSuffix;
}

std::string KernelWarning(const KernelCheck& kernel) {
    if (kernel.plausible) {
        return {};
    }
    const std::string problem = kernel.magic
                                    ? "it holds " + HexWord(*kernel.magic) + ", not " +
                                          HexWord(kKernelMagic) + " or " + HexWord(kKernelMagicAlternative)
                                    : std::string("the image ends before a kernel's first word");
    return texts::kNoKernelPrefix + problem + texts::kNoKernelSuffix;
}

} // namespace flintor
