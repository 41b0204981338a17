// The checks an image passes before it is written to a router, on the bytes that are sent.

#include "FirmwareImage.h"

#include "Cksum.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace flintor {
namespace {

TEST(FirmwareImage, OnlyAnIntactImageWithAKernelThatFitsTheImageAreaIsWritten) {
    test::TempDir dir;
    const PartitionBounds area{4, 0x90020000u, 0x90030000u};
    const struct {
        const char* name;
        std::size_t length;
        int trailer; // 0 none, 1 right, -1 wrong
        bool kernel;
        bool realFileSystem;
        std::int64_t calculatedLength; // 0: the image's own
        const char* problem;           // a part of the refusal; empty: written
    } cases[] = {
        {"intact", 0x8000, 1, true, true, 0, ""},
        {"no trailer", 0x8000, 0, true, true, 0, ""},
        {"as long as the image area", 0x10000 - 8, 1, true, true, 0, ""},
        {"damaged", 0x8000, -1, true, true, 0, "The image is damaged"},
        {"no kernel", 0x8000, 1, false, true, 0, "No kernel begins"},
        {"no real file system", 0x8000, 1, true, false, 0, "does not start a real file system"},
        {"changed since calculated", 0x8000, 1, true, true, 0x9000, "changed"},
        {"longer than the image area", 0x10000 - 7, 1, true, true, 0, "longer than the image area"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string(c.name) + ".bin";
        std::string path = c.realFileSystem ? dir.fileSystemImage(name, c.length, 0x1000)
                                            : dir.image(name, c.length, {0x1000});
        if (!c.kernel) {
            std::vector<std::uint8_t> bytes = LoadFirmwareImage(path).image->bytes;
            bytes[0x90] = 0;
            path = dir.write(name, bytes);
        }
        if (c.trailer != 0) {
            const auto bytes = LoadFirmwareImage(path).image->bytes;
            dir.appendTrailer(path, CksumOf(bytes.data(), bytes.size()) + (c.trailer < 0 ? 1 : 0));
        }
        const FirmwareImageLoading loaded = LoadFirmwareImage(path);
        ASSERT_TRUE(loaded.image) << loaded.error;
        EXPECT_EQ(loaded.image->fileName, name);
        EXPECT_EQ(loaded.image->cksum, CksumOf(loaded.image->bytes.data(), loaded.image->bytes.size()));
        CalculationDetails details;
        details.imageLength = c.calculatedLength != 0 ? c.calculatedLength
                                                      : static_cast<std::int64_t>(loaded.image->bytes.size());
        details.filesystemOffset = 0x1000;
        const std::string problem = ImageWriteProblem(*loaded.image, details, area);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << problem;
    }
}

} // namespace
} // namespace flintor
