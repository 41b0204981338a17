// The real main window, offscreen: start-up state, layout, the Calculate command driven through the
// controls, output options, boot-loader boxes, the browser's menus and clipboard items, and a
// calculation that is interrupted by a second press or by closing the window.
#include "frmMain.h"

#include "Cksum.h"
#include "DirList.h"
#include "DriveList.h"
#include "FileList.h"
#include "LineControl.h"
#include "OrvoLabel.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "Settings.h"
#include "WindowStartUp.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <random>
#include <vector>

// Receives the URLs the window asks the desktop to open, so that no browser starts.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

constexpr const char* kCombinedHeader = "\x34\x44\x54\x4D\x01\x02\x03\x04\x40\x30\x20\x10\x00\x00\x00\x00";

// A combined image's first bytes: the header, zeros, and the kernel's magic at 0x90, where mtd1 begins.
QByteArray CombinedStart() {
    return QByteArray(kCombinedHeader, 16) + QByteArray(0x80, '\0') + QByteArray("\x42\xFA\xED\xFE", 4);
}

struct Message {
    QString text;
    QMessageBox::Icon icon;
    bool operator==(const Message& other) const { return text == other.text && icon == other.icon; }
};

void PrintTo(const Message& message, std::ostream* out) {
    *out << (message.icon == QMessageBox::Warning ? "warning " : "information ") << '"'
         << message.text.toStdString() << '"';
}

Message warning(const QString& text) {
    return {text, QMessageBox::Warning};
}
Message information(const QString& text) {
    return {text, QMessageBox::Information};
}

int px(int twips) {
    return static_cast<int>(std::lrint(twips / 15.0));
}

// The PSP result for a 4 MiB flash and a file system at 0x80000.
const QStringList kPspLines = {"mtd0: 0x900A0000, 0x90400000", "mtd1: 0x90020090, 0x900A0000",
                               "mtd2: 0x90000000, 0x90010000", "mtd3: 0x90010000, 0x90020000",
                               "mtd4: 0x90020000, 0x90400000"};
const char* const kPspPartitions = "mtd0:2416574464,2420113408;mtd1:2416050320,2416574464;"
                                   "mtd2:2415919104,2415984640;mtd3:2415984640,2416050176;"
                                   "mtd4:2416050176,2420113408";

// The Adam2 result for a 4 MiB flash and a file system at 0x71000, with the window's note.
const QStringList kAdam2Lines = {"Single images:",
                                 "mtd0: 0x90081000, 0x903F0000",
                                 "mtd1: 0x90010090, 0x90081000",
                                 "mtd2: 0x90000000, 0x90010000",
                                 "mtd3: 0x903F0000, 0x90400000",
                                 "mtd4: 0x90010000, 0x903F0000",
                                 "Separate images (filesystem offset):",
                                 "mtd0: 0x90090000, 0x903F0000",
                                 "mtd1: 0x90010000, 0x90090000",
                                 "mtd2: 0x90000000, 0x90010000",
                                 "mtd3: 0x903F0000, 0x90400000",
                                 "mtd4: 0x90010000, 0x903F0000",
                                 "Separate images (max kernel size):",
                                 "mtd0: 0x900D0000, 0x903F0000",
                                 "mtd1: 0x90010000, 0x900D0000",
                                 "mtd2: 0x90000000, 0x90010000",
                                 "mtd3: 0x903F0000, 0x90400000",
                                 "mtd4: 0x90010000, 0x903F0000",
                                 QString(67, '-'),
                                 "NOTE: Values for mtd0 and mtd1 for separate images may be incorrect"};

QString decimal(quint32 address) {
    return QString::number(address);
}

// One real window per test, shown offscreen, with its settings in a private folder and its message
// boxes and input box answered by the test.
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_settings = m_tmp.filePath("settings.ini");
        m_images = m_tmp.filePath("images");
        ASSERT_TRUE(QDir().mkpath(m_images));
        m_window = std::make_unique<frmMain>(nullptr, m_settings);
        m_window->setMessageHandler([this](const QString& text, QMessageBox::Icon icon) {
            m_messages.push_back({text, icon});
        });
        m_window->setInputHandler([this](const QString& prompt, const QString& title, const QString& answer) {
            m_inputPrompts.append(prompt + "|" + title + "|" + answer);
            return m_inputAnswer;
        });
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        ASSERT_TRUE(waitForStartUp(*m_window));
    }

    void TearDown() override {
        for (QMenu* menu : {m_window->mnDir, m_window->mnFile})
            menu->hide();
        m_window.reset();
    }

    frmMain& w() { return *m_window; }

    // A file of `length` bytes in the images folder: the combined-image header and the kernel's magic
    // unless `header` is given, zeros, and "hsqs" at `magicAt` when given.
    QString image(const QString& name, qint64 length, std::optional<qint64> magicAt,
                  const QByteArray& header = CombinedStart()) {
        const QString path = m_images + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(header.left(static_cast<int>(length)));
        EXPECT_TRUE(file.resize(length));
        if (magicAt) {
            EXPECT_TRUE(file.seek(*magicAt));
            file.write("hsqs");
        }
        file.close();
        return path;
    }

    // Opens the images folder in the browser and selects `name` in the file list, as a user would.
    void select(const QString& name) {
        w().ShowFolder(m_images);
        ASSERT_EQ(w().File1->path(), m_images);
        w().File1->refresh();
        for (int i = 0; i < w().File1->ListCount(); ++i)
            if (w().File1->List(i) == name) {
                w().File1->setSelected(i, true);
                ASSERT_EQ(w().File1->fileName(), name);
                return;
            }
        FAIL() << "not listed: " << name.toStdString();
    }

    // Clicks an option button or check box on its box, as the mouse would.
    static void click(QAbstractButton* button) {
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    void type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        ASSERT_EQ(edit->text(), text);
    }

    void calculate() { QTest::mouseClick(w().cmdRead, Qt::LeftButton); }

    QString results() const { return m_window->txtResults->toPlainText(); }
    QString status() const { return m_window->lblStatus->text(); }

    // A complete PSP calculation of a 1 MiB image with its file system at 0x80000 on a 4 MiB flash,
    // made here unless `make` is false.
    void calculatePsp(const QString& name = "psp.bin", bool make = true) {
        if (make)
            image(name, 0x100000, 0x80000);
        select(name);
        click(w().optMem[1]);
        if (!w().chkPSP->isChecked())
            click(w().chkPSP);
        calculate();
        ASSERT_TRUE(status().startsWith("Calculation complete."));
    }

    QTemporaryDir m_tmp;
    QString m_settings;
    QString m_images;
    std::unique_ptr<frmMain> m_window;
    std::vector<Message> m_messages;
    QStringList m_inputPrompts;
    std::optional<QString> m_inputAnswer;
};

// ---------------------------------------------------------------------------------------------
// Start-up

TEST_F(Window, CaptionEndsInTheProgramVersion) {
    EXPECT_TRUE(w().windowTitle().endsWith(" v1.0.1")) << w().windowTitle().toStdString();
    EXPECT_TRUE(w().windowTitle().contains("Flintor"));
    EXPECT_TRUE(w().windowTitle().contains("Class II routers"));
    EXPECT_TRUE(CaptionFor(2, 10, 3).endsWith(" v2.10.3"));
    EXPECT_EQ(CaptionFor(2, 10, 3).chopped(7), w().windowTitle().chopped(6));
}

TEST_F(Window, Mtd5ListHoldsNineItemsWithNothingSelectedAndIsHidden) {
    QComboBox* list = w().cboMTD5;
    ASSERT_EQ(list->count(), 9);
    const QStringList texts = {"None",      "64.00 KB",  "128.00 KB", "192.00 KB", "256.00 KB",
                               "320.00 KB", "384.00 KB", "448.00 KB", "Maximum"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list->itemText(i), texts[i]);
        EXPECT_EQ(list->itemData(i).toInt(), i == 8 ? 0 : i) << i;
    }
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_FALSE(list->isEditable());
    EXPECT_TRUE(list->isHidden());
    EXPECT_TRUE(w().lblMTD5->isHidden());
}

