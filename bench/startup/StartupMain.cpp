// Start-up to the first shown frame: a process that shows a window and, once the window's first
// frame has been painted and flushed, prints the wall-clock time in nanoseconds and quits. Built
// twice: with the real main window (FLINTOR_WINDOW) and with a bare QWidget of the same size, so
// that bench/startup/compare.sh can time both side by side from outside the process. The real
// window prints a second time once its start-up has finished (the lists filled) before it quits.
//   bench_startup_flintor [IMAGE]   also runs a Calculate on IMAGE (PSP, 16MB) before quitting
// With FLINTOR_STARTUP_STEPS set, either program also writes the milliseconds from the start of main()
// to each step of its start-up, and the main thread's processor time, to standard error, to show where
// the time goes.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>

#ifdef FLINTOR_WINDOW
#include "DirList.h"
#include "FileList.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#endif

namespace {

// Prints the wall-clock time in nanoseconds. Kept out of line so that an instruction count can stop at
// it: valgrind --tool=callgrind --dump-before='*printTimeStamp*' writes the count up to the first frame
// into the first part of its output.
[[gnu::noinline]] void printTimeStamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
    std::fflush(stdout);
}

// Each step's wall-clock time and the processor time of the main thread until then: the difference is
// time spent waiting (for the display, the session bus, another thread).
class Steps {
public:
    Steps() { m_clock.start(); }
    void note(const char* step) const {
        if (!m_shown)
            return;
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        std::fprintf(stderr, "%8.2f ms  %8.2f ms on the processor  %s\n",
                     double(m_clock.nsecsElapsed()) / 1e6,
                     double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6, step);
    }

private:
    QElapsedTimer m_clock;
    bool m_shown = qEnvironmentVariableIsSet("FLINTOR_STARTUP_STEPS");
};

// Notes the first paint of the window, then waits for the event loop to come round again (the
// frame is flushed to the screen by then) before reporting.
class FirstFrame : public QObject {
public:
    FirstFrame(const Steps& steps, std::function<void()> afterFrame)
        : m_steps(steps), m_afterFrame(std::move(afterFrame)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            m_steps.note("first paint");
            QTimer::singleShot(0, this, [this] {
                printTimeStamp();
                m_steps.note("first frame");
                m_afterFrame();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const Steps& m_steps;
    std::function<void()> m_afterFrame;
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    const Steps steps;
#ifdef FLINTOR_WINDOW
    frmMain::beginStartUp(); // as the program does
#endif
    QApplication app(argc, argv);
    steps.note("application made");
#ifdef FLINTOR_WINDOW
    QTemporaryDir settingsFolder;
    frmMain window(nullptr, settingsFolder.filePath("settings.ini"));
    const QString image = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto afterStartUp = [&] {
        printTimeStamp();
        steps.note("start-up finished (lists filled)");
        if (!image.isEmpty()) {
            window.setMessageHandler([](const QString&, QMessageBox::Icon) {});
            window.GotADrop(QFileInfo(image).absoluteFilePath());
            window.optMem[2]->setChecked(true);
            window.txtMB->setText("16");
            window.chkPSP->setChecked(true);
            window.cmdRead_Click();
        }
        QApplication::quit();
    };
    FirstFrame frame(steps, [&] {
        if (window.isStartUpFinished())
            afterStartUp();
        else
            QObject::connect(&window, &frmMain::startUpFinished, &window, afterStartUp);
    });
#else
    QWidget window;
    window.resize(552, 596);
    FirstFrame frame(steps, [] { QApplication::quit(); });
#endif
    steps.note("window made");
    window.installEventFilter(&frame);
    window.show();
    steps.note("shown");
    return app.exec();
}
