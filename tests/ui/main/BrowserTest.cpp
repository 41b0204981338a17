#include "DirList.h"
#include "DriveList.h"
#include "FileBrowser.h"
#include "FileList.h"
#include "LocalNames.h"
#include "QtPrinters.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void touch(const QString& path) {
    const int fd = ::open(encodeLocalName(path).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ::close(fd);
}

void makeFolder(const QString& path) {
    ASSERT_EQ(::mkdir(encodeLocalName(path).constData(), 0755), 0) << path.toStdString();
}

void symlinkTo(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(encodeLocalName(target).constData(), encodeLocalName(link).constData()), 0);
}

QStringList listed(const FileList& list) {
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    return names;
}

QStringList shownFolders(const DirList& list) {
    QStringList paths;
    for (int i = 0; i < list.entryCount(); ++i)
        paths.append(list.entryPath(i));
    return paths;
}

// A tree of firmware files and folders, with the three lists and the browser that links them.
class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        // Readable by the unprivileged user of some tests.
        ASSERT_EQ(::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755), 0);
        m_root = m_tmp.path();
        m_fw = m_root + "/fw";
        m_empty = m_root + "/empty";
        makeFolder(m_fw);
        makeFolder(m_empty);
        for (const char* name : {"b.bin", "A.IMG", "c.txt", "README", ".hidden.bin", "Z.Bin.bak"})
            touch(m_fw + "/" + name);
        for (const char* name : {"sub1", "Sub2", ".hiddendir"})
            makeFolder(m_fw + "/" + name);
        m_drive1 = new DriveList(&m_window);
        m_dir1 = new DirList(&m_window);
        m_file1 = new FileList(&m_window);
        m_browser = std::make_unique<FileBrowser>(m_drive1, m_dir1, m_file1);
    }

    QWidget m_window;
    QTemporaryDir m_tmp;
    QString m_root, m_fw, m_empty;
    DriveList* m_drive1 = nullptr;
    DirList* m_dir1 = nullptr;
    FileList* m_file1 = nullptr;
    std::unique_ptr<FileBrowser> m_browser;
};

TEST_F(Browser, StartsOnTheProcesssCurrentFolder) {
    const QString cwd = QDir::currentPath();
    EXPECT_EQ(m_dir1->path(), cwd);
    EXPECT_EQ(m_file1->path(), cwd);
    EXPECT_EQ(m_drive1->drive(), DriveList::volumeRootOf(cwd));
    EXPECT_EQ(m_file1->pattern(), "*.img;*.bin");
}

TEST_F(Browser, ShowFolderOpensTheFolderAndListsItsMatchingFiles) {
    m_browser->ShowFolder(m_fw);
    EXPECT_EQ(m_drive1->drive(), DriveList::volumeRootOf(m_fw));
    EXPECT_EQ(m_dir1->path(), m_fw);
    EXPECT_EQ(m_file1->path(), m_fw);
    EXPECT_EQ(listed(*m_file1), (QStringList{"A.IMG", "b.bin"}));
    // The chain down from the volume root ends in the open folder, followed by its visible subfolders.
    const QStringList folders = shownFolders(*m_dir1);
    ASSERT_GE(folders.size(), 4);
    EXPECT_EQ(folders.first(), m_drive1->drive());
    EXPECT_EQ(folders.mid(folders.size() - 3), (QStringList{m_fw, m_fw + "/sub1", m_fw + "/Sub2"}));
    EXPECT_TRUE(folders.contains(m_root));
}

TEST_F(Browser, ShowFolderWithAFilePathMovesOnlyTheDrive) {
    m_browser->ShowFolder(m_empty);
    QSignalSpy folderChanges(m_dir1, &DirList::pathChanged);
    m_browser->ShowFolder(m_fw + "/A.IMG");
    // Same volume: the drive's current folder is the one open, and the file's folder is not opened.
    EXPECT_EQ(m_dir1->path(), m_empty);
    EXPECT_EQ(m_file1->path(), m_empty);
    EXPECT_EQ(folderChanges.count(), 0);
}