TEST_F(Window, ChoicesStartAsDesigned) {
    EXPECT_TRUE(w().optOut[0]->isChecked());
    for (int i = 1; i < 4; ++i)
        EXPECT_FALSE(w().optOut[i]->isChecked()) << i;
    EXPECT_TRUE(w().chkIncFilename->isChecked());
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(w().optMem[i]->isChecked()) << i;
    EXPECT_FALSE(w().chkPSP->isChecked());
    EXPECT_FALSE(w().chkAdam2->isChecked());
    EXPECT_EQ(w().txtMB->text(), "4");
    EXPECT_EQ(w().txtHex->text(), "400000");
    EXPECT_EQ(status(), "Status");
    EXPECT_EQ(results(), "");
    EXPECT_EQ(w().OrvoPartitions->colours(), "FF,FF4040,1A93E0,C000,C0C000,22BAB8,800080,52F0BE");
    EXPECT_EQ(w().OrvoPartitions->partitions(), "mtd partitions:0,1");
    EXPECT_EQ(w().OrvoPartitions->toolTip(), "MTD Partitions");
    EXPECT_EQ(w().File1->pattern(), "*.img;*.bin");
    EXPECT_TRUE(w().mnListImg->isChecked());
    EXPECT_FALSE(w().mnListAll->isChecked());
    EXPECT_EQ(w().fraFooter->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(w().fraOutputs->frameShape(), QFrame::NoFrame);
    // The state the workflow keeps starts empty.
    EXPECT_EQ(w().state().FilesystemOffset, 0);
    EXPECT_EQ(w().state().ImageLength, 0);
    EXPECT_EQ(w().state().FlashSize, 0);
    EXPECT_TRUE(w().state().ResultText.empty());
    EXPECT_FALSE(w().calculating());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(Window, ControlsCarryTheirDesignedTextsAndLooks) {
    const QStringList steps = {
        "1) Select a firmware image file:", "2) Select the size of you router's Flash ROM size:",
        "3) Select you router's bootloader type:"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(w().lblOrvo[i]->property("Caption").toString(), steps[i]);
        EXPECT_EQ(w().lblOrvo[i]->property("NormalColour").toInt(), 0x00C0E0FF);
        EXPECT_TRUE(w().lblOrvo[i]->property("TriColour").toBool());
        EXPECT_TRUE(w().lblOrvo[i]->property("DrawOuter").toBool());
        const QFont font = w().lblOrvo[i]->property("LabelFont").value<QFont>();
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
        EXPECT_TRUE(font.bold());
    }
    // Steps 2 and 3 live in the footer.
    EXPECT_EQ(w().lblOrvo[0]->parentWidget(), m_window.get());
    EXPECT_EQ(w().lblOrvo[1]->parentWidget(), w().fraFooter);
    EXPECT_EQ(w().lblOrvo[2]->parentWidget(), w().fraFooter);

    const QStringList memory = {"2MB", "4MB", "Size in MB", "Size in Hex", "Don't know"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w().optMem[i]->text(), memory[i]);
    const QStringList outputs = {"Standard output", "PC Tool output", "FTP", "Telnet script"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(w().optOut[i]->text(), outputs[i]);
        EXPECT_EQ(w().optOut[i]->parentWidget(), w().fraOutputs);
    }
    EXPECT_EQ(w().optOut[3]->toolTip(), "For use with the Telnet scripter");
    EXPECT_EQ(w().chkIncFilename->text(), "Include filename");
    EXPECT_EQ(w().chkIncFilename->toolTip(), "Include the filename in the results");
    EXPECT_EQ(w().chkPSP->text(), "PSP");
    EXPECT_EQ(w().chkAdam2->text(), "Adam2");
    EXPECT_EQ(w().lblMTD5->text(), "Optional MTD 5:");
    EXPECT_TRUE(w().lblMTD5->alignment() & Qt::AlignRight);
    EXPECT_EQ(w().lblResults->text(), "Results:");
    EXPECT_TRUE(w().lblStatus->alignment() & Qt::AlignRight);
    EXPECT_EQ(w().lblInfo->text(),
              "You may use the mtd values to the left to repair your router's partitions if "
              "they have become corrupted.");
    EXPECT_TRUE(w().lblInfo->wordWrap());
    EXPECT_EQ(w().cmdRead->property("Caption").toString(), "&Calculate MTD values");
    EXPECT_EQ(w().cmdRead->property("FocusColour").toInt(), 0x00FFFFC0);
    const QFont mapFont = w().OrvoPartitions->property("LabelFont").value<QFont>();
    EXPECT_EQ(mapFont.family(), "Arial Narrow");
    EXPECT_FALSE(mapFont.bold());
    EXPECT_TRUE(w().OrvoPartitions->property("FillParts").toBool());
    EXPECT_EQ(w().lnSep->colour(), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(w().mnDir->title(), "Dir Menu");
    EXPECT_EQ(w().mnFile->title(), "File Menu");
}

TEST_F(Window, FolderListHasTheFocusOnceShown) {
    EXPECT_EQ(w().focusWidget(), w().Dir1);
    w().activateWindow();
    if (QTest::qWaitForWindowActive(m_window.get())) {
        EXPECT_EQ(QApplication::focusWidget(), w().Dir1);
    }
}

TEST_F(Window, TabVisitsTheControlsInTheDesignedOrder) {
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    click(w().chkPSP); // shows the mtd5 list, the last stop
    w().Dir1->setFocus();
    // One stop for each group of option buttons, at its first button while none is selected.
    const std::vector<QWidget*> order = {w().Dir1,       w().File1,     w().Drive1,   w().optMem[4],
                                         w().txtMB,      w().chkPSP,    w().chkAdam2, w().txtHex,
                                         w().txtResults, w().optOut[0], w().cmdRead,  w().chkIncFilename,
                                         w().cmdCompare, w().cboMTD5,   w().Dir1};
    for (std::size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(QApplication::focusWidget(), order[i]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(Window, AccessKeyOfTheButtonCalculates) {
    calculatePsp();
    click(w().optOut[2]);
    m_messages.clear();
    w().txtResults->clear();
    QTest::keyClick(m_window.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_TRUE(results().startsWith("psp.bin\nquote SETENV mtd0,0x900A0000,0x90400000"));
}

TEST_F(Window, WithoutASettingsFileTheBrowserStartsInTheCurrentFolder) {
    EXPECT_EQ(w().Dir1->path(), QDir::currentPath());
    EXPECT_EQ(w().File1->path(), w().Dir1->path());
    EXPECT_EQ(w().settingsFile(), m_settings);
    EXPECT_FALSE(QFile::exists(m_settings));
}

TEST_F(Window, ClosingWritesTheOpenFolderAndTheNextWindowOpensIt) {
    w().ShowFolder(m_images);
    w().close();
    ASSERT_TRUE(QFile::exists(m_settings));
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_settings), m_images);
    frmMain next(nullptr, m_settings);
    next.finishStartUp();
    EXPECT_EQ(next.Dir1->path(), m_images);
}

TEST_F(Window, SettingsThatNameNoFolderLeaveTheBrowserInTheCurrentFolder) {
    for (const QString& last : {QString(), m_images + "/gone", m_images + "/psp.bin"}) {
        SCOPED_TRACE(last.toStdString());
        image("psp.bin", 0x100000, 0x80000);
        ASSERT_TRUE(WriteSetting("Paths", "Last path", last, m_settings));
        frmMain next(nullptr, m_settings);
        next.setMessageHandler([this](const QString& text, QMessageBox::Icon icon) {
            m_messages.push_back({text, icon});
        });
        next.finishStartUp();
        EXPECT_EQ(next.Dir1->path(), QDir::currentPath());
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(Window, ListsAreFilledJustAfterTheFirstFrame) {
    image("psp.bin", 0x100000, 0x80000);
    ASSERT_TRUE(QDir(m_images).mkdir("older")); // one row more than the folder list shows
    ASSERT_TRUE(WriteSetting("Paths", "Last path", m_images, m_settings));
    frmMain next(nullptr, m_settings);
    next.show();
    // Nothing has read the disk for the first frame.
    EXPECT_EQ(next.Drive1->count() + next.Dir1->entryCount() + next.File1->ListCount(), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    ASSERT_TRUE(waitForStartUp(next));
    EXPECT_EQ(next.Drive1->drive(), DriveList::volumeRootOf(m_images));
    EXPECT_EQ(next.Dir1->path(), m_images);
    EXPECT_EQ(next.File1->List(0), "psp.bin");
    // The open folder, fourth from the top, is shown clear of the room a horizontal scroll bar would
    // take, as it always was.
    const int room = next.Dir1->viewport()->height() - next.Dir1->horizontalScrollBar()->sizeHint().height();
    EXPECT_LE(next.Dir1->visualItemRect(next.Dir1->currentItem()).bottom(), room);
}

TEST_F(Window, EachGradientControlIsDrawnOnceForTheFirstFrame) {
    const GradientControl* const controls[] = {w().lblOrvo[0], w().lblOrvo[1], w().lblOrvo[2], w().cmdRead};
    for (const GradientControl* control : controls)
        EXPECT_EQ(control->drawCount(), 1) << control->objectName().toStdString();
}

// A screen reader goes through a container's controls in the order they were made in: the self-drawn
// ones, drawn before the others are made, still come where they always came.
TEST_F(Window, SelfDrawnControlsKeepTheirPlaceAmongTheirContainersControls) {
    const auto controls = [](const QWidget* container) {
        return container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    };
    EXPECT_EQ(controls(&w()).mid(0, 2), (QList<QWidget*>{w().lblOrvo[0], w().Drive1}));
    const QList<QWidget*> footer = controls(w().fraFooter);
    EXPECT_EQ(footer.mid(0, 2), (QList<QWidget*>{w().lblOrvo[1], w().lblOrvo[2]}));
    EXPECT_EQ(footer.indexOf(w().OrvoPartitions), footer.indexOf(w().lnSep) + 1);
    EXPECT_EQ(controls(w().fraOutputs).value(0), w().cmdRead);
}

// Whatever reads or moves the lists before start-up has finished finishes it first: a close stores the
// folder the window would have opened, and a dropped file is not left for the remembered folder.
TEST_F(Window, WhatComesBeforeStartUpFinishedComesAfterIt) {
    const QString dropped = image("psp.bin", 0x100000, 0x80000);
    ASSERT_TRUE(WriteSetting("Paths", "Last path", m_tmp.path(), m_settings));
    {
        frmMain early(nullptr, m_settings);
        early.show();
        early.close();
    }
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_settings), m_tmp.path());
    frmMain next(nullptr, m_settings);
    next.show();
    next.GotADrop(dropped);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    QCoreApplication::processEvents();
    EXPECT_EQ(next.Dir1->path(), m_images);
    EXPECT_EQ(next.File1->fileName(), "psp.bin");
}

// ---------------------------------------------------------------------------------------------
// Layout

TEST_F(Window, DesignedSizePlacesTheControlsAtTheirTwipsInPixels) {
    EXPECT_EQ(w().twipsPerPixel(), 15);
    EXPECT_EQ(w().size(), QSize(552, 596)); // 8280 x 8940 twips
    EXPECT_EQ(w().fraFooter->geometry(), QRect(px(120), px(3285), px(8040), px(5535)));
    EXPECT_EQ(w().Dir1->geometry(), QRect(px(120), px(720), px(8040), px(1282)));
    EXPECT_EQ(w().File1->geometry(), QRect(px(120), px(2002), px(8040), px(1283)));
    EXPECT_EQ(w().Drive1->geometry(), QRect(px(120), px(360), px(8040), px(315)));
    EXPECT_EQ(w().lblOrvo[0]->geometry(), QRect(px(120), px(120), px(8040), px(255)));
    EXPECT_EQ(w().lblOrvo[1]->geometry(), QRect(0, 0, px(8040), px(255)));
    EXPECT_EQ(w().OrvoPartitions->geometry(), QRect(0, px(1320), px(8040), px(615)));
    EXPECT_EQ(w().fraOutputs->geometry(), QRect(px(5985), px(2040), px(2055), px(3495)));
    EXPECT_EQ(w().txtResults->geometry(), QRect(0, px(2280), px(5865), px(3255)));
    EXPECT_EQ(w().lblStatus->geometry(), QRect(px(975), px(2040), px(4890), px(255)));
    EXPECT_EQ(w().lnSep->geometry().right(), px(8040) - 1);
    // Controls that keep their designed places.
    EXPECT_EQ(w().optMem[4]->geometry(), QRect(px(6360), px(300), px(1335), px(255)));
    EXPECT_EQ(w().cboMTD5->geometry(), QRect(px(5160), px(840), px(1335), px(315)));
    EXPECT_EQ(w().cmdRead->geometry(), QRect(0, 0, px(2055), px(375)));
    EXPECT_EQ(w().imgLogo->geometry(), QRect(0, px(2880), px(2055), px(615)));
}

TEST_F(Window, ResizingFollowsTheLayoutStepsInPixels) {
    // Each size is checked against the twips layout and, for the lists, against hand-made numbers.
    struct Case {
        QSize size;
        int footerTop, dirHeight, fileTop, fileHeight; // twips
    };
    // 40 pixels shorter is 600 twips: the footer moves up 600, the folder list loses 300.
    for (const Case& c : {Case{{552, 556}, 2685, 982, 1702, 983}, Case{{800, 700}, 4845, 2062, 2782, 2063},
                          Case{{552, 596}, 3285, 1282, 2002, 1283}}) {
        SCOPED_TRACE(testing::Message() << c.size.width() << " x " << c.size.height());
        w().resize(c.size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w().layout().fraFooter.top == c.footerTop; }, 2000));
        const FormLayout& layout = w().layout();
        EXPECT_EQ(layout.Dir1.height, c.dirHeight);
        EXPECT_EQ(layout.File1.top, c.fileTop);
        EXPECT_EQ(layout.File1.height, c.fileHeight);
        FormLayout expected = FormLayout::Designed();
        Form_Resize(expected, c.size.width() * 15, c.size.height() * 15);
        EXPECT_EQ(layout.lblOrvo[0].width, expected.lblOrvo[0].width);
        EXPECT_EQ(w().fraFooter->geometry(),
                  QRect(px(120), px(c.footerTop), px(c.size.width() * 15 - 240), px(5535)));
        EXPECT_EQ(w().Dir1->geometry().height(), px(c.dirHeight));
        EXPECT_EQ(w().File1->geometry(),
                  QRect(px(120), px(c.fileTop), px(c.size.width() * 15 - 240), px(c.fileHeight)));
        EXPECT_EQ(w().fraOutputs->geometry().right() + 1, w().fraFooter->width());
        EXPECT_EQ(w().txtResults->width(), px(expected.txtResults.width));
    }
}

TEST_F(Window, TinyWindowKeepsWorkingAndGrowingBackRestoresTheLayout) {
    const QRect footer = w().fraFooter->geometry();
    const QRect dir = w().Dir1->geometry();
    const QRect file = w().File1->geometry();
    const QRect results = w().txtResults->geometry();
    w().resize(8, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w().layout().fraFooter.top < 0; }, 2000));
    // The steps that would give negative sizes were skipped; the footer still follows the bottom edge.
    EXPECT_EQ(w().fraFooter->width(), footer.width());
    EXPECT_EQ(w().Dir1->height(), dir.height());
    EXPECT_EQ(w().fraFooter->y(), px(150 - 5535 - 120));
    w().resize(552, 596);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w().layout().fraFooter.top == 3285; }, 2000));
    EXPECT_EQ(w().fraFooter->geometry(), footer);
    EXPECT_EQ(w().Dir1->geometry(), dir);
    EXPECT_EQ(w().File1->geometry(), file);
    EXPECT_EQ(w().txtResults->geometry(), results);

    // Minimised and restored, the layout is as before.
    w().showMinimized();
    QTest::qWait(20);
    w().showNormal();
    QTest::qWait(20);
    EXPECT_EQ(w().size(), QSize(552, 596));
    EXPECT_EQ(w().fraFooter->geometry(), footer);
    EXPECT_EQ(w().File1->geometry(), file);
}

