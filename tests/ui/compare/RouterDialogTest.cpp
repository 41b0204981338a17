// The comparison dialog talking to a simulated boot loader on 127.0.0.1, offscreen, through the real
// main window: a read fills the capture as a paste would, refused reads and cancelled waits, a repair
// written after confirming and read back, writes that fail or are cut short, and where the router's
// address and records are kept.
#include "CompareDialog.h"
#include "FileList.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "RouterEnvironment.h"
#include "RouterSimulator.h"
#include "RouterWriteConfirmation.h"
#include "frmMain.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace {

using std::chrono::milliseconds;
constexpr const char* kOldMtd0 = "0x900a0000,0x90400000"; // the PSP sample's mtd0, left from an older image
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
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->setMessageHandler([](const QString&, QMessageBox::Icon) {});
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->ShowFolder(QStringLiteral(FLINTOR_SAMPLES_DIR));
        m_window->File1->refresh();
        for (int i = 0; i < m_window->File1->ListCount(); ++i)
            m_window->File1->setSelected(i, m_window->File1->List(i) == "psp-4mb.bin");
        m_window->optMem[1]->setChecked(true);
        m_window->chkPSP->setChecked(true);
        QTest::mouseClick(m_window->cmdRead, Qt::LeftButton);
        QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
        ASSERT_NE(dialog(), nullptr);
        flintor::RouterSessionOptions quick;
        quick.connection.wait = milliseconds(1000);
        quick.connection.retryInterval = milliseconds(10);
        quick.connection.replyTimeout = milliseconds(2000);
        quick.connection.loopbackOnly = true;
        dialog()->setRouterOptions(quick);
        dialog()->setRecordFolder(m_tmp.filePath("records"));
        dialog()->setWriteConfirmation(
            [this](QWidget*, const QString& address, const QStringList& commands, const QString& recordPath) {
                m_asked.push_back({address, commands.join('\n'), recordPath});
                return m_confirm;
            });
    }

    // A simulated PSP boot loader holding the PSP sample's values, whose address the dialog is given.
    flintor::RouterSimulator& simulate(flintor::SimulatorFaults faults = {}) {
        flintor::SimulatorSettings settings;
        settings.adam2 = false;
        settings.environment = flintor::SampleEnvironment(false);
        settings.faults = faults;
        m_simulator = std::make_unique<flintor::RouterSimulator>(settings);
        part<QLineEdit>("routerAddress")->setText(address());
        return *m_simulator;
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_simulator->port()); }

    CompareDialog* dialog() { return m_window->compareDialog(); }
    template <typename T> T* part(const char* name) {
        T* found = dialog()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString status() { return part<QLabel>("routerStatusLabel")->text(); }
    QString cell(int row, int column) {
        return part<QTableWidget>("partitionTable")->item(row, column)->text();
    }
    bool writable() { return part<QPushButton>("writeRouterButton")->isEnabled(); }
    int setenvs() const {
        int count = 0;
        for (const std::string& command : m_simulator->commands())
            count += command.rfind("SETENV", 0) == 0;
        return count;
    }

    // Presses a button that talks to the router and waits until the conversation has ended.
    void talk(const char* buttonName) {
        QTest::mouseClick(part<QPushButton>(buttonName), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 10000));
    }

    struct Question {
        QString address, commands, recordPath;
    };
    QTemporaryDir m_tmp;
    std::unique_ptr<flintor::RouterSimulator> m_simulator;
    std::unique_ptr<frmMain> m_window;
    std::vector<Question> m_asked;
    bool m_confirm = true;
};

