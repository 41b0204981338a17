#include "TestFiles.h"
#include "Texts.h"
#include "modMTD.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace flintor {
namespace {

using test::TempDir;

class ImageTypeOfTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string type;
    std::int64_t length = -7;

    std::string fileStarting(std::vector<std::uint8_t> head, std::size_t size = 64) {
        head.resize(size, 0);
        return dir.write("f.bin", head);
    }
};

TEST_F(ImageTypeOfTest, RecognisesEachSignature) {
    const struct {
        std::vector<std::uint8_t> head;
        bool combined;
        const char* type;
    } cases[] = {
        {test::CombinedHeader(), true, "combined image"},
        {{0x68, 0x73, 0x71, 0x73}, false, "filesystem image"},
        {{0x42, 0xFA, 0xED, 0xFE}, false, "kernel image"},
        {{0x4C, 0x4D, 0x4D, 0x43, 0x00, 0x03, 0x00, 0x00}, false, "config image"},
        {{0x4C, 0x4D, 0x4D, 0x43, 0x00, 0x04, 0x00, 0x00}, false, ""},
        // The combined header with a non-zero fourth word is nothing known.
        {{0x34, 0x44, 0x54, 0x4D, 1, 2, 3, 4, 0x40, 0x30, 0x20, 0x10, 0, 0, 0, 1}, false, ""},
        {{0xFE, 0xED, 0xFA, 0x42}, false, ""},
    };
    for (const auto& c : cases) {
        type.clear();
        EXPECT_EQ(ImageTypeOf(fileStarting(c.head), type, length), c.combined) << c.type;
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(length, 64);
    }
}

TEST_F(ImageTypeOfTest, UnrecognisedFileKeepsTheCallersTypeText) {
    type = "left alone";
    EXPECT_FALSE(ImageTypeOf(fileStarting({1, 2, 3, 4}), type, length));
    EXPECT_EQ(type, "left alone");
}

TEST_F(ImageTypeOfTest, ShortFileHasLengthButNoType) {
    EXPECT_FALSE(ImageTypeOf(fileStarting(test::CombinedHeader(), 15), type, length));
    EXPECT_EQ(length, 15);
    EXPECT_EQ(type, "");
    EXPECT_TRUE(ImageTypeOf(fileStarting(test::CombinedHeader(), 16), type, length));
    EXPECT_EQ(length, 16);
}

TEST_F(ImageTypeOfTest, MissingEmptyOrNonRegularPathsAreNotOpened) {
    ASSERT_TRUE(test::MakeBlockingNonFile(dir.file("fifo")));
    // A path with a NUL in it would reach the system as the name before the NUL: a real image here.
    const std::string image = fileStarting(test::CombinedHeader());
    const std::string withNul = image + std::string("\0.other", 7);
    // A FIFO without a writer would block an ordinary open; the test would hang here.
    std::vector<std::string> paths = {std::string(), dir.file("missing.bin"), dir.folder(), dir.file("fifo"),
                                      withNul};
    for (const auto& device : test::DevicePaths()) {
        paths.push_back(device);
    }
#ifndef _WIN32
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("sock");
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    paths.push_back(socketPath);
#endif
    for (const std::string& path : paths) {
        type = "unchanged";
        length = -7;
        EXPECT_FALSE(ImageTypeOf(path, type, length)) << path;
        EXPECT_EQ(type, "unchanged") << path;
        EXPECT_EQ(length, -7) << path;
        EXPECT_EQ(FindSquashFs(path), 0) << path;
    }
    std::int64_t position = 1;
    EXPECT_THROW(ReadChunk(withNul, position), ImageReadError);
#ifndef _WIN32
    ::close(sock);
#endif
}

TEST_F(ImageTypeOfTest, SparseFileBeyond4GiBKeepsItsFullLength) {
    const std::string path = dir.sparseImage("huge.bin", 0x100000010ULL);
    EXPECT_TRUE(ImageTypeOf(path, type, length));
    EXPECT_EQ(length, 0x100000010LL);
}

TEST_F(ImageTypeOfTest, UnreadableFileIsAReadErrorNotAType) {
    if (test::UnreadableFiles().empty()) {
        GTEST_SKIP() << "no file here is unreadable to every user";
    }
    for (const auto& file : test::UnreadableFiles()) {
        try {
            ImageTypeOf(file.path, type, length);
            ADD_FAILURE() << file.path << " gave no read error";
        } catch (const ImageReadError& error) {
            EXPECT_EQ(error.what(), texts::kReadFailedPrefix + file.reason) << file.path;
        }
    }
}