// ---------------------------------------------------------------------------------------------
// Validation, driven through the controls

TEST_F(Window, EachValidationFailureWarnsMovesTheFocusAndKeepsTheResults) {
    calculatePsp();
    const QString previous = results();
    const std::string previousText = w().state().ResultText;
    const QString previousMap = w().OrvoPartitions->partitions();
    ASSERT_FALSE(previous.isEmpty());
    m_messages.clear();

    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString message;
        QWidget* focus; // nullptr: the focus stays where it was
    };
    const std::vector<Case> cases = {
        {"no file selected",
         [&] {
             select("psp.bin");
             w().File1->setSelected(w().File1->currentRow(), false);
             ASSERT_EQ(w().File1->fileName(), "");
         },
         "Please select a suitable firmware image file.", w().File1},
        {"kernel image",
         [&] {
             image("kernel.bin", 0x1000, 0x800, QByteArray("\x42\xFA\xED\xFE", 4));
             select("kernel.bin");
         },
         "File is a kernel image file, NOT a valid COMBINED image firmware file.", w().File1},
        {"ten bytes",
         [&] {
             image("short.bin", 10, std::nullopt);
             select("short.bin");
         },
         "File is not a valid firmware file.", w().File1},
        {"no SquashFS",
         [&] {
             image("plain.bin", 0x20000, std::nullopt);
             select("plain.bin");
         },
         "File is not a valid SquashFS file.", w().File1},
        {"too large for 2MB",
         [&] {
             image("big.bin", 0x280000, 0x80000);
             select("big.bin");
             click(w().optMem[0]);
         },
         "Warning! The firmware file you have selected is too large to fit on your router.", w().File1},
        {"one byte more than a 4MB image area",
         [&] {
             image("full.bin", 0x3E0001, 0x80000);
             select("full.bin");
         },
         "Warning! The firmware file you have selected is too large to fit on your router.", w().File1},
        {"one byte more than the image area of the 2MB assumed",
         [&] {
             image("assumed.bin", 0x1E0001, 0x80000);
             select("assumed.bin");
             click(w().optMem[4]);
         },
         "The firmware file you have selected is too large for the Flash ROM size assumed when it is not "
         "known "
         "(2MB for files up to 2MB, 4MB for larger ones). Please select your router's Flash ROM size.",
         w().txtResults},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        w().txtResults->setFocus();
        w().cmdRead_Click();
        EXPECT_EQ(m_messages, std::vector<Message>{warning(c.message)});
        EXPECT_EQ(status(), "Validation failed.");
        EXPECT_EQ(results(), previous);
        EXPECT_EQ(w().state().ResultText, previousText);
        EXPECT_EQ(w().OrvoPartitions->partitions(), previousMap);
        EXPECT_EQ(w().focusWidget(), c.focus);
        m_messages.clear();
        click(w().optMem[1]);
    }
}

