#include "../cli/RunProcess.h"
#include "Cksum.h"
#include "ImageScanner.h"
#include "TestFiles.h"
#include "modMTD.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace flintor {
namespace {

using test::TempDir;

std::vector<std::uint8_t> RandomBytes(std::size_t count, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

// What coreutils' cksum prints for each payload, in order; nothing where it does not run (Windows).
std::vector<std::uint32_t> CoreutilsCksums(const std::vector<std::vector<std::uint8_t>>& payloads,
                                           const TempDir& dir) {
#ifdef _WIN32
    (void)payloads;
    (void)dir;
    return {};
#else
    std::vector<std::string> paths;
    for (const auto& payload : payloads) {
        paths.push_back(dir.write("payload" + std::to_string(paths.size()), payload));
    }
    const test::ProcessResult r = test::RunProcess("/usr/bin/cksum", paths);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<std::uint32_t> sums;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        sums.push_back(static_cast<std::uint32_t>(std::stoul(line)));
    }
    EXPECT_EQ(sums.size(), payloads.size());
    return sums;
#endif
}

// The scan of an image fed in pieces of 1 to 13 bytes (and 100 KiB ones), as no read would cut it.
ImageScan ScanInPieces(const std::vector<std::uint8_t>& image) {
    ImageScanner scanner(static_cast<std::int64_t>(image.size()));
    for (std::size_t at = 0, n = 0; at < image.size(); ++n) {
        const std::size_t piece = std::min(image.size() - at, n % 5 == 4 ? std::size_t{102400} : 1 + n % 13);
        scanner.feed(image.data() + at, piece);
        at += piece;
    }
    return scanner.result();
}

TEST(Cksum, ItsCrcAndThePortableOneGiveWhatCoreutilsCksumPrints) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(CksumOf(bytes, digits.size()), 930766865u);
    EXPECT_EQ(TableCksumOf(bytes, digits.size()), 930766865u);
    EXPECT_EQ(CksumOf(bytes, 0), 0xFFFFFFFFu);

    std::mt19937 random(19);
    std::vector<std::vector<std::uint8_t>> payloads;
    for (std::size_t length = 0; length <= 16; ++length) {
        payloads.push_back(RandomBytes(length, random));
    }
    for (const std::size_t length : {17, 31, 63, 64, 65, 255, 257, 1000, 4093, 65539, (1 << 20) + 5}) {
        payloads.push_back(RandomBytes(length, random));
    }
    TempDir dir;
    const std::vector<std::uint32_t> expected = CoreutilsCksums(payloads, dir);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& payload = payloads[i];
        EXPECT_EQ(CksumOf(payload.data(), payload.size()), expected[i]) << payload.size();
        EXPECT_EQ(TableCksumOf(payload.data(), payload.size()), expected[i]) << payload.size();
        CksumCrc pieces;
        for (std::size_t at = 0, n = 0; at < payload.size(); ++n) {
            const std::size_t piece = std::min(payload.size() - at, 1 + n % 13);
            pieces.update(payload.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(pieces.value(), expected[i]) << payload.size();
    }
    if (expected.empty()) {
        GTEST_SKIP() << "coreutils' cksum is a Linux program; the known values held";
    }
}

TEST(ChecksumTrailer, TrailersMadeWithCksumAreRightAndAnyFlippedBitIsCaught) {
    std::mt19937 random(7);
    std::vector<std::vector<std::uint8_t>> payloads;
    // Nothing but a trailer; short ones; a trailer across the end of a 100 KiB read; a longer image.
    for (const std::size_t length : {0, 1, 9, 0x94, 102400 - 3, 250000}) {
        payloads.push_back(RandomBytes(length, random));
    }
    TempDir dir;
    const std::vector<std::uint32_t> sums = CoreutilsCksums(payloads, dir);
    if (sums.empty()) {
        GTEST_SKIP() << "coreutils' cksum is a Linux program";
    }
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        std::vector<std::uint8_t> image = payloads[i];
        const std::size_t end = image.size();
        image.resize(end + 8);
        PutWord(image, end, kChecksumTrailerMagic);
        PutWord(image, end + 4, sums[i]);
        const ChecksumTrailer right = ScanInPieces(image).checksum;
        EXPECT_TRUE(right.present && right.valid()) << end;
        EXPECT_EQ(right.stored, sums[i]);
        EXPECT_EQ(right.computed, sums[i]);

        // A bit of the stored checksum, of the magic (no trailer then), of the first, last and any payload
        // byte.
        std::vector<std::pair<std::size_t, bool>> flips = {{end + 4 + random() % 4, true},
                                                           {end + random() % 4, false}};
        if (end > 0) {
            for (const std::size_t at : {std::size_t{0}, end - 1, random() % end}) {
                flips.emplace_back(at, true);
            }
        }
        for (const auto& [at, present] : flips) {
            std::vector<std::uint8_t> damaged = image;
            damaged[at] ^= static_cast<std::uint8_t>(1u << random() % 8);
            const ChecksumTrailer judged = ScanInPieces(damaged).checksum;
            EXPECT_EQ(judged.present, present) << end << " " << at;
            EXPECT_FALSE(judged.valid()) << end << " " << at;
            EXPECT_EQ(ChecksumWarning(judged).empty(), !present) << end << " " << at;
        }
    }
}

