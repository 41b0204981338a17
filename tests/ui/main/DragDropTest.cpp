// Files dropped onto the real main window, offscreen: the drag events go to the window's platform
// window as the window system delivers them, so they reach the control under the pointer.
#include "DirList.h"
#include "FileDrop.h"
#include "FileList.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "frmMain.h"
#include "modDragDrop.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

constexpr Qt::DropActions kFileManagerActions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

struct DragOutcome {
    bool entered = false;                     // the drag was accepted over the control
    bool dropped = false;                     // the drop was accepted
    Qt::DropAction action = Qt::IgnoreAction; // what the window told the source it did
};

class DragDrop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_fw = m_tmp.filePath("fw");
        for (const QString& folder : {m_fw, m_fw + "/images", m_fw + "/images.old", m_tmp.filePath("other")})
            ASSERT_TRUE(QDir().mkpath(folder));
        for (const QString& file : {m_fw + "/ROUTER.img", m_fw + "/second.bin", m_fw + "/notes.txt",
                                    m_fw + "/images.old/old.img", m_tmp.filePath("other/third.img")})
            touch(file);
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->setMessageHandler([this](const QString& text, QMessageBox::Icon icon) {
            m_messages.push_back({text, icon});
        });
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void TearDown() override {
        if (m_window)
            m_window->close();
        m_window.reset();
    }

    static void touch(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    static QUrl file(const QString& path) { return QUrl::fromLocalFile(path); }

    // Carries a drag of `urls` over the middle of `over` and drops it there: enter, two moves and
    // the drop, all sent to the platform window as the window system sends them.
    DragOutcome dragAndDrop(QWidget* over, const QList<QUrl>& urls,
                            Qt::DropActions actions = kFileManagerActions) {
        // File managers offer the paths as plain text too, which text boxes would take.
        QMimeData data;
        data.setUrls(urls);
        QStringList paths;
        for (const QUrl& url : urls)
            paths.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
        data.setText(paths.join('\n'));
        return dragAndDrop(over, &data, actions);
    }

    DragOutcome dragAndDrop(QWidget* over, const QMimeData* data, Qt::DropActions actions) {
        QWindow* platformWindow = m_window->windowHandle();
        EXPECT_NE(platformWindow, nullptr);
        const QPoint at = over->mapTo(m_window.get(), over->rect().center());
        DragOutcome outcome;
        QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(platformWindow, &enter);
        outcome.entered = enter.isAccepted();
        for (const QPoint& step : {at + QPoint(1, 0), at}) {
            QDragMoveEvent move(step, actions, data, Qt::LeftButton, Qt::NoModifier);
            move.setAccepted(outcome.entered);
            QCoreApplication::sendEvent(platformWindow, &move);
            outcome.entered = move.isAccepted();
        }
        if (!outcome.entered) {
            // The window system drops only where the drag was accepted; otherwise it leaves.
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(platformWindow, &leave);
            return outcome;
        }
        QDropEvent drop(QPointF(at), actions, data, Qt::LeftButton, Qt::NoModifier);
        drop.setAccepted(false);
        QCoreApplication::sendEvent(platformWindow, &drop);
        outcome.dropped = drop.isAccepted();
        outcome.action = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
        return outcome;
    }

    frmMain& w() { return *m_window; }
    DropHandler gotADrop() {
        return [this](const QString& path) { w().GotADrop(path); };
    }
    QString openFolder() const { return m_window->Dir1->path(); }
    QString selected() const { return m_window->File1->fileName(); }

    struct Message {
        QString text;
        QMessageBox::Icon icon;
    };

    QTemporaryDir m_tmp;
    QString m_fw;
    std::unique_ptr<frmMain> m_window;
    std::vector<Message> m_messages;
};

