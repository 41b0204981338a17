#include "FirmwareImage.h"

#include "Cksum.h"
#include "FileAccess.h"
#include "ImageChecks.h"
#include "SquashFs.h"
#include "Texts.h"

#include <cerrno>
#include <cstring>

namespace flintor {

namespace {

constexpr const char* kNotWritten = " Nothing is written to the router.";

std::string LastPart(const std::string& path) {
    const auto slash = path.find_last_of(
#ifdef _WIN32
        "\\/:"
#else
        "/"
#endif
    );
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first of the calculation's warnings about an image, in the order the calculation gives them.
std::string FirstWarning(const ChecksumTrailer& checksum, const KernelCheck& kernel,
                         const SquashFsSuperblock& squashFs) {
    for (std::string warning :
         {ChecksumWarning(checksum), KernelWarning(kernel), SquashFsWarning(squashFs)}) {
        if (!warning.empty()) {
            return warning + kNotWritten;
        }
    }
    return {};
}

} // namespace

FirmwareImageLoading LoadFirmwareImage(const std::string& path) {
    FirmwareImageLoading loading;
    const auto failed = [&loading](int error) {
        loading.error = std::string(texts::kReadFailedPrefix) + std::strerror(error);
        return loading;
    };
    int error = 0;
    const auto status = StatusOfPath(path, error);
    if (!status) {
        return failed(error);
    }
    if (!status->regular) {
        loading.error = texts::kNotFirmware;
        return loading;
    }
    if (status->length > kLargestSearchedFile) {
        loading.error = texts::kTooLargeToSearch;
        return loading;
    }
    const ReadOnlyFile file(path);
    if (!file.isOpen()) {
        return failed(file.error());
    }
    FirmwareImage image;
    image.path = path;
    image.fileName = LastPart(path);
    image.bytes.resize(static_cast<std::size_t>(status->length));
    const auto length = static_cast<std::int64_t>(image.bytes.size());
    const std::int64_t got = file.readAt(image.bytes.data(), length, 0);
    if (got < 0) {
        return failed(errno);
    }
    // One byte more would be read by a file that grew; the same length again after the read.
    std::uint8_t beyond = 0;
    const auto after = file.status();
    if (got != length || file.readAt(&beyond, 1, length) != 0 || !after || after->length != length) {
        loading.error = texts::kFileChanged;
        return loading;
    }
    ImageScanner scanner(length);
    scanner.feed(image.bytes.data(), image.bytes.size());
    image.scan = scanner.result();
    image.cksum = CksumOf(image.bytes.data(), image.bytes.size());
    loading.image = std::move(image);
    return loading;
}

std::string ImageWriteProblem(const FirmwareImage& image) {
    if (image.scan.filesystemOffset <= 0) {
        return std::string(texts::kNotSquashFs) + kNotWritten;
    }
    return FirstWarning(image.scan.checksum, image.scan.kernel, image.scan.squashFs);
}

std::string CalculatedImageProblem(const CalculationDetails& details) {
    return FirstWarning(details.checksum, details.kernel, details.squashFs);
}

std::string ImageWriteProblem(const FirmwareImage& image, const CalculationDetails& details,
                              const PartitionBounds& imageArea) {
    if (std::string problem = ImageWriteProblem(image); !problem.empty()) {
        return problem;
    }
    if (static_cast<std::int64_t>(image.bytes.size()) != details.imageLength ||
        image.scan.filesystemOffset != details.filesystemOffset) {
        return std::string(texts::kFileChanged) + " Calculate again." + kNotWritten;
    }
    const std::uint64_t room = imageArea.size();
    if (image.bytes.size() > room) {
        return "The image (" + std::to_string(image.bytes.size()) + " bytes) is longer than the image area " +
               PartitionLine(imageArea) + " (" + std::to_string(room) + " bytes)." + kNotWritten;
    }
    return {};
}

MtdLayout ImageWriteLayout(const MtdLayout& layout) {
    MtdLayout single = layout;
    std::erase_if(single.blocks, [](const LayoutBlock& block) {
        std::optional<std::uint32_t> kernel, area;
        for (const PartitionBounds& bounds : block.partitions) {
            if (bounds.number == 1) {
                kernel = bounds.start;
            } else if (bounds.number == 4) {
                area = bounds.start;
            }
        }
        return !kernel || !area || *kernel != *area + kKernelHeader;
    });
    return single;
}

std::string ChecksumState(const ImageScan& scan) {
    if (!scan.checksum.present) {
        return "no checksum trailer";
    }
    return "checksum " + HexWord(scan.checksum.stored) + (scan.checksum.valid() ? " right" : " wrong");
}

} // namespace flintor