TEST_F(RouterDialog, ReadFillsTheCaptureAndTheComparisonAndAllowsARepairWhileItStands) {
    EXPECT_EQ(part<QLineEdit>("routerAddress")->text(), "192.168.1.1");
    flintor::RouterSimulator& router = simulate();
    EXPECT_FALSE(writable()) << "nothing read from the router yet";
    talk("readRouterButton");
    EXPECT_EQ(status(), "Read from the router at " + address() + ".");
    const auto capture =
        flintor::ReadRouterEnvironment(part<QPlainTextEdit>("captureText")->toPlainText().toStdString());
    ASSERT_TRUE(capture.environment);
    EXPECT_EQ(capture.environment->markedAdam2, false) << "the greeting counts";
    EXPECT_EQ(cell(0, 1), "0x900A0000 - 0x90400000");
    EXPECT_EQ(cell(0, 3), "\u2260 differs");
    EXPECT_TRUE(writable());
    // A read counts while the dialog stays open.
    dialog()->close();
    QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
    EXPECT_FALSE(writable());
    talk("readRouterButton");
    EXPECT_TRUE(writable());

    // Text typed into the box is not what the router holds: no repair from it.
    QTest::keyClicks(part<QPlainTextEdit>("captureText"), " ");
    dialog()->readCapture();
    EXPECT_FALSE(writable());

    // Nothing differs: nothing to write.
    router.setValue("mtd0", kNewMtd0);
    talk("readRouterButton");
    EXPECT_EQ(cell(0, 3), "same");
    EXPECT_FALSE(writable());

    // The address read from is kept in the settings file.
    m_window->close();
    QFile settings(m_tmp.filePath("settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("[Router]\nAddress=" + address().toLatin1() + "\n"));
}

TEST_F(RouterDialog, RefusedReadsSayWhyAndEnableNothing) {
    flintor::SimulatorFaults refuseLogin;
    refuseLogin.refuseLogin = true;
    simulate(refuseLogin);
    const QString listening = address();
    m_simulator.reset();
    const struct {
        QString address;
        QString status;
    } cases[] = {
        {listening, "Nothing answered at " + listening + " within 1 second"},
        {"127.0.0.1:99999", "port"},
        {"", "address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        part<QLineEdit>("routerAddress")->setText(c.address);
        talk("readRouterButton");
        EXPECT_TRUE(status().contains(c.status)) << status().toStdString();
        EXPECT_TRUE(part<QLabel>("routerStatusLabel")->font().bold());
        EXPECT_EQ(part<QPlainTextEdit>("captureText")->toPlainText(), "");
        EXPECT_FALSE(writable());
        EXPECT_TRUE(part<QPushButton>("readRouterButton")->isVisibleTo(dialog()));
    }
    simulate(refuseLogin);
    talk("readRouterButton");
    EXPECT_TRUE(status().startsWith("The router at " + address() + " refused the login as adam2"))
        << status().toStdString();
    EXPECT_EQ(part<QPlainTextEdit>("captureText")->toPlainText(), "");
}

TEST_F(RouterDialog, CancelAndClosingEndAWaitAtOnce) {
    flintor::SimulatorFaults late;
    late.lateStart = milliseconds(60'000);
    simulate(late);
    flintor::RouterSessionOptions patient;
    patient.connection.wait = milliseconds(60'000);
    dialog()->setRouterOptions(patient);
    const auto waiting = [this] {
        return QTest::qWaitFor(
            [this] {
                return status().startsWith("Waiting for the boot loader at " + address() +
                                           " ... switch the router on now (") &&
                       status().endsWith(" seconds left)");
            },
            5000);
    };
    QTest::mouseClick(part<QPushButton>("readRouterButton"), Qt::LeftButton);
    ASSERT_TRUE(waiting()) << status().toStdString();
    EXPECT_TRUE(part<QPushButton>("cancelRouterButton")->isVisible());
    EXPECT_FALSE(part<QPushButton>("readRouterButton")->isVisible());
    QTest::mouseClick(part<QPushButton>("cancelRouterButton"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 2000));
    EXPECT_EQ(status(), "Cancelled while waiting for the router at " + address() + ".");

    QTest::mouseClick(part<QPushButton>("readRouterButton"), Qt::LeftButton);
    ASSERT_TRUE(waiting());
    dialog()->close();
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog()->talkingToRouter(); }, 2000));

    // The whole window goes while the dialog waits: nothing is left running or waiting behind it.
    QTest::mouseClick(m_window->cmdCompare, Qt::LeftButton);
    QTest::mouseClick(part<QPushButton>("readRouterButton"), Qt::LeftButton);
    ASSERT_TRUE(waiting());
    QElapsedTimer closing;
    closing.start();
    m_window->close();
    m_window.reset();
    EXPECT_LT(closing.elapsed(), 2000);
}

TEST_F(RouterDialog, ConfirmedRepairIsRecordedWrittenAndReadBack) {
    flintor::RouterSimulator& router = simulate();
    talk("readRouterButton");
    m_confirm = false;
    QTest::mouseClick(part<QPushButton>("writeRouterButton"), Qt::LeftButton);
    ASSERT_EQ(m_asked.size(), 1u);
    EXPECT_EQ(m_asked[0].address, address());
    EXPECT_EQ(m_asked[0].commands, QString("SETENV mtd0,") + kNewMtd0);
    EXPECT_TRUE(m_asked[0].recordPath.startsWith(m_tmp.filePath("records/flintor-router-")));
    EXPECT_EQ(setenvs(), 0);
    EXPECT_EQ(router.value("mtd0"), kOldMtd0);
    EXPECT_TRUE(part<QTableWidget>("partitionTable")->isColumnHidden(4));

    m_confirm = true;
    talk("writeRouterButton");
    EXPECT_EQ(router.value("mtd0"), kNewMtd0);
    EXPECT_FALSE(part<QTableWidget>("partitionTable")->isColumnHidden(4));
    EXPECT_EQ(cell(0, 4), "\u2713 as calculated");
    EXPECT_EQ(cell(1, 4), "");
    const QStringList records = QDir(m_tmp.filePath("records")).entryList(QDir::Files);
    ASSERT_EQ(records.size(), 1);
    const QString record = m_tmp.filePath("records/" + records[0]);
    const QString repaired = "Repaired: mtd0 reads back as calculated. ";
    EXPECT_EQ(status(), repaired + "The router's values before are kept in the record " + record);
    // The record reads as what the router held.
    const auto held = flintor::ReadRouterEnvironmentFile(record.toStdString());
    ASSERT_TRUE(held.environment);
    EXPECT_EQ(held.environment->partition(0)->start, 0x900A0000u);
    // The router holds other values now: a second repair needs a new read.
    EXPECT_FALSE(writable());
}

TEST_F(RouterDialog, FailedWritesNameThePartitionAndWriteNothingMore) {
    const QString differs = "\u2717 differs", unread = "\u2717 not read back", unwritten = "not written";
    const struct {
        const char* name;
        flintor::SimulatorFaults faults;
        bool changeAfterRead;
        bool recordBlocked; // the records folder cannot be made
        QString status;
        QString mtd0, mtd1;
        int setenvs;
    } cases[] = {
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
        talk("readRouterButton");
        if (c.changeAfterRead)
            router.setValue("mtd2", "0x90000000,0x90020000");
        talk("writeRouterButton");
        EXPECT_TRUE(status().contains(c.status)) << status().toStdString();
        EXPECT_TRUE(part<QLabel>("routerStatusLabel")->font().bold());
        EXPECT_EQ(cell(0, 4), c.mtd0);
        EXPECT_EQ(cell(1, 4), c.mtd1);
        EXPECT_EQ(setenvs(), c.setenvs);
        EXPECT_EQ(router.value("mtd1"), "0x90020000,0x900A0000");
        // Only a router that is as read may be written again without a new read.
        EXPECT_EQ(writable(), c.recordBlocked);
    }
}

TEST_F(RouterDialog, ClosingDuringTheWritesFinishesThePartitionInHandAndSaysSo) {
    flintor::SimulatorFaults slow;
    slow.replyDelay = milliseconds(50);
    flintor::RouterSimulator& router = simulate(slow);
    router.setValue("mtd1", "0x90020000,0x900A0000");
    talk("readRouterButton");
    QTest::mouseClick(part<QPushButton>("writeRouterButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return status().startsWith("Writing the repair"); }, 5000))
        << status().toStdString();
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
        const char* text;
    } controls[] = {
        {"routerAddress", "Router address", nullptr},
        {"readRouterButton", "Read from router", "&Read from router"},
        {"cancelRouterButton", "Cancel", "Cance&l"},
        {"writeRouterButton", "Write repair to router...", "&Write repair to router..."},
    };
    for (const auto& c : controls) {
        QWidget* widget = part<QWidget>(c.object);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), c.name);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), c.text);
        }
    }
    // Every access key of the dialog leads to one place only.
    QList<QChar> keys;
    for (QWidget* widget : dialog()->findChildren<QWidget*>()) {
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
            text = label->text();
        if (const auto at = text.indexOf('&'); at >= 0 && at + 1 < text.size())
            keys << text[at + 1].toLower();
    }
    EXPECT_EQ(keys.size(), QSet<QChar>(keys.begin(), keys.end()).size())
        << QString(keys.constData(), keys.size()).toStdString();
    EXPECT_TRUE(keys.contains('a')) << "the address box's label";
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
    } cases[] = {
        {"", "192.168.1.1"},
        {"[Router]\nAddress=127.0.0.1:2121\n", "127.0.0.1:2121"},
        {"[Router]\nAddress=[::1]\n", "[::1]"},
        {"[Router]\nAddress=1.2.3.4:70000\n", "192.168.1.1"},
        {"[Router]\nAddress=\n", "192.168.1.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QTemporaryDir tmp;
        QFile file(tmp.filePath("settings.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size());
        file.close();
        frmMain window(nullptr, file.fileName());
        EXPECT_EQ(window.routerAddress(), c.shown);
    }
}

} // namespace

#include "RouterDialogTest.moc"
