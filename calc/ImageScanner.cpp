#include "ImageScanner.h"

#include "modMTD.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__x86_64__) && defined(__GNUC__)
#define FLINTOR_VECTOR_SEARCH 1
#include <immintrin.h>
#endif

namespace flintor {

namespace {

constexpr std::uint8_t kSquashFsMagic[4] = {'h', 's', 'q', 's'};

#ifdef FLINTOR_VECTOR_SEARCH
// Compressed kernels hold an 'h' every 256 bytes or so, too often for a search for the first byte alone
// (the loop of FindMagic, which processors without AVX2 and the ends of the bytes get). With AVX2, the
// first and the last byte of the magic are compared at 32 starts at once, and the middle two only where
// both match.

// The starts from at on where the first and the last byte match.
__attribute__((target("avx2"))) inline __m256i Candidates(const std::uint8_t* at) {
    const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3));
    return _mm256_and_si256(_mm256_cmpeq_epi8(starts, _mm256_set1_epi8('h')),
                            _mm256_cmpeq_epi8(ends, _mm256_set1_epi8('s')));
}

// The magic's start, or nullptr with p where too few bytes are left for a step of 128 starts; last is
// the last start of a magic that the bytes hold.
__attribute__((target("avx2"))) const std::uint8_t* FindWithAvx2(const std::uint8_t*& p,
                                                                 const std::uint8_t* last) {
    for (; last - p >= 128; p += 128) {
        const __m256i any = _mm256_or_si256(_mm256_or_si256(Candidates(p), Candidates(p + 32)),
                                            _mm256_or_si256(Candidates(p + 64), Candidates(p + 96)));
        if (_mm256_testz_si256(any, any)) {
            continue;
        }
        for (int step = 0; step < 128; step += 32) {
            auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(Candidates(p + step)));
            for (; mask != 0; mask &= mask - 1) {
                const int index = step + std::countr_zero(mask);
                if (p[index + 1] == 's' && p[index + 2] == 'q') {
                    return p + index;
                }
            }
        }
    }
    return nullptr;
}
#endif

// 0-based index of the first "hsqs" in the bytes, or -1.
std::int64_t FindMagic(const std::uint8_t* bytes, std::size_t count, [[maybe_unused]] MagicSearch search) {
    if (count < 4) {
        return -1;
    }
    const std::uint8_t* p = bytes;
    const std::uint8_t* const last = bytes + count - 4;
#ifdef FLINTOR_VECTOR_SEARCH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && search == MagicSearch::Wide) {
        if (const std::uint8_t* found = FindWithAvx2(p, last)) {
            return found - bytes;
        }
    }
#endif
    while (p <= last) {
        p = static_cast<const std::uint8_t*>(
            std::memchr(p, kSquashFsMagic[0], static_cast<std::size_t>(last - p + 1)));
        if (p == nullptr) {
            return -1;
        }
        if (std::memcmp(p + 1, kSquashFsMagic + 1, 3) == 0) {
            return p - bytes;
        }
        ++p;
    }
    return -1;
}

} // namespace

template <std::size_t N> void ImageScanner::Window<N>::place(std::int64_t at, std::int64_t imageLength) {
    start = at;
    size = static_cast<std::size_t>(std::clamp<std::int64_t>(imageLength - at, 0, N));
}

template <std::size_t N>
void ImageScanner::Window<N>::take(const std::uint8_t* piece, std::size_t count, std::int64_t at) {
    if (start < 0) {
        return;
    }
    const std::int64_t begin = std::max(at, start);
    const std::int64_t end =
        std::min(at + static_cast<std::int64_t>(count), start + static_cast<std::int64_t>(size));
    if (begin >= end) {
        return;
    }
    std::memcpy(bytes.data() + (begin - start), piece + (begin - at), static_cast<std::size_t>(end - begin));
    filled += static_cast<std::size_t>(end - begin);
}

