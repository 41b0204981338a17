#pragma once

// One pass over a firmware image: each byte is taken once and serves every check that needs it, the
// SquashFS search and its superblock, the kernel where mtd1 begins, and the checksum trailer at the end.
// The scanner reads no file itself; it is fed the bytes in order, in pieces of any size.

#include "Cksum.h"
#include "ImageChecks.h"
#include "SquashFs.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace flintor {

/// What one pass over an image found.
struct ImageScan {
    /// 0-based offset of the first "hsqs" wholly inside one of the search's chunks (kChunkSize bytes each,
    /// those that start before kSearchLimit); -1 when there is none.
    std::int64_t filesystemOffset = -1;
    SquashFsSuperblock squashFs; ///< the superblock at filesystemOffset, when there is one
    KernelCheck kernel;          ///< the word at kKernelHeader
    ChecksumTrailer checksum;    ///< the last eight bytes and the cksum of those before them
};

/// How the SquashFS search compares bytes.
enum class MagicSearch {
    Wide,     ///< 32 starts at once where the processor has AVX2, byte by byte elsewhere
    Bytewise, ///< byte by byte everywhere, as on processors without AVX2
};

/// Finds what each check needs in the bytes of an image of a known length as they pass, keeping no more
/// than the few bytes a check reads whole.
class ImageScanner {
public:
    explicit ImageScanner(std::int64_t length, MagicSearch search = MagicSearch::Wide);

    /// The next count bytes of the image; bytes beyond its length are ignored.
    void feed(const std::uint8_t* bytes, std::size_t count);
    /// How many bytes were taken so far.
    std::int64_t position() const { return m_position; }
    /// The findings; complete once the whole image was fed.
    ImageScan result() const;

private:
    // A range of the image that a check reads whole, gathered from the pieces that overlap it.
    template <std::size_t N> struct Window {
        std::int64_t start = -1;
        std::size_t size = 0; ///< bytes of the range that lie within the image
        std::size_t filled = 0;
        std::array<std::uint8_t, N> bytes{};

        void place(std::int64_t at, std::int64_t imageLength);
        void take(const std::uint8_t* piece, std::size_t count, std::int64_t at);
    };

    // Searches bytes that start at m_position and lie in one chunk of the search.
    void search(const std::uint8_t* bytes, std::size_t count);

    std::int64_t m_length = 0;
    MagicSearch m_magicSearch = MagicSearch::Wide;
    std::int64_t m_position = 0;
    std::int64_t m_filesystemOffset = -1;
    // The last bytes of the current chunk before m_position, in which a magic may begin.
    std::array<std::uint8_t, 3> m_kept{};
    std::size_t m_keptCount = 0;
    CksumCrc m_crc;
    Window<kSquashFsSuperblockSize> m_superblock;
    Window<kKernelMagicSize> m_kernel;
    Window<kChecksumTrailerSize> m_trailer;
};

} // namespace flintor