TEST_F(Window, ImageFillingTheImageAreaExactlyIsCalculated) {
    for (const auto& [option, length] :
         {std::pair{1, 0x3E0000}, std::pair{4, 0x1E0000}, std::pair{4, 0x3E0000}}) {
        SCOPED_TRACE(length);
        image("exact.bin", length, 0x80000);
        select("exact.bin");
        click(w().optMem[option]);
        if (!w().chkPSP->isChecked())
            click(w().chkPSP);
        calculate();
        EXPECT_EQ(status(), "Calculation complete.");
        const QString end = length == 0x1E0000 ? "0x90200000" : "0x90400000";
        EXPECT_TRUE(results().contains("mtd4: 0x90020000, " + end)) << results().toStdString();
        m_messages.clear();
    }
}

TEST_F(Window, MissingMemorySizeWarnsAndLeavesTheFocus) {
    image("psp.bin", 0x100000, 0x80000);
    select("psp.bin");
    click(w().chkPSP);
    w().txtResults->setFocus();
    w().cmdRead_Click();
    EXPECT_EQ(m_messages, std::vector<Message>{warning("Please select a memory size.")});
    EXPECT_EQ(status(), "Validation failed.");
    EXPECT_EQ(results(), "");
    EXPECT_EQ(w().focusWidget(), w().txtResults);
    // The steps that ran have set their state.
    EXPECT_EQ(w().state().ImageLength, 0x100000);
    EXPECT_EQ(w().state().FilesystemOffset, 0x80000);
}

TEST_F(Window, MissingBootLoaderWarnsAndFocusesPsp) {
    image("psp.bin", 0x100000, 0x80000);
    select("psp.bin");
    click(w().optMem[1]);
    w().txtResults->setFocus();
    w().cmdRead_Click();
    EXPECT_EQ(m_messages, std::vector<Message>{warning("Please select a bootloader type.")});
    EXPECT_EQ(status(), "Validation failed.");
    EXPECT_EQ(results(), "");
    EXPECT_EQ(w().focusWidget(), w().chkPSP);
    EXPECT_EQ(w().state().FlashSize, 0x400000);
}

