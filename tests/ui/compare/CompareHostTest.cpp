// The dialog on a host of the test's own, built without the main window: the host's choices, its
// word that they changed, and "Use these settings" asked of it are all the dialog knows of a window.
#include "CompareDialog.h"
#include "OrvoPartitions.h"
#include "QtPrinters.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

// Choices set by the test, changes told when the test says so, and the settings asked for, kept.
class StandInHost : public CompareHost {
public:
    flintor::WorkflowInputs choices;
    std::function<void()> changed;
    std::vector<std::pair<std::optional<bool>, std::optional<std::int64_t>>> used;

    flintor::WorkflowInputs inputs() const override { return choices; }
    const std::optional<flintor::CalculationDetails>& lastCalculation() const override { return m_none; }
    void watchChoices(QObject*, std::function<void()> onChange) override { changed = std::move(onChange); }
    QString outputFormName(int form) const override { return QStringLiteral("form %1").arg(form); }
    const OrvoPartitions& partitionMap() const override { return m_map; }
    void useRouterSettings(std::optional<bool> adam2, std::optional<std::int64_t> flashSize) override {
        used.emplace_back(adam2, flashSize);
    }
    QString routerAddress() const override { return QStringLiteral("127.0.0.1"); }
    void setRouterAddress(const QString&) override {}
    RouterLinkChoice routerLink() const override { return {}; }
    void setRouterLink(const RouterLinkChoice&) override {}

private:
    std::optional<flintor::CalculationDetails> m_none;
    OrvoPartitions m_map;
};

TEST(CompareHost, DialogFollowsTheHostsChoicesAndAsksItToUseTheSettings) {
    StandInHost host;
    host.choices.psp = true;
    host.choices.memoryOption = 1;
    CompareDialog dialog(host, nullptr);
    ASSERT_TRUE(host.changed);
    // A capture handed over is compared at once, and not again after the pause for typing.
    QFile capture(QStringLiteral(FLINTOR_SAMPLES_DIR "/captures/psp-printenv.txt"));
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    dialog.showCapture(QString::fromUtf8(capture.readAll()));
    EXPECT_FALSE(dialog.findChild<QTimer*>("readTimer")->isActive());
    auto* check = dialog.findChild<QLabel*>("settingsCheck");
    auto* use = dialog.findChild<QPushButton*>("useSettingsButton");
    EXPECT_EQ(check->text(), "The main window uses these settings.");
    EXPECT_FALSE(use->isEnabled());

    host.choices = {};
    host.choices.adam2 = true;
    host.choices.outputForm = 2;
    host.changed();
    EXPECT_EQ(check->text(),
              "The main window has Adam2 checked. The main window has no flash size selected.");
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("repairText")->toolTip(),
              "In the output form chosen in the main window: form 2");
    use->click();
    EXPECT_EQ(host.used, (decltype(host.used){{false, 0x400000}}));
}

} // namespace
