// The settings file as the window uses it: read once when its start-up finishes, written once when it
// closes; and the write's atomic replacement seen from outside a writer that is killed or runs out
// of space.
#include "DirList.h"
#include "FileContents.h"
#include "QtPrinters.h"
#include "Settings.h"
#include "WindowStartUp.h"
#include "frmMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A program folder of its own holding the settings file, and two folders to remember.
class SettingsLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_program = m_tmp.filePath("program");
        m_settings = m_program + "/settings.ini";
        m_first = m_tmp.filePath("first");
        m_second = m_tmp.filePath("second");
        for (const QString& folder : {m_program, m_first, m_second})
            ASSERT_TRUE(QDir().mkpath(folder));
    }

    // Creates and shows the window as the program does at start, and returns the folder it opened.
    QString start() {
        m_window = std::make_unique<frmMain>(nullptr, m_settings);
        m_window->show();
        EXPECT_TRUE(waitForStartUp(*m_window));
        return m_window->Dir1->path();
    }
    // Closes the window with `folder` open.
    void closeAt(const QString& folder) {
        m_window->ShowFolder(folder);
        ASSERT_EQ(m_window->Dir1->path(), folder);
        m_window->close();
        m_window.reset();
    }

    QTemporaryDir m_tmp;
    QString m_program;
    QString m_settings;
    QString m_first;
    QString m_second;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(SettingsLifecycle, FirstRunLeavesExactlyTheSectionAndTheKey) {
    EXPECT_EQ(start(), QDir::currentPath());
    closeAt(m_first);
    EXPECT_EQ(contentsOf(m_settings), "[Paths]\nLast path=" + QFile::encodeName(m_first) + "\n");
    EXPECT_EQ(QDir(m_program).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});
    EXPECT_EQ(start(), m_first);
}

TEST_F(SettingsLifecycle, SectionAndKeyAreFoundWhateverTheirCase) {
    writeFile(m_settings, "[pATHS]\r\nlast PATH = " + QFile::encodeName(m_first) + "\r\n");
    EXPECT_EQ(start(), m_first);
    closeAt(m_second);
    // The line is replaced, not added under a second spelling.
    EXPECT_EQ(contentsOf(m_settings), "[pATHS]\r\nLast path=" + QFile::encodeName(m_second) + "\r\n");
}

TEST_F(SettingsLifecycle, FileListedAsHiddenIsNotReadButStillWritten) {
    const QByteArray before = "[Paths]\nLast path=" + QFile::encodeName(m_first) + "\n";
    writeFile(m_settings, before);
    writeFile(m_program + "/.hidden", "notes.txt\nsettings.ini\r\n");
    EXPECT_EQ(start(), QDir::currentPath());
    closeAt(m_second);
    EXPECT_EQ(contentsOf(m_settings), "[Paths]\nLast path=" + QFile::encodeName(m_second) + "\n");
    EXPECT_EQ(contentsOf(m_program + "/.hidden"), "notes.txt\nsettings.ini\r\n");

    // Names that only resemble it hide nothing.
    writeFile(m_program + "/.hidden", "settings.ini.bak\n Settings.ini\nsettings\n");
    EXPECT_EQ(start(), m_second);
}

TEST_F(SettingsLifecycle, RemovedFolderChangesNothingAtStartAndIsReplacedAtClose) {
    const QString gone = m_tmp.filePath("gone");
    ASSERT_TRUE(QDir().mkpath(gone));
    writeFile(m_settings, "[Paths]\nLast path=" + QFile::encodeName(gone) + "\n");
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_EQ(start(), QDir::currentPath());
    closeAt(m_first);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_settings), m_first);
}

TEST_F(SettingsLifecycle, FolderNamedWithLineBreaksIsOpenedButNeverWrittenIntoTheFile) {
    // A real folder whose name would add a section and a key if it were written as it is.
    const QString evil = m_tmp.filePath("fw\n[Paths]\nLast path=..\n[Other]\rkey=value");
    ASSERT_TRUE(QDir().mkpath(evil));
    const QByteArray before = "[Paths]\nLast path=" + QFile::encodeName(m_first) + "\n";
    writeFile(m_settings, before);

    EXPECT_EQ(start(), m_first);
    closeAt(evil); // the browser opens it like any other folder
    EXPECT_EQ(contentsOf(m_settings), before);
    // The next start is not misled either: it opens the folder remembered before.
    EXPECT_EQ(start(), m_first);
    closeAt(m_second);
    EXPECT_EQ(contentsOf(m_settings), "[Paths]\nLast path=" + QFile::encodeName(m_second) + "\n");
}

// The write seen from outside: a writer process stopped between writing the new contents and
// renaming them over the old file, then killed; and one that runs out of space.
class SettingsWriterProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_file = m_tmp.filePath("settings.ini");
        writeFile(m_file, m_before);
    }

    QTemporaryDir m_tmp;
    QString m_file;
    const QByteArray m_before = "; kept\n[Paths]\nLast path=/old\n[Window]\nLeft=10\n";
};

TEST_F(SettingsWriterProcess, KilledBeforeTheRenameLeavesTheOldFileWhole) {
    QProcess writer;
    writer.start(QStringLiteral(SETTINGS_WRITER), {"stop-before-rename", m_file, "/new/folder"});
    ASSERT_TRUE(writer.waitForStarted());
    ASSERT_TRUE(writer.waitForReadyRead(10000)) << writer.readAllStandardError().toStdString();
    ASSERT_EQ(writer.readLine().trimmed(), "ready");

    // At this moment the new contents are complete in a file of their own beside the old one.
    const QStringList files = QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
    const QString pending = m_tmp.filePath(files.at(0) == "settings.ini" ? files.at(1) : files.at(0));
    EXPECT_EQ(contentsOf(pending), "; kept\n[Paths]\nLast path=/new/folder\n[Window]\nLeft=10\n");
    EXPECT_EQ(contentsOf(m_file), m_before);

    ASSERT_EQ(::kill(static_cast<pid_t>(writer.processId()), SIGKILL), 0);
    ASSERT_TRUE(writer.waitForFinished(10000));
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(contentsOf(m_file), m_before);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/old");

    // The next write goes through, whatever the killed one left beside the file.
    EXPECT_NE(WriteSetting("Paths", "Last path", "/later", m_file), 0);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/later");
    EXPECT_EQ(ReadSetting("Window", "Left", m_file), "10");
}

TEST_F(SettingsWriterProcess, WriteThatRunsOutOfSpaceFailsAndLeavesTheOldFileWhole) {
    // Files are limited to fewer bytes than the new contents need, so the write stops part way.
    const QString longFolder = "/" + QString(200, QLatin1Char('f'));
    QProcess writer;
    writer.start(QStringLiteral(SETTINGS_WRITER),
                 {"file-size-limit", QString::number(m_before.size() + 20), m_file, longFolder});
    ASSERT_TRUE(writer.waitForFinished(10000));
    EXPECT_EQ(writer.exitCode(), 0) << "the write reported success";
    EXPECT_EQ(contentsOf(m_file), m_before);
    EXPECT_EQ(QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});

    // With room enough the same writer succeeds.
    writer.start(QStringLiteral(SETTINGS_WRITER), {"file-size-limit", "65536", m_file, longFolder});
    ASSERT_TRUE(writer.waitForFinished(10000));
    EXPECT_EQ(writer.exitCode(), 1);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), longFolder.left(254));
}

} // namespace
