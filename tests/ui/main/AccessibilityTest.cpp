// The window as assistive technology and the keyboard reach it, offscreen: every control's accessible
// name and role, the map's description after each calculation, the tooltip of a bar under the
// pointer, and the browser's menus opened from the keyboard. (The offscreen platform has no
// accessibility bus, so the events that announce changes are checked under Xvfb.)
#include "DirList.h"
#include "DriveList.h"
#include "FileList.h"
#include "LineControl.h"
#include "OrvoLabel.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "WindowStartUp.h"
#include "frmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// One window per test, shown offscreen.
class Accessibility : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->setMessageHandler([](const QString&, QMessageBox::Icon) {});
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        ASSERT_TRUE(waitForStartUp(*m_window));
    }

    frmMain& w() { return *m_window; }

    void calculate(const QString& sample, QCheckBox* bootLoader) {
        w().ShowFolder(QStringLiteral(FLINTOR_SAMPLES_DIR));
        for (int i = 0; i < w().File1->ListCount(); ++i)
            w().File1->setSelected(i, w().File1->List(i) == sample);
        w().optMem[1]->setChecked(true);
        bootLoader->setChecked(true);
        QTest::mouseClick(w().cmdRead, Qt::LeftButton);
        ASSERT_EQ(w().lblStatus->text(), "Calculation complete. Checksum right."); // the samples are intact
    }

    QTemporaryDir m_tmp;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(Accessibility, EveryControlHasTheNameAndRoleAScreenReaderNeeds) {
    w().chkPSP->setChecked(true); // shows the mtd5 list
    const struct {
        QWidget* widget;
        QAccessible::Role role;
        const char* name;
    } controls[] = {
        {w().lblOrvo[0], QAccessible::StaticText, "1) Select a firmware image file:"},
        {w().lblOrvo[1], QAccessible::StaticText, "2) Select the size of you router's Flash ROM size:"},
        {w().lblOrvo[2], QAccessible::StaticText, "3) Select you router's bootloader type:"},
        {w().Drive1, QAccessible::ComboBox, "Drives"},
        {w().Dir1, QAccessible::Tree, "Folders"},
        {w().File1, QAccessible::List, "Files"},
        {w().optMem[2], QAccessible::RadioButton, "Size in MB"},
        {w().txtMB, QAccessible::EditableText, "Size in MB"},
        {w().txtHex, QAccessible::EditableText, "Size in Hex"},
        {w().chkAdam2, QAccessible::CheckBox, "Adam2"},
        {w().cboMTD5, QAccessible::ComboBox, "Optional MTD 5"},
        {w().OrvoPartitions, QAccessible::Graphic, "MTD Partitions"},
        {w().txtResults, QAccessible::EditableText, "Results"},
        {w().lblStatus, QAccessible::StaticText, "Status"},
        {w().cmdRead, QAccessible::Button, "Calculate MTD values"},
        {w().optOut[3], QAccessible::RadioButton, "Telnet script"},
        {w().chkIncFilename, QAccessible::CheckBox, "Include filename"},
        {w().cmdCompare, QAccessible::Button, "Compare with router..."},
        {w().imgLogo, QAccessible::Graphic, "Flintor community web site"},
        {w().lnSep, QAccessible::Separator, ""},
        // Borderless frames are no windows of their own, in which a screen reader would go silent.
        {w().fraFooter, QAccessible::Client, ""},
        {w().fraOutputs, QAccessible::Client, ""},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        QAccessibleInterface* face = accessible(control.widget);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), control.role);
        EXPECT_EQ(face->text(QAccessible::Name), control.name);
        EXPECT_FALSE(face->state().invisible);
    }
    // A drop-down list keeps its name whatever it shows; what it shows is its value.
    w().cboMTD5->setCurrentIndex(0);
    EXPECT_EQ(accessible(w().cboMTD5)->text(QAccessible::Name), "Optional MTD 5");
    EXPECT_EQ(accessible(w().cboMTD5)->text(QAccessible::Value), "None");
    EXPECT_EQ(accessible(w().Drive1)->text(QAccessible::Value), w().Drive1->currentText());
    EXPECT_EQ(accessible(w().lblStatus)->text(QAccessible::Description), "Status");
    // The placeholder bar is not read out as a layout.
    EXPECT_EQ(accessible(w().OrvoPartitions)->text(QAccessible::Description), "Not calculated yet");
}

// A list opened, moved through with the keys and closed unchosen still tells its choice (the bus test
// reads it after picks), and the characters of its text are where a magnifier looks for them.
TEST_F(Accessibility, DropDownListTellsItsChoiceAfterItsListClosesUnchosen) {
    w().chkPSP->setChecked(true);
    QComboBox* box = w().cboMTD5;
    box->setCurrentIndex(2);
    QAccessibleInterface* list = accessible(box)->child(0);
    box->showPopup();
    QTest::keyClick(box->view(), Qt::Key_Down);
    box->hidePopup();
    QTest::qWait(0);
    for (int i = 0; i < list->childCount(); ++i)
        EXPECT_EQ(list->child(i)->state().selected, i == 2) << i;
    QAccessibleTextInterface* text = accessible(box)->textInterface();
    EXPECT_EQ(text->text(0, -1), "128.00 KB");
    EXPECT_EQ(text->offsetAtPoint(text->characterRect(4).center()), 4);
}

