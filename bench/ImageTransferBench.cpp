// A 16 MiB image written into the image area and read back through router-sim on 127.0.0.1, with a flash
// that is written at once, as flintor-calc --write-image does it after the read: TYPE I, MEDIA FLSH, PASV,
// STOR, the image, 226, then RETR and a comparison piece by piece. Targets: at least 200 MB/s for the two
// together (bytes_per_second counts both directions), and a peak memory (peak_rss_MiB) of no more than
// the image plus 8 MiB (limit_MiB). router-sim runs as a process of its own, so that its flash is not
// counted in this one's memory.

#include "RouterConnection.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kImageSize = 16 * 1024 * 1024;

// router-sim with a flash of the image area and the two 64 KiB blocks of a PSP router, stopped at the end.
class SimulatorProcess {
public:
    SimulatorProcess() {
        int pipe[2];
        if (::pipe(pipe) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipe[1], STDOUT_FILENO);
            ::close(pipe[0]);
            ::execl(FLINTOR_ROUTER_SIM, "router-sim", "--psp", "--flash-size", "0x1020000", "--set",
                    "flashsize=0x01020000", "--set", "mtd0=0x900a0000,0x91020000", "--set",
                    "mtd4=0x90020000,0x91020000", static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        ::close(pipe[1]);
        // "router-sim: PSP boot loader listening on 127.0.0.1:PORT"
        std::string line;
        char c = 0;
        while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        const std::size_t colon = line.rfind(':');
        if (colon != std::string::npos && line.find("127.0.0.1") != std::string::npos) {
            m_port = static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1));
        }
        // The rest of what it prints is read and dropped: a full pipe would stop it, at the latest when
        // it prints its summary on the way out while this process waits for it.
        m_drain = std::thread([output = pipe[0]] {
            char buffer[4096];
            while (::read(output, buffer, sizeof buffer) > 0) {
            }
            ::close(output);
        });
    }
    ~SimulatorProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_drain.joinable()) {
            m_drain.join();
        }
    }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    std::thread m_drain;
    std::uint16_t m_port = 0;
};

// The most memory this process has held, in MiB.
double PeakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return 0;
}

void BM_WriteAndReadBack16MiB(benchmark::State& state) {
    ::setenv(flintor::kLoopbackOnlyVariable, "1", 1);
    SimulatorProcess simulator;
    if (simulator.port() == 0) {
        state.SkipWithError("router-sim did not start");
        return;
    }
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    }
    flintor::ConnectionOptions options;
    options.loopbackOnly = true;
    for (auto _ : state) {
        flintor::RouterConnection connection(flintor::RouterAddress{"127.0.0.1", simulator.port()}, options);
        if (connection.open("adam2", "adam2").kind != flintor::ConversationEventKind::LoggedIn) {
            state.SkipWithError("no login");
            break;
        }
        const flintor::ImageTransferResult written = connection.writeImage("image.bin", image);
        std::size_t at = 0;
        bool same = true;
        const flintor::ImageTransferResult read =
            connection.readImage(image.size(), [&](std::span<const std::uint8_t> bytes) {
                same = same && at + bytes.size() <= image.size() &&
                       std::memcmp(image.data() + at, bytes.data(), bytes.size()) == 0;
                at += bytes.size();
            });
        if (!written.ok() || !read.ok() || !same || at != image.size()) {
            state.SkipWithError(
                (written.event.message + read.event.message + " (image not read back)").c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kImageSize));
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
    state.counters["limit_MiB"] = kImageSize / (1024.0 * 1024.0) + 8;
}
BENCHMARK(BM_WriteAndReadBack16MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
