// The checksum against coreutils' cksum, the trailer and kernel rules, and the scanner fed in pieces.
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

std::vector<std::uint8_t> RandomBytes(std::size_t count, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(count);
    std::generate(bytes.begin(), bytes.end(), [&random] { return static_cast<std::uint8_t>(random()); });
    return bytes;
}

// The bytes with the words appended, little-endian.
std::vector<std::uint8_t> Appended(std::vector<std::uint8_t> bytes,
                                   std::initializer_list<std::uint32_t> words) {
    for (const std::uint32_t word : words) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
        }
    }
    return bytes;
}

// What coreutils' cksum prints for each payload; nothing on Windows, where it does not run.
std::vector<std::uint32_t> CoreutilsCksums(const std::vector<std::vector<std::uint8_t>>& payloads) {
    std::vector<std::uint32_t> sums;
#ifndef _WIN32
    const test::TempDir dir;
    std::vector<std::string> paths;
    for (const auto& payload : payloads) {
        paths.push_back(dir.write("payload" + std::to_string(paths.size()), payload));
    }
    const test::ProcessResult r = test::RunProcess("/usr/bin/cksum", paths);
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        sums.push_back(static_cast<std::uint32_t>(std::stoul(line)));
    }
    EXPECT_EQ(sums.size(), payloads.size()) << r.err;
#else
    (void)payloads;
#endif
    return sums;
}

// The scan of an image fed in pieces of 1 to 13 bytes and of 100 KiB, which no read would cut.
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
    const auto* digits = reinterpret_cast<const std::uint8_t*>("123456789");
    EXPECT_EQ(CksumOf(digits, 9), 930766865u);
    EXPECT_EQ(TableCksumOf(digits, 9), 930766865u);
    std::mt19937 random(19);
    std::vector<std::vector<std::uint8_t>> payloads;
    for (const std::size_t length :
         {0,  1,  2,  3,  4,  5,  6,  7,  8,   9,   10,   11,   12,    13,
          14, 15, 16, 17, 31, 63, 64, 65, 255, 257, 1000, 4093, 65539, (1 << 20) + 5}) {
        payloads.push_back(RandomBytes(length, random));
    }
    const std::vector<std::uint32_t> expected = CoreutilsCksums(payloads);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(CksumOf(payloads[i].data(), payloads[i].size()), expected[i]) << payloads[i].size();
        EXPECT_EQ(TableCksumOf(payloads[i].data(), payloads[i].size()), expected[i]) << payloads[i].size();
    }
    if (expected.empty()) {
        GTEST_SKIP() << "coreutils' cksum is a Linux program; the known value held";
    }
}

TEST(ChecksumTrailer, RightWhenMadeWithCksumAndWrongForAnyFlippedBit) {
    std::mt19937 random(7);
    std::vector<std::vector<std::uint8_t>> payloads;
    // Nothing but a trailer; short images; a trailer across the end of a 100 KiB read; a longer image.
    for (const std::size_t length : {0, 1, 0x94, 102400 - 3, 250000}) {
        payloads.push_back(RandomBytes(length, random));
    }
    const std::vector<std::uint32_t> sums = CoreutilsCksums(payloads);
    for (std::size_t i = 0; i < sums.size(); ++i) {
        const std::vector<std::uint8_t> image = Appended(payloads[i], {kChecksumTrailerMagic, sums[i]});
        const ChecksumTrailer right = ScanInPieces(image).checksum;
        const std::size_t end = payloads[i].size();
        EXPECT_TRUE(right.valid() && right.stored == sums[i] && right.computed == sums[i]) << end;
        // A bit of the stored checksum, of the magic (no trailer then), of the first, last and any payload
        // byte.
        std::vector<std::pair<std::size_t, bool>> flips = {{end + 4 + random() % 4, true},
                                                           {end + random() % 4, false}};
        for (const std::size_t at : {std::size_t{0}, end - 1, random() % (end + 1)}) {
            if (at < end) {
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
    // Files shorter than a trailer hold none.
    const std::vector<std::uint8_t> onlyTrailer = Appended({}, {kChecksumTrailerMagic, 0xFFFFFFFF});
    for (std::size_t length = 0; length < 8; ++length) {
        EXPECT_FALSE(ScanInPieces({onlyTrailer.begin(), onlyTrailer.begin() + static_cast<long>(length)})
                         .checksum.present)
            << length;
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
        std::vector<std::uint8_t> image = Appended(std::vector<std::uint8_t>(0x90), {c.word});
        image.resize(c.length);
        const KernelCheck kernel = ScanInPieces(image).kernel;
        EXPECT_EQ(kernel.magic, c.magic) << c.length << " " << c.word;
        EXPECT_EQ(kernel.plausible, c.plausible) << c.length << " " << c.word;
        EXPECT_EQ(KernelWarning(kernel).empty(), c.plausible);
    }
}

TEST(ImageScanner, FindsWhatAWholeChunkReadFindsWhereverThePiecesEnd) {
    // A magic across the first chunk's end is not found; the next one is, with its superblock gathered
    // from the pieces it spans.
    std::vector<std::uint8_t> image(250000, 0);
    std::copy_n("hsqs", 4, image.begin() + 102398);
    std::copy_n("hsqs", 4, image.begin() + 150001);
    image[150001 + 28] = 4;
    const ImageScan scan = ScanInPieces(image);
    EXPECT_EQ(scan.filesystemOffset, 150001);
    EXPECT_EQ(scan.squashFs.versionText(), "4.0");
    EXPECT_EQ(FindSquashFs(test::TempDir().write("f.bin", image)), 150001);
}

TEST(ImageScanner, NearMissesBeforeTheMagicAreNotIt) {
    // Each search path meets them: the wide one far from a chunk's end, the byte-by-byte one at the join
    // of two pieces, in a chunk's last bytes and everywhere on processors without AVX2.
    const struct {
        const char* where;
        std::size_t at;
        std::size_t join; // where the first piece ends
    } placements[] = {
        {"far from the end", 1000, 0},
        {"across a join", 5000, 5003},
        {"in the last bytes", kChunkSize - 8, 0},
    };
    for (const MagicSearch search : {MagicSearch::Wide, MagicSearch::Bytewise}) {
        for (const auto& p : placements) {
            for (const char* nearMiss : {"hsqx", "hsxs", "hxqs"}) {
                std::vector<std::uint8_t> image(kChunkSize, 0);
                std::copy_n(nearMiss, 4, image.begin() + static_cast<long>(p.at));
                std::copy_n("hsqs", 4, image.end() - 4);
                ImageScanner scanner(kChunkSize, search);
                scanner.feed(image.data(), p.join);
                scanner.feed(image.data() + p.join, image.size() - p.join);
                EXPECT_EQ(scanner.result().filesystemOffset, kChunkSize - 4)
                    << nearMiss << ' ' << p.where << (search == MagicSearch::Wide ? ", wide" : "");
            }
        }
    }
}

} // namespace
} // namespace flintor