TEST(ChecksumTrailer, FilesShorterThanATrailerHaveNone) {
    std::vector<std::uint8_t> onlyTrailer(8);
    PutWord(onlyTrailer, 0, kChecksumTrailerMagic);
    PutWord(onlyTrailer, 4, 0xFFFFFFFF); // the cksum of no bytes
    EXPECT_TRUE(ScanInPieces(onlyTrailer).checksum.valid());
    for (std::size_t length = 0; length < 8; ++length) {
        const std::vector<std::uint8_t> cut(onlyTrailer.begin(),
                                            onlyTrailer.begin() + static_cast<long>(length));
        const ChecksumTrailer judged = ScanInPieces(cut).checksum;
        EXPECT_FALSE(judged.present) << length;
        EXPECT_EQ(ChecksumWarning(judged) + ChecksumNote(judged), "") << length;
    }
}

TEST(KernelCheck, EitherMagicAtTheStartOfMtd1IsAKernel) {
    const struct {
        std::size_t length;
        std::uint32_t word; // at 0x90, as far as the image holds it
        std::optional<std::uint32_t> magic;
        bool plausible;
    } cases[] = {
        {0x94, 0xFEEDFA42, 0xFEEDFA42, true},
        {0x1000, 0xFEED1281, 0xFEED1281, true},
        {0x1000, 0x42FAEDFE, 0x42FAEDFE, false}, // the magic's bytes in the other order
        {0x1000, 0x73717368, 0x73717368, false}, // the file system right after the header
        {0x93, 0xFEEDFA42, std::nullopt, false},
        {0x90, 0, std::nullopt, false},
        {0, 0, std::nullopt, false},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> image(0x1000, 0);
        PutWord(image, 0x90, c.word);
        image.resize(c.length);
        const KernelCheck kernel = ScanInPieces(image).kernel;
        EXPECT_EQ(kernel.magic, c.magic) << c.length << " " << c.word;
        EXPECT_EQ(kernel.plausible, c.plausible) << c.length << " " << c.word;
        EXPECT_EQ(KernelWarning(kernel).empty(), c.plausible);
    }
}

TEST(ImageScanner, FindsWhatAWholeChunkReadFindsWhereverThePiecesEnd) {
    // A magic across the first chunk's end is not found; the next one is, and its superblock is
    // gathered from the pieces it spans.
    std::vector<std::uint8_t> image(250000, 0);
    for (const std::size_t at : {std::size_t{102398}, std::size_t{150001}}) {
        std::copy_n("hsqs", 4, image.begin() + static_cast<long>(at));
    }
    image[150001 + 28] = 4;
    const ImageScan scan = ScanInPieces(image);
    EXPECT_EQ(scan.filesystemOffset, 150001);
    EXPECT_EQ(scan.squashFs.versionText(), "4.0");
    TempDir dir;
    EXPECT_EQ(FindSquashFs(dir.write("f.bin", image)), 150001);
}

} // namespace
} // namespace flintor
