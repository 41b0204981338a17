#pragma once

// What the fault tests share: a workflow host that records, a check that a result's addresses are
// sound, a snapshot of a file's bytes and modification time, and running a function as an ordinary
// user in a child process.

#include "Workflow.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace flintor::faults {

/// Records what a window would show.
class RecordingHost : public WorkflowHost {
public:
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::optional<std::string> results;
    std::function<bool(const std::string& status)> onPump;

    void setStatus(const std::string& text) override { statuses.push_back(text); }
    bool processEvents() override {
        return onPump ? onPump(statuses.empty() ? std::string() : statuses.back()) : true;
    }
    void showMessage(const std::string& text, MessageKind) override { messages.push_back(text); }
    void setResultsText(const std::string& text) override { results = text; }
};

/// Checks every "mtdN" line of a result in any output form: two addresses of at most eight
/// hexadecimal digits, both in the flash window, the end not below the start.
inline void ExpectSoundAddresses(const std::string& text) {
    // The hexadecimal digits after the "0x" at pos, which moves past them.
    const auto address = [](const std::string& line, std::size_t& pos) {
        pos += 2;
        const std::size_t first = pos;
        while (pos < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos])))
            ++pos;
        return line.substr(first, pos - first);
    };
    for (std::size_t line = 0; line < text.size();) {
        const std::size_t stop = std::min(text.find('\n', line), text.size());
        const std::string body = text.substr(line, stop - line);
        const std::size_t mtd = body.find("mtd");
        std::size_t pos = mtd == std::string::npos ? std::string::npos : body.find("0x", mtd);
        if (pos != std::string::npos && mtd + 3 < body.size() && body[mtd + 3] >= '0' &&
            body[mtd + 3] <= '5') {
            const std::string start = address(body, pos);
            pos = body.find("0x", pos);
            ASSERT_NE(pos, std::string::npos) << body;
            const std::string end = address(body, pos);
            ASSERT_TRUE(!start.empty() && start.size() <= 8 && !end.empty() && end.size() <= 8) << body;
            const auto a = std::stoull(start, nullptr, 16), b = std::stoull(end, nullptr, 16);
            EXPECT_GE(a, 0x90000000u) << body;
            EXPECT_GE(b, a) << body;
        }
        line = stop + 1;
    }
}

/// A file's bytes and modification time, to show that a run left it as it was.
struct FileSnapshot {
    std::string bytes;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileSnapshot&) const = default;
};

inline FileSnapshot Snapshot(const std::string& path) {
    FileSnapshot snapshot;
    std::ifstream in(path, std::ios::binary);
    snapshot.bytes.assign(std::istreambuf_iterator<char>(in), {});
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        snapshot.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return snapshot;
}

/// Runs `body` in a child process as the unprivileged user nobody (when this process is root) and
/// returns its exit status; `body` returns 0 for success. A child that hangs is killed after
/// `timeout`, and reports -1, as does one that crashes.
inline int RunAsNobody(const std::function<int()>& body,
                       std::chrono::seconds timeout = std::chrono::seconds(30)) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(125);
        ::alarm(static_cast<unsigned>(timeout.count()));
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace flintor::faults
