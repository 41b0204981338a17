#pragma once

// A GUI application for the targets that draw, on the offscreen platform, made once per process.

#include <QGuiApplication>
#include <cstdlib>

namespace fuzz {

inline void startGuiApplication() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "flintor-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

} // namespace fuzz
