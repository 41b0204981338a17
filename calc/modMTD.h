#pragma once

// Firmware image inspection and the Adam2/PSP partition calculator.

#include "ImageScanner.h"
#include "Messages.h"
#include "SquashFs.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace flintor {

/// First flash byte as the router's processor sees it.
inline constexpr std::uint32_t FlashBase = 0x90000000u;
/// Size of each read of the SquashFS search (100 KiB, not 64 KiB).
inline constexpr std::int64_t kChunkSize = 102400;
/// Longer files are not searched for the SquashFS magic.
inline constexpr std::int64_t kLargestSearchedFile = 0x2000000;
/// The search ends when the 1-based position of the next chunk exceeds this.
inline constexpr std::int64_t kSearchLimit = 0x1000000;
/// Files shorter than this have no type.
inline constexpr std::int64_t kShortestClassifiableFile = 16;
/// Offset of the kernel in an image: the PSP and Adam2 single-image layouts start mtd1 this far in.
inline constexpr std::int64_t kKernelHeader = 0x90;
/// Flash that both boot loader layouts keep outside the image area: the first 64 KiB block and the
/// configuration block. The combined image is written at the start of mtd4, which spans the rest.
inline constexpr std::int64_t kReservedFlash = 0x20000;
/// From this flash size upwards an address would pass 0xFFFFFFFF.
inline constexpr std::int64_t kFlashSizeLimit = 0x70000000;

/// A firmware file could not be read to the end of an inspection: it vanished, became unreadable or
/// changed its length meanwhile. The inspection has no result.
class ImageReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The host asked the running calculation to stop (its event pump returned false).
class CalculationCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "calculation cancelled"; }
};

/// The first 16 bytes of an image, which tell its type.
using ImageHeader = std::array<std::uint8_t, 16>;

/// Classifies the first 16 bytes of a file. Returns true only for a combined image. typeText becomes the
/// recognised type ("combined image", "filesystem image", "kernel image", "config image") and is left as
/// it was otherwise; imageLength receives the file's length. A path that is empty, missing, or not a
/// regular file (directory, FIFO, socket, device) returns false and leaves both unchanged without
/// opening it. Throws ImageReadError when an existing regular file cannot be read. header, when given,
/// receives the 16 bytes when the file holds them.
bool ImageTypeOf(const std::string& path, std::string& typeText, std::int64_t& imageLength,
                 ImageHeader* header = nullptr);

/// One chunk of the file from the 1-based position (0 counts as 1): kChunkSize bytes, or the rest of the
/// file. After the file's last chunk the position becomes -1. Throws ImageReadError when the file cannot
/// be read.
std::vector<std::uint8_t> ReadChunk(const std::string& path, std::int64_t& position);

/// Reads an image once, chunk by chunk from its start to its end, and scans it with ImageScanner: the
/// SquashFS search in the first 164 chunks (magics that span a chunk boundary are not found), the
/// superblock at the magic, the kernel where mtd1 begins and the checksum trailer. header: the first 16
/// bytes as ImageTypeOf read them, which are then not read again. An empty path, a missing or
/// non-regular file or one longer than 32 MiB is not read: its filesystemOffset is 0. afterChunk runs
/// after each chunk; when it returns false the pass throws CalculationCancelled. Throws ImageReadError
/// when the file vanishes, becomes unreadable or changes its length meanwhile.
ImageScan InspectImage(const std::string& path, const EventPump& afterChunk = {},
                       const ImageHeader* header = nullptr);

/// InspectImage's filesystemOffset: the 0-based offset of the first "hsqs" in the first 164 chunks, -1
/// when there is none, 0 for a file that is not read.
std::int32_t FindSquashFs(const std::string& path, const EventPump& afterChunk = {});

/// "0x" and the upper-case hexadecimal digits of address, without leading zeros.
std::string HexAddress(std::uint32_t address);

/// The nearest multiple of 0x10000 (an exact half to the even multiple); with roundUp, value rounded up
/// to a multiple of 0x10000.
std::int64_t Align64K(std::int64_t value, bool roundUp);