ImageScanner::ImageScanner(std::int64_t length, MagicSearch search)
    : m_length(std::max<std::int64_t>(length, 0)), m_magicSearch(search) {
    m_kernel.place(kKernelHeader, m_length);
    if (m_length >= static_cast<std::int64_t>(kChecksumTrailerSize)) {
        m_trailer.place(m_length - static_cast<std::int64_t>(kChecksumTrailerSize), m_length);
    }
}

void ImageScanner::feed(const std::uint8_t* bytes, std::size_t count) {
    count = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), m_length - m_position));
    const std::int64_t payloadEnd =
        std::max<std::int64_t>(m_length - static_cast<std::int64_t>(kChecksumTrailerSize), 0);
    if (m_position < payloadEnd) {
        m_crc.update(bytes, static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count),
                                                                            payloadEnd - m_position)));
    }
    m_kernel.take(bytes, count, m_position);
    m_trailer.take(bytes, count, m_position);
    // The search looks at each chunk on its own: a magic across a chunk's end is not found.
    while (count > 0) {
        const std::int64_t chunkEnd = (m_position / kChunkSize + 1) * kChunkSize;
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), chunkEnd - m_position));
        search(bytes, piece);
        m_superblock.take(bytes, piece, m_position);
        m_position += static_cast<std::int64_t>(piece);
        bytes += piece;
        count -= piece;
    }
}

void ImageScanner::search(const std::uint8_t* bytes, std::size_t count) {
    const std::int64_t chunkStart = m_position - m_position % kChunkSize;
    if (m_filesystemOffset >= 0 || chunkStart >= kSearchLimit) {
        return;
    }
    if (m_position == chunkStart) {
        m_keptCount = 0;
    }
    std::int64_t found = -1;
    if (m_keptCount > 0) {
        // A magic that begins in the bytes kept from the piece before.
        std::uint8_t joined[6];
        const std::size_t added = std::min<std::size_t>(count, 3);
        std::memcpy(joined, m_kept.data(), m_keptCount);
        std::memcpy(joined + m_keptCount, bytes, added);
        const std::int64_t index = FindMagic(joined, m_keptCount + added, m_magicSearch);
        if (index >= 0) {
            found = m_position - static_cast<std::int64_t>(m_keptCount) + index;
        }
    }
    if (found < 0) {
        const std::int64_t index = FindMagic(bytes, count, m_magicSearch);
        if (index >= 0) {
            found = m_position + index;
        }
    }
    if (found >= 0) {
        m_filesystemOffset = found;
        m_superblock.place(found, m_length);
        m_superblock.take(m_kept.data(), m_keptCount, m_position - static_cast<std::int64_t>(m_keptCount));
        return;
    }
    // Keep the last three bytes of the chunk so far.
    if (count >= m_kept.size()) {
        std::memcpy(m_kept.data(), bytes + count - m_kept.size(), m_kept.size());
        m_keptCount = m_kept.size();
    } else {
        const std::size_t keep = std::min(m_keptCount + count, m_kept.size());
        const std::size_t fromKept = keep - count;
        std::memmove(m_kept.data(), m_kept.data() + m_keptCount - fromKept, fromKept);
        std::memcpy(m_kept.data() + fromKept, bytes, count);
        m_keptCount = keep;
    }
}

ImageScan ImageScanner::result() const {
    ImageScan scan;
    scan.filesystemOffset = m_filesystemOffset;
    if (m_filesystemOffset >= 0) {
        scan.squashFs = JudgeSquashFsSuperblock(m_superblock.bytes.data(), m_superblock.filled,
                                                m_filesystemOffset, m_length);
    }
    scan.kernel = JudgeKernel(m_kernel.bytes.data(), m_kernel.filled);
    scan.checksum = JudgeChecksumTrailer(m_trailer.bytes.data(), m_trailer.filled, m_crc.value());
    return scan;
}

} // namespace flintor
