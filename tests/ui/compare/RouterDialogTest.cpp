// The comparison dialog talking to a simulated boot loader on 127.0.0.1, offscreen, through the real
// main window: a read fills the capture as a paste would, refused reads and cancelled waits, a repair
// written after confirming and read back, writes that fail or are cut short, an image written into the
// image area with its progress and the cancel it allows, and where the router's address and records are
// kept.
#include "CompareDialog.h"
#include "FileList.h"
#include "ImageWriteConfirmation.h"
#include "ImageWriteProgress.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "RouterEnvironment.h"
#include "RouterLinkChooser.h"
#include "RouterSimulator.h"
#include "RouterWriteConfirmation.h"
#include "frmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#ifdef FLINTOR_CONSOLE_SIM
#include "ConsoleSimulator.h"
#endif

namespace {

using std::chrono::milliseconds;
constexpr const char* kNewMtd0 = "0x90022000,0x90400000"; // as calculated for samples/psp-4mb.bin

// Takes the place of the desktop's file manager.
class FolderOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class RouterDialog : public ::testing::Test {
protected:
    // The window calculates the PSP sample on 4MB and opens the dialog, which answers its own questions.
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->ShowFolder(QStringLiteral(FLINTOR_SAMPLES_DIR));
        for (int i = 0; i < m_window->File1->ListCount(); ++i)
            m_window->File1->setSelected(i, m_window->File1->List(i) == "psp-4mb.bin");
        m_window->optMem[1]->setChecked(true);
        m_window->chkPSP->setChecked(true);
        QTest::mouseClick(m_window->cmdRead, Qt::LeftButton);
        QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
        ASSERT_NE(dialog(), nullptr);
        dialog()->setRouterOptions(options(milliseconds(1000)));
        dialog()->setRecordFolder(m_tmp.filePath("records"));
        dialog()->setWriteConfirmation(
            [this](QWidget*, const QString& address, const QStringList& commands, const QString& recordPath) {
                m_asked << address + " | " + commands.join(" | ") + " | " + recordPath;
                return m_confirm;
            });
    }

    static flintor::RouterSessionOptions options(milliseconds wait) {
        flintor::RouterSessionOptions quick;
        quick.connection = {wait, milliseconds(10), milliseconds(2000), true};
        return quick;
    }
    // A simulated PSP boot loader holding the PSP sample's values, whose address the dialog is given.
    flintor::RouterSimulator& simulate(flintor::SimulatorFaults faults = {}) {
        flintor::SimulatorSettings settings{
            .adam2 = false, .environment = flintor::SampleEnvironment(false), .faults = faults};
        m_simulator = std::make_unique<flintor::RouterSimulator>(settings);
        part<QLineEdit>("routerAddress")->setText(address());
        return *m_simulator;
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_simulator->port()); }

    CompareDialog* dialog() { return m_window->compareDialog(); }
    template <typename T> T* part(const char* name) { return dialog()->findChild<T*>(name); }
    QString status() { return part<QLabel>("routerStatusLabel")->text(); }
    bool refused() { return part<QLabel>("routerStatusLabel")->font().bold(); }
    QString cell(int row, int column) {
        return part<QTableWidget>("partitionTable")->item(row, column)->text();
    }
    bool writable() { return part<QPushButton>("writeRouterButton")->isEnabled(); }
    int setenvs() const {
        const auto commands = m_simulator->commands();
        return std::count_if(commands.begin(), commands.end(),
                             [](auto& c) { return c.rfind("SETENV", 0) == 0; });
    }
    // Presses a button that talks to the router; with `wait`, until the conversation has ended.
    void press(const char* button, bool wait = true) {
        QTest::mouseClick(part<QPushButton>(button), Qt::LeftButton);
        if (wait) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 10000));
        }
    }

    QTemporaryDir m_tmp;
    std::unique_ptr<flintor::RouterSimulator> m_simulator;
    std::unique_ptr<frmMain> m_window;
    QStringList m_asked;
    bool m_confirm = true;
};

