#pragma once

// What every test and benchmark main() that creates a QApplication sets first: the platform, which
// defaults to offscreen because test discovery runs the binary without the test's environment, and
// a private runtime folder, which Qt wants and CI machines lack.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

inline void prepareOffscreenEnvironment(const QByteArray& platform = "offscreen",
                                        const QString& runtimeName = QStringLiteral("flintor-test-runtime")) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", platform);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + "/" + runtimeName;
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
}
