// The real window, offscreen, meeting faults: a firmware file that changes between listing and
// Calculate, one whose name is not UTF-8, things dropped onto the window that are not firmware files
// or stop being one, a search cut short by closing the window, and the firmware file left exactly
// as it was by a whole run.
#include "FaultSupport.h"
#include "FileList.h"
#include "OrvoSimpleButton.h"
#include "Texts.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace flintor::faults {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCombinedHeader = "\x34\x44\x54\x4D\x01\x02\x03\x04\x40\x30\x20\x10\x00\x00\x00\x00";

class WindowFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_images = m_tmp.filePath("images");
        ASSERT_TRUE(QDir().mkpath(m_images));
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->setMessageHandler([this](const QString& text, QMessageBox::Icon) { m_messages << text; });
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // An image in the images folder, named by its bytes: the combined header, zeros, "hsqs" at magicAt.
    std::string image(const std::string& name, qint64 length, std::optional<qint64> magicAt) {
        const std::string path = QFile::encodeName(m_images).toStdString() + "/" + name;
        QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(kCombinedHeader, 16);
        EXPECT_TRUE(file.resize(length));
        if (magicAt) {
            EXPECT_TRUE(file.seek(*magicAt));
            file.write("hsqs");
        }
        return path;
    }

    // Lists the images folder and selects the file with these name bytes, PSP on a 4MB flash.
    void select(const std::string& name) {
        frmMain& w = *m_window;
        w.ShowFolder(m_images);
        w.File1->refresh();
        const QString shown = QFile::decodeName(QByteArray::fromStdString(name));
        bool found = false;
        for (int i = 0; i < w.File1->ListCount() && !found; ++i)
            if (w.File1->List(i) == shown) {
                w.File1->setSelected(i, true);
                found = true;
            }
        ASSERT_TRUE(found) << name;
        w.optMem[1]->click();
        if (!w.chkPSP->isChecked())
            w.chkPSP->click();
    }

    QString status() const { return m_window->lblStatus->text(); }
    QString results() const { return m_window->txtResults->toPlainText(); }

    QTemporaryDir m_tmp;
    QString m_images;
    std::unique_ptr<frmMain> m_window;
    QStringList m_messages;
};

TEST_F(WindowFaults, FileChangedBetweenListingAndCalculateIsRefused) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"removed", [](const std::string& p) { fs::remove(p); }, texts::kNotFirmware},
        {"truncated", [](const std::string& p) { fs::resize_file(p, 0x1000); }, texts::kNotSquashFs},
        {"replaced by a folder",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         texts::kNotFirmware},
        {"replaced by a pipe",
         [](const std::string& p) {
             fs::remove(p);
             ::mkfifo(p.c_str(), 0600);
         },
         texts::kNotFirmware},
    };
    for (const Case& c : cases) {
        const std::string path = image("fw.bin", 0x100000, 0x80000);
        select("fw.bin");
        c.change(path);
        m_messages.clear();
        m_window->cmdRead_Click();
        EXPECT_EQ(m_messages, QStringList{c.message}) << c.name;
        EXPECT_EQ(status(), texts::kValidationFailed) << c.name;
        EXPECT_EQ(results(), "") << c.name;
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
}

TEST_F(WindowFaults, NameThatIsNotUtf8IsCalculated) {
    const std::string name = "fw-\xFF\xFE.bin";
    image(name, 0x100000, 0x80000);
    select(name);
    m_window->cmdRead_Click();
    EXPECT_EQ(m_messages, QStringList{});
    EXPECT_EQ(status(), texts::kCalculationComplete);
    EXPECT_TRUE(results().contains("mtd0: 0x900A0000, 0x90400000\nmtd1: 0x90020090, 0x900A0000"))
        << results().toStdString();
}

