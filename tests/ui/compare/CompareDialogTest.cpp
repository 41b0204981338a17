// The comparison with the router's values, driven through the real main window offscreen: the command
// and its place, a capture pasted, opened and dropped, the settings it reveals set in the window, the
// table, maps and commands after each calculation, and captures that are refused.
#include "CompareDialog.h"

#include "FileList.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "Texts.h"
#include "frmMain.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kCaptures = QStringLiteral(FLINTOR_SAMPLES_DIR "/captures/");

QString capture(const char* name) {
    QFile file(kCaptures + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class Compare : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->setMessageHandler([](const QString& text, QMessageBox::Icon) {
            ADD_FAILURE() << "message box: " << text.toStdString();
        });
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    frmMain& w() { return *m_window; }
    CompareDialog* dialog() { return w().compareDialog(); }

    template <typename T> T* part(const char* name) {
        T* found = dialog() ? dialog()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* label) { return part<QLabel>(label)->text(); }
    QString box(const char* name) { return part<QPlainTextEdit>(name)->toPlainText(); }
    QString cell(int row, int column) {
        return part<QTableWidget>("partitionTable")->item(row, column)->text();
    }

    void open() {
        QTest::mouseClick(w().cmdCompare, Qt::LeftButton);
        ASSERT_NE(dialog(), nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog()));
    }

    // Pastes through the clipboard, as the owner does, and waits for the pause after which it is read.
    void paste(const QString& capture) {
        auto* edit = part<QPlainTextEdit>("captureText");
        edit->clear();
        QGuiApplication::clipboard()->setText(capture);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        ASSERT_EQ(edit->toPlainText(), QString(capture).remove('\r'));
        auto* pause = part<QTimer>("readTimer");
        ASSERT_TRUE(pause->isActive());
        ASSERT_TRUE(QTest::qWaitFor([pause] { return !pause->isActive(); }, 2000));
    }

    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(m_tmp.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }

    // A combined image of `length` bytes with "hsqs" at `magicAt`, selected in the window and calculated.
    void calculate(int length, int magicAt) {
        const QString name = QStringLiteral("image-%1.bin").arg(magicAt, 0, 16);
        QByteArray bytes(length, '\0');
        bytes.replace(0, 12, QByteArray("\x34\x44\x54\x4D\x01\x02\x03\x04\x40\x30\x20\x10", 12));
        write(name, bytes.replace(magicAt, 4, "hsqs"));
        w().ShowFolder(m_tmp.path());
        w().File1->refresh();
        for (int i = 0; i < w().File1->ListCount(); ++i)
            w().File1->setSelected(i, w().File1->List(i) == name);
        QTest::mouseClick(w().cmdRead, Qt::LeftButton);
        ASSERT_EQ(w().lblStatus->text(), "Calculation complete.");
    }

    QStringList statuses() {
        QStringList all;
        for (int row = 0; row < 6; ++row)
            all << cell(row, 3);
        return all;
    }

    // A drag of `data` carried onto `over` and dropped there, sent to its platform window.
    Qt::DropAction drop(QWidget* over, const QMimeData& data) {
        const QPoint at = over->mapTo(dialog(), over->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(dialog()->windowHandle(), &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        dropped.setAccepted(false);
        QCoreApplication::sendEvent(dialog()->windowHandle(), &dropped);
        return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
    }

    QTemporaryDir m_tmp;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(Compare, CommandFitsTheOutputsPanelAndOpensOneNonModalDialog) {
    QPushButton* command = w().cmdCompare;
    EXPECT_EQ(command->text(), "Compare with &router...");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(command)->text(QAccessible::Name),
              "Compare with router...");
    // One line between "Include filename" and the note, which keeps its four lines clear of the logo.
    EXPECT_GE(command->y(), w().chkIncFilename->geometry().bottom());
    EXPECT_LE(command->sizeHint().width(), command->width());
    EXPECT_LE(command->geometry().bottom(), w().lblInfo->y());
    EXPECT_LE(w().lblInfo->heightForWidth(w().lblInfo->width()), w().lblInfo->height());
    EXPECT_LT(w().lblInfo->geometry().bottom(), w().imgLogo->y());

    open();
    CompareDialog* first = dialog();
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(first->focusWidget(), part<QPlainTextEdit>("captureText"));
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([first] { return first->isVisible(); }, 2000));
    EXPECT_EQ(dialog(), first);

    auto* router = part<OrvoPartitions>("routerMap");
    auto* calculated = part<OrvoPartitions>("calculatedMap");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(router)->text(QAccessible::Name), "Router's partitions");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(calculated)->text(QAccessible::Name),
              "Calculated partitions");
    EXPECT_EQ(router->width(), calculated->width());
    EXPECT_LT(router->y(), calculated->y());
    EXPECT_EQ(calculated->colours(), "6E6E6E") << "a grey placeholder before a calculation";
}