TEST_F(DragDrop, OfThreeDroppedFilesTheFirstIsOpenedAndSelected) {
    const DragOutcome outcome =
        dragAndDrop(w().File1, {file(m_fw + "/second.bin"), file(m_fw + "/ROUTER.img"),
                                file(m_tmp.filePath("other/third.img"))});
    EXPECT_TRUE(outcome.entered);
    EXPECT_TRUE(outcome.dropped);
    EXPECT_EQ(openFolder(), m_fw);
    EXPECT_EQ(w().File1->path(), m_fw);
    EXPECT_EQ(selected(), "second.bin");
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(DragDrop, TheDropIsTakenAsACopySoTheFileManagerKeepsTheFile) {
    EXPECT_EQ(dragAndDrop(w().Dir1, {file(m_fw + "/second.bin")}).action, Qt::CopyAction);
    EXPECT_EQ(dragAndDrop(w().Dir1, {file(m_fw + "/second.bin")}, Qt::MoveAction | Qt::LinkAction).action,
              Qt::LinkAction);
    // A drag that could only move the file is refused outright, and changes nothing.
    w().ShowFolder(m_tmp.path());
    const DragOutcome moveOnly = dragAndDrop(w().Dir1, {file(m_fw + "/ROUTER.img")}, Qt::MoveAction);
    EXPECT_FALSE(moveOnly.entered);
    EXPECT_FALSE(moveOnly.dropped);
    EXPECT_EQ(openFolder(), m_tmp.path());
    EXPECT_TRUE(QFile::exists(m_fw + "/ROUTER.img"));
}

TEST_F(DragDrop, SelectionIgnoresCaseButPrefersTheExactSpelling) {
    dragAndDrop(w().File1, {file(m_fw + "/router.IMG")}); // no such file; ROUTER.img is listed
    EXPECT_EQ(openFolder(), m_fw);
    EXPECT_EQ(selected(), "ROUTER.img");

    // Both spellings exist as two files: the one dropped is the one selected, whatever the order.
    touch(m_fw + "/router.img");
    touch(m_fw + "/Router.IMG");
    w().File1->refresh();
    for (const QString name : {"router.img", "ROUTER.img", "Router.IMG"}) {
        dragAndDrop(w().File1, {file(m_fw + "/" + name)});
        EXPECT_EQ(selected(), name);
        int selectedCount = 0;
        for (int i = 0; i < w().File1->ListCount(); ++i)
            selectedCount += w().File1->Selected(i) ? 1 : 0;
        EXPECT_EQ(selectedCount, 1);
    }
}

TEST_F(DragDrop, FileHiddenByTheFilterOpensItsFolderAndSelectsNothing) {
    dragAndDrop(w().File1, {file(m_fw + "/ROUTER.img")});
    ASSERT_EQ(selected(), "ROUTER.img");
    dragAndDrop(w().File1, {file(m_fw + "/notes.txt")});
    EXPECT_EQ(openFolder(), m_fw);
    EXPECT_EQ(selected(), "");
    for (int i = 0; i < w().File1->ListCount(); ++i)
        EXPECT_FALSE(w().File1->Selected(i)) << w().File1->List(i).toStdString();
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(DragDrop, DroppedFolderOpensItselfUnlessItsNameHasADot) {
    dragAndDrop(w().Dir1, {file(m_fw + "/images")});
    EXPECT_EQ(openFolder(), m_fw + "/images");
    EXPECT_EQ(selected(), "");
    // A folder URL ending in "/" names the same folder.
    w().ShowFolder(m_tmp.path());
    dragAndDrop(w().Dir1, {QUrl::fromLocalFile(m_fw + "/images/")});
    EXPECT_EQ(openFolder(), m_fw + "/images");
    // A "." in the name makes it look like a file: its parent opens, and nothing there matches.
    dragAndDrop(w().Dir1, {file(m_fw + "/images.old")});
    EXPECT_EQ(openFolder(), m_fw);
    EXPECT_EQ(selected(), "");
}

TEST_F(DragDrop, DropOnAnyControlReachesTheBrowserAndLeavesTheControlAlone) {
    const QString textBefore = w().txtMB->text();
    ASSERT_TRUE(w().txtMB->isEnabled());
    QWidget* const targets[] = {w().txtMB,          w().txtResults, w().Dir1, w().cmdRead,
                                w().OrvoPartitions, w().fraFooter,  &w()};
    const QString files[] = {"/ROUTER.img", "/second.bin"};
    int n = 0;
    for (QWidget* target : targets) {
        const QString name = files[n++ % 2];
        const DragOutcome outcome = dragAndDrop(target, {file(m_fw + name)});
        EXPECT_TRUE(outcome.entered) << target->metaObject()->className();
        EXPECT_TRUE(outcome.dropped) << target->metaObject()->className();
        EXPECT_EQ(selected(), name.mid(1)) << target->metaObject()->className();
    }
    // The text box under the pointer did not take the path as text.
    EXPECT_EQ(w().txtMB->text(), textBefore);
    EXPECT_EQ(w().txtResults->toPlainText(), "");
}

TEST_F(DragDrop, DropsWithoutALocalFileAreIgnored) {
    w().ShowFolder(m_tmp.path());
    const QString otherHost = QSysInfo::machineHostName() + "-elsewhere";
    const QList<QList<QUrl>> drops = {
        {QUrl("https://example.org/router.img")},
        {QUrl("sftp://host/home/fw/router.img")},
        {QUrl("file://" + otherHost + m_fw + "/ROUTER.img")},
        {},
    };
    for (const QList<QUrl>& urls : drops) {
        const DragOutcome outcome = dragAndDrop(w().Dir1, urls);
        EXPECT_FALSE(outcome.dropped) << (urls.isEmpty() ? "empty" : urls.first().toString().toStdString());
        EXPECT_EQ(openFolder(), m_tmp.path());
    }
    QMimeData text;
    text.setText(m_fw + "/ROUTER.img"); // a path as plain text is not a dropped file
    EXPECT_FALSE(dragAndDrop(w().Dir1, &text, kFileManagerActions).dropped);
    EXPECT_EQ(openFolder(), m_tmp.path());
    EXPECT_TRUE(m_messages.empty());

    // A local file after a remote one is still found; this machine's own host name is local.
    dragAndDrop(w().Dir1, {QUrl("https://example.org/x.img"), file(m_fw + "/second.bin")});
    EXPECT_EQ(selected(), "second.bin");
    dragAndDrop(w().Dir1, {QUrl("file://localhost" + m_tmp.filePath("other/third.img"))});
    EXPECT_EQ(selected(), "third.img");
}

TEST_F(DragDrop, PathWithANulIsReportedAsADropError) {
    w().ShowFolder(m_tmp.path());
    QMimeData data;
    data.setData("text/uri-list", "file://" + QFile::encodeName(m_fw) + "%00/x/ROUTER.img\r\n");
    ASSERT_TRUE(FirstDroppedFile(&data).contains(QChar(0)));
    dragAndDrop(w().Dir1, &data, kFileManagerActions);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "Drag N Drop Error 22 - Invalid argument");
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(openFolder(), m_tmp.path());
}

TEST_F(DragDrop, ClosingTheWindowStopsDropsAndASecondDisableRestoresNothing) {
    ASSERT_EQ(PreviousWindowProc(), w().findChild<DropWindowProc*>());
    EXPECT_TRUE(w().acceptDrops());
    // Enabling again installs nothing more: one filter, one GotADrop per drop.
    EnableDragDrop(&w(), gotADrop());
    EXPECT_EQ(w().findChildren<DropWindowProc*>().size(), 1);

    w().ShowFolder(m_tmp.path());
    w().close();
    EXPECT_EQ(PreviousWindowProc(), nullptr);
    EXPECT_FALSE(w().acceptDrops());
    EXPECT_TRUE(w().findChildren<DropWindowProc*>().isEmpty());
    const DragOutcome outcome = dragAndDrop(w().Dir1, {file(m_fw + "/ROUTER.img")});
    EXPECT_FALSE(outcome.entered);
    EXPECT_FALSE(outcome.dropped);
    EXPECT_EQ(openFolder(), m_tmp.path());

    DisableDragDrop(&w());
    EXPECT_EQ(PreviousWindowProc(), nullptr);
    EXPECT_FALSE(w().acceptDrops());
    DisableDragDrop(nullptr);

    // Installed again, drops work again.
    w().show();
    EnableDragDrop(&w(), gotADrop());
    EXPECT_TRUE(dragAndDrop(w().Dir1, {file(m_fw + "/ROUTER.img")}).dropped);
    EXPECT_EQ(selected(), "ROUTER.img");
    DisableDragDrop(&w());
}

TEST_F(DragDrop, TwoWindowsEachKeepTheirOwnDropHandling) {
    frmMain second(nullptr, m_tmp.filePath("second.ini"));
    EXPECT_EQ(PreviousWindowProc(), second.findChild<DropWindowProc*>());
    // Closing the first window leaves the second one accepting drops, and the other way round.
    DisableDragDrop(&w());
    EXPECT_TRUE(second.acceptDrops());
    EXPECT_NE(PreviousWindowProc(), nullptr);
    EXPECT_FALSE(dragAndDrop(w().Dir1, {file(m_fw + "/ROUTER.img")}).dropped);
    DisableDragDrop(&second);
    EXPECT_EQ(PreviousWindowProc(), nullptr);
}

} // namespace
