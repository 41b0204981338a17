// The settings file under faults: a program folder that cannot be written, a disk that is full, and
// two instances closing at the same moment. The file stays whole and readable throughout.
#include "FaultSupport.h"
#include "FileContents.h"
#include "ProfileText.h"
#include "Settings.h"
#include "frmMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>

namespace flintor::faults {
namespace {

const QByteArray kBefore = "; kept\n[Paths]\nLast path=/old\n[Window]\nLeft=10\n";

TEST(SettingsFaults, ReadOnlyProgramFolderFallsBackToTheUsersFolderAndKeepsItsFile) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString program = tmp.filePath("program/");
    const QString config = tmp.filePath("config");
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(config));
    writeFile(program + "settings.ini", kBefore);
    QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                       QFile::ExeOther);
    QFile::setPermissions(config, QFile::Permissions(0x7777));
    const QString programFile = program + "settings.ini";

    const int status = RunAsNobody([&] {
        if (::access(QFile::encodeName(program).constData(), W_OK) == 0)
            return 3;
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(config).constData(), 1);
        // The program's own file is read, but cannot be rewritten: the user's folder takes the writes.
        if (ReadSetting("Paths", "Last path", programFile) != "/old")
            return 10;
        if (WriteSetting("Paths", "Last path", "/new", programFile) != 0)
            return 11; // a refused write must say so
        const QString chosen = settings::settingsFilePath(program);
        if (chosen != config + "/flintor/settings.ini")
            return 12;
        if (WriteSetting("Paths", "Last path", "/new", chosen) == 0 ||
            ReadSetting("Paths", "Last path", chosen) != "/new")
            return 13;
        return 0;
    });
    if (status == 3)
        GTEST_SKIP() << "permissions do not apply here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(contentsOf(programFile), kBefore);
    EXPECT_EQ(QDir(program).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});
}

// A 64 KiB file system of our own, filled to the last byte.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_mount = QFile::encodeName(m_tmp.filePath("disk")).toStdString();
        ASSERT_TRUE(QDir().mkpath(m_tmp.filePath("disk")));
        if (::mount("flintor-full", m_mount.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0777") !=
            0)
            GTEST_SKIP() << "cannot mount a file system here: " << std::strerror(errno);
        m_mounted = true;
        m_file = m_tmp.filePath("disk/settings.ini");
        writeFile(m_file, kBefore);
        // Fill the disk: the last write fails with ENOSPC.
        const int fd = ::open((m_mount + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }
    void TearDown() override {
        if (m_mounted)
            ::umount2(m_mount.c_str(), MNT_DETACH);
    }

    QTemporaryDir m_tmp;
    std::string m_mount;
    bool m_mounted = false;
    QString m_file;
};

TEST_F(FullDisk, WriteFailsAndLeavesTheOldFileWhole) {
    const QString longFolder = "/" + QString(200, QLatin1Char('f'));
    EXPECT_EQ(WriteSetting("Paths", "Last path", longFolder, m_file), 0);
    EXPECT_EQ(contentsOf(m_file), kBefore);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/old");
    // Nothing is left beside it.
    EXPECT_EQ(QDir(m_tmp.filePath("disk")).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"filler", "settings.ini"}));
}

TEST_F(FullDisk, WindowClosingOnAFullDiskKeepsTheOldFile) {
    {
        frmMain window(nullptr, m_file);
        window.ShowFolder(m_tmp.path());
        window.show();
        window.close();
    }
    EXPECT_EQ(contentsOf(m_file), kBefore);
    // Once there is room again, the next close is stored.
    ASSERT_EQ(::truncate((m_mount + "/filler").c_str(), 0), 0);
    {
        frmMain window(nullptr, m_file);
        window.ShowFolder(m_tmp.path());
        window.close();
    }
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), m_tmp.path());
    EXPECT_EQ(ReadSetting("Window", "Left", m_file), "10");
}

TEST(SettingsFaults, TwoInstancesClosingTogetherLeaveAWholeFile) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString file = tmp.filePath("settings.ini");
    writeFile(file, kBefore);
    constexpr int kWrites = 300;
    // Two processes store their folders as fast as they can while this one reads.
    std::vector<pid_t> writers;
    for (const char* who : {"/first/instance", "/second/instance/with/a/longer/name"}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kWrites; ++i)
                failures += WriteSetting("Paths", "Last path", QString("%1/%2").arg(who).arg(i), file) == 0;
            ::_exit(failures == 0 ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        writers.push_back(pid);
    }
    int reads = 0;
    int running = 2;
    while (running > 0) {
        const QByteArray bytes = contentsOf(file);
        const auto value = profile::readValue(bytes.toStdString(), "Paths", "Last path");
        ASSERT_TRUE(value.has_value()) << bytes.toStdString();
        ASSERT_TRUE(value->rfind("/first/instance", 0) == 0 || value->rfind("/second/instance", 0) == 0 ||
                    *value == "/old")
            << *value;
        ASSERT_EQ(profile::readValue(bytes.toStdString(), "Window", "Left"), "10") << bytes.toStdString();
        ++reads;
        running = 0;
        for (const pid_t pid : writers) {
            int status = 0;
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            running += done == 0;
            if (done == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
            }
        }
        writers.erase(std::remove_if(writers.begin(), writers.end(),
                                     [](pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }),
                      writers.end());
    }
    EXPECT_GT(reads, 0);
    const std::string last = ReadSetting("Paths", "Last path", file).toStdString();
    EXPECT_TRUE(last == "/first/instance/" + std::to_string(kWrites - 1) ||
                last == "/second/instance/with/a/longer/name/" + std::to_string(kWrites - 1))
        << last;
    EXPECT_TRUE(contentsOf(file).startsWith("; kept\n[Paths]\nLast path="));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});
}

} // namespace
} // namespace flintor::faults