TEST_F(Browser, ShowFolderWithEmptyOrMissingPathChangesNothing) {
    m_browser->ShowFolder(m_fw);
    m_file1->setSelected(1, true);
    QSignalSpy folderChanges(m_dir1, &DirList::pathChanged);
    QSignalSpy driveChanges(m_drive1, &DriveList::driveChanged);
    for (const QString& path : {QString(), m_root + "/no such folder", QStringLiteral("//server/share"),
                                QStringLiteral("relative/nowhere")})
        m_browser->ShowFolder(path);
    EXPECT_EQ(m_dir1->path(), m_fw);
    EXPECT_EQ(m_file1->fileName(), "b.bin");
    EXPECT_EQ(folderChanges.count(), 0);
    EXPECT_EQ(driveChanges.count(), 0);
}

TEST_F(Browser, RefusedFolderLeavesAllListsAsTheyWere) {
    m_browser->ShowFolder(m_fw);
    const QStringList before = shownFolders(*m_dir1);
    QSignalSpy folderChanges(m_dir1, &DirList::pathChanged);
    EXPECT_FALSE(m_dir1->setPath(m_fw + "/b.bin"));
    EXPECT_FALSE(m_dir1->setPath(m_root + "/missing"));
    EXPECT_FALSE(m_dir1->setPath(QString()));
    EXPECT_EQ(m_dir1->path(), m_fw);
    EXPECT_EQ(shownFolders(*m_dir1), before);
    EXPECT_EQ(listed(*m_file1), (QStringList{"A.IMG", "b.bin"}));
    EXPECT_EQ(folderChanges.count(), 0);
    // Reopening the open folder is accepted but is no change.
    EXPECT_TRUE(m_dir1->setPath(m_fw + "/"));
    EXPECT_EQ(folderChanges.count(), 0);
}

TEST_F(Browser, UnreadableFolderIsRefusedAndListsEmptyWithoutFuss) {
    const QString locked = m_fw + "/sub1";
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    touch(m_fw + "/sub1/../sub1.bin");
    m_browser->ShowFolder(m_fw);
    {
        Unprivileged user;
        ASSERT_TRUE(user.active());
        EXPECT_FALSE(m_dir1->setPath(locked));
        m_browser->ShowFolder(locked);
        EXPECT_EQ(m_dir1->path(), m_fw);
        m_file1->setPath(locked);
        EXPECT_EQ(m_file1->ListCount(), 0);
        // Its name is still shown in the parent's list, where it can be seen but not opened.
        EXPECT_TRUE(shownFolders(*m_dir1).contains(locked));
    }
}