TEST_F(Compare, PspCaptureIsComparedWithEachCalculationInTheChosenOutputForm) {
    open();
    paste(capture("psp-printenv.txt"));
    EXPECT_EQ(text("messageLabel"), "Read mtd0, mtd1, mtd2, mtd3 and mtd4 from the capture.");
    EXPECT_EQ(text("bootloaderLabel"), "PSP");
    EXPECT_EQ(text("flashSizeLabel"), "4MB (0x400000)");
    EXPECT_EQ(text("settingsCheck"),
              "The main window has no boot loader checked. The main window has no flash size selected.");
    EXPECT_EQ(cell(0, 1), "0x900A0000 - 0x90400000");
    EXPECT_EQ(cell(0, 2), "-");
    EXPECT_EQ(text("repairStateLabel"), "Calculate the MTD values in the main window to compare them.");

    // The owner's click sets the window's choices; the dialog changed nothing by itself.
    EXPECT_FALSE(w().chkPSP->isChecked());
    QTest::mouseClick(part<QPushButton>("useSettingsButton"), Qt::LeftButton);
    EXPECT_TRUE(w().chkPSP->isChecked());
    EXPECT_TRUE(w().optMem[1]->isChecked());
    EXPECT_EQ(text("settingsCheck"), "The main window uses these settings.");
    EXPECT_FALSE(part<QPushButton>("useSettingsButton")->isEnabled());

    calculate(0x100000, 0x2000); // mtd0 0x90022000: the router's is left from an older image
    EXPECT_EQ(statuses(), QStringList({"\u2260 differs", "same", "same", "same", "same", "-"}));
    EXPECT_TRUE(part<QTableWidget>("partitionTable")->item(0, 1)->font().bold());
    EXPECT_EQ(part<QTableWidget>("partitionTable")->item(0, 3)->data(Qt::AccessibleTextRole), "differs");
    EXPECT_EQ(text("comparedWithLabel"), "Compared with: the values calculated for image-2000.bin");
    EXPECT_EQ(text("repairStateLabel"), "mtd0 differs.");
    EXPECT_EQ(part<OrvoPartitions>("routerMap")->partitions(),
              "mtd0:2416574464,2420113408;mtd1:2416050320,2416058368;mtd2:2415919104,2415984640;"
              "mtd3:2415984640,2416050176;mtd4:2416050176,2420113408");
    EXPECT_EQ(part<OrvoPartitions>("calculatedMap")->partitions(), w().OrvoPartitions->partitions());
    EXPECT_EQ(part<OrvoPartitions>("calculatedMap")->colours(), w().OrvoPartitions->colours());

    const struct {
        int form;
        QString repair, restore;
    } forms[] = {
        {0, "mtd0: 0x90022000, 0x90400000", "mtd0: 0x900A0000, 0x90400000"},
        {2, "quote SETENV mtd0,0x90022000,0x90400000", "quote SETENV mtd0,0x900A0000,0x90400000"},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.form);
        QTest::mouseClick(w().optOut[f.form], Qt::LeftButton, {},
                          QPoint(6, w().optOut[f.form]->height() / 2));
        EXPECT_EQ(box("repairText"), f.repair);
        EXPECT_EQ(box("restoreText"), f.restore);
        QTest::mouseClick(part<QPushButton>("copyRestoreButton"), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), f.restore);
    }

    calculate(0x100000, 0x80000); // the router's mtd0, but not its mtd1
    EXPECT_EQ(statuses(), QStringList({"same", "\u2260 differs", "same", "same", "same", "-"}));
    EXPECT_EQ(box("repairText"), "quote SETENV mtd1,0x90020090,0x900A0000");
    paste(capture("psp-printenv.txt").replace("0x90022000", "0x900a0000"));
    EXPECT_EQ(statuses(), QStringList({"same", "same", "same", "same", "same", "-"}));
    EXPECT_EQ(text("repairStateLabel"), "The router's values match the calculated ones: nothing to repair.");
    EXPECT_EQ(box("repairText"), "");
    EXPECT_FALSE(part<QPushButton>("copyRepairButton")->isEnabled());
    EXPECT_FALSE(part<QTableWidget>("partitionTable")->item(0, 1)->font().bold());
}

TEST_F(Compare, Adam2CaptureIsMatchedWithItsClosestLayout) {
    w().optMem[1]->setChecked(true);
    w().chkAdam2->setChecked(true);
    calculate(0x4000, 0x3010);
    open();
    paste(capture("adam2-ftp-getenv.txt"));
    EXPECT_EQ(
        text("comparedWithLabel"),
        "Compared with: Separate images (filesystem offset), the closest of the 3 layouts calculated for "
        "image-3010.bin");
    EXPECT_EQ(statuses(), QStringList({"same", "same", "same", "same", "same", "-"}));
    EXPECT_EQ(text("settingsCheck"), "The main window uses these settings.");
}

