// A whole life of the window for leak checkers (LeakSanitizer in the sanitizer build, or valgrind):
// start, one calculation on a sample image, close, and exit through the ordinary path.
//   window_lifecycle IMAGE SETTINGS-FILE
#include "FileList.h"
#include "Texts.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_lifecycle IMAGE SETTINGS-FILE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QFileInfo image(QString::fromLocal8Bit(argv[1]));
    QString status;
    {
        frmMain window(nullptr, QString::fromLocal8Bit(argv[2]));
        window.setMessageHandler([](const QString& text, QMessageBox::Icon) {
            std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        });
        window.show();
        app.processEvents();
        window.ShowFolder(image.absolutePath());
        for (int i = 0; i < window.File1->ListCount(); ++i)
            if (window.File1->List(i) == image.fileName())
                window.File1->setSelected(i, true);
        window.optMem[1]->click();
        window.chkPSP->click();
        window.cmdRead_Click();
        status = window.lblStatus->text();
        window.close();
        app.processEvents();
    }
    std::printf("%s\n", status.toLocal8Bit().constData());
    return status == flintor::texts::kCalculationCompleteIntact ? 0 : 1;
}