TEST_F(Browser, TheListsFollowEachOtherAcrossVolumesInOrder) {
    const QString mountPoint = m_root + "/volume";
    makeFolder(mountPoint);
    if (::geteuid() != 0 ||
        ::mount("flintor-test", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a second volume here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(mountPoint)};
    makeFolder(mountPoint + "/inner");
    touch(mountPoint + "/inner/x.bin");
    touch(mountPoint + "/top.img");

    const QString mainVolume = DriveList::volumeRootOf(m_fw);
    ASSERT_EQ(DriveList::volumeRootOf(mountPoint), mountPoint);

    // Watchers connected ahead of the browser see each change before the browser's handler runs.
    QStringList trace;
    m_browser.reset();
    QObject::connect(m_drive1, &DriveList::driveChanged, [&] { trace << "drive " + m_drive1->drive(); });
    QObject::connect(m_dir1, &DirList::pathChanged, [&] { trace << "folder " + m_dir1->path(); });
    m_browser = std::make_unique<FileBrowser>(m_drive1, m_dir1, m_file1);
    m_browser->ShowFolder(m_fw);
    QObject::connect(m_dir1, &DirList::pathChanged, [&] { trace << "files " + m_file1->path(); });
    trace.clear();

    // The drive change, and through it the folder change to the volume's current folder (its root,
    // the first time), run before the folder itself is opened.
    m_browser->ShowFolder(mountPoint + "/inner");
    EXPECT_EQ(trace, (QStringList{"drive " + mountPoint, "folder " + mountPoint, "files " + mountPoint,
                                  "folder " + mountPoint + "/inner", "files " + mountPoint + "/inner"}));
    EXPECT_EQ(listed(*m_file1), QStringList{"x.bin"});

    // A file on the first volume takes the browser back to that volume's current folder only.
    trace.clear();
    m_browser->ShowFolder(m_empty + "/../fw/A.IMG");
    EXPECT_EQ(trace, (QStringList{"drive " + mainVolume, "folder " + m_fw, "files " + m_fw}));

    // Choosing the second volume again returns to the folder last open there.
    trace.clear();
    EXPECT_TRUE(m_drive1->setDrive(mountPoint));
    EXPECT_EQ(m_dir1->path(), mountPoint + "/inner");

    // Opening the mount point from the parent folder moves the drive list along, without a drive change.
    m_dir1->setPath(m_root);
    trace.clear();
    m_dir1->setPath(mountPoint);
    EXPECT_EQ(m_drive1->drive(), mountPoint);
    EXPECT_EQ(trace, (QStringList{"folder " + mountPoint, "files " + mountPoint}));
}

TEST_F(Browser, DriveListRefusesWhatIsNoVolumeRoot) {
    QSignalSpy driveChanges(m_drive1, &DriveList::driveChanged);
    const QString before = m_drive1->drive();
    EXPECT_FALSE(m_drive1->setDrive(m_fw));
    EXPECT_FALSE(m_drive1->setDrive(QString()));
    EXPECT_FALSE(m_drive1->setDrive(m_root + "/missing"));
    EXPECT_EQ(m_drive1->drive(), before);
    EXPECT_EQ(driveChanges.count(), 0);
    EXPECT_GE(m_drive1->count(), 1);
}

struct PatternCase {
    const char* pattern;
    QStringList expected;
};

TEST_F(Browser, PatternFiltersWithoutRegardToCase) {
    m_browser->ShowFolder(m_fw);
    const PatternCase cases[] = {
        {"*.img;*.bin", {"A.IMG", "b.bin"}},
        {"*.IMG;*.BIN", {"A.IMG", "b.bin"}},
        {"*.*", {"A.IMG", "b.bin", "c.txt", "README", "Z.Bin.bak"}},
        {"*", {"A.IMG", "b.bin", "c.txt", "README", "Z.Bin.bak"}},
        {"*.txt", {"c.txt"}},
        {"?.bin", {"b.bin"}},
        {" *.img ; ;", {"A.IMG"}},
        {"*.bin*", {"b.bin", "Z.Bin.bak"}},
        {"*.zip", {}},
        {";", {"A.IMG", "b.bin", "c.txt", "README", "Z.Bin.bak"}},
    };
    for (const PatternCase& c : cases) {
        m_file1->setPattern(c.pattern);
        EXPECT_EQ(m_file1->pattern(), c.pattern);
        EXPECT_EQ(listed(*m_file1), c.expected) << c.pattern;
    }
}

TEST(FilePattern, WildcardsMatchWholeNamesWithBacktracking) {
    EXPECT_TRUE(FileList::matchesPattern("firmware.BIN", "*.bin"));
    EXPECT_FALSE(FileList::matchesPattern("firmware.bin.gz", "*.bin"));
    EXPECT_TRUE(FileList::matchesPattern("abcabcabd", "*ab?"));
    EXPECT_TRUE(FileList::matchesPattern("a", "*a*"));
    EXPECT_FALSE(FileList::matchesPattern("ab", "a?b"));
    EXPECT_TRUE(FileList::matchesPattern("[x].bin", "[x].bin")); // brackets are plain characters
    EXPECT_TRUE(FileList::matchesPattern(QString::fromUtf8("ÄPFEL.IMG"), QString::fromUtf8("äpfel.img")));
    // A long name against a pattern of many stars still ends at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FileList::matchesPattern(QString(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(Browser, SelectionIsSingleAndFollowsTheFilter) {
    m_browser->ShowFolder(m_fw);
    EXPECT_EQ(m_file1->fileName(), "");
    m_file1->setSelected(1, true);
    EXPECT_EQ(m_file1->fileName(), "b.bin");
    m_file1->setSelected(0, true);
    EXPECT_TRUE(m_file1->Selected(0));
    EXPECT_FALSE(m_file1->Selected(1));
    EXPECT_EQ(m_file1->fileName(), "A.IMG");
    m_file1->setSelected(7, true); // past the end: nothing changes
    EXPECT_EQ(m_file1->fileName(), "A.IMG");
    EXPECT_EQ(m_file1->List(-1), "");
    EXPECT_EQ(m_file1->List(2), "");
    EXPECT_FALSE(m_file1->Selected(-1));

    m_file1->setPattern("*.*");
    EXPECT_EQ(m_file1->fileName(), "A.IMG"); // still listed, still selected
    m_file1->setPattern("*.txt");
    EXPECT_EQ(m_file1->fileName(), ""); // filtered out
    m_file1->setPattern("*.img");
    m_file1->setSelected(0, true);
    m_file1->setSelected(0, false);
    EXPECT_EQ(m_file1->fileName(), "");
    // Another folder starts without a selection.
    m_file1->setSelected(0, true);
    m_browser->ShowFolder(m_empty);
    EXPECT_EQ(m_file1->fileName(), "");
}

TEST_F(Browser, NamesThatAreNotUtf8AreListedAndLeadBackToTheFile) {
    const QByteArray fileBytes = QFile::encodeName(m_fw) + "/bad\xFF\xC3.bin";
    const QByteArray folderBytes = QFile::encodeName(m_fw) + "/dir\xFE";
    // QTemporaryDir cannot see these names to remove them.
    struct Cleanup {
        QByteArray file, folder;
        ~Cleanup() {
            ::unlink(file.constData());
            ::unlink((folder + "/in.bin").constData());
            ::rmdir(folder.constData());
        }
    } cleanup{fileBytes, folderBytes};
    ASSERT_EQ(::close(::open(fileBytes.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_EQ(::mkdir(folderBytes.constData(), 0755), 0);
    ASSERT_EQ(::close(::open((folderBytes + "/in.bin").constData(), O_CREAT | O_WRONLY, 0644)), 0);

    m_browser->ShowFolder(m_fw);
    ASSERT_EQ(m_file1->ListCount(), 3);
    const int row = int(listed(*m_file1).indexOf(decodeLocalName("bad\xFF\xC3.bin")));
    ASSERT_GE(row, 0);
    m_file1->setSelected(row, true);
    EXPECT_EQ(encodeLocalName(m_fw + "/" + m_file1->fileName()), fileBytes);

    const QString folder = decodeLocalName(folderBytes);
    ASSERT_TRUE(shownFolders(*m_dir1).contains(folder));
    m_browser->ShowFolder(folder);
    EXPECT_EQ(m_dir1->path(), folder);
    EXPECT_EQ(listed(*m_file1), QStringList{"in.bin"});
}

TEST(LocalNames, EveryByteSequenceSurvivesTheRoundTrip) {
    const QByteArray samples[] = {"plain",
                                  "caf\xC3\xA9",
                                  "\xF0\x9F\x92\xBE disk",
                                  "\xFF",
                                  "\x80\x80",
                                  "\xC3",
                                  "\xE2\x82",
                                  "\xC0\xAF" /* overlong "/" */,
                                  "\xED\xA0\x80" /* encoded surrogate */,
                                  "\xF4\x90\x80\x80" /* > U+10FFFF */,
                                  "a\xC3(b"};
    for (const QByteArray& bytes : samples) {
        EXPECT_EQ(encodeLocalName(decodeLocalName(bytes)), bytes) << bytes.toHex().constData();
    }
    EXPECT_EQ(decodeLocalName("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(decodeLocalName("\xF0\x9F\x92\xBE"), QString::fromUtf8("\xF0\x9F\x92\xBE"));
    EXPECT_EQ(encodeLocalName(QString::fromUtf8("/home/zoë")), QByteArray("/home/zo\xC3\xAB"));
}

TEST_F(Browser, LinkLoopsAreNotFollowed) {
    symlinkTo(".", m_fw + "/here");
    symlinkTo("..", m_fw + "/parent");
    symlinkTo("/", m_fw + "/rootlink");
    symlinkTo("loop.bin", m_fw + "/loop.bin");
    symlinkTo("ping.img", m_fw + "/pong.img");
    symlinkTo("pong.img", m_fw + "/ping.img");
    symlinkTo("../empty", m_fw + "/elsewhere");
    symlinkTo("b.bin", m_fw + "/alias.bin");
    m_browser->ShowFolder(m_fw);
    EXPECT_EQ(listed(*m_file1), (QStringList{"A.IMG", "alias.bin", "b.bin"}));
    const QStringList folders = shownFolders(*m_dir1);
    EXPECT_TRUE(folders.contains(m_fw + "/elsewhere"));
    for (const char* name : {"here", "parent", "rootlink"})
        EXPECT_FALSE(folders.contains(m_fw + "/" + name)) << name;
    // Typed in directly, a path through a link loop is refused once the system gives up on it.
    QString deep = m_fw;
    for (int i = 0; i < 50; ++i)
        deep += "/here";
    EXPECT_FALSE(m_dir1->setPath(deep));
    EXPECT_EQ(m_dir1->path(), m_fw);
}

// How long it takes is measured by the window benchmark.
TEST_F(Browser, ThousandsOfFilesAreListedSorted) {
    const QString many = m_root + "/many";
    makeFolder(many);
    for (int i = 0; i < 5000; ++i)
        touch(many + QStringLiteral("/fw%1.bin").arg(i));
    m_browser->ShowFolder(many);
    ASSERT_EQ(m_file1->ListCount(), 5000);
    EXPECT_EQ(m_file1->List(0), "fw0.bin");
    EXPECT_EQ(m_file1->List(2), "fw2.bin"); // numbers in order, not fw10 after fw1
    EXPECT_EQ(m_file1->List(4999), "fw4999.bin");
}

TEST_F(Browser, RightButtonReleasesReachTheWindow) {
    m_browser->ShowFolder(m_fw);
    m_window.resize(400, 400);
    m_dir1->setGeometry(0, 0, 300, 150);
    m_file1->setGeometry(0, 200, 300, 150);
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));

    QSignalSpy dirUps(m_dir1, &DirList::mouseUp);
    QSignalSpy fileUps(m_file1, &FileList::mouseUp);
    QTest::mouseClick(m_dir1->viewport(), Qt::RightButton, Qt::ShiftModifier, QPoint(20, 10));
    ASSERT_EQ(dirUps.count(), 1);
    EXPECT_EQ(dirUps.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(dirUps.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(dirUps.at(0).at(2).toPoint(), m_dir1->viewport()->mapTo(m_dir1, QPoint(20, 10)));
    EXPECT_EQ(fileUps.count(), 0);

    QTest::mouseClick(m_file1->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_EQ(fileUps.count(), 1);
    EXPECT_EQ(fileUps.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(m_file1->fileName(), "A.IMG"); // a left click selects as usual
}

TEST_F(Browser, DoubleClickOrEnterOpensAFolder) {
    m_browser->ShowFolder(m_fw);
    m_window.resize(400, 400);
    m_dir1->setGeometry(0, 0, 300, 390);
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));

    const QStringList folders = shownFolders(*m_dir1);
    const int subRow = int(folders.indexOf(m_fw + "/sub1"));
    ASSERT_GE(subRow, 0);
    QTreeWidgetItem* sub = nullptr;
    for (QTreeWidgetItemIterator it(m_dir1); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == m_fw + "/sub1")
            sub = *it;
    }
    ASSERT_TRUE(sub);
    const QPoint at = m_dir1->visualItemRect(sub).center();
    // A real double-click: the first click, then the second press that the system reports as double.
    QTest::mouseClick(m_dir1->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(m_dir1->path(), m_fw); // a single click only selects
    QTest::mouseDClick(m_dir1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(m_dir1->viewport(), Qt::LeftButton, {}, at);
    // The folder opens once the view has finished with the double-click.
    for (int i = 0; i < 100 && m_dir1->path() != m_fw + "/sub1"; ++i)
        QTest::qWait(20);
    EXPECT_EQ(m_dir1->path(), m_fw + "/sub1");
    EXPECT_EQ(m_file1->path(), m_fw + "/sub1");

    // Enter on the parent entry goes back up.
    for (QTreeWidgetItemIterator it(m_dir1); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == m_fw)
            m_dir1->setCurrentItem(*it);
    }
    QTest::keyClick(m_dir1, Qt::Key_Return);
    EXPECT_EQ(m_dir1->path(), m_fw);
    EXPECT_EQ(m_file1->path(), m_fw);
}

TEST_F(Browser, ListsHaveUsableSizeHints) {
    for (QWidget* w :
         {static_cast<QWidget*>(m_drive1), static_cast<QWidget*>(m_dir1), static_cast<QWidget*>(m_file1)}) {
        EXPECT_GE(w->sizeHint().width(), 150);
        EXPECT_GE(w->sizeHint().height(), 15);
    }
}

} // namespace