TEST_F(Window, EveryFailureShowsOneWarningAndNeverAResult) {
    // Files the image check refuses, one after the other in the same window; the last one is
    // removed after it was selected.
    for (const char* name : {"empty.bin", "header-only.bin", "removed.bin"}) {
        SCOPED_TRACE(name);
        image(name, QByteArray(name) == "empty.bin" ? 0 : 16, std::nullopt);
        select(name);
        if (QByteArray(name) == "removed.bin") {
            ASSERT_TRUE(QFile::remove(m_images + "/" + name));
        }
        click(w().optMem[1]);
        if (!w().chkAdam2->isChecked())
            click(w().chkAdam2);
        m_messages.clear();
        calculate();
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
        EXPECT_EQ(status(), "Validation failed.");
        EXPECT_EQ(results(), "");
        EXPECT_TRUE(w().state().ResultText.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// Calculations end to end

TEST_F(Window, PspCalculationFillsResultsMapAndTooltip) {
    calculatePsp();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(results(), "psp.bin\n" + kPspLines.join('\n'));
    EXPECT_EQ(QString::fromStdString(w().state().ResultText), kPspLines.join("\r\n"));
    EXPECT_EQ(w().OrvoPartitions->partitions(), kPspPartitions);
    EXPECT_EQ(w().OrvoPartitions->toolTip(), "MTD Partitions");
    EXPECT_EQ(w().state().FlashSize, 0x400000);
    EXPECT_EQ(w().state().FilesystemOffset, 0x80000);
    EXPECT_EQ(w().state().ImageLength, 0x100000);
    EXPECT_FALSE(w().calculating());
}

TEST_F(Window, Adam2CalculationShowsTheNoteAndOnlyTheSingleImageInTheMap) {
    image("adam2.img", 0x100000, 0x71000);
    select("adam2.img");
    click(w().optMem[1]);
    click(w().chkAdam2);
    calculate();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_EQ(results(), "adam2.img\n" + kAdam2Lines.join('\n'));
    EXPECT_EQ(w().OrvoPartitions->partitions(),
              "mtd0:" + decimal(0x90081000) + "," + decimal(0x903F0000) + ";mtd1:" + decimal(0x90010090) +
                  "," + decimal(0x90081000) + ";mtd2:" + decimal(0x90000000) + "," + decimal(0x90010000) +
                  ";mtd3:" + decimal(0x903F0000) + "," + decimal(0x90400000) +
                  ";mtd4:" + decimal(0x90010000) + "," + decimal(0x903F0000));
    EXPECT_EQ(w().OrvoPartitions->toolTip(), "MTD Partitions (Single image)");

    // Back to PSP: the tooltip follows the boot loader of the latest calculation.
    click(w().chkPSP);
    calculate();
    EXPECT_EQ(w().OrvoPartitions->toolTip(), "MTD Partitions");
    EXPECT_FALSE(results().contains("NOTE"));
}

TEST_F(Window, PspWithMaximumMtd5ReportsTheSizeAndEndsWithMtd5) {
    image("big.bin", 0x300000, 0x80000);
    select("big.bin");
    click(w().optMem[1]);
    click(w().chkPSP);
    ASSERT_TRUE(w().cboMTD5->isVisible());
    w().cboMTD5->setCurrentIndex(w().cboMTD5->findText("Maximum"));
    calculate();
    EXPECT_EQ(m_messages,
              std::vector<Message>{information("The maximum MTD5 size determined to be 896.00 KB")});
    EXPECT_EQ(status(), "Calculation complete.");
    const QStringList lines = results().split('\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[1], "mtd0: 0x900A0000, 0x90320000");
    EXPECT_EQ(lines[5], "mtd4: 0x90020000, 0x90320000");
    EXPECT_EQ(lines.last(), "mtd5: 0x90320000, 0x90400000");
    EXPECT_TRUE(w().OrvoPartitions->partitions().endsWith(";mtd5:" + decimal(0x90320000) + "," +
                                                          decimal(0x90400000)));
}

TEST_F(Window, Mtd5SizeCountsOnlyWhilePspShowsTheList) {
    image("psp.bin", 0x100000, 0x80000);
    select("psp.bin");
    click(w().optMem[1]);
    click(w().chkPSP);
    w().cboMTD5->setCurrentIndex(2); // 128.00 KB
    calculate();
    EXPECT_TRUE(results().endsWith("mtd5: 0x903E0000, 0x90400000")) << results().toStdString();

    // Adam2 hides the list; its selection is kept but not used.
    click(w().chkAdam2);
    calculate();
    EXPECT_FALSE(results().contains("mtd5"));
    EXPECT_EQ(w().cboMTD5->currentIndex(), 2);

    // Shown again, the kept selection counts again.
    click(w().chkPSP);
    calculate();
    EXPECT_TRUE(results().endsWith("mtd5: 0x903E0000, 0x90400000"));

    // "None" asks for no mtd5.
    w().cboMTD5->setCurrentIndex(0);
    calculate();
    EXPECT_EQ(results(), "psp.bin\n" + kPspLines.join('\n'));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(Window, UnknownFlashSizeAboveTwoMegabytesEndsWithTheNotice) {
    const Message notice =
        information("Please ensure your router has more than 2MB Flash ROM before using the selected file.");
    image("big.bin", 0x280000, 0x80000);
    select("big.bin");
    click(w().chkPSP);

    struct Case {
        const char* name;
        std::function<void()> choose;
        bool notice;
    };
    const std::vector<Case> cases = {
        {"Don't know", [&] { click(w().optMem[4]); }, true},
        {"Size in MB left empty",
         [&] {
             click(w().optMem[2]);
             type(w().txtMB, "");
         },
         true},
        {"Size in Hex with 0x",
         [&] {
             click(w().optMem[3]);
             type(w().txtHex, "0x400000");
         },
         true},
        {"Size in Hex 400000", [&] { type(w().txtHex, "400000"); }, false},
        {"Size in MB 4",
         [&] {
             click(w().optMem[2]);
             type(w().txtMB, "4");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_messages.clear();
        c.choose();
        calculate();
        EXPECT_EQ(status(), "Calculation complete.");
        // Calculated as a 4 MiB flash in every case.
        EXPECT_EQ(results(), "big.bin\n" + kPspLines.join('\n'));
        EXPECT_EQ(m_messages, c.notice ? std::vector<Message>{notice} : std::vector<Message>{});
    }

    // A small image with an unknown size is calculated for 2 MiB, without the notice.
    image("small.bin", 0x100000, 0x80000);
    select("small.bin");
    click(w().optMem[4]);
    m_messages.clear();
    calculate();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(results().contains("mtd0: 0x900A0000, 0x90200000"));
}

TEST_F(Window, SizeInMbAcceptsFractions) {
    image("psp.bin", 0x100000, 0x80000);
    select("psp.bin");
    click(w().chkPSP);
    click(w().optMem[2]);
    type(w().txtMB, "1.5");
    calculate();
    EXPECT_EQ(w().state().FlashSize, 1572864);
    EXPECT_TRUE(results().contains("mtd4: 0x90020000, 0x90180000"));
}

// ---------------------------------------------------------------------------------------------
// Output options

TEST_F(Window, OutputOptionsChangeNothingBeforeTheFirstCalculation) {
    for (int i : {1, 2, 3, 0}) {
        click(w().optOut[i]);
        EXPECT_TRUE(w().optOut[i]->isChecked());
        EXPECT_EQ(results(), "");
    }
    EXPECT_EQ(status(), "Status");
}

TEST_F(Window, OutputOptionsReRenderTheLastResultWithoutRecalculating) {
    calculatePsp();
    // Without the image the options can only work from the kept result text.
    ASSERT_TRUE(QFile::remove(m_images + "/psp.bin"));
    const QString telnetTail = "\\\" >/proc/ticfg/env\\n\"";
    struct Case {
        int option;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {1,
         {"psp.bin", "setenv mtd0 0x900A0000,0x90400000", "setenv mtd1 0x90020090,0x900A0000",
          "setenv mtd2 0x90000000,0x90010000", "setenv mtd3 0x90010000,0x90020000",
          "setenv mtd4 0x90020000,0x90400000"}},
        {2,
         {"psp.bin", "quote SETENV mtd0,0x900A0000,0x90400000", "quote SETENV mtd1,0x90020090,0x900A0000",
          "quote SETENV mtd2,0x90000000,0x90010000", "quote SETENV mtd3,0x90010000,0x90020000",
          "quote SETENV mtd4,0x90020000,0x90400000"}},
        {3,
         {"psp.bin", "SEND \"echo \\\"mtd0 0x900A0000,0x90400000" + telnetTail,
          "SEND \"echo \\\"mtd1 0x90020090,0x900A0000" + telnetTail,
          "SEND \"echo \\\"mtd2 0x90000000,0x90010000" + telnetTail,
          "SEND \"echo \\\"mtd3 0x90010000,0x90020000" + telnetTail,
          "SEND \"echo \\\"mtd4 0x90020000,0x90400000" + telnetTail}},
        {0, QStringList{"psp.bin"} + kPspLines},
    };
    const QString map = w().OrvoPartitions->partitions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        click(w().optOut[c.option]);
        EXPECT_EQ(results(), c.lines.join('\n'));
    }
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_EQ(w().OrvoPartitions->partitions(), map);
    EXPECT_EQ(QString::fromStdString(w().state().ResultText), kPspLines.join("\r\n"));
}

TEST_F(Window, TelnetFormOfAnAdam2ResultWritesTheAdam2FileAndEndsWithTheNote) {
    image("adam2.bin", 0x100000, 0x71000);
    select("adam2.bin");
    click(w().optMem[1]);
    click(w().chkAdam2);
    click(w().optOut[3]);
    calculate();
    const QStringList lines = results().split('\n');
    ASSERT_EQ(lines.size(), 1 + kAdam2Lines.size() + 2);
    EXPECT_EQ(lines[0], "adam2.bin");
    EXPECT_EQ(lines[1], "Single images:");
    EXPECT_EQ(lines[2],
              "SEND \"echo \\\"mtd0 0x90081000,0x903F0000\\\" >/proc/sys/dev/adam2/environment\\n\"");
    EXPECT_EQ(lines[19], QString(67, '-'));
    EXPECT_EQ(lines[20], "NOTE: Values for mtd0 and mtd1 for separate images may be incorrect");
    EXPECT_EQ(lines[21], "NOTE: If the above script(s) do not work, you may need to replace");
    EXPECT_EQ(lines[22], "\"/proc/sys/dev/adam2/environment\" with \"/proc/ticfg/env\"");

    // FTP keeps the headings and notes as they are.
    click(w().optOut[2]);
    const QStringList ftp = results().split('\n');
    EXPECT_EQ(ftp[1], "Single images:");
    EXPECT_EQ(ftp[5], "quote SETENV mtd3,0x903F0000,0x90400000");
    EXPECT_EQ(ftp.last(), "NOTE: Values for mtd0 and mtd1 for separate images may be incorrect");
}

TEST_F(Window, IncludeFilenameShowsAtTheNextRendering) {
    calculatePsp();
    click(w().chkIncFilename);
    ASSERT_FALSE(w().chkIncFilename->isChecked());
    // No handler of its own: the box keeps the name until the next rendering.
    EXPECT_TRUE(results().startsWith("psp.bin\n"));
    click(w().optOut[1]);
    EXPECT_TRUE(results().startsWith("setenv mtd0"));
    click(w().optOut[0]);
    EXPECT_EQ(results(), kPspLines.join('\n'));

    click(w().chkIncFilename);
    calculate();
    EXPECT_EQ(results(), "psp.bin\n" + kPspLines.join('\n'));

    // The name line keeps naming the file the values belong to, whatever the list selects since.
    w().File1->setSelected(w().File1->currentRow(), false);
    ASSERT_EQ(w().File1->fileName(), "");
    click(w().optOut[2]);
    EXPECT_TRUE(results().startsWith("psp.bin\nquote SETENV mtd0")) << results().toStdString();
    image("other.bin", 0x1000, std::nullopt);
    select("other.bin");
    click(w().optOut[1]);
    EXPECT_TRUE(results().startsWith("psp.bin\nsetenv mtd0")) << results().toStdString();
}

TEST_F(Window, FormatOutputReadsTheOptionsTheFileNameAndTakesEitherLineBreak) {
    image("image.bin", 0x1000, std::nullopt);
    select("image.bin");
    const QString psp = "mtd0: 0x900A0000, 0x90400000\nmtd1: 0x90020090, 0x900A0000";
    EXPECT_EQ(w().FormatOutput(psp),
              "image.bin\r\nmtd0: 0x900A0000, 0x90400000\r\nmtd1: 0x90020090, 0x900A0000");
    click(w().optOut[1]);
    EXPECT_EQ(w().FormatOutput(QString(psp).replace("\n", "\r\n")),
              "image.bin\r\nsetenv mtd0 0x900A0000,0x90400000\r\nsetenv mtd1 0x90020090,0x900A0000");
    click(w().chkIncFilename);
    EXPECT_EQ(w().FormatOutput(""), "");
    click(w().chkIncFilename);
    EXPECT_EQ(w().FormatOutput(""), "image.bin\r\n");
    w().File1->setSelected(w().File1->currentRow(), false);
    EXPECT_EQ(w().FormatOutput("mtd2: 0x90000000, 0x90010000"), "\r\nsetenv mtd2 0x90000000,0x90010000");
    // Reading the options changes nothing.
    EXPECT_EQ(results(), "");
    EXPECT_TRUE(w().optOut[1]->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Choice controls

TEST_F(Window, BootLoaderBoxesFollowTheDesignedClickSequences) {
    // From both unchecked, Adam2 first.
    click(w().chkAdam2);
    EXPECT_TRUE(w().chkAdam2->isChecked());
    EXPECT_FALSE(w().chkPSP->isChecked());
    EXPECT_TRUE(w().cboMTD5->isHidden());
    EXPECT_TRUE(w().lblMTD5->isHidden());
    // Adam2 again checks PSP and shows the mtd5 choice.
    click(w().chkAdam2);
    EXPECT_FALSE(w().chkAdam2->isChecked());
    EXPECT_TRUE(w().chkPSP->isChecked());
    EXPECT_TRUE(w().cboMTD5->isVisible());
    EXPECT_TRUE(w().lblMTD5->isVisible());
    // PSP unchecked checks Adam2 and hides it.
    click(w().chkPSP);
    EXPECT_TRUE(w().chkAdam2->isChecked());
    EXPECT_FALSE(w().chkPSP->isChecked());
    EXPECT_TRUE(w().cboMTD5->isHidden());
}

TEST_F(Window, BootLoaderBoxesKeepExactlyOneCheckedWhateverTheClicks) {
    click(w().chkPSP);
    EXPECT_TRUE(w().chkPSP->isChecked());
    EXPECT_TRUE(w().cboMTD5->isVisible());
    std::mt19937 random(5);
    for (int i = 0; i < 40; ++i) {
        QCheckBox* box = random() % 2 ? w().chkPSP : w().chkAdam2;
        if (i % 7 == 3)
            QTest::keyClick(box, Qt::Key_Space); // the keyboard toggles the same way
        else
            click(box);
        SCOPED_TRACE(i);
        ASSERT_NE(w().chkPSP->isChecked(), w().chkAdam2->isChecked());
        ASSERT_EQ(w().cboMTD5->isVisible(), w().chkPSP->isChecked());
        ASSERT_EQ(w().lblMTD5->isVisible(), w().chkPSP->isChecked());
    }
}

TEST_F(Window, FlashSizeOptionsEnableTheirTextBoxes) {
    struct Case {
        int option;
        bool mb, hex;
    };
    for (const Case& c :
         {Case{2, true, false}, Case{3, false, true}, Case{0, false, false}, Case{2, true, false},
          Case{1, false, false}, Case{3, false, true}, Case{4, false, false}}) {
        SCOPED_TRACE(c.option);
        click(w().optMem[c.option]);
        EXPECT_TRUE(w().optMem[c.option]->isChecked());
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(w().optMem[i]->isChecked(), i == c.option);
        EXPECT_EQ(w().txtMB->isEnabled(), c.mb);
        EXPECT_EQ(w().txtHex->isEnabled(), c.hex);
    }
}

TEST_F(Window, OutputOptionsAreOneGroupApartFromTheFlashSizes) {
    click(w().optMem[1]);
    click(w().optOut[2]);
    EXPECT_TRUE(w().optMem[1]->isChecked());
    EXPECT_TRUE(w().optOut[2]->isChecked());
    EXPECT_FALSE(w().optOut[0]->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Browser menus and clipboard

class WindowMenus : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        for (const char* name : {"a.bin", "B.IMG", "c.txt", "README"})
            image(name, 32, std::nullopt);
        ASSERT_TRUE(QDir().mkpath(m_images + "/sub"));
        w().ShowFolder(m_images);
    }

    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < m_window->File1->ListCount(); ++i)
            names.append(m_window->File1->List(i));
        return names;
    }

    bool shown(QMenu* menu) const { return menu->isVisible(); }
};

TEST_F(WindowMenus, RightClickKeepsTheSelectionTheMenuCopies) {
    w().File1->setSelected(0, true);
    const QString selected = w().File1->fileName();
    ASSERT_FALSE(selected.isEmpty());
    // On another entry and on the empty space below the entries.
    QTest::mouseClick(w().File1->viewport(), Qt::RightButton, {},
                      w().File1->visualItemRect(w().File1->item(1)).center());
    w().mnFile->hide();
    QTest::mouseClick(w().File1->viewport(), Qt::RightButton, {},
                      QPoint(20, w().File1->viewport()->height() - 3));
    w().mnFile->hide();
    EXPECT_EQ(w().File1->fileName(), selected);
}

TEST_F(WindowMenus, RightClickPopsUpOnlyTheMenuOfTheListClicked) {
    QTest::mouseClick(w().Dir1->viewport(), Qt::RightButton, {}, QPoint(20, 8));
    EXPECT_TRUE(shown(w().mnDir));
    EXPECT_FALSE(shown(w().mnFile));
    // At the mouse position.
    EXPECT_EQ(w().mnDir->pos(), w().Dir1->viewport()->mapToGlobal(QPoint(20, 8)));
    w().mnDir->hide();

    QTest::mouseClick(w().File1->viewport(), Qt::RightButton, {}, QPoint(20, 8));
    EXPECT_TRUE(shown(w().mnFile));
    EXPECT_FALSE(shown(w().mnDir));
    w().mnFile->hide();

    QTest::mouseClick(w().Dir1->viewport(), Qt::LeftButton, {}, QPoint(20, 8));
    QTest::mouseClick(w().File1->viewport(), Qt::LeftButton, {}, QPoint(20, 8));
    EXPECT_FALSE(shown(w().mnDir));
    EXPECT_FALSE(shown(w().mnFile));

    // The menus' items, in order.
    const auto texts = [](QMenu* menu) {
        QStringList list;
        for (QAction* action : menu->actions())
            list.append(action->text());
        return list;
    };
    EXPECT_EQ(texts(w().mnDir), (QStringList{"Copy path to clipboard", "Use clipboard"}));
    EXPECT_EQ(texts(w().mnFile), (QStringList{"Display IMG and BIN files", "Display all file types",
                                              "Edit file type filter", "Copy filename to clipboard"}));
}

TEST_F(WindowMenus, StandardFiltersSwapTheCheckMarks) {
    EXPECT_EQ(listed(), (QStringList{"a.bin", "B.IMG"}));
    w().mnListAll->trigger();
    EXPECT_TRUE(w().mnListAll->isChecked());
    EXPECT_FALSE(w().mnListImg->isChecked());
    EXPECT_EQ(w().File1->pattern(), "*.*");
    EXPECT_EQ(listed(), (QStringList{"a.bin", "B.IMG", "c.txt", "README"}));
    // Chosen again while in force, the mark stays.
    w().mnListAll->trigger();
    EXPECT_TRUE(w().mnListAll->isChecked());
    w().mnListImg->trigger();
    EXPECT_TRUE(w().mnListImg->isChecked());
    EXPECT_FALSE(w().mnListAll->isChecked());
    EXPECT_EQ(w().File1->pattern(), "*.img;*.bin");
    EXPECT_EQ(listed(), (QStringList{"a.bin", "B.IMG"}));
    w().mnListImg->trigger();
    EXPECT_TRUE(w().mnListImg->isChecked());
}

TEST_F(WindowMenus, EditedFilterSetsMarksByItsLowerCaseAndKeepsItsText) {
    struct Case {
        std::optional<QString> answer;
        QString pattern;
        bool img, all;
        QStringList files;
    };
    const std::vector<Case> cases = {
        {QString("*.IMG;*.BIN"), "*.IMG;*.BIN", true, false, {"a.bin", "B.IMG"}},
        {QString("*.txt"), "*.txt", false, false, {"c.txt"}},
        {QString(""), "*.txt", false, false, {"c.txt"}},  // empty answer: nothing changes
        {std::nullopt, "*.txt", false, false, {"c.txt"}}, // cancelled: nothing changes
        {QString("*.*"), "*.*", false, true, {"a.bin", "B.IMG", "c.txt", "README"}},
        {QString("READ*;*.img"), "READ*;*.img", false, false, {"B.IMG", "README"}},
    };
    QString proposed = "*.img;*.bin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.value_or("(cancel)").toStdString());
        m_inputPrompts.clear();
        m_inputAnswer = c.answer;
        w().mnEditPattern->trigger();
        EXPECT_EQ(m_inputPrompts, QStringList{"File type filter:|Edit the file type filter|" + proposed});
        EXPECT_EQ(w().File1->pattern(), c.pattern);
        EXPECT_EQ(w().mnListImg->isChecked(), c.img);
        EXPECT_EQ(w().mnListAll->isChecked(), c.all);
        EXPECT_EQ(listed(), c.files);
        proposed = c.pattern;
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WindowMenus, CopyItemsPutTextOnTheClipboardAndSaySo) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("something else");
    w().mnCopyPath->trigger();
    EXPECT_EQ(clipboard->text(), m_images);
    EXPECT_EQ(m_messages,
              std::vector<Message>{information("The selected path has been copied to the clipboard.")});

    m_messages.clear();
    w().File1->setSelected(1, true);
    ASSERT_EQ(w().File1->fileName(), "B.IMG");
    w().mnCopyFile->trigger();
    EXPECT_EQ(clipboard->text(), "B.IMG");
    EXPECT_EQ(m_messages,
              std::vector<Message>{information("The selected filename has been copied to the clipboard.")});

    // Without a selected file the clipboard's text is emptied and the message still shows.
    m_messages.clear();
    w().File1->setSelected(1, false);
    ASSERT_EQ(w().File1->fileName(), "");
    w().mnCopyFile->trigger();
    EXPECT_EQ(clipboard->text(), "");
    EXPECT_EQ(m_messages,
              std::vector<Message>{information("The selected filename has been copied to the clipboard.")});
}

TEST_F(WindowMenus, UseClipboardOpensTheFolderNamedThere) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(m_images + "/sub");
    w().mnClipPath->trigger();
    EXPECT_EQ(w().Dir1->path(), m_images + "/sub");
    EXPECT_EQ(w().File1->path(), m_images + "/sub");
    EXPECT_EQ(w().File1->ListCount(), 0);

    // Texts that are not existing folders change nothing and say nothing.
    for (const QString& text :
         {QString(), QString("no such folder"), m_images + "/missing", QString("\\\\server\\share")}) {
        SCOPED_TRACE(text.toStdString());
        clipboard->setText(text);
        w().mnClipPath->trigger();
        EXPECT_EQ(w().Dir1->path(), m_images + "/sub");
    }
    clipboard->clear();
    w().mnClipPath->trigger();
    EXPECT_EQ(w().Dir1->path(), m_images + "/sub");
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WindowMenus, ShowFolderMovesTheThreeListsOrNothing) {
    const QString sub = m_images + "/sub";
    w().ShowFolder(sub);
    EXPECT_EQ(w().Drive1->drive(), DriveList::volumeRootOf(sub));
    EXPECT_EQ(w().Dir1->path(), sub);
    EXPECT_EQ(w().File1->path(), sub);

    // An existing folder: the lists show it and its matching files.
    w().ShowFolder(m_images);
    EXPECT_EQ(w().Dir1->path(), m_images);
    EXPECT_EQ(listed(), (QStringList{"a.bin", "B.IMG"}));

    // A file: the drive's current folder stays open, not the file's folder.
    w().ShowFolder(sub);
    w().ShowFolder(m_images + "/a.bin");
    EXPECT_EQ(w().Dir1->path(), sub);
    EXPECT_EQ(w().Drive1->drive(), DriveList::volumeRootOf(sub));

    // An empty text, a network path and a missing path change nothing.
    for (const QString& path :
         {QString(), QString("\\\\server\\share\\fw"), QString("//server/share"), m_images + "/gone"}) {
        SCOPED_TRACE(path.toStdString());
        w().ShowFolder(path);
        EXPECT_EQ(w().Dir1->path(), sub);
        EXPECT_EQ(w().File1->path(), sub);
    }
    EXPECT_TRUE(m_messages.empty());
}

// ---------------------------------------------------------------------------------------------
// The warning line

TEST_F(Window, ImplausibleFileSystemShowsAWarningLineUnderTheResultsUntilTheNextCalculation) {
    const QRect designed = w().txtResults->geometry();
    // Zeros around the magic: no real superblock, yet the same values and no message box.
    calculatePsp("zeros.bin");
    EXPECT_EQ(results(), "zeros.bin\n" + kPspLines.join('\n'));
    EXPECT_TRUE(m_messages.empty());
    QLabel* line = w().lblWarning;
    ASSERT_TRUE(line->isVisible());
    const QString full =
        "Warning: The SquashFS magic found at offset 524288 (0x80000) does not start a real file "
        "system: its version 0.0 is not one of 1 to 4. The values assume the file system starts "
        "there; check that this is the firmware file you meant.";
    EXPECT_EQ(line->toolTip(), full);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name), full);
    // One line, as much of the text as fits, in the lower part of the results box's place.
    EXPECT_TRUE(full.startsWith(line->text().chopped(1))) << line->text().toStdString();
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->contentsRect().width());
    EXPECT_EQ(line->geometry().bottom(), designed.bottom());
    EXPECT_EQ(line->width(), designed.width());
    EXPECT_LT(w().txtResults->geometry().bottom(), line->geometry().top());
    EXPECT_EQ(w().txtResults->geometry().top(), designed.top());

    // A failed validation keeps the results and their warning; the next calculation clears it.
    w().File1->setSelected(w().File1->currentRow(), false);
    calculate();
    EXPECT_EQ(status(), "Validation failed.");
    EXPECT_TRUE(line->isVisible());
    m_messages.clear();
    QFile file(m_images + "/zeros.bin");
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(0x80000 + 12));
    file.write(QByteArray("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x11\x00\x00\x00\x00\x00\x04\x00", 18));
    ASSERT_TRUE(file.seek(0x80000 + 40));
    file.write(QByteArray("\x00\x10\x00\x00\x00\x00\x00\x00", 8));
    file.close();
    select("zeros.bin");
    calculate();
    ASSERT_EQ(status(), "Calculation complete.");
    EXPECT_FALSE(line->isVisible());
    EXPECT_EQ(w().txtResults->geometry(), designed);
}

