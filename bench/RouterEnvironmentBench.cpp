// The router capture reader on the largest capture it accepts: a serial console log of 1 MiB whose boot
// messages, kernel partition lines and shell noise surround one printenv listing. The owner waits for the
// reading when opening a capture, so it must stay far below 10 ms.
#include "RouterComparison.h"
#include "RouterEnvironment.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Boot messages, a kernel partition table (each line names an mtd without a range: notes up to their limit),
// and the console noise of a router that ran for a while.
const char* const kNoise[] = {
    "[   12.345678] eth0: link up, 100Mbps, full-duplex, lpa 0x45E1\n",
    "0x00090000-0x003f0000 : \"mtd0\"\n",
    "Creating 5 MTD partitions on \"physmap-flash.0\":\n",
    "[   13.000412] VFS: Mounted root (squashfs filesystem) readonly on device 31:0.\n",
    "# cat /proc/meminfo | head -n 2\n",
    "MemTotal:        14112 kB\n",
    "dnsmasq[412]: read /etc/hosts - 2 addresses\n",
    "kernel: br0: port 1(eth0) entering forwarding state\n",
};

const std::string& Capture() {
    static const std::string text = [] {
        std::string listing =
            "ADAM2 Revision 0.22.06\r\nAdam2_AR7RD > printenv\r\n"
            "bootloaderVersion     0.22.06\r\nmemsize               0x01000000\r\n"
            "flashsize             0x00400000\r\nHWA_0                 02:10:18:4e:3a:94\r\n";
        listing +=
            "mtd2                  0x90000000,0x90010000\r\nmtd0                  0x90013010,0x903f0000\r\n"
            "mtd1                  0x90010090,0x90013010\r\nmtd3                  0x903f0000,0x90400000\r\n"
            "mtd4                  0x90010000,0x903f0000\r\nAdam2_AR7RD > \r\n";
        std::string capture;
        for (std::size_t i = 0; capture.size() + listing.size() < flintor::kLargestRouterCapture - 200; ++i) {
            capture += kNoise[i % (sizeof kNoise / sizeof *kNoise)];
            if (i == 2000) {
                capture += listing;
            }
        }
        capture += listing;
        capture.resize(flintor::kLargestRouterCapture, '#');
        return capture;
    }();
    return text;
}

void BM_ReadRouterEnvironment_1MiB(benchmark::State& state) {
    const std::string& text = Capture();
    if (!flintor::ReadRouterEnvironment(text).environment) {
        std::fputs("the benchmark capture is refused\n", stderr);
        std::exit(1);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::ReadRouterEnvironment(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadRouterEnvironment_1MiB)->Unit(benchmark::kMillisecond);

// One long line of mentions that the reader must set aside (each names an mtd without a range), of
// state.range(0) bytes. The time per byte must not grow with the line: a capture of 1 MiB that is one such
// line takes no longer per byte than one of 256 KiB.
std::string MentionLine(std::string_view prefixWord, std::size_t prefixBytes, std::string_view mention,
                        std::size_t size) {
    std::string line;
    while (!prefixWord.empty() && line.size() + prefixWord.size() <= prefixBytes) {
        line += prefixWord;
    }
    while (line.size() + mention.size() <= size) {
        line += mention;
    }
    line.resize(size, ' ');
    return line;
}

void ReadLine(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::ReadRouterEnvironment(text, false));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// A request for variables whose names fill the line: every name is asked for, none is a damaged value.
void BM_ReadRouterEnvironment_OneRequestLine(benchmark::State& state) {
    ReadLine(state, MentionLine("", 0, "getenv mtd0 ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_ReadRouterEnvironment_OneRequestLine)
    ->Arg(256 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMillisecond);

// Half a line of prompt-like words, then mentions: deciding whether the line is a request reads past all of
// those words.
void BM_ReadRouterEnvironment_PromptsThenMentions(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    ReadLine(state, MentionLine("ftp> ", size / 2, "mtd0 ", size));
}
BENCHMARK(BM_ReadRouterEnvironment_PromptsThenMentions)
    ->Arg(256 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMillisecond);

// What follows the reading, for scale: the inference and a comparison in the Telnet form.
void BM_InferAndCompare(benchmark::State& state) {
    const auto environment = *flintor::ReadRouterEnvironment(Capture()).environment;
    const flintor::MtdLayout layout = flintor::BuildLayout(true, 0x71000, 0x400000, 0, 0x200000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(flintor::InferRouterSettings(environment));
        benchmark::DoNotOptimize(flintor::CompareWithRouter(layout, environment, 3));
    }
}
BENCHMARK(BM_InferAndCompare)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