TEST_F(RouterDialog, ReadFillsTheCaptureAsAPasteWouldAndAllowsARepairWhileItStands) {
    EXPECT_EQ(part<QLineEdit>("routerAddress")->text(), "192.168.1.1");
    flintor::RouterSimulator& router = simulate();
    EXPECT_FALSE(writable()) << "nothing read from the router yet";
    press("readRouterButton");
    EXPECT_EQ(status(), "Read from the router at " + address() + ".");
    EXPECT_EQ(part<QLabel>("bootloaderLabel")->text(), "PSP") << "the greeting counts";
    EXPECT_EQ(cell(0, 1), "0x900A0000 - 0x90400000");
    EXPECT_EQ(cell(0, 3), "\u2260 differs");
    EXPECT_TRUE(writable());
    // A read counts while the dialog stays open, and while the text box holds what it read.
    dialog()->close();
    QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
    EXPECT_FALSE(writable());
    press("readRouterButton");
    EXPECT_TRUE(writable());
    QTest::keyClicks(part<QPlainTextEdit>("captureText"), " ");
    dialog()->readCapture();
    EXPECT_FALSE(writable());
    // Nothing to repair: nothing to write.
    router.setValue("mtd0", kNewMtd0);
    press("readRouterButton");
    EXPECT_EQ(cell(0, 3), "same");
    EXPECT_FALSE(writable());
    // The address read from is kept in the settings file.
    m_window->close();
    QFile settings(m_tmp.filePath("settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("[Router]\nAddress=" + address().toLatin1() + "\n"));
}

TEST_F(RouterDialog, LostValuesAreRepairedButNeverTheBootBlockOrConfigurationBlock) {
    // A router that lost the partitions of its image is repaired; one that lost its boot block and
    // configuration block too is not written at all: where they are is for its console to tell.
    for (const bool keepFixedBlocks : {true, false}) {
        SCOPED_TRACE(keepFixedBlocks);
        flintor::SimulatedEnvironment lost = flintor::SampleEnvironment(false);
        std::erase_if(lost, [keepFixedBlocks](const auto& variable) {
            return variable.first.rfind("mtd", 0) == 0 &&
                   !(keepFixedBlocks && (variable.first == "mtd2" || variable.first == "mtd3"));
        });
        m_simulator = std::make_unique<flintor::RouterSimulator>(
            flintor::SimulatorSettings{.adam2 = false, .environment = lost, .faults = {}});
        part<QLineEdit>("routerAddress")->setText(address());
        press("readRouterButton");
        EXPECT_EQ(cell(0, 1), "not set");
        EXPECT_EQ(writable(), keepFixedBlocks);
        const QString tip = part<QPushButton>("writeRouterButton")->toolTip();
        EXPECT_EQ(tip.contains("The router holds no mtd2"), !keepFixedBlocks) << tip.toStdString();
        EXPECT_EQ(status().contains("The router holds no mtd2"), !keepFixedBlocks) << status().toStdString();
        EXPECT_EQ(refused(), !keepFixedBlocks);
        EXPECT_EQ(part<QPlainTextEdit>("repairText")->toPlainText().contains("mtd2 and mtd3 are left out"),
                  !keepFixedBlocks);
        press("writeRouterButton");
        EXPECT_EQ(setenvs(), keepFixedBlocks ? 3 : 0);
    }
}

TEST_F(RouterDialog, RefusedReadsSayWhyAndFillNothing) {
    simulate({.refuseLogin = true});
    const struct {
        QString address, status;
        bool routerGone;
    } cases[] = {
        {address(), "The router at " + address() + " refused the login as adam2", false},
        {"127.0.0.1:99999", "port", false},
        {address(), "Nothing answered at " + address() + " within 1 second", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        if (c.routerGone)
            m_simulator.reset();
        part<QLineEdit>("routerAddress")->setText(c.address);
        press("readRouterButton");
        EXPECT_TRUE(status().contains(c.status)) << status().toStdString();
        EXPECT_TRUE(refused());
        EXPECT_EQ(part<QPlainTextEdit>("captureText")->toPlainText(), "");
        EXPECT_FALSE(writable());
    }
}

TEST_F(RouterDialog, CancelAndClosingEndAWaitAtOnce) {
    simulate({.lateStart = milliseconds(60'000)});
    dialog()->setRouterOptions(options(milliseconds(60'000)));
    const QString waiting = "Waiting for the boot loader at " + address() + " ... switch the router on now (";
    const auto readAndWait = [&] {
        press("readRouterButton", false);
        return QTest::qWaitFor(
            [&] { return status().startsWith(waiting) && status().endsWith(" seconds left)"); }, 5000);
    };
    ASSERT_TRUE(readAndWait()) << status().toStdString();
    EXPECT_FALSE(part<QPushButton>("readRouterButton")->isVisible());
    press("cancelRouterButton");
    EXPECT_EQ(status(), "Cancelled while waiting for the router at " + address() + ".");
    EXPECT_FALSE(refused());
    ASSERT_TRUE(readAndWait());
    dialog()->close();
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 2000));
    // The whole window goes while the dialog waits: nothing is left running or waiting behind it.
    QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
    ASSERT_TRUE(readAndWait());
    QElapsedTimer closing;
    closing.start();
    m_window->close();
    m_window.reset();
    EXPECT_LT(closing.elapsed(), 2000);
}

TEST_F(RouterDialog, RepairIsAskedForRecordedWrittenAndReadBackStoppingAtTheFirstFailure) {
    const QString ok = "\u2713 as calculated", differs = "\u2717 differs", unread = "\u2717 not read back";
    const QString unwritten = "not written";
    const struct {
        const char* name;
        flintor::SimulatorFaults faults;
        bool changeAfterRead;
        bool recordBlocked; // the records folder cannot be made
        QString status, mtd0, mtd1;
        int setenvs;
    } cases[] = {
        {"repaired", {}, false, false, "Repaired: mtd0 and mtd1 read back as calculated. ", ok, ok, 2},
        {"refused", {.refuseWrites = true}, false, false, "refused SETENV mtd0,", differs, unwritten, 1},
        {"not kept", {.forgetWrites = true}, false, false, "reads back as 0x900A0000", differs, unwritten, 1},
        {"dropped", {.dropAfterWrite = true}, false, false, "closed the connection", unread, unwritten, 1},
        {"changed since read", {}, true, false, "no longer holds the values read before", "", "", 0},
        {"no record", {}, false, true, "record of the router's values could not be written", "", "", 0},
    };
    QFile blocked(m_tmp.filePath("blocked"));
    ASSERT_TRUE(blocked.open(QIODevice::WriteOnly));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialog()->setRecordFolder(m_tmp.filePath(c.recordBlocked ? "blocked/records" : "records"));
        flintor::RouterSimulator& router = simulate(c.faults);
        router.setValue("mtd1", "0x90020000,0x900A0000"); // a second partition to repair
        press("readRouterButton");
        m_confirm = false;
        m_asked.clear();
        press("writeRouterButton");
        const QString asked = "at " + address() + " | SETENV mtd0," + kNewMtd0 +
                              " | SETENV mtd1,0x90020090,0x90022000 | " + dialog()->recordFolder() +
                              "/flintor-router-";
        EXPECT_TRUE(m_asked.size() == 1 && m_asked[0].startsWith(asked)) << m_asked.join('\n').toStdString();
        EXPECT_EQ(setenvs(), 0);
        if (c.changeAfterRead)
            router.setValue("mtd2", "0x90000000,0x90020000");
        m_confirm = true;
        press("writeRouterButton");
        EXPECT_TRUE(status().contains(c.status)) << status().toStdString();
        EXPECT_LE(status().count("Nothing was written"), 1) << status().toStdString();
        EXPECT_EQ(refused(), c.setenvs != 2);
        EXPECT_EQ(cell(0, 4), c.mtd0);
        EXPECT_EQ(cell(1, 4), c.mtd1);
        EXPECT_EQ(setenvs(), c.setenvs);
        // Only a router that is still as read may be written again without a new read.
        EXPECT_EQ(writable(), c.recordBlocked);
        if (c.setenvs == 2) {
            // The record the status names holds the router's values before the repair.
            const auto held =
                flintor::ReadRouterEnvironmentFile(status().section(" in the record ", 1).toStdString());
            ASSERT_TRUE(held.environment);
            EXPECT_EQ(held.environment->partition(0)->start, 0x900A0000u);
        }
    }
}

TEST_F(RouterDialog, ClosingDuringTheWritesFinishesThePartitionInHandAndSaysSo) {
    flintor::RouterSimulator& router = simulate({.replyDelay = milliseconds(50)});
    router.setValue("mtd1", "0x90020000,0x900A0000");
    press("readRouterButton");
    press("writeRouterButton", false);
    ASSERT_TRUE(QTest::qWaitFor([this] { return status().startsWith("Writing the repair"); }, 5000));
    dialog()->close();
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 5000));
    EXPECT_EQ(setenvs(), 1);
    EXPECT_EQ(router.value("mtd0"), kNewMtd0);
    EXPECT_TRUE(
        status().startsWith("mtd0 reads back as calculated. Stopped on request before mtd1 was written."))
        << status().toStdString();
    EXPECT_EQ(cell(1, 4), "not written");
    dialog()->close();
    EXPECT_FALSE(dialog()->isVisible());
}

TEST_F(RouterDialog, NewControlsHaveNamesAndAccessKeysOfTheirOwn) {
    const struct {
        const char* object;
        const char* name;
    } controls[] = {{"networkOption", "Network"},
                    {"routerAddress", "Router address"},
                    {"serialOption", "Serial port"},
                    {"serialPort", "Serial port"},
                    {"serialSpeed", "Speed"},
                    {"readRouterButton", "Read from router"},
                    {"cancelRouterButton", "Cancel"},
                    {"writeRouterButton", "Write repair to router..."},
                    {"writeImageButton", "Write image to router..."},
                    {"imageWriteBar", "Image write progress"}};
    for (const auto& c : controls)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(part<QWidget>(c.object))->text(QAccessible::Name),
                  c.name);
    // Every access key of the dialog leads to one place only.
    QString keys;
    for (QWidget* widget : dialog()->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const QString text = button ? button->text() : label && label->buddy() ? label->text() : QString();
        if (text.contains('&'))
            keys += text[text.indexOf('&') + 1].toLower();
    }
    EXPECT_EQ(QSet<QChar>(keys.begin(), keys.end()).size(), keys.size()) << keys.toStdString();
    for (const QChar key : {'a', 'r', 'l', 'w', 'k', 't', 'd', 'i'})
        EXPECT_TRUE(keys.contains(key)) << key.toLatin1();
}

#ifdef FLINTOR_CONSOLE_SIM

// The serial port chosen by its key, a read and a repair over the console (read again before writing,
// at the prompt the read left), and the choice kept for the next window.
TEST_F(RouterDialog, OverTheSerialConsoleReadsAndRepairsAndTheChoiceIsKept) {
    flintor::ConsoleSettings settings;
    settings.adam2 = false;
    settings.environment = flintor::SampleEnvironment(false);
    settings.countdownStep = milliseconds(80);
    settings.faults.powerOnDelay = milliseconds(300);
    flintor::ConsoleSimulator console(settings);
    const QString device = QString::fromStdString(console.devicePath());
    auto* chooser = part<RouterLinkChooser>("routerConnection");
    EXPECT_EQ(chooser->imageWriteRefusal(), "");
    dialog()->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == dialog(); }));
    QTest::keyClick(dialog(), Qt::Key_T, Qt::AltModifier);
    auto* port = part<QComboBox>("serialPort");
    EXPECT_TRUE(part<QRadioButton>("serialOption")->isChecked());
    EXPECT_TRUE(port->isAncestorOf(QApplication::focusWidget())) << "the port list has no key of its own";
    EXPECT_TRUE(chooser->imageWriteRefusal().startsWith("Writing the image needs the network connection: "));
    EXPECT_EQ(part<QComboBox>("serialSpeed")->itemText(0), "38400");
    part<QComboBox>("serialSpeed")->setCurrentText("115200");
    port->setEditText(device);

    press("readRouterButton", false);
    EXPECT_TRUE(QTest::qWaitFor([this] { return status().contains("Flintor presses ESC for you"); }, 5000))
        << status().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 10000));
    EXPECT_EQ(status(), "Read from the router on the console " + device + ".");
    EXPECT_EQ(cell(0, 3), "\u2260 differs");
    // What was read at the console is no way to write an image, whatever is chosen now.
    part<QRadioButton>("networkOption")->click();
    EXPECT_FALSE(part<QPushButton>("writeImageButton")->isEnabled());
    EXPECT_TRUE(part<QPushButton>("writeImageButton")->toolTip().contains("read at its console"));
    part<QRadioButton>("serialOption")->click();
    press("writeRouterButton");
    EXPECT_TRUE(m_asked.size() == 1 &&
                m_asked[0].startsWith("on the console " + device + " | setenv mtd0 " + kNewMtd0 + " | "));
    EXPECT_TRUE(status().startsWith("Repaired: mtd0 reads back as calculated.")) << status().toStdString();
    EXPECT_EQ(cell(0, 4), "\u2713 as calculated");
    EXPECT_EQ(console.value("mtd0"), kNewMtd0);

    m_window->close();
    m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
    EXPECT_EQ(m_window->routerLink(), (RouterLinkChoice{true, device, 115200}));
    QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
    EXPECT_TRUE(part<QRadioButton>("serialOption")->isChecked());
    EXPECT_EQ(part<QComboBox>("serialPort")->currentText(), device);
}