TEST_F(Window, TheLineShowsTheFirstWarningItsTooltipAllAndTheStatusAnIntactImage) {
    // No kernel where mtd1 begins, no real superblock, and a trailer with a wrong checksum, which leads.
    const QString path = image("two.bin", 0x100000, 0x80000, QByteArray(kCombinedHeader, 16));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    file.write(QByteArray("\x23\xDE\x53\xC4\x00\x00\x00\x00", 8));
    file.close();
    calculatePsp("two.bin", false);
    EXPECT_EQ(status(), "Calculation complete.");
    QLabel* line = w().lblWarning;
    const QStringList all = line->toolTip().split('\n');
    ASSERT_EQ(all.size(), 3) << line->toolTip().toStdString();
    EXPECT_TRUE(all[0].startsWith("Warning: The image is damaged: its checksum is 0x00000000 but"));
    EXPECT_TRUE(all[1].startsWith("No kernel begins") && all[2].startsWith("The SquashFS magic"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name), line->toolTip());
    EXPECT_TRUE(all[0].startsWith(line->text().chopped(1))) << line->text().toStdString();

    // The right checksum: the status says so, in full.
    const quint32 sum = flintor::CksumOf(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                         static_cast<std::size_t>(bytes.size()));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(bytes.size() + 4));
    for (int i = 0; i < 4; ++i)
        file.putChar(static_cast<char>(sum >> (8 * i)));
    file.close();
    calculate();
    EXPECT_EQ(status(), "Calculation complete. Checksum right.");
    EXPECT_LE(w().lblStatus->fontMetrics().horizontalAdvance(status()),
              w().lblStatus->contentsRect().width());
    EXPECT_TRUE(line->toolTip().startsWith("Warning: No kernel begins")) << line->toolTip().toStdString();
}