TEST_F(WindowFaults, ClosingTheWindowStopsTheSearchCleanly) {
    const std::string path = image("long.bin", 0x1000000, std::nullopt); // searched to its end
    select("long.bin");
    const FileSnapshot before = Snapshot(path);
    // Closed after a few chunks of the search, as a user closing the window while it runs.
    int searchPumps = 0;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [this, &searchPumps] {
        if (status() == texts::kValidatingSquashFs && ++searchPumps == 3)
            m_window->close();
    });
    closer.start();
    m_window->cmdRead_Click();
    closer.stop();
    EXPECT_EQ(searchPumps, 3) << "the search did not stop when the window closed";
    EXPECT_FALSE(m_window->calculating());
    EXPECT_EQ(m_messages, QStringList{});
    EXPECT_EQ(results(), "");
    EXPECT_NE(status(), texts::kCalculationComplete);
    EXPECT_TRUE(Snapshot(path) == before);
    // The window can go away at once.
    m_window.reset();
}

TEST_F(WindowFaults, DroppedThingsEndInAMessageOrAResult) {
    const std::string folder = QFile::encodeName(m_images).toStdString();
    image("good.bin", 0x100000, 0x80000);
    image("gone.bin", 0x100000, 0x80000);
    image("huge.bin", 0x10, std::nullopt);
    fs::resize_file(folder + "/huge.bin", 3ULL << 30);
    ::mkfifo((folder + "/pipe.bin").c_str(), 0600);
    fs::create_directory(folder + "/folder.bin");
    fs::create_symlink(folder + "/loop-b.bin", folder + "/loop-a.bin");
    fs::create_symlink(folder + "/loop-a.bin", folder + "/loop-b.bin");
    image("\xFF\xFE.bin", 0x100000, 0x80000);
    struct Case {
        std::string path;
        bool calculates;
        std::function<void()> beforeCalculate;
    };
    const Case cases[] = {
        {folder + "/good.bin", true, {}},
        {folder + "/\xFF\xFE.bin", true, {}},
        {folder + "/gone.bin", false, [&] { fs::remove(folder + "/gone.bin"); }},
        {folder + "/huge.bin", false, {}},
        {folder + "/pipe.bin", false, {}},
        {folder + "/folder.bin", false, {}},
        {folder + "/loop-a.bin", false, {}},
        {folder + "/missing.bin", false, {}},
        {"/dev/zero", false, {}},
        {folder + std::string("/good.bin\0/dev/zero", 19), false, {}},
    };
    for (const Case& c : cases) {
        const QString label = QFile::decodeName(QByteArray::fromStdString(c.path));
        m_window->GotADrop(QFile::decodeName(QByteArray::fromStdString(c.path)));
        m_window->optMem[1]->click();
        if (!m_window->chkPSP->isChecked())
            m_window->chkPSP->click();
        if (c.beforeCalculate)
            c.beforeCalculate();
        m_messages.clear();
        m_window->txtResults->clear();
        m_window->cmdRead_Click();
        if (c.calculates) {
            EXPECT_EQ(status(), texts::kCalculationComplete) << label.toStdString();
            EXPECT_TRUE(results().contains("\nmtd0: 0x900A0000, 0x90400000\n")) << label.toStdString();
        } else {
            EXPECT_EQ(status(), texts::kValidationFailed) << label.toStdString();
            EXPECT_EQ(m_messages.size(), 1) << label.toStdString();
            EXPECT_EQ(results(), "") << label.toStdString();
        }
    }
}

TEST_F(WindowFaults, AWholeRunLeavesTheFirmwareFileAsItWas) {
    const std::string path = image("fw.bin", 0x300000, 0x80000);
    const timespec times[2] = {{1'000'000'000, 987'654'321}, {1'000'000'000, 987'654'321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const FileSnapshot before = Snapshot(path);
    select("fw.bin");
    for (int form = 0; form < 4; ++form) {
        m_window->optOut[form]->click();
        m_window->cmdRead_Click();
        ASSERT_EQ(status(), texts::kCalculationComplete);
        ExpectSoundAddresses(results().toStdString());
    }
    m_window->chkAdam2->click();
    m_window->cmdRead_Click();
    ASSERT_EQ(status(), texts::kCalculationComplete);
    m_window->close();
    m_window.reset();
    EXPECT_TRUE(Snapshot(path) == before);
}

} // namespace
} // namespace flintor::faults