// The ports present are listed each time the dialog opens, and the port named stays.
TEST_F(RouterDialog, SerialPortListFollowsThePortsPresent) {
    std::vector<std::string> present = {"/dev/ttyUSB0"};
    auto* chooser = part<RouterLinkChooser>("routerConnection");
    chooser->setPortLister([&present] { return present; });
    auto* port = part<QComboBox>("serialPort");
    const auto reopen = [&] {
        dialog()->close();
        QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
        QStringList items;
        for (int i = 0; i < port->count(); ++i)
            items << port->itemText(i);
        return items;
    };
    EXPECT_EQ(reopen(), QStringList{"/dev/ttyUSB0"});
    EXPECT_EQ(port->currentText(), "/dev/ttyUSB0") << "the first port present is offered";
    present = {"/dev/ttyUSB1", "/dev/ttyS0"};
    port->setEditText("/dev/pts/9");
    EXPECT_EQ(reopen(), (QStringList{"/dev/ttyUSB1", "/dev/ttyS0"}));
    EXPECT_EQ(port->currentText(), "/dev/pts/9");
    // A port that is no name is refused before anything is opened.
    part<QRadioButton>("serialOption")->click();
    port->setEditText("");
    press("readRouterButton");
    EXPECT_TRUE(refused());
    EXPECT_EQ(status(), "Choose or type the serial port that the router's console is on.");
}