// ---------------------------------------------------------------------------------------------
// Long searches

class WindowLongSearch : public Window {
protected:
    // An image filling a 16 MiB flash whose file system lies near its end, so the search takes many chunks.
    void SetUp() override {
        Window::SetUp();
        image("large.bin", 0x1000000 - 0x20000, 0xF00000);
        select("large.bin");
        click(w().optMem[3]);
        type(w().txtHex, "1000000");
        click(w().chkPSP);
        recordResults();
    }

    void recordResults() {
        QObject::connect(w().txtResults, &QPlainTextEdit::textChanged,
                         [this] { m_resultTexts.append(results()); });
    }

    // Runs `action` once, from the event loop, while the search is under way.
    void duringSearch(std::function<void()> action) {
        auto* timer = new QTimer(m_window.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [this, timer, action] {
            if (status() != "Validating file is SquashFS...")
                return;
            timer->stop();
            m_wasRunning = w().calculating();
            action();
        });
        timer->start();
    }

    const QStringList m_largeLines = {"mtd0: 0x90F20000, 0x91000000", "mtd1: 0x90020090, 0x90F20000",
                                      "mtd2: 0x90000000, 0x90010000", "mtd3: 0x90010000, 0x90020000",
                                      "mtd4: 0x90020000, 0x91000000"};
    QStringList m_resultTexts;
    std::optional<bool> m_wasRunning;
};