TEST(ReadChunk, ReadsFromTheOneBasedPositionAndMarksTheLastChunk) {
    TempDir dir;
    std::vector<std::uint8_t> bytes(250000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    const std::string path = dir.write("f.bin", bytes);

    std::int64_t position = 0; // taken as 1
    auto chunk = ReadChunk(path, position);
    EXPECT_EQ(position, 1);
    ASSERT_EQ(chunk.size(), 102400u);
    EXPECT_EQ(chunk[0], bytes[0]);
    EXPECT_EQ(chunk.back(), bytes[102399]);

    position = 204801;
    chunk = ReadChunk(path, position);
    EXPECT_EQ(position, -1);
    ASSERT_EQ(chunk.size(), 250000u - 204800u);
    EXPECT_EQ(chunk[0], bytes[204800]);

    position = 300000;
    EXPECT_TRUE(ReadChunk(path, position).empty());
    EXPECT_EQ(position, -1);

    position = 1;
    EXPECT_THROW(ReadChunk(dir.file("missing"), position), ImageReadError);
}

TEST(ReadChunk, ChunkEndingExactlyAtTheEndIsTheLast) {
    TempDir dir;
    const std::string path = dir.image("f.bin", 102400, {});
    std::int64_t position = 1;
    EXPECT_EQ(ReadChunk(path, position).size(), 102400u);
    EXPECT_EQ(position, -1);
}

class FindSquashFsTest : public ::testing::Test {
protected:
    TempDir dir;
    int chunks = 0;

    std::int32_t find(const std::string& path) {
        chunks = 0;
        return FindSquashFs(path, [this] {
            ++chunks;
            return true;
        });
    }
};

TEST_F(FindSquashFsTest, FindsTheFirstMagicAndReadsOnToTheEnd) {
    EXPECT_EQ(find(dir.image("a.bin", 300 * 1024, {0x1234, 0x2000, 200000})), 0x1234);
    EXPECT_EQ(chunks, 3);
    EXPECT_EQ(find(dir.image("b.bin", 300 * 1024, {150000, 250000})), 150000);
    EXPECT_EQ(chunks, 3);
}

TEST_F(FindSquashFsTest, MagicAtTheStartOfTheFileIsOffsetZero) {
    EXPECT_EQ(find(dir.image("fs.bin", 1000, {0}, false)), 0);
}

TEST_F(FindSquashFsTest, ChunkBoundaries) {
    const struct {
        std::size_t length;
        std::vector<std::size_t> magic;
        std::int32_t result;
        int chunks;
    } cases[] = {
        {250000, {220000}, 220000, 3},         // inside the last, shorter chunk
        {300 * 1024, {}, -1, 3},               // nothing, after three chunks
        {102400, {}, -1, 1},                   // exactly one chunk
        {102400, {102396}, 102396, 1},         // the last four bytes of the only chunk
        {204800, {102398}, -1, 2},             // spanning the first boundary: not found
        {204800, {102398, 204000}, 204000, 2}, // ... but a later one is
        {204800, {102400}, 102400, 2},         // first byte of the second chunk
        {102401, {102397}, -1, 2},             // one byte short in the first chunk, then a 1-byte chunk
        {3, {}, -1, 1},                        // shorter than the magic
        {0, {}, -1, 1},                        // empty
    };
    for (const auto& c : cases) {
        const std::string path = dir.image("c.bin", c.length, c.magic, false);
        EXPECT_EQ(find(path), c.result) << c.length;
        EXPECT_EQ(chunks, c.chunks) << c.length;
    }
}

TEST_F(FindSquashFsTest, SearchStopsAfter164Chunks) {
    // The 164th chunk starts at 16,691,201 (1-based), the last start not above 16 MiB.
    const std::size_t lastSearched = 163 * 102400;
    EXPECT_EQ(find(dir.sparseImage("in.bin", 32 * 1024 * 1024, lastSearched + 102396)),
              static_cast<std::int32_t>(lastSearched + 102396));
    EXPECT_EQ(find(dir.sparseImage("out.bin", 32 * 1024 * 1024, lastSearched + 102400)), -1);
    EXPECT_EQ(chunks, 328); // the whole file is read all the same
}

TEST_F(FindSquashFsTest, FilesOver32MiBAreNotRead) {
    EXPECT_EQ(find(dir.sparseImage("exact.bin", 0x2000000, 100)), 100);
    EXPECT_EQ(find(dir.sparseImage("40.bin", 40 * 1024 * 1024, 100)), 0);
    EXPECT_EQ(chunks, 0);
    EXPECT_EQ(find(dir.sparseImage("3g.bin", 3ULL << 30, 100)), 0);
    EXPECT_EQ(chunks, 0);
}

TEST_F(FindSquashFsTest, FileRemovedDuringTheSearchIsAReadError) {
    const std::string path = dir.image("gone.bin", 300 * 1024, {});
    EXPECT_THROW(FindSquashFs(path,
                              [&] {
                                  std::filesystem::remove(test::PathOf(path));
                                  return true;
                              }),
                 ImageReadError);
}

TEST_F(FindSquashFsTest, FileShortenedOrReplacedDuringTheSearchIsAReadError) {
    const std::string path = dir.image("short.bin", 300 * 1024, {});
    EXPECT_THROW(FindSquashFs(path,
                              [&] {
                                  std::filesystem::resize_file(test::PathOf(path), 150000);
                                  return true;
                              }),
                 ImageReadError);
    const std::string other = dir.image("other.bin", 300 * 1024, {});
    EXPECT_THROW(FindSquashFs(other,
                              [&] {
                                  std::filesystem::remove(test::PathOf(other));
                                  test::MakeBlockingNonFile(other);
                                  return true;
                              }),
                 ImageReadError);
}

TEST_F(FindSquashFsTest, HostCanCancelBetweenChunks) {
    const std::string path = dir.image("long.bin", 300 * 1024, {});
    int calls = 0;
    EXPECT_THROW(FindSquashFs(path, [&] { return ++calls < 2; }), CalculationCancelled);
    EXPECT_EQ(calls, 2);
}

TEST_F(FindSquashFsTest, TheImageIsNeverWritten) {
    const std::string path = dir.image("ro.bin", 200000, {150000});
    namespace fs = std::filesystem;
    fs::permissions(test::PathOf(path),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto before = fs::last_write_time(test::PathOf(path));
    std::string type;
    std::int64_t length = 0;
    EXPECT_TRUE(ImageTypeOf(path, type, length));
    EXPECT_EQ(find(path), 150000);
    EXPECT_EQ(fs::last_write_time(test::PathOf(path)), before);
    EXPECT_EQ(fs::file_size(test::PathOf(path)), 200000u);
}

} // namespace
} // namespace flintor