#endif

TEST_F(RouterDialog, ImageIsAskedForCopiedWrittenReadBackAndSummedUp) {
    EXPECT_FALSE(part<QPushButton>("writeImageButton")->isEnabled()) << "nothing read from the router yet";
    flintor::RouterSimulator& router = simulate();
    // Another boot loader chosen: the router's configuration block is elsewhere, nothing is offered.
    m_window->chkAdam2->setChecked(true);
    QTest::mouseClick(m_window->cmdRead, Qt::LeftButton);
    press("readRouterButton");
    EXPECT_FALSE(part<QPushButton>("writeImageButton")->isEnabled());
    EXPECT_TRUE(part<QPushButton>("writeImageButton")->toolTip().contains("The router's mtd3"));
    m_window->chkPSP->setChecked(true);
    QTest::mouseClick(m_window->cmdRead, Qt::LeftButton);
    ASSERT_TRUE(part<QPushButton>("writeImageButton")->isEnabled());

    std::optional<ImageWriteQuestion> asked;
    dialog()->setImageWriteConfirmation([&asked](QWidget*, const ImageWriteQuestion& question) {
        asked = question;
        return ImageWriteChoice{true, true};
    });
    press("writeImageButton");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->imageName, "psp-4mb.bin");
    EXPECT_EQ(asked->imageSize, 12288);
    EXPECT_EQ(asked->checksumState, "checksum 0xCC862F94 right");
    EXPECT_EQ(asked->imageArea, (flintor::PartitionBounds{4, 0x90020000u, 0x90400000u}));
    EXPECT_EQ(asked->values, QStringList{"SETENV mtd0,0x90022000,0x90400000"});
    EXPECT_TRUE(asked->backupPath.endsWith("-mtd4.bin") &&
                asked->backupPath.startsWith(asked->recordPath.chopped(4)));
    // Each step in the order it went.
    for (const char* step : {"Copy of the image area saved beside it as flintor-router-",
                             "Image written (12288 bytes, 226 Transfer complete.). It reads back as sent. "
                             "mtd0 set and read back "
                             "as calculated. The router restarts."})
        EXPECT_TRUE(status().contains(step)) << status().toStdString();
    EXPECT_FALSE(refused());
    EXPECT_EQ(cell(0, 4), "\u2713 as calculated");
    EXPECT_EQ(router.commands().back(), "REBOOT");
    EXPECT_TRUE(QFile::exists(asked->backupPath));
    // The router holds other values now: a write needs a new read.
    EXPECT_FALSE(part<QPushButton>("writeImageButton")->isEnabled());
}

