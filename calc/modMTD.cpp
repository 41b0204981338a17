#include "modMTD.h"

#include "FileAccess.h"
#include "ImageChecks.h"
#include "LittleEndian.h"
#include "Texts.h"
#include "modMisc.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace flintor {

namespace {

// A file removed, replaced or made unreadable meanwhile must be noticed instead of being read on through
// a stale descriptor: ReadChunk opens the file for each read, and the pass over a whole image, which
// reads through one descriptor, opens it again after its last read.

// The length of the open file, when it is still a regular file.
bool StatRegular(const ReadOnlyFile& file, std::int64_t& length) {
    const auto status = file.status();
    if (!status || !status->regular) {
        return false;
    }
    length = status->length;
    return true;
}

[[noreturn]] void ThrowReadFailed(int error) {
    throw ImageReadError(std::string(texts::kReadFailedPrefix) + std::strerror(error));
}

[[noreturn]] void ThrowChanged() {
    throw ImageReadError(texts::kFileChanged);
}

// Length of a regular file, or nullopt for an empty path, a missing path or anything but a regular file.
std::optional<std::int64_t> RegularFileLength(const std::string& path) {
    int error = 0;
    const auto status = StatusOfPath(path, error);
    if (!status || !status->regular) {
        return std::nullopt;
    }
    return status->length;
}

} // namespace

bool ImageTypeOf(const std::string& path, std::string& typeText, std::int64_t& imageLength,
                 ImageHeader* header) {
    if (!RegularFileLength(path)) {
        return false;
    }
    const ReadOnlyFile file(path);
    if (!file.isOpen()) {
        if (file.error() == ENOENT) {
            return false;
        }
        ThrowReadFailed(file.error());
    }
    std::int64_t length = 0;
    if (!StatRegular(file, length)) {
        return false;
    }
    imageLength = length;
    if (length < kShortestClassifiableFile) {
        return false;
    }
    ImageHeader bytes{};
    const std::int64_t got = file.readAt(bytes.data(), static_cast<std::int64_t>(bytes.size()), 0);
    if (got < 0) {
        ThrowReadFailed(errno);
    }
    if (got != static_cast<std::int64_t>(bytes.size())) {
        ThrowChanged();
    }
    if (header != nullptr) {
        *header = bytes;
    }
    const std::uint32_t w0 = LittleEndianWord(bytes.data()), w1 = LittleEndianWord(bytes.data() + 4),
                        w2 = LittleEndianWord(bytes.data() + 8), w3 = LittleEndianWord(bytes.data() + 12);
    const bool combined = w0 == 0x4D544434u && w1 == 0x04030201u && w2 == 0x10203040u && w3 == 0;
    if (combined) {
        typeText = "combined image";
    }
    if (w0 == 0x73717368u) {
        typeText = "filesystem image";
    } else if (w0 == 0xFEEDFA42u) {
        typeText = "kernel image";
    } else if (w0 == 0x434D4D4Cu && w1 == 0x00000300u) {
        typeText = "config image";
    }
    return combined;
}

std::vector<std::uint8_t> ReadChunk(const std::string& path, std::int64_t& position) {
    if (position <= 0) {
        position = 1;
    }
    const ReadOnlyFile file(path);
    if (!file.isOpen()) {
        ThrowReadFailed(file.error());
    }
    std::int64_t length = 0;
    if (!StatRegular(file, length)) {
        ThrowReadFailed(EINVAL);
    }
    const std::int64_t wanted = std::clamp<std::int64_t>(length - (position - 1), 0, kChunkSize);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(wanted));
    const std::int64_t got = file.readAt(chunk.data(), wanted, position - 1);
    if (got < 0) {
        ThrowReadFailed(errno);
    }
    if (got != wanted) {
        ThrowChanged();
    }
    if (position - 1 + wanted >= length) {
        position = -1;
    }
    return chunk;
}