TEST_F(WindowLongSearch, SecondPressDuringTheSearchIsIgnored) {
    duringSearch([this] { calculate(); });
    calculate();
    ASSERT_EQ(m_wasRunning, std::optional<bool>(true));
    EXPECT_FALSE(w().calculating());
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_EQ(results(), "large.bin\n" + m_largeLines.join('\n'));
    // One run: the box said "Scanning file..." once, then showed the result once.
    EXPECT_EQ(m_resultTexts, (QStringList{"Scanning file...", results()}));
    EXPECT_EQ(w().state().FilesystemOffset, 0xF00000);
    EXPECT_TRUE(m_messages.empty());

    // The next press after the run calculates again.
    m_resultTexts.clear();
    calculate();
    EXPECT_EQ(m_resultTexts.size(), 2);
}

TEST_F(WindowLongSearch, OutputOptionDuringTheSearchDoesNotDisturbIt) {
    duringSearch([this] { click(w().optOut[1]); });
    calculate();
    ASSERT_EQ(m_wasRunning, std::optional<bool>(true));
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_TRUE(results().startsWith("large.bin\nsetenv mtd0 0x90F20000,0x91000000"));
}

TEST_F(WindowLongSearch, ClosingDuringTheSearchStopsItCleanly) {
    calculatePsp();
    const QString previous = results();
    const std::string previousText = w().state().ResultText;
    select("large.bin");
    click(w().optMem[3]);
    m_resultTexts.clear();

    duringSearch([this] { w().close(); });
    w().cmdRead_Click();
    ASSERT_EQ(m_wasRunning, std::optional<bool>(true));
    EXPECT_FALSE(w().calculating());
    EXPECT_FALSE(w().isVisible());
    EXPECT_NE(status(), "Calculation complete.");
    EXPECT_NE(status(), "Validation failed.");
    EXPECT_EQ(results(), previous);
    EXPECT_TRUE(m_resultTexts.isEmpty());
    EXPECT_EQ(w().state().ResultText, previousText);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(ReadSetting("Paths", "Last path", m_settings), m_images);

    // Shown again, the window calculates as before.
    w().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    w().cmdRead_Click();
    EXPECT_EQ(status(), "Calculation complete.");
    EXPECT_EQ(results(), "large.bin\n" + m_largeLines.join('\n'));
}

// ---------------------------------------------------------------------------------------------
// The real message box and input box

// Answers the next modal dialog of type T from the event loop, after `inspect` has looked at it.
// The timer belongs to `owner`, so a dialog that never comes leaves nothing behind for later tests.
template <typename T> void answerNextDialog(QObject* owner, std::function<void(T&)> inspect) {
    auto* timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            inspect(*dialog);
        }
    });
    timer->start();
}

TEST_F(Window, WarningsAreModalMessageBoxesWithTheTitleAndOnlyOk) {
    w().setMessageHandler(nullptr);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    answerNextDialog<QMessageBox>(m_window.get(), [&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        EXPECT_TRUE(box.isModal());
        box.button(QMessageBox::Ok)->click();
    });
    w().cmdRead_Click();
    EXPECT_EQ(title, "Flintor");
    EXPECT_EQ(text, "Please select a suitable firmware image file.");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(status(), "Validation failed.");
}

TEST_F(Window, FilterInputBoxProposesThePatternInForce) {
    w().setInputHandler(nullptr);
    QString title, label, proposed;
    answerNextDialog<QInputDialog>(m_window.get(), [&](QInputDialog& box) {
        title = box.windowTitle();
        label = box.labelText();
        proposed = box.textValue();
        box.setTextValue("*.rom");
        box.accept();
    });
    w().mnEditPattern->trigger();
    EXPECT_EQ(title, "Edit the file type filter");
    EXPECT_EQ(label, "File type filter:");
    EXPECT_EQ(proposed, "*.img;*.bin");
    EXPECT_EQ(w().File1->pattern(), "*.rom");
    EXPECT_FALSE(w().mnListImg->isChecked());

    answerNextDialog<QInputDialog>(m_window.get(), [](QInputDialog& box) { box.reject(); });
    w().mnEditPattern->trigger();
    EXPECT_EQ(w().File1->pattern(), "*.rom");
}

// ---------------------------------------------------------------------------------------------
// Logo

TEST_F(Window, LogoClickAsksForTheCommunityWebSite) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "open");
    const std::shared_ptr<void> unset(nullptr, [](void*) { QDesktopServices::unsetUrlHandler("https"); });
    QTest::mouseClick(w().imgLogo, Qt::LeftButton, {}, QPoint(20, 10));
    // A right click or a release outside the logo opens nothing.
    QTest::mouseClick(w().imgLogo, Qt::RightButton, {}, QPoint(20, 10));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0], QUrl(kCommunityUrl));
    EXPECT_EQ(recorder.urls[0].scheme(), "https");
}

TEST_F(Window, LogoShowsTheLinkCursorAndATooltip) {
    EXPECT_EQ(w().imgLogo->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w().imgLogo->cursor().hotSpot(), QPoint(6, 0));
    EXPECT_FALSE(w().imgLogo->toolTip().isEmpty());
    ASSERT_FALSE(w().imgLogo->pixmap().isNull());
    EXPECT_EQ(w().imgLogo->pixmap().size(), QSize(137, 41));
}

} // namespace

#include "frmMainTest.moc"