TEST_F(RouterDialog, CancelWorksUntilTheFirstByteOfTheImageAndClosingAsksWhileTheFlashIsWritten) {
    const QString writingFlash = "The router is writing its flash; do not switch it off";
    const struct {
        const char* name;
        flintor::SimulatorFaults faults;
        QString cancelAt;                   // the step shown when Cancel is pressed; empty: not pressed
        std::optional<bool> stopAfterImage; // closing while the flash is written, and the answer
        const char* status;
        bool landed;
    } cases[] = {
        {"cancelled before the first byte",
         {.replyDelay = milliseconds(150)},
         "Sending the image",
         {},
         "Cancelled",
         false},
        {"closing, kept writing",
         {.flashTime = milliseconds(1000)},
         {},
         false,
         "It reads back as sent.",
         true},
        {"closing, stopped after the image",
         {.flashTime = milliseconds(1000)},
         {},
         true,
         "Stopped on request before the image was read back.",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        flintor::RouterSimulator& router = simulate(c.faults);
        press("readRouterButton");
        const std::vector<std::uint8_t> before = router.flash();
        dialog()->setImageWriteConfirmation(
            [](QWidget*, const ImageWriteQuestion&) { return ImageWriteChoice{}; });
        int asked = 0;
        auto* progress = part<ImageWriteProgress>("imageWriteProgress");
        progress->setStopQuestion([&asked, &c](QWidget*) {
            ++asked;
            return *c.stopAfterImage;
        });
        auto* cancel = part<QPushButton>("cancelRouterButton");
        const auto stage = [this] { return part<QLabel>("imageWriteStage")->text(); };
        press("writeImageButton", false);
        if (!c.cancelAt.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return stage() == c.cancelAt; }, 5000))
                << stage().toStdString();
            EXPECT_TRUE(cancel->isEnabled());
            press("cancelRouterButton");
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return stage() == writingFlash; }, 5000))
                << stage().toStdString();
            EXPECT_FALSE(cancel->isEnabled());
            EXPECT_TRUE(part<QLabel>("imageWriteReason")->isVisible());
            EXPECT_TRUE(cancel->toolTip().contains("half written"));
            dialog()->close();
            EXPECT_EQ(asked, 1);
            EXPECT_TRUE(dialog()->isVisible());
            EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 10000));
        }
        EXPECT_TRUE(status().contains(c.status)) << status().toStdString();
        EXPECT_EQ(router.flash() != before, c.landed);
        EXPECT_TRUE(cancel->isEnabled());
        EXPECT_FALSE(progress->isVisible());
        const auto commands = router.commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "RETR mtd4"),
                  c.stopAfterImage.value_or(true) ? 0 : 1);
        dialog()->show();
    }
}

