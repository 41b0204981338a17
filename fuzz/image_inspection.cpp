// Image inspection on a file of the fuzzer's bytes: the type check, the pass over the whole file (the
// SquashFS search, the kernel where mtd1 begins, the checksum trailer), the same pass fed in pieces cut
// by the bytes themselves, and the whole Calculate command on it with a spread of flash sizes and boot
// loaders.

#include "Cksum.h"
#include "FuzzSupport.h"
#include "ImageScanner.h"
#include "Workflow.h"
#include "modMTD.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace {

class QuietHost : public flintor::WorkflowHost {
public:
    void setStatus(const std::string&) override {}
    bool processEvents() override { return true; }
    void showMessage(const std::string& text, flintor::MessageKind) override {
        fuzz::check(!text.empty(), "empty message");
        ++messages;
    }
    int messages = 0;
};

// The search as documented: the first "hsqs" wholly inside one 100 KiB chunk of the first 16 MiB.
std::int64_t ExpectedOffset(const std::uint8_t* data, std::size_t size) {
    static const char kMagic[] = "hsqs";
    for (std::size_t chunk = 0; chunk < size && chunk < static_cast<std::size_t>(flintor::kSearchLimit);
         chunk += flintor::kChunkSize) {
        const std::size_t stop = std::min(size, chunk + static_cast<std::size_t>(flintor::kChunkSize));
        const auto* found = std::search(data + chunk, data + stop, kMagic, kMagic + 4);
        if (found != data + stop)
            return found - data;
    }
    return -1;
}

std::uint32_t Word(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The kernel and the trailer as documented, the checksum by the portable table whatever the build uses.
void CheckScan(const flintor::ImageScan& scan, const std::uint8_t* data, std::size_t size, const char* how) {
    const std::string detail(reinterpret_cast<const char*>(data), size);
    fuzz::check(scan.filesystemOffset == ExpectedOffset(data, size), how, detail);
    const std::optional<std::uint32_t> kernel =
        size >= 0x94 ? std::optional<std::uint32_t>(Word(data + 0x90)) : std::nullopt;
    fuzz::check(scan.kernel.magic == kernel, "kernel magic", detail);
    fuzz::check(scan.kernel.plausible == (kernel == 0xFEEDFA42u || kernel == 0xFEED1281u), "kernel verdict");
    fuzz::check(scan.kernel.plausible == flintor::KernelWarning(scan.kernel).empty(), "kernel warning");
    const bool trailer = size >= 8 && Word(data + size - 8) == 0xC453DE23u;
    fuzz::check(scan.checksum.present == trailer, "trailer", detail);
    if (trailer) {
        fuzz::check(scan.checksum.stored == Word(data + size - 4), "stored checksum", detail);
        fuzz::check(scan.checksum.computed == flintor::TableCksumOf(data, size - 8), "computed checksum",
                    detail);
    }
    fuzz::check(flintor::ChecksumWarning(scan.checksum).empty() == (!trailer || scan.checksum.valid()),
                "checksum warning");
    fuzz::check(flintor::ChecksumNote(scan.checksum).empty() == !scan.checksum.valid(), "checksum note");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = fuzz::scratchFolder();
    const std::string name = "image.bin";
    const std::string path = folder + "/" + name;
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        fuzz::check(file.good(), "cannot write the image");
    }

    std::string typeText;
    std::int64_t length = -1;
    const bool combined = flintor::ImageTypeOf(path, typeText, length);
    fuzz::check(length == static_cast<std::int64_t>(size), "image length");
    static const std::uint8_t kCombined[16] = {0x34, 0x44, 0x54, 0x4D, 1, 2, 3, 4,
                                               0x40, 0x30, 0x20, 0x10, 0, 0, 0, 0};
    fuzz::check(combined == (size >= 16 && std::memcmp(data, kCombined, 16) == 0), "combined image type");
    fuzz::check(combined == (typeText == "combined image"), "type text");

    const flintor::ImageScan read = flintor::InspectImage(path);
    CheckScan(read, data, size, "SquashFS offset of the reads");
    const auto offset = static_cast<std::int32_t>(read.filesystemOffset);
    flintor::ImageScanner scanner(static_cast<std::int64_t>(size));
    for (std::size_t at = 0, n = 0; at < size; ++n) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[n % size] * 131u % 4099u);
        scanner.feed(data + at, piece);
        at += piece;
    }
    const flintor::ImageScan pieces = scanner.result();
    CheckScan(pieces, data, size, "SquashFS offset of the pieces");
    fuzz::check(pieces.squashFs.problem == read.squashFs.problem, "superblock verdict of the pieces");

    // The full command, as the window and flintor-calc run it. The last four bytes give a size in hex.
    char hex[9] = "0";
    if (size >= 4)
        std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", data[size - 4], data[size - 3], data[size - 2],
                      data[size - 1]);
    for (const bool adam2 : {false, true}) {
        for (const int memory : {0, 1, 3, 4}) {
            for (const bool mtd5Maximum : {false, true}) {
                if (adam2 && mtd5Maximum)
                    continue;
                flintor::WorkflowInputs inputs;
                inputs.folder = folder;
                inputs.fileName = name;
                inputs.memoryOption = memory;
                inputs.sizeInHex = hex;
                inputs.psp = !adam2;
                inputs.adam2 = adam2;
                inputs.mtd5Visible = !adam2;
                inputs.mtd5Text = mtd5Maximum ? "Maximum" : "192.00 KB";
                inputs.mtd5ItemData = mtd5Maximum ? 0 : 3;
                inputs.outputForm = memory % 4;
                QuietHost host;
                flintor::Workflow workflow;
                const flintor::WorkflowOutcome outcome = workflow.calculate(inputs, host);
                if (outcome != flintor::WorkflowOutcome::Completed) {
                    fuzz::check(outcome == flintor::WorkflowOutcome::ValidationFailed, "outcome");
                    fuzz::check(host.messages > 0, "rejected without a message");
                    continue;
                }
                fuzz::check(combined && offset > 0, "calculated on an image that is none");
                const auto& details = *workflow.lastCalculation();
                for (const auto& block : details.layout.blocks) {
                    for (const auto& partition : block.partitions)
                        fuzz::check(partition.end >= partition.start, "partition ends before it starts",
                                    details.resultsText);
                }
                fuzz::checkResultAddresses(details.resultsText);
            }
        }
    }
    return 0;
}
