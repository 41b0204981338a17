#include "ProgressLines.h"

#include "CommandOutput.h"

#include <iostream>
#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace flintor::cli {

ProgressLines::ProgressLines(std::ostream& err, bool terminal)
    : m_err(err), m_terminal(terminal), m_stage(RouterProgress::Stage::Waiting) {}

ProgressLines::~ProgressLines() {
    finish();
}

void ProgressLines::show(const RouterProgress& progress) {
    using Stage = RouterProgress::Stage;
    const bool wait = progress.stage == Stage::Waiting;
    if (wait && m_waiting) {
        return;
    }
    // What the console shows meanwhile (a firmware booted instead) is told, and the wait goes on.
    m_waiting = wait || (m_waiting && progress.stage == Stage::Notice);
    const bool percent = (progress.stage == Stage::SendingImage || progress.stage == Stage::ReadingImage) &&
                         progress.bytesTotal > 0;
    if (!percent) {
        finish();
        m_err << kNote << progress.text << '\n';
        m_err.flush();
        return;
    }
    const std::string line = kNote + progress.text;
    if (m_terminal) {
        // The longer line before is covered with blanks.
        m_err << '\r' << line << std::string(m_width > line.size() ? m_width - line.size() : 0, ' ');
        m_open = true;
        m_width = line.size();
    } else {
        const auto tenth =
            static_cast<int>(std::min(progress.bytesDone, progress.bytesTotal) * 10 / progress.bytesTotal);
        if (tenth == m_tenth && progress.stage == m_stage) {
            return;
        }
        m_tenth = tenth;
        m_err << line << '\n';
    }
    m_stage = progress.stage;
    m_err.flush();
}

void ProgressLines::finish() {
    if (m_open) {
        m_err << '\n';
        m_err.flush();
    }
    m_open = false;
    m_width = 0;
    m_tenth = -1;
}

bool IsTerminal(const std::ostream& err) {
#ifdef _WIN32
    return &err == &std::cerr && _isatty(_fileno(stderr));
#else
    return &err == &std::cerr && ::isatty(STDERR_FILENO);
#endif
}

} // namespace flintor::cli
