#pragma once

// How flintor-calc shows a conversation with the router on standard error: each step a note line, and the
// percentages of an image transfer on one line rewritten in place on a terminal, or a line at each tenth
// of it otherwise (a log, a pipe).

#include "RouterConnection.h"

#include <ostream>

namespace flintor::cli {

/// The notes of one command's conversation with the router.
class ProgressLines {
public:
    /// terminal: err shows on a terminal, where a line can be rewritten.
    ProgressLines(std::ostream& err, bool terminal);
    ~ProgressLines();
    ProgressLines(const ProgressLines&) = delete;
    ProgressLines& operator=(const ProgressLines&) = delete;

    /// Shows one event. The wait is told when it begins, not again at every second that passes.
    void show(const RouterProgress& progress);
    /// show() as a sink for the session; the sink must not outlive this object.
    RouterProgressSink sink() {
        return [this](const RouterProgress& progress) { show(progress); };
    }
    /// Ends a line left open by the percentages, so that what follows starts a line of its own.
    void finish();

private:
    std::ostream& m_err;
    bool m_terminal = false;
    bool m_waiting = false;
    bool m_open = false;           // a percentage line waits to be rewritten or ended
    std::size_t m_width = 0;       // its length
    RouterProgress::Stage m_stage; // the stage of the last percentage shown
    int m_tenth = -1;              // its tenth, without a terminal
};

/// err is the standard error of a terminal.
bool IsTerminal(const std::ostream& err);

} // namespace flintor::cli