TEST(ImageWriteConfirmation, NamesTheImageItsRangeAndTheRecordAndWritesOnlyWhenAsked) {
    const ImageWriteQuestion question{"192.168.1.1",
                                      "fw.bin",
                                      12288,
                                      "checksum 0xCC862F94 right",
                                      {4, 0x90020000u, 0x90400000u},
                                      {"SETENV mtd0,0x90022000,0x90400000"},
                                      "/r/flintor-router-20240102-030405.txt",
                                      "/r/flintor-router-20240102-030405-mtd4.bin"};
    ImageWriteConfirmation asking(question, nullptr);
    const auto text = [&asking](const char* name) { return asking.findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(text("imageLabel"),
              "fw.bin, " + QLocale().toString(12288) + " bytes, checksum 0xCC862F94 right");
    EXPECT_EQ(text("rangeLabel"),
              "0x90020000 - 0x90023000, in the image area mtd4 (0x90020000 - 0x90400000)");
    EXPECT_TRUE(text("untouchedLabel").contains("mtd2") && text("untouchedLabel").contains("mtd3"));
    EXPECT_EQ(asking.findChild<QPlainTextEdit*>("valuesText")->toPlainText(),
              "SETENV mtd0,0x90022000,0x90400000");
    EXPECT_EQ(text("recordPathLabel"), QDir::toNativeSeparators(question.recordPath));
    QString keys;
    for (const auto* control : asking.findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(const_cast<QAbstractButton*>(control))
                         ->text(QAccessible::Name)
                         .isEmpty());
        keys += control->text()[control->text().indexOf('&') + 1].toLower();
    }
    EXPECT_EQ(keys, "krwc");
    EXPECT_TRUE(asking.findChild<QPushButton*>("cancelButton")->isDefault());
    asking.findChild<QCheckBox*>("rebootBox")->setChecked(true);
    EXPECT_TRUE(asking.choice().backup && asking.choice().reboot);
    asking.show();
    QTest::keyClick(&asking, Qt::Key_Return);
    EXPECT_EQ(asking.result(), QDialog::Rejected) << "Enter does not write";
}

