// The calculation's one cost that grows with the input: the one pass over the image (the SquashFS search,
// the checksum and the other checks) over a 16 MiB image without the magic (all 164 chunks), alone and as
// a whole flintor-calc run, the latter beside `grep -c hsqs` on the same file. A second 16 MiB image holds
// its file system in its last chunk, so that a run searches every chunk, reads the superblock there and
// completes. The files are made once per process and read from the page cache. The checksum and the
// scanner are also timed alone, in memory; bench/checksum-vs-cksum.sh times a whole run beside cksum.
#include "Cksum.h"
#include "ImageScanner.h"
#include "OutputFormat.h"
#include "modMTD.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t kImageLength = 16 * 1024 * 1024;
constexpr std::size_t kFileSystemAt = kImageLength - 0x8000; // inside the 164th and last chunk

// A 16 MiB combined image of random bytes that holds no "hsqs", or only one in its last chunk, at the
// start of a version 4.0 superblock whose file system reaches to the end; removed at exit.
class SearchImage {
public:
    explicit SearchImage(bool fileSystemAtTheEnd) {
        std::string pattern = (std::filesystem::temp_directory_path() / "flintor-bench.XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::exit(1);
        }
        m_path = pattern;
        std::vector<unsigned char> bytes(kImageLength);
        std::mt19937_64 random(20240501);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            const auto word = random();
            for (std::size_t k = 0; k < 8; ++k) {
                bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
            }
        }
        const unsigned char header[16] = {0x34, 0x44, 0x54, 0x4D, 1, 2, 3, 4,
                                          0x40, 0x30, 0x20, 0x10, 0, 0, 0, 0};
        std::copy(std::begin(header), std::end(header), bytes.begin());
        for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
            if (bytes[i] == 'h' && bytes[i + 1] == 's' && bytes[i + 2] == 'q' && bytes[i + 3] == 's') {
                bytes[i] = 'H';
            }
        }
        if (fileSystemAtTheEnd) {
            std::fill(bytes.begin() + kFileSystemAt, bytes.begin() + kFileSystemAt + 96, 0);
            const auto put = [&bytes](std::size_t at, std::uint64_t value, int size) {
                for (int i = 0; i < size; ++i) {
                    bytes[kFileSystemAt + at + static_cast<std::size_t>(i)] =
                        static_cast<unsigned char>(value >> (8 * i));
                }
            };
            put(0, 0x73717368, 4);
            put(12, 0x20000, 4);
            put(22, 17, 2);
            put(28, 4, 2);
            put(40, kImageLength - kFileSystemAt, 8);
        }
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            std::perror("write");
            std::exit(1);
        }
        ::close(fd);
    }
    ~SearchImage() { std::filesystem::remove(m_path); }

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

const SearchImage& Image() {
    static const SearchImage image(false);
    return image;
}

const SearchImage& ImageWithFileSystemAtTheEnd() {
    static const SearchImage image(true);
    return image;
}

// Runs a program with its output thrown away and waits for it; a run that ends with another exit status
// than expected measured something else, and the benchmark says so.
void Run(const std::vector<std::string>& args, benchmark::State& state, int expectedStatus) {
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        state.SkipWithError(("cannot start " + args[0]).c_str());
    } else {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) {
            state.SkipWithError((args[0] + " ended with another status than expected").c_str());
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_FindSquashFs_16MiB_NoMagic(benchmark::State& state) {
    const std::string& path = Image().path();
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::FindSquashFs(path));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageLength);
}
BENCHMARK(BM_FindSquashFs_16MiB_NoMagic)->Unit(benchmark::kMillisecond);

// Runs a whole program over and over, each run over one of the 16 MiB images.
void RunEach(benchmark::State& state, const std::vector<std::string>& args, int expectedStatus) {
    for (auto _ : state) {
        Run(args, state, expectedStatus);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageLength);
}

// The whole command: validation up to the search, which finds nothing ("File is not a valid SquashFS file.").
void BM_FlintorCalcRun_16MiB(benchmark::State& state) {
    RunEach(state, {FLINTOR_CALC_BINARY, "--flash", "4MB", "--bootloader", "psp", Image().path()}, 1);
}
BENCHMARK(BM_FlintorCalcRun_16MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: grep counting "hsqs" in the same file.
void BM_GrepCountHsqs_16MiB(benchmark::State& state) {
    RunEach(state, {GREP_BINARY, "-c", "hsqs", Image().path()}, 1);
}
BENCHMARK(BM_GrepCountHsqs_16MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole run that completes: every chunk searched, the superblock read and judged, the values printed.
// A 17 MiB flash holds the 16 MiB image in its image area.
void BM_FlintorCalcRun_16MiB_FileSystemAtTheEnd(benchmark::State& state) {
    RunEach(state,
            {FLINTOR_CALC_BINARY, "--flash", "0x1100000", "--bootloader", "psp",
             ImageWithFileSystemAtTheEnd().path()},
            0);
}
BENCHMARK(BM_FlintorCalcRun_16MiB_FileSystemAtTheEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrepCountHsqs_16MiB_FileSystemAtTheEnd(benchmark::State& state) {
    RunEach(state, {GREP_BINARY, "-c", "hsqs", ImageWithFileSystemAtTheEnd().path()}, 0);
}
BENCHMARK(BM_GrepCountHsqs_16MiB_FileSystemAtTheEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

// Random bytes in memory, as many as the benchmark's argument asks.
std::vector<std::uint8_t> RandomBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::mt19937_64 random(20240502);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// The image checksum alone, over one read's 100 KiB (as the pass computes it) and over 16 MiB at once.
void BM_Cksum(benchmark::State& state) {
    const auto bytes = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::CksumOf(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.SetLabel(flintor::CksumUsesIsal() ? "ISA-L" : "table");
}
BENCHMARK(BM_Cksum)->Arg(102400)->Arg(kImageLength);

// The portable table CRC that the Windows build uses, for scale.
void BM_TableCksum(benchmark::State& state) {
    const auto bytes = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::TableCksumOf(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TableCksum)->Arg(102400);

// The scanner over 16 MiB of random bytes in memory, fed in the pass's 100 KiB pieces: the search of
// every chunk, the checksum and the other checks, without the reads.
void BM_ImageScanner_16MiB(benchmark::State& state) {
    auto bytes = RandomBytes(kImageLength);
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] == 'h' && bytes[i + 1] == 's' && bytes[i + 2] == 'q' && bytes[i + 3] == 's') {
            bytes[i] = 'H';
        }
    }
    for (auto _ : state) {
        flintor::ImageScanner scanner(static_cast<std::int64_t>(bytes.size()));
        for (std::size_t at = 0; at < bytes.size(); at += flintor::kChunkSize) {
            scanner.feed(bytes.data() + at, std::min<std::size_t>(flintor::kChunkSize, bytes.size() - at));
        }
        benchmark::DoNotOptimize(scanner.result());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageLength);
}
BENCHMARK(BM_ImageScanner_16MiB)->Unit(benchmark::kMillisecond);

// The calculation and the output conversion themselves, for scale.
void BM_CalculateAdam2AndTelnetScript(benchmark::State& state) {
    for (auto _ : state) {
        const std::string text = flintor::CalculateMtd(0x300000, 0x71000, 0x400000, true, 0);
        benchmark::DoNotOptimize(flintor::FormatOutput(text, 3, true, "image.bin"));
    }
}
BENCHMARK(BM_CalculateAdam2AndTelnetScript);

} // namespace

BENCHMARK_MAIN();
