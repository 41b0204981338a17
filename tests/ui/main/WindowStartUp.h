#pragma once

#include "frmMain.h"

#include <QTest>

/// Processes events until the window's start-up has finished (its lists are filled just after its
/// first frame); false when it has not within `timeoutMs`.
inline bool waitForStartUp(const frmMain& window, int timeoutMs = 5000) {
    return QTest::qWaitFor([&window] { return window.isStartUpFinished(); }, timeoutMs);
}
