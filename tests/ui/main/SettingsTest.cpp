#include "Settings.h"

#include "FileContents.h"
#include "QtPrinters.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath("settings.ini");
    }
    void TearDown() override { settings::setBeforeRenameHookForTesting({}); }

    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir m_dir;
    QString m_file;
};

TEST_F(SettingsFile, FirstWriteMakesAFileOfExactlyTwoLines) {
    EXPECT_NE(WriteSetting("Paths", "Last path", "/home/ann/firmware", m_file), 0);
    EXPECT_EQ(contentsOf(m_file), "[Paths]\nLast path=/home/ann/firmware\n");
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/home/ann/firmware");
}

TEST_F(SettingsFile, WriteCreatesAMissingFolder) {
    const QString nested = m_dir.filePath("a/b/settings.ini");
    EXPECT_NE(WriteSetting("Paths", "Last path", "/x", nested), 0);
    EXPECT_EQ(ReadSetting("Paths", "Last path", nested), "/x");
}

TEST_F(SettingsFile, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "");
    writeFile(m_file, "[Other]\nLast path=/x\n[Paths]\nSomething=1\n");
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "");
    EXPECT_EQ(ReadSetting("Nowhere", "Last path", m_file), "");
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_dir.path()), ""); // a folder, not a file
}

TEST_F(SettingsFile, NamesDifferingOnlyInCaseAreTheSame) {
    writeFile(m_file, "[pATHS]\r\nLAST PATH=/srv/fw\r\n");
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/srv/fw");
    EXPECT_NE(WriteSetting("Paths", "Last path", "/srv/new", m_file), 0);
    EXPECT_EQ(contentsOf(m_file), "[pATHS]\r\nLast path=/srv/new\r\n");
}

TEST_F(SettingsFile, LongValueIsReadAsItsFirst254Characters) {
    const QString longPath = "/" + QString(299, QLatin1Char('d'));
    EXPECT_NE(WriteSetting("Paths", "Last path", longPath, m_file), 0);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), longPath.left(254));
}

TEST_F(SettingsFile, OtherSectionsKeysAndCommentsAreKept) {
    const QByteArray before =
        "; notes\n[Window]\nLeft=10\n[Paths]\nLast path=/gone\nRecent=/a\n\nstray line\n";
    writeFile(m_file, before);
    EXPECT_NE(WriteSetting("Paths", "Last path", "/here", m_file), 0);
    QByteArray expected = before;
    expected.replace("Last path=/gone", "Last path=/here");
    EXPECT_EQ(contentsOf(m_file), expected);
}

TEST_F(SettingsFile, LineBreakInAFolderNameIsRefusedAndTheFileKept) {
    writeFile(m_file, "[Paths]\nLast path=/safe\n");
    for (const QString& evil :
         {QStringLiteral("/tmp/x\n[Paths]\nLast path=/etc"), QStringLiteral("/tmp/x\rk=v")}) {
        EXPECT_EQ(WriteSetting("Paths", "Last path", evil, m_file), 0);
        EXPECT_EQ(contentsOf(m_file), "[Paths]\nLast path=/safe\n");
    }
}

TEST_F(SettingsFile, FolderNamesTheFormatCouldBlurReadBackExactly) {
    const QString nonUtf8 = QString::fromUtf8("/media/") + QChar(0xDCFF) + QStringLiteral("fw"); // byte 0xFF
    for (const QString& folder : {QStringLiteral(" /lead and trail "), QStringLiteral("\"/quoted\""),
                                  QString::fromUtf8("/home/zoë/固件"), nonUtf8}) {
        EXPECT_NE(WriteSetting("Paths", "Last path", folder, m_file), 0);
        EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), folder);
    }
}

TEST_F(SettingsFile, FailureBeforeTheRenameLeavesTheOldFileWhole) {
    const QByteArray before = "[Paths]\nLast path=/old\n[Keep]\nall=of this\n";
    writeFile(m_file, before);
    bool reached = false;
    settings::setBeforeRenameHookForTesting([&] {
        reached = true;
        // The new contents are complete on disk at this point, next to the untouched old file.
        EXPECT_EQ(contentsOf(m_file), before);
        return false;
    });
    EXPECT_EQ(WriteSetting("Paths", "Last path", "/new", m_file), 0);
    EXPECT_TRUE(reached);
    EXPECT_EQ(contentsOf(m_file), before);
    EXPECT_EQ(entries(), QStringList{"settings.ini"}); // no temporary left behind
}