TEST_F(Compare, UsingTheSettingsSetsOnlyWhatTheCaptureReveals) {
    const struct {
        const char* capture;
        const char* bootloader;
        const char* flashSize;
        bool adam2;
        int option; // optMem selected afterwards; 2 ("Size in MB") is the one selected before
        const char* hex;
    } cases[] = {
        {"(psbl)\nflashsize 0x200000\nmtd2 0x90000000,0x90010000", "PSP", "2MB (0x200000)", false, 0,
         "400000"},
        {"mtd2 0x90000000,0x90010000\nmtd3 0x90010000,0x90020000\nmtd4 0x90020000,0x907E0000\n"
         "mtd5 0x907E0000,0x90800000",
         "PSP", "8MB (0x800000)", false, 3, "800000"},
        {"Adam2_AR7RD > printenv\nmtd3 0x903E0000,0x903F0000", "Adam2", "0x3F0000", true, 3, "3F0000"},
        // The flash size cannot be told: the choice stays as it was, and the dialog says so.
        {"ADAM2 Revision 0.22.06\nmtd0 0x90020000,0x903F0000", "Adam2", "not known", true, 2, "400000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capture);
        SetUp();
        w().optMem[2]->setChecked(true);
        open();
        paste(QString::fromLatin1(c.capture));
        EXPECT_EQ(text("bootloaderLabel"), c.bootloader);
        EXPECT_EQ(text("flashSizeLabel"), c.flashSize);
        EXPECT_EQ(text("flashSizeReason").endsWith("Choose it in the main window."),
                  QString(c.flashSize) == "not known");
        QTest::mouseClick(part<QPushButton>("useSettingsButton"), Qt::LeftButton);
        EXPECT_EQ(w().chkAdam2->isChecked(), c.adam2);
        EXPECT_EQ(w().chkPSP->isChecked(), !c.adam2);
        EXPECT_TRUE(w().optMem[c.option]->isChecked());
        EXPECT_EQ(w().txtHex->text(), c.hex);
    }
    // Nothing revealed: nothing to set, until the owner's choice of boot loader decides.
    SetUp();
    open();
    paste("mtd0 0x90020000,0x90400000");
    EXPECT_EQ(text("bootloaderLabel"), "not known");
    EXPECT_EQ(text("settingsCheck"), "Nothing to set in the main window.");
    EXPECT_FALSE(part<QPushButton>("useSettingsButton")->isEnabled());
    w().chkPSP->setChecked(true);
    EXPECT_EQ(text("bootloaderReason"), "PSP, as chosen.");
    EXPECT_EQ(text("flashSizeLabel"), "4MB (0x400000)");
}

TEST_F(Compare, RefusedCapturesSayWhyAndKeepTheText) {
    open();
    const QString good = capture("psp-printenv.txt");
    paste(good);
    const QString nul = write("nul.txt", QByteArray("mtd0 0x90020000,0x90400000\n\0", 28));
    const QString big = write("big.txt", QByteArray(flintor::kLargestRouterCapture + 1, 'm'));
    const QString folder = m_tmp.filePath("folder");
    ASSERT_TRUE(QDir().mkpath(folder));

    const struct {
        QString path;
        bool dropped;
        QString message;
    } cases[] = {
        {nul, false, flintor::texts::kCaptureNotText},
        {big, true, flintor::texts::kCaptureTooLarge},
        {folder, false, flintor::texts::kCaptureNotRegularPrefix + folder},
        {folder, true, flintor::texts::kCaptureNotRegularPrefix + folder},
        {m_tmp.filePath("gone.txt"), false,
         "The router capture could not be read: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        if (c.dropped) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(c.path)});
            data.setText(c.path);
            EXPECT_EQ(drop(part<QPlainTextEdit>("captureText"), data), Qt::CopyAction);
        } else {
            dialog()->setFileChooser([&c](QWidget*) { return c.path; });
            QTest::mouseClick(part<QPushButton>("openButton"), Qt::LeftButton);
        }
        EXPECT_EQ(text("messageLabel"), c.message + " The text box keeps its text.");
        EXPECT_EQ(box("captureText"), good);
        EXPECT_EQ(cell(0, 1), "0x900A0000 - 0x90400000");
    }

    // A capture file dropped is read like one opened; dropped text is pasted as usual.
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(kCaptures + "adam2-ftp-getenv.txt")});
    EXPECT_EQ(drop(dialog(), file), Qt::CopyAction);
    EXPECT_EQ(box("captureText"), capture("adam2-ftp-getenv.txt").remove('\r'));
    EXPECT_EQ(text("bootloaderLabel"), "Adam2");
    part<QPlainTextEdit>("captureText")->clear();
    QMimeData plain;
    plain.setText("mtd0 0x90020000,0x90400000");
    drop(part<QPlainTextEdit>("captureText"), plain);
    EXPECT_EQ(box("captureText"), "mtd0 0x90020000,0x90400000");

    paste("flashsize 0x400000\nno partitions here");
    EXPECT_EQ(text("messageLabel"), flintor::texts::kCaptureNoValues);
    EXPECT_EQ(cell(0, 1), "-");
    EXPECT_EQ(text("bootloaderLabel"), "-");
    EXPECT_FALSE(part<QPushButton>("useSettingsButton")->isEnabled());
}

} // namespace
