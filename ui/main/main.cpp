// flintor: the window. An optional argument names a firmware file (or folder) to open, as if it had
// been dropped onto the window.
#include "LocalNames.h"
#include "frmMain.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <locale>

namespace {

bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    if (!haveDisplay()) {
        std::fprintf(stderr, "flintor: there is no display to open the window on (DISPLAY is not set).\n"
                             "flintor: flintor-calc computes the same values on the command line.\n");
        return 1;
    }
    // The fonts are read and the session bus connected while the application connects to the display.
    frmMain::beginStartUp();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Flintor"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    // The desktop entry's name, so that docks and window lists match the window to its launcher.
    QApplication::setDesktopFileName(QStringLiteral("org.flintor.Flintor"));
    Q_INIT_RESOURCE(resources);
    QIcon icon;
    for (const char* size : {"48", "128"})
        icon.addFile(QStringLiteral(":/flintor/flintor-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    // Size texts such as "64.00 KB" use the user's decimal separator; nothing else is localised.
    try {
        std::locale::global(std::locale(std::locale::classic(), std::locale(""), std::locale::numeric));
    } catch (const std::exception&) {
    }

    frmMain window;
    if (argc > 1) {
        // The argument is taken as the shell gave it, relative to the folder the program started in, and
        // opened as soon as the lists are, just after the first frame.
        const QString path = decodeLocalName(QByteArray(argv[1]));
        const QString absolute =
            QDir::isAbsolutePath(path) ? path : QDir::cleanPath(QDir::currentPath() + '/' + path);
        QObject::connect(&window, &frmMain::startUpFinished, &window,
                         [&window, absolute] { window.GotADrop(absolute); });
    }
    window.show();
    return app.exec();
}
