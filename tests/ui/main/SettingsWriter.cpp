// A process that writes one settings value and is stopped before the write completes, so that a test
// can end it the hard way and look at what is left on the disk.
//   settings_writer stop-before-rename FILE VALUE   prints "ready" once the new contents are on the
//                                                   disk beside the old file, then waits to be killed
//   settings_writer file-size-limit BYTES FILE VALUE writes with files limited to BYTES, as on a full
//                                                   disk; exits 0 when the write reported failure
#include "Settings.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "stop-before-rename") == 0) {
        settings::setBeforeRenameHookForTesting([] {
            std::puts("ready");
            std::fflush(stdout);
            for (;;)
                ::pause();
            return true;
        });
        WriteSetting("Paths", "Last path", QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
        return 3; // not reached: the test kills the process in the hook
    }
    if (argc == 5 && std::strcmp(argv[1], "file-size-limit") == 0) {
        const rlim_t limit = std::strtoull(argv[2], nullptr, 10);
        const rlimit cap{limit, limit};
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        if (::setrlimit(RLIMIT_FSIZE, &cap) != 0)
            return 2;
        return WriteSetting("Paths", "Last path", QString::fromLocal8Bit(argv[4]),
                            QString::fromLocal8Bit(argv[3])) == 0
                   ? 0
                   : 1;
    }
    std::fprintf(stderr, "usage: settings_writer stop-before-rename FILE VALUE\n"
                         "       settings_writer file-size-limit BYTES FILE VALUE\n");
    return 2;
}