TEST_F(Accessibility, MapDescribesEveryBarInDrawingOrderAfterEachCalculation) {
    calculate("psp-4mb.bin", w().chkPSP);
    EXPECT_EQ(accessible(w().OrvoPartitions)->text(QAccessible::Description),
              "mtd2: 0x90000000 to 0x90010000, 64.00 KB; mtd3: 0x90010000 to 0x90020000, 64.00 KB; "
              "mtd4: 0x90020000 to 0x90400000, 3.88 MB; mtd1: 0x90020090 to 0x90022000, 7.86 KB; "
              "mtd0: 0x90022000 to 0x90400000, 3.87 MB");

    // Adam2: the single-image layout the map draws, and its name follows the tooltip.
    calculate("adam2-4mb.bin", w().chkAdam2);
    QAccessibleInterface* map = accessible(w().OrvoPartitions);
    EXPECT_EQ(map->text(QAccessible::Description),
              "mtd2: 0x90000000 to 0x90010000, 64.00 KB; mtd4: 0x90010000 to 0x903F0000, 3.88 MB; "
              "mtd1: 0x90010090 to 0x90013010, 11.88 KB; mtd0: 0x90013010 to 0x903F0000, 3.86 MB; "
              "mtd3: 0x903F0000 to 0x90400000, 64.00 KB");
    EXPECT_EQ(map->text(QAccessible::Name), "MTD Partitions (Single image)");

    // Ranges that are no flash addresses are written as plain numbers.
    w().OrvoPartitions->setPartitions("below:-5,3;half:0.5,2;past:4294967295,4294967296;:0,1");
    EXPECT_EQ(map->text(QAccessible::Description),
              "below: -5 to 3, 8.00 B; 0x0 to 0x1, 1.00 B; half: 0.5 to 2, 1.50 B; "
              "past: 4294967295 to 4294967296, 1.00 B");
}

TEST_F(Accessibility, HoveringABarShowsItsRangeAndSize) {
    calculate("psp-4mb.bin", w().chkPSP);
    const ::OrvoPartitions* map = w().OrvoPartitions;
    const int t = map->twipsPerPixel();
    const std::vector<BarGeometry> bars =
        LayoutBars(map->layout(), map->colourTable(), {float(map->width() * t), float(map->height() * t), t});
    ASSERT_EQ(bars.size(), 5u);
    // mtd0 (drawn last) is stepped down inside mtd4: its lower half is mtd0, the row above it mtd4.
    const WinRect mtd0 = bars[4].rect;
    const struct {
        QPoint at;
        const char* tip;
    } hovers[] = {
        {QPoint((mtd0.left + mtd0.right) / 2, (mtd0.top + mtd0.bottom) / 2),
         "mtd0: 0x90022000 to 0x90400000, 3.87 MB"},
        {QPoint((mtd0.left + mtd0.right) / 2, mtd0.top / 2), "mtd4: 0x90020000 to 0x90400000, 3.88 MB"},
        {QPoint(1, 1), "mtd2: 0x90000000 to 0x90010000, 64.00 KB"},
    };
    for (const auto& hover : hovers) {
        SCOPED_TRACE(hover.tip);
        QHelpEvent help(QEvent::ToolTip, hover.at, map->mapToGlobal(hover.at));
        QApplication::sendEvent(w().OrvoPartitions, &help);
        EXPECT_EQ(QToolTip::text(), hover.tip);
    }
    QToolTip::hideText();
}

TEST_F(Accessibility, EveryTabStopShowsItHasTheFocus) {
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    w().chkPSP->setChecked(true); // shows the mtd5 list, the last stop
    w().cboMTD5->setFocus();
    QTest::keyClick(w().cboMTD5, Qt::Key_Tab); // the focus arrives by keyboard, as it does for a user
    for (int stop = 0; stop < 15; ++stop) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        SCOPED_TRACE(focused->metaObject()->className());
        const QImage withFocus = focused->grab().toImage();
        QTest::keyClick(focused, Qt::Key_Tab);
        if (QApplication::focusWidget() == focused)
            break;
        EXPECT_NE(focused->grab().toImage(), withFocus);
    }
}

TEST_F(Accessibility, BrowserMenusOpenFromTheKeyboard) {
    w().File1->setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0),
                              w().File1->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(w().File1, &menuKey);
    EXPECT_TRUE(w().mnFile->isVisible());
    w().mnFile->hide();

    w().Dir1->setFocus();
    QTest::keyClick(w().Dir1, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(w().mnDir->isVisible());
    EXPECT_FALSE(w().mnFile->isVisible());
    w().mnDir->hide();
}

} // namespace