/// The flash size to calculate with: 0 (unknown) gives 2 MiB for images up to 2 MiB and 4 MiB for longer
/// ones; any other size is rounded half to even and saturated to the int32 range.
std::int32_t EffectiveFlashSize(double flashSize, std::int64_t imageLength);

/// One partition's bounds, as 32-bit flash addresses.
struct PartitionBounds {
    int number = 0; ///< 0 to 5, the n of "mtdn"
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    /// Its size in bytes; 0 for bounds that end before they start.
    std::uint64_t size() const { return end > start ? end - start : 0; }
    bool operator==(const PartitionBounds&) const = default;
};

/// The bounds of partition 0 to 5 (nullopt above 5). mtd5Size is the size d after the MTD5 sizing; below 1
/// it counts as 0. flashSize must lie in 0..kFlashSizeLimit.
std::optional<PartitionBounds> PartitionBoundsOf(bool adam2, bool separate, std::int64_t filesystemOffset,
                                                 std::int64_t flashSize, int partition, bool maxKernelSize,
                                                 std::int64_t mtd5Size);

/// A partition's bounds as the result text writes them: "0x90020000, 0x90400000".
std::string RangeText(const PartitionBounds& bounds);

/// A partition's line of the result text: "mtd0: 0x90020000, 0x90400000".
std::string PartitionLine(const PartitionBounds& bounds);

/// The range text of one partition, "0x90020000, 0x90400000"; empty above partition 5.
std::string PartitionRange(bool adam2, bool separate, std::int64_t filesystemOffset, std::int64_t flashSize,
                           int partition, bool maxKernelSize, std::int64_t mtd5Size);

/// One block of the result: a heading (empty for PSP) and its partitions in mtd order.
struct LayoutBlock {
    std::string heading; ///< "Single images:", "Separate images (filesystem offset):", ... or empty
    std::vector<PartitionBounds> partitions;

    bool operator==(const LayoutBlock&) const = default;
};

/// The name of a layout: its block's heading without the final ':', "Single images"; empty for PSP.
std::string LayoutName(const LayoutBlock& block);

/// The calculated flash layout behind a result text.
struct MtdLayout {
    bool adam2 = false;
    std::int64_t flashSize = 0; ///< the integer flash size the addresses were computed with
    std::int64_t mtd5Size = 0;  ///< the mtd5 size used; 0 when there is no mtd5
    std::vector<LayoutBlock> blocks;
};

/// The MTD5 sizing and the layout blocks; the MTD5 information messages go to messages.
MtdLayout BuildLayout(bool adam2, std::int64_t filesystemOffset, std::int64_t flashSize,
                      std::int64_t mtd5Size, std::int64_t imageLength, const MessageSink& messages = {});

/// The result text of a layout: CR LF between lines, no empty lines, no final line break.
std::string ResultTextOf(const MtdLayout& layout);

/// BuildLayout followed by ResultTextOf.
std::string BuildResultText(bool adam2, std::int64_t filesystemOffset, std::int64_t flashSize,
                            std::int64_t mtd5Size, std::int64_t imageLength,
                            const MessageSink& messages = {});

/// CalculateMtd's layout: nullopt for a negative file system offset (and no messages). The flash size is
/// rounded half to even; after rounding it must lie in 0..kFlashSizeLimit (std::invalid_argument
/// otherwise: the workflow rejects such sizes before it calculates).
std::optional<MtdLayout> CalculateLayout(std::int64_t imageLength, std::int64_t filesystemOffset,
                                         double flashSize, bool adam2, std::int64_t mtd5Size,
                                         const MessageSink& messages = {});

/// The result text for an image, its file system offset, the flash size, the boot loader (true for
/// Adam2) and the requested mtd5 size (0 none, -1 as large as possible). Empty for a negative offset.
std::string CalculateMtd(std::int64_t imageLength, std::int64_t filesystemOffset, double flashSize,
                         bool adam2, std::int64_t mtd5Size, const MessageSink& messages = {});

} // namespace flintor