TEST_F(SettingsFile, ReplacementKeepsThePermissionsAndWritesThroughALink) {
    writeFile(m_file, "[Paths]\nLast path=/old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(m_file).constData(), 0640), 0);
    const QString link = m_dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(m_file, link));
    EXPECT_NE(WriteSetting("Paths", "Last path", "/new", link), 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(m_file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(SettingsFile, UnwritableFolderIsAFailureNotACrash) {
    writeFile(m_file, "[Paths]\nLast path=/old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0555), 0);
    {
        Unprivileged user;
        ASSERT_TRUE(user.active());
        EXPECT_EQ(WriteSetting("Paths", "Last path", "/new", m_file), 0);
        EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/old");
    }
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
    EXPECT_EQ(contentsOf(m_file), "[Paths]\nLast path=/old\n");
}

TEST_F(SettingsFile, HugeAndBinaryFilesAreReadSafely) {
    // A value near the start of a file far beyond the cap is still found, quickly.
    QByteArray huge = "[Paths]\nLast path=/start\n";
    huge.append(QByteArray(8 * 1024 * 1024, 'x'));
    writeFile(m_file, huge);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/start");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // Writing it would drop everything past the cap: refused, the file left as it was.
    EXPECT_EQ(WriteSetting("Paths", "Last path", "/new", m_file), 0);
    EXPECT_EQ(QFileInfo(m_file).size(), huge.size());

    std::mt19937 random(7);
    QByteArray noise(64 * 1024, '\0');
    for (char& c : noise)
        c = char(random());
    writeFile(m_file, noise);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "");
    EXPECT_NE(WriteSetting("Paths", "Last path", "/after noise", m_file), 0);
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/after noise");
    EXPECT_TRUE(contentsOf(m_file).startsWith(noise));
}

TEST_F(SettingsFile, OddLineEndsAreRead) {
    for (const QByteArray& text :
         {QByteArray("[A]\rx=1\r[Paths]\rLast path=/cr\r"), QByteArray("[Paths]\r\n\r\nLast path=/cr\n"),
          QByteArray("[Paths]\n\rLast path=/cr")}) {
        writeFile(m_file, text);
        EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "/cr") << text.toHex().constData();
    }
}

TEST_F(SettingsFile, APipeInPlaceOfTheFileNeitherCountsNorBlocks) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_file).constData(), 0600), 0);
    EXPECT_FALSE(settings::isOrdinaryFile(m_file));
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "");
    EXPECT_EQ(WriteSetting("Paths", "Last path", "/x", m_file), 0);
}

TEST_F(SettingsFile, OnlyAReadableRegularFileCountsAsPresent) {
    EXPECT_FALSE(settings::isOrdinaryFile(m_file)); // missing
    writeFile(m_file, "[Paths]\nLast path=/x\n");
    EXPECT_TRUE(settings::isOrdinaryFile(m_file));
    EXPECT_FALSE(settings::isOrdinaryFile(m_dir.path()));
    const QString dotted = m_dir.filePath(".settings.ini");
    writeFile(dotted, "[Paths]\n");
    EXPECT_FALSE(settings::isOrdinaryFile(dotted));

    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_file).constData(), 0200), 0);
    {
        Unprivileged user;
        ASSERT_TRUE(user.active());
        EXPECT_FALSE(settings::isOrdinaryFile(m_file));
        EXPECT_EQ(ReadSetting("Paths", "Last path", m_file), "");
    }
}

class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }
    void TearDown() override {
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    QTemporaryDir m_config;
    QTemporaryDir m_program;
    QByteArray m_oldConfig;
};

TEST_F(SettingsLocation, WritableProgramFolderKeepsTheFileBesideTheProgram) {
    const QString folder = m_program.path() + "/";
    EXPECT_EQ(settings::settingsFilePath(folder), folder + "settings.ini");
    EXPECT_EQ(settings::settingsFilePath(m_program.path()), folder + "settings.ini");
}

TEST_F(SettingsLocation, UnwritableProgramFolderUsesTheUsersConfigFolder) {
    const QString folder = m_program.path() + "/";
    const auto nothingWritable = [](const QString&) { return false; };
    EXPECT_EQ(settings::settingsFilePath(folder, nothingWritable), m_config.path() + "/flintor/settings.ini");
    // A settings file there that can be written still wins over the folder's own protection.
    writeFile(folder + "settings.ini", "[Paths]\n");
    const auto onlyTheFile = [](const QString& p) { return p.endsWith("settings.ini"); };
    EXPECT_EQ(settings::settingsFilePath(folder, onlyTheFile), folder + "settings.ini");
    // ...but one that cannot is passed over even when the folder could take a new file.
    const auto onlyTheFolder = [](const QString& p) { return !p.endsWith("settings.ini"); };
    EXPECT_EQ(settings::settingsFilePath(folder, onlyTheFolder), m_config.path() + "/flintor/settings.ini");
}

TEST_F(SettingsLocation, TheFallbackFileIsCreatedOnFirstWrite) {
    const QString file = settings::settingsFilePath(m_program.path(), [](const QString&) { return false; });
    EXPECT_NE(WriteSetting("Paths", "Last path", "/srv", file), 0);
    EXPECT_EQ(contentsOf(m_config.path() + "/flintor/settings.ini"), "[Paths]\nLast path=/srv\n");
}

TEST_F(SettingsLocation, RealAccessCheckSeesAReadOnlyProgramFolder) {
    ASSERT_EQ(::chmod(QFile::encodeName(m_program.path()).constData(), 0555), 0);
    Unprivileged user;
    ASSERT_TRUE(user.active());
    EXPECT_EQ(settings::settingsFilePath(m_program.path()), m_config.path() + "/flintor/settings.ini");
}

} // namespace
