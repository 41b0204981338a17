#include "SquashFs.h"

#include "../cli/RunProcess.h"
#include "TestFiles.h"
#include "modMTD.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <regex>

namespace flintor {
namespace {

using test::TempDir;

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A version 4.0 superblock as mksquashfs writes it: 128 KiB blocks, 0x1000 bytes used.
std::vector<std::uint8_t> GoodSuperblock() {
    std::vector<std::uint8_t> bytes(kSquashFsSuperblockSize, 0);
    Put(bytes, 0, 0x73717368, 4);
    Put(bytes, 12, 0x20000, 4);
    Put(bytes, 22, 17, 2);
    Put(bytes, 28, 4, 2);
    Put(bytes, 40, 0x1000, 8);
    return bytes;
}

TEST(SquashFsSuperblock, EachFieldIsJudgedAtItsLimits) {
    const struct {
        const char* name;
        std::size_t at;
        std::uint64_t value;
        int size;
        bool plausible;
        const char* problem; // a part of the problem text
    } cases[] = {
        {"as written", 0, 0x73717368, 4, true, ""},
        {"version 0", 28, 0, 2, false, "version 0.0"},
        {"version 5", 28, 5, 2, false, "version 5.0"},
        {"version 1: only the version is judged", 28, 1, 2, true, ""},
        {"version 3 with a nonsense block size", 12, 3, 4, true, ""}, // paired with version 3 below
        {"block size 2 KiB", 12, 0x800, 4, false, "block size 2048"},
        {"block size 2 MiB", 12, 0x200000, 4, false, "block size 2097152"},
        {"block size not a power of two", 12, 0x3000, 4, false, "block size 12288"},
        {"block log of another size", 22, 16, 2, false, "block log 16"},
        {"block log beyond any size", 22, 40, 2, false, "block log 40"},
        {"no bytes used", 40, 0, 8, false, "holds no bytes"},
        {"bytes used to the image's end", 40, 0x3000, 8, true, ""},
        {"one byte beyond the image's end", 40, 0x3001, 8, false, "1 bytes beyond the end"},
        {"bytes used beyond any image", 40, ~0ULL, 8, false, "beyond the end"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = GoodSuperblock();
        Put(bytes, c.at, c.value, c.size);
        if (std::string(c.name).starts_with("version 3")) {
            Put(bytes, 28, 3, 2);
        }
        // The magic at 0x1000 of a 0x4000-byte image: 0x3000 bytes from the magic to the end.
        const SquashFsSuperblock judged = JudgeSquashFsSuperblock(bytes.data(), bytes.size(), 0x1000, 0x4000);
        EXPECT_EQ(judged.plausible, c.plausible) << c.name;
        EXPECT_NE(judged.problem.find(c.problem), std::string::npos) << c.name << ": " << judged.problem;
        EXPECT_EQ(judged.problem.empty(), c.plausible) << c.name;
    }
}

TEST(SquashFsSuperblock, TruncatedSuperblocksAreImplausibleAndNotReadPast) {
    const std::vector<std::uint8_t> good = GoodSuperblock();
    for (std::size_t count : {std::size_t{0}, std::size_t{4}, kSquashFsVersionEnd - 1, kSquashFsVersionEnd,
                              kSquashFsSuperblockSize - 1}) {
        // An exact-size copy, so that a read past count is a read past the allocation under ASan.
        const std::vector<std::uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(count));
        const SquashFsSuperblock judged =
            JudgeSquashFsSuperblock(bytes.data(), count, 0x1000, 0x1000 + count);
        EXPECT_FALSE(judged.plausible) << count;
        EXPECT_EQ(judged.problem, "the image ends inside its superblock") << count;
        EXPECT_EQ(judged.versionMajor.has_value(), count >= kSquashFsVersionEnd) << count;
        EXPECT_FALSE(judged.bytesUsed) << count;
    }
}

TEST(SquashFsSuperblock, MagicPlantedInRandomBytesIsImplausible) {
    // Random bytes pass only by a version of 1 to 3 (3 in 65536), whose other fields are not judged;
    // a random version 4 superblock never passes.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(kSquashFsSuperblockSize);
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::copy_n("hsqs", 4, bytes.begin());
        if (round % 2 == 1) {
            Put(bytes, 28, 4, 2);
        }
        const SquashFsSuperblock judged =
            JudgeSquashFsSuperblock(bytes.data(), bytes.size(), 0x10000, 0x400000);
        EXPECT_EQ(judged.plausible, *judged.versionMajor >= 1 && *judged.versionMajor <= 3) << round;
    }
}

// Real file systems made by mksquashfs, inside combined images, read back from the file.
TEST(SquashFsSuperblock, RealFileSystemsArePlausibleWithTheSizeUnsquashfsReports) {
#ifdef _WIN32
    GTEST_SKIP() << "squashfs-tools are Linux programs";
#endif
    const std::string mksquashfs = "/usr/bin/mksquashfs";
    const std::string unsquashfs = "/usr/bin/unsquashfs";
    if (!std::filesystem::exists(mksquashfs) || !std::filesystem::exists(unsquashfs)) {
        GTEST_SKIP() << "squashfs-tools is not installed";
    }
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "root" / "etc");
    std::ofstream(dir.path() / "root" / "etc" / "motd") << std::string(20000, 'r') << "outer\n";
    std::ofstream(dir.path() / "root" / "banner") << "a router of our own\n";
    const struct {
        const char* blockSize;
        const char* compression;
        std::size_t offset;
        std::size_t padding; // bytes after the file system, as many images have
    } cases[] = {
        {"4096", "gzip", 0x2000, 0}, {"131072", "xz", 0x71000, 0x10000}, {"1048576", "lzo", 0x90, 123}};
    for (const auto& c : cases) {
        const std::string fs = dir.file("fs.sq");
        const auto made = test::RunProcess(mksquashfs, {dir.file("root"), fs, "-noappend", "-no-progress",
                                                        "-quiet", "-b", c.blockSize, "-comp", c.compression});
        ASSERT_EQ(made.exitStatus, 0) << made.err;
        std::ifstream in(fs, std::ios::binary);
        const std::vector<std::uint8_t> fsBytes{std::istreambuf_iterator<char>(in), {}};
        std::vector<std::uint8_t> image = test::CombinedHeader();
        image.resize(c.offset, 0x5A);
        image.insert(image.end(), fsBytes.begin(), fsBytes.end());
        image.resize(image.size() + c.padding, 0xFF);
        const std::string path = dir.write("fw.bin", image);

        const auto shown = test::RunProcess(unsquashfs, {"-s", "-o", std::to_string(c.offset), path});
        std::smatch size;
        ASSERT_TRUE(std::regex_search(shown.out, size, std::regex("Filesystem size ([0-9]+) bytes")))
            << shown.out;

        const ImageScan scan = InspectImage(path);
        EXPECT_EQ(scan.filesystemOffset, static_cast<std::int64_t>(c.offset));
        const SquashFsSuperblock& judged = scan.squashFs;
        EXPECT_TRUE(judged.plausible) << c.blockSize << ": " << judged.problem;
        EXPECT_EQ(judged.versionText(), "4.0");
        ASSERT_TRUE(judged.bytesUsed);
        EXPECT_EQ(*judged.bytesUsed, std::stoull(size[1].str())) << c.blockSize;

        // Cut inside the file system: the image is truncated.
        image.resize(c.offset + static_cast<std::size_t>(*judged.bytesUsed) - 1);
        const std::string cut = dir.write("cut.bin", image);
        EXPECT_FALSE(InspectImage(cut).squashFs.plausible) << c.blockSize;
    }
}

TEST(SquashFsSuperblock, MagicInTheLastBytesOfTheFileIsReadNoFurther) {
    TempDir dir;
    const std::string path = dir.image("end.bin", 0x1000, {0x1000 - 4});
    const SquashFsSuperblock judged = InspectImage(path).squashFs;
    EXPECT_EQ(judged.offset, 0x1000 - 4);
    EXPECT_FALSE(judged.plausible);
    EXPECT_EQ(judged.problem, "the image ends inside its superblock");
}

} // namespace
} // namespace flintor
