// Start-up to the first shown frame: a process that shows a window and, once the window's first
// frame has been painted and flushed, prints the wall-clock time in nanoseconds and quits. Built
// twice: with the real main window (FLINTOR_WINDOW) and with a bare QWidget of the same size, so
// that bench/startup/compare.sh can time both side by side from outside the process. The real
// window prints a second time once its start-up has finished (the lists filled) before it quits.
//   bench_startup_flintor [IMAGE]   also runs a Calculate on IMAGE (PSP, 16MB) before quitting
#include <QApplication>
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

long long wallClockNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Notes the first paint of the window, then waits for the event loop to come round again (the
// frame is flushed to the screen by then) before reporting.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(std::function<void()> afterFrame) : m_afterFrame(std::move(afterFrame)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [this] {
                std::printf("%lld\n", wallClockNanoseconds());
                std::fflush(stdout);
                m_afterFrame();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_afterFrame;
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
#ifdef FLINTOR_WINDOW
    QTemporaryDir settingsFolder;
    frmMain window(nullptr, settingsFolder.filePath("settings.ini"));
    const QString image = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto afterStartUp = [&] {
        std::printf("%lld\n", wallClockNanoseconds());
        std::fflush(stdout);
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
    FirstFrame frame([&] {
        if (window.isStartUpFinished())
            afterStartUp();
        else
            QObject::connect(&window, &frmMain::startUpFinished, &window, afterStartUp);
    });
#else
    QWidget window;
    window.resize(552, 596);
    FirstFrame frame([] { QApplication::quit(); });
#endif
    window.installEventFilter(&frame);
    window.show();
    return app.exec();
}