ImageScan InspectImage(const std::string& path, const EventPump& afterChunk, const ImageHeader* header) {
    const auto length = RegularFileLength(path);
    if (!length || *length > kLargestSearchedFile) {
        ImageScan unread;
        unread.filesystemOffset = 0;
        return unread;
    }
    std::optional<ReadOnlyFile> file;
    const auto open = [&] {
        file.emplace(path);
        std::int64_t openLength = 0;
        if (!file->isOpen()) {
            ThrowReadFailed(file->error());
        }
        if (!StatRegular(*file, openLength) || openLength != *length) {
            ThrowChanged();
        }
    };
    ImageScanner scanner(*length);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(kChunkSize));
    // The header's bytes are taken from the type check, and the first read starts after them.
    std::int64_t held = 0;
    if (header != nullptr && *length >= static_cast<std::int64_t>(header->size())) {
        std::copy(header->begin(), header->end(), buffer.get());
        held = static_cast<std::int64_t>(header->size());
    }
    // Reads follow the search's chunks, so that each chunk is searched in the buffer it was read into.
    do {
        if (!file) {
            open();
        }
        const std::int64_t start = scanner.position() + held;
        const std::int64_t wanted = std::min(*length - start, kChunkSize - held);
        const std::int64_t got = wanted == 0 ? 0 : file->readAt(buffer.get() + held, wanted, start);
        if (got < 0) {
            ThrowReadFailed(errno);
        }
        if (got != wanted) {
            ThrowChanged();
        }
#ifdef _WIN32
        // An open handle keeps the name of a file removed meanwhile, and keeps anything else from taking
        // it, until it is closed: the file is open for each read only.
        file.reset();
#endif
        scanner.feed(buffer.get(), static_cast<std::size_t>(held + got));
        held = 0;
        if (afterChunk && !afterChunk()) {
            throw CalculationCancelled();
        }
    } while (scanner.position() < *length);
    file.reset();
    open();
    return scanner.result();
}

std::int32_t FindSquashFs(const std::string& path, const EventPump& afterChunk) {
    return static_cast<std::int32_t>(InspectImage(path, afterChunk).filesystemOffset);
}

std::string HexAddress(std::uint32_t address) {
    // HexWord's eight digits without their leading zeros; zero keeps its last.
    std::string text = HexWord(address);
    const std::size_t first = std::min(text.find_first_not_of('0', 2), text.size() - 1);
    return text.erase(2, first - 2);
}

std::int64_t Align64K(std::int64_t value, bool roundUp) {
    auto aligned = static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(value) / 0x10000)) * 0x10000;
    if (roundUp && aligned < value) {
        aligned += 0x10000;
    }
    return aligned;
}

std::int32_t EffectiveFlashSize(double flashSize, std::int64_t imageLength) {
    if (flashSize == 0) {
        return imageLength <= 0x200000 ? 0x200000 : 0x400000;
    }
    return RoundToInt(flashSize);
}

std::optional<PartitionBounds> PartitionBoundsOf(bool adam2, bool separate, std::int64_t filesystemOffset,
                                                 std::int64_t flashSize, int partition, bool maxKernelSize,
                                                 std::int64_t mtd5Size) {
    if (partition < 0 || partition > 5) {
        return std::nullopt;
    }
    // Addresses are the router's 32-bit flash addresses; the flash size is below kFlashSizeLimit, so
    // none of them passes 0xFFFFFFFF.
    const auto o = static_cast<std::uint32_t>(filesystemOffset);
    const std::uint32_t end = FlashBase + static_cast<std::uint32_t>(flashSize);
    const std::uint32_t d = mtd5Size < 1 ? 0u : static_cast<std::uint32_t>(mtd5Size);
    const std::uint32_t k = flashSize > 0x200000 ? 0xC0000u : 0x80000u;
    const auto r = static_cast<std::uint32_t>(Align64K(0x90010000LL + filesystemOffset, true));

    PartitionBounds bounds;
    bounds.number = partition;
    auto set = [&bounds](std::uint32_t start, std::uint32_t stop) {
        bounds.start = start;
        bounds.end = stop;
    };
    if (!adam2) {
        switch (partition) {
        case 0:
            set(0x90020000u + o, end - d);
            break;
        case 1:
            set(0x90020090u, 0x90020000u + o);
            break;
        case 2:
            set(0x90000000u, 0x90010000u);
            break;
        case 3:
            set(0x90010000u, 0x90020000u);
            break;
        case 4:
            set(0x90020000u, end - d);
            break;
        default:
            set(end - d, end);
            break;
        }
        return bounds;
    }
    // Adam2 keeps its configuration block in the last 64 KiB of the flash.
    const std::uint32_t config = end - 0x10000u;
    switch (partition) {
    case 0:
        if (!separate) {
            set(0x90010000u + o, config - d);
        } else if (!maxKernelSize) {
            set(r, config - d);
        } else {
            set(0x90010000u + k, config - d);
        }
        break;
    case 1:
        if (!separate) {
            set(0x90010090u, 0x90010000u + o);
        } else if (!maxKernelSize) {
            set(0x90010000u, r);
        } else {
            set(0x90010000u, 0x90010000u + k);
        }
        break;
    case 2:
        set(0x90000000u, 0x90010000u);
        break;
    case 3:
        set(config, end);
        break;
    case 4:
        set(0x90010000u, config - d);
        break;
    default:
        set(config - d, config);
        break;
    }
    return bounds;
}

std::string PartitionRange(bool adam2, bool separate, std::int64_t filesystemOffset, std::int64_t flashSize,
                           int partition, bool maxKernelSize, std::int64_t mtd5Size) {
    const auto bounds =
        PartitionBoundsOf(adam2, separate, filesystemOffset, flashSize, partition, maxKernelSize, mtd5Size);
    return bounds ? RangeText(*bounds) : std::string();
}

