#pragma once

// A firmware image held in memory to be written into the router's image area, and the checks it passes
// first. The bytes that are checked are the bytes that are sent: the file is read once.

#include "ImageScanner.h"
#include "Workflow.h"
#include "modMTD.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flintor {

/// An image read whole, with what the calculation's checks find in its bytes.
struct FirmwareImage {
    std::string path;
    std::string fileName; ///< the path's last part, as STOR names the image
    std::vector<std::uint8_t> bytes;
    ImageScan scan;          ///< the SquashFS search, the kernel and the checksum trailer of these bytes
    std::uint32_t cksum = 0; ///< the POSIX cksum of the bytes, as `cksum FILE` prints it
};

/// An image, or why it could not be read.
struct FirmwareImageLoading {
    std::optional<FirmwareImage> image;
    std::string error;
};

/// Reads a regular file of at most kLargestSearchedFile bytes whole and scans it. A file that changes its
/// length while it is read is refused.
FirmwareImageLoading LoadFirmwareImage(const std::string& path);

/// Why the image itself must not go to a router: its checksum trailer does not match its bytes, no kernel
/// begins where mtd1 begins, or its file system does not look real; empty when none of these.
std::string ImageWriteProblem(const FirmwareImage& image);

/// The same for the image the last calculation was made for (from what that calculation found), so that a
/// write can be offered before the file is read again; empty when none.
std::string CalculatedImageProblem(const CalculationDetails& details);

/// Why the image must not be written with this calculation into imageArea (the calculated mtd4): a problem
/// of ImageWriteProblem, a file that changed since it was calculated, or an image that does not fit the
/// image area; empty when it may be written.
std::string ImageWriteProblem(const FirmwareImage& image, const CalculationDetails& details,
                              const PartitionBounds& imageArea);

/// The layout to write a combined image with: the blocks of layout whose mtd1 begins kKernelHeader bytes
/// into mtd4, where the image puts its kernel (PSP's one block, Adam2's "Single images"). The other Adam2
/// blocks are for a kernel and a file system written separately.
MtdLayout ImageWriteLayout(const MtdLayout& layout);

/// "0x" and the hexadecimal digits of an image's cksum, or its checksum state for a person: "checksum
/// 0xCC862F94 right", "no checksum trailer".
std::string ChecksumState(const ImageScan& scan);

} // namespace flintor