TEST(RouterWriteConfirmation, ListsTheCommandsAndTheRecordAndWritesOnlyWhenAsked) {
    QTemporaryDir tmp;
    const QString record = tmp.filePath("records/flintor-router-20240102-030405.txt");
    RouterWriteConfirmation asking("192.168.1.1", {"SETENV mtd0,0x90022000,0x90400000", "SETENV mtd1,1,2"},
                                   record, nullptr);
    EXPECT_EQ(asking.findChild<QPlainTextEdit*>("commandsText")->toPlainText(),
              "SETENV mtd0,0x90022000,0x90400000\nSETENV mtd1,1,2");
    EXPECT_EQ(asking.findChild<QLabel*>("recordPathLabel")->text(), record);
    EXPECT_TRUE(asking.findChild<QPushButton*>("cancelButton")->isDefault());
    EXPECT_EQ(asking.findChild<QPushButton*>("writeButton")->text(), "&Write");
    EXPECT_EQ(asking.findChild<QPushButton*>("cancelButton")->text(), "&Cancel");

    FolderOpener opener;
    QDesktopServices::setUrlHandler("file", &opener, "open");
    QTest::mouseClick(asking.findChild<QPushButton*>("openRecordFolder"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl::fromLocalFile(tmp.filePath("records"))});
    EXPECT_TRUE(QDir(tmp.filePath("records")).exists());

    asking.show();
    QTest::keyClick(&asking, Qt::Key_Return);
    EXPECT_EQ(asking.result(), QDialog::Rejected) << "Enter does not write";
}

TEST(RouterAddressSetting, MissingOrDamagedGivesTheDefault) {
    const struct {
        QByteArray file;
        QString shown;
        RouterLinkChoice link = {};
    } cases[] = {
        {"[Router]\nAddress=[::1]:2121\n", "[::1]:2121"},
        {"[Router]\nAddress=1.2.3.4:70000\n", "192.168.1.1"},
        {"[Router]\nAddress=\n", "192.168.1.1"},
        {"[Router]\nConnection=serial\nSerial port=COM3\nSpeed=115200\n",
         "192.168.1.1",
         {true, "COM3", 115200}},
        {"[Router]\nConnection=serial\nSerial port=tty\x01\nSpeed=38401\n", "192.168.1.1", {true, "", 38400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QTemporaryDir tmp;
        QFile file(tmp.filePath("settings.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size());
        file.close();
        frmMain window(nullptr, file.fileName());
        EXPECT_EQ(window.routerAddress(), c.shown);
        EXPECT_EQ(window.routerLink(), c.link);
    }
}

} // namespace

#include "RouterDialogTest.moc"