std::string RangeText(const PartitionBounds& bounds) {
    return HexAddress(bounds.start) + ", " + HexAddress(bounds.end);
}

std::string PartitionLine(const PartitionBounds& bounds) {
    return "mtd" + std::to_string(bounds.number) + ": " + RangeText(bounds);
}

MtdLayout BuildLayout(bool adam2, std::int64_t filesystemOffset, std::int64_t flashSize,
                      std::int64_t mtd5Size, std::int64_t imageLength, const MessageSink& messages) {
    const auto tell = [&messages](const std::string& text) {
        if (messages) {
            messages(text, MessageKind::Information);
        }
    };
    std::int64_t d = mtd5Size;
    if (d != 0) {
        // Both boot loader layouts keep 128 KiB outside the image area and mtd5.
        const std::int64_t room = (flashSize - kReservedFlash) - Align64K(imageLength, true);
        // Down to a whole 64 KiB: rounded up, mtd5 would reach into the image area on a flash size that is
        // no multiple of 64 KiB.
        const std::int64_t maximum = room > 0 ? room - room % 0x10000 : Align64K(room, false);
        if (d == -1) {
            tell(texts::kMtd5MaximumPrefix + SizeText(static_cast<double>(maximum)));
            d = maximum;
        } else if (d > maximum) {
            tell(texts::kMtd5ReducedPrefix + SizeText(static_cast<double>(maximum)));
            d = maximum;
        }
    }
    if (d < 1) {
        d = 0;
    }

    MtdLayout layout;
    layout.adam2 = adam2;
    layout.flashSize = flashSize;
    layout.mtd5Size = d;
    const auto block = [&](std::string heading, bool separate, bool maxKernelSize) {
        LayoutBlock result{std::move(heading), {}};
        for (int n = 0; n <= (d >= 1 ? 5 : 4); ++n) {
            result.partitions.push_back(
                *PartitionBoundsOf(adam2, separate, filesystemOffset, flashSize, n, maxKernelSize, d));
        }
        return result;
    };
    if (!adam2) {
        layout.blocks.push_back(block({}, false, false));
        return layout;
    }
    layout.blocks.push_back(block("Single images:", false, false));
    layout.blocks.push_back(block("Separate images (filesystem offset):", true, false));
    LayoutBlock maxKernel = block("Separate images (max kernel size):", true, true);
    const auto& byOffset = layout.blocks[1].partitions;
    if (maxKernel.partitions[0] != byOffset[0] || maxKernel.partitions[1] != byOffset[1]) {
        layout.blocks.push_back(std::move(maxKernel));
    }
    return layout;
}

std::string LayoutName(const LayoutBlock& block) {
    std::string name = block.heading;
    if (!name.empty() && name.back() == ':') {
        name.pop_back();
    }
    return name;
}

std::string ResultTextOf(const MtdLayout& layout) {
    std::string text;
    const auto line = [&text](const std::string& content) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += content;
    };
    for (const auto& block : layout.blocks) {
        if (!block.heading.empty()) {
            line(block.heading);
        }
        for (const auto& p : block.partitions) {
            line(PartitionLine(p));
        }
    }
    return text;
}

std::string BuildResultText(bool adam2, std::int64_t filesystemOffset, std::int64_t flashSize,
                            std::int64_t mtd5Size, std::int64_t imageLength, const MessageSink& messages) {
    return ResultTextOf(BuildLayout(adam2, filesystemOffset, flashSize, mtd5Size, imageLength, messages));
}

std::optional<MtdLayout> CalculateLayout(std::int64_t imageLength, std::int64_t filesystemOffset,
                                         double flashSize, bool adam2, std::int64_t mtd5Size,
                                         const MessageSink& messages) {
    if (filesystemOffset < 0) {
        return std::nullopt;
    }
    const double flash = RoundHalfEven(flashSize);
    if (!(flash >= 0 && flash < static_cast<double>(kFlashSizeLimit))) {
        throw std::invalid_argument("flash size outside 0..0x6FFFFFFF");
    }
    if (mtd5Size != 0 && flashSize <= 2097152) {
        if (messages) {
            messages(texts::kMtd5NotRecommended, MessageKind::Warning);
        }
        mtd5Size = 0;
    }
    return BuildLayout(adam2, filesystemOffset, static_cast<std::int64_t>(flash), mtd5Size, imageLength,
                       messages);
}

std::string CalculateMtd(std::int64_t imageLength, std::int64_t filesystemOffset, double flashSize,
                         bool adam2, std::int64_t mtd5Size, const MessageSink& messages) {
    const auto layout = CalculateLayout(imageLength, filesystemOffset, flashSize, adam2, mtd5Size, messages);
    return layout ? ResultTextOf(*layout) : std::string();
}

} // namespace flintor
