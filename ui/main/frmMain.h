#pragma once

#include "CompareHost.h"
#include "FormLayout.h"
#include "Workflow.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class CompareDialog;
class DirList;
class DriveList;
class FileBrowser;
class FileList;
class LineControl;
class OrvoLabel;
class OrvoPartitions;
class OrvoSimpleButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

/// The community web site that a click on the logo opens.
inline constexpr const char* kCommunityUrl = "https://flintor.org/community/";

/// The window caption: the product, the router class it serves and the version.
QString CaptionFor(int major, int minor, int revision);

/// The program's one window: the drive, folder and file browser of step 1, the flash size and
/// boot loader choices of steps 2 and 3, the partition map, the results with their status line, and
/// the outputs panel with the Calculate button and the command that compares the values with the
/// router's.
///
/// The controls are public, as the window's event handlers and its tests reach them by name. Sizes
/// and places are designed in twips and placed in pixels at the screen's twips per pixel.
class frmMain : public QWidget, public CompareHost {
    Q_OBJECT

public:
    /// Shows a modal message box (OK only, the application title as caption); replaceable so that
    /// tests answer message boxes themselves.
    using MessageHandler = std::function<void(const QString& text, QMessageBox::Icon icon)>;
    /// Asks for a line of text (prompt, title, proposed answer); nullopt when cancelled.
    using InputHandler =
        std::function<std::optional<QString>(const QString& prompt, const QString& title, const QString& answer)>;

    /// Starts on workers what the window's first frame needs and no application object does: reading the
    /// font configuration and connecting to the session bus. The program calls it first thing, on its
    /// main thread, before it makes its application object, which takes about as long; a window starts
    /// whatever has not been started.
    static void beginStartUp();

    /// `settingsFile` names the settings file to use; empty for the program's own.
    explicit frmMain(QWidget* parent = nullptr, const QString& settingsFile = QString());
    ~frmMain() override;

    /// Whether start-up has finished. The window's first frame shows the lists empty; just after it,
    /// the browser reads the volumes, opens the process's current folder and then the folder the
    /// settings remember.
    bool isStartUpFinished() const { return m_browser != nullptr; }
    /// Finishes start-up now unless it has finished; whatever reads or moves the lists calls it first.
    void finishStartUp();

    /// A file or folder dropped onto the window: the browser opens its folder and selects it.
    void GotADrop(const QString& path);
    /// The result text in the output form the window's options choose, with the file name first
    /// when "Include filename" is checked.
    QString FormatOutput(const QString& resultText) const;
    /// The open folder moves to `path` (the volume holding it first); nothing is reported.
    void ShowFolder(const QString& path);

    void setMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }
    void setInputHandler(InputHandler handler) { m_inputHandler = std::move(handler); }

    /// The calculation state: offset, image length, flash size and the last result text.
    const flintor::WorkflowState& state() const { return m_workflow.state(); }
    /// The last successful calculation; nullopt before it.
    const std::optional<flintor::CalculationDetails>& lastCalculation() const override {
        return m_workflow.lastCalculation();
    }
    /// The controls as the Calculate command reads them.
    flintor::WorkflowInputs inputs() const override;
    /// Checks the boot loader box and selects the flash size option for the values given; a value not
    /// given leaves its choice as it is.
    void useRouterSettings(std::optional<bool> adam2, std::optional<std::int64_t> flashSize) override;
    /// The router address kept in the settings file ([Router] Address), or the default.
    QString routerAddress() const override;
    /// Keeps the router address; it is written to the settings file when the window closes.
    void setRouterAddress(const QString& address) override;
    /// The way to the router kept in the settings file ([Router] Connection, Serial port, Speed).
    RouterLinkChoice routerLink() const override;
    /// Keeps the way to the router; it is written to the settings file when the window closes.
    void setRouterLink(const RouterLinkChoice& choice) override;
    /// The comparison with the router's values, once the command has opened it; null before.
    CompareDialog* compareDialog() const;
    /// Whether a calculation is running (events are processed during it).
    bool calculating() const { return m_workflow.running(); }
    /// The places of the controls that follow the window's size, in twips, as last laid out.
    const FormLayout& layout() const { return m_layout; }
    /// The screen's twips per pixel, read when the window was created.
    int twipsPerPixel() const { return m_twipsPerPixel; }
    QString settingsFile() const { return SettingsFile; }

    // The controls, named as designed.
    std::array<OrvoLabel*, 3> lblOrvo{};
    DriveList* Drive1 = nullptr;
    DirList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QFrame* fraFooter = nullptr;
    std::array<QRadioButton*, 5> optMem{};
    QLineEdit* txtMB = nullptr;
    QLineEdit* txtHex = nullptr;
    QCheckBox* chkPSP = nullptr;
    QCheckBox* chkAdam2 = nullptr;
    QLabel* lblMTD5 = nullptr;
    QComboBox* cboMTD5 = nullptr;
    LineControl* lnSep = nullptr;
    ::OrvoPartitions* OrvoPartitions = nullptr; // the partition map; its class has the same name
    QLabel* lblResults = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* txtResults = nullptr;
    /// The warnings of the last calculation, one line under the results; hidden when there are none.
    QLabel* lblWarning = nullptr;
    QFrame* fraOutputs = nullptr;
    OrvoSimpleButton* cmdRead = nullptr;
    std::array<QRadioButton*, 4> optOut{};
    QCheckBox* chkIncFilename = nullptr;
    QPushButton* cmdCompare = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* imgLogo = nullptr;
    QMenu* mnDir = nullptr;
    QAction* mnCopyPath = nullptr;
    QAction* mnClipPath = nullptr;
    QMenu* mnFile = nullptr;
    QAction* mnListImg = nullptr;
    QAction* mnListAll = nullptr;
    QAction* mnEditPattern = nullptr;
    QAction* mnCopyFile = nullptr;

signals:
    /// A Calculate command completed: lastCalculation() holds its values.
    void calculationCompleted();
    /// Start-up has finished: the lists show the folder the window opens in.
    void startUpFinished();

public slots:
    void cmdRead_Click();
    void cmdCompare_Click();
    void chkAdam2_Click();
    void chkPSP_Click();
    void optMem_Click(int index);
    void optOut_Click(int index);
    void imgLogo_Click();
    void Dir1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);
    void File1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);
    void mnCopyPath_Click();
    void mnClipPath_Click();
    void mnCopyFile_Click();
    void mnListImg_Click();
    void mnListAll_Click();
    void mnEditPattern_Click();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class CalculationHost;

    // The rest of what the comparison asks of the window (CompareHost).
    void watchChoices(QObject* receiver, std::function<void()> changed) override;
    QString outputFormName(int form) const override;
    const ::OrvoPartitions& partitionMap() const override { return *OrvoPartitions; }

    void createControls();
    void nameControls();
    void createMenus();
    void setTabOrder();
    void Form_Load();
    void Form_Resize();
    void Form_QueryUnload();
    void placeControls();
    void showMessage(const QString& text, QMessageBox::Icon icon);
    void showLastResult();
    void setWarnings(const QStringList& warnings);
    void placeWarning();
    /// A designed place in twips as pixels at the screen's twips per pixel.
    QRect pixelsOf(const TwipRect& r) const;

    FileBrowser* m_browser = nullptr; // made when start-up finishes
    flintor::Workflow m_workflow;
    FormLayout m_layout = FormLayout::Designed();
    int m_twipsPerPixel = 15;
    QString AppFolder;
    QString SettingsFile;
    QStringList m_warnings;
    bool m_cancelRequested = false;
    bool m_unloaded = false;
    MessageHandler m_messageHandler;
    InputHandler m_inputHandler;
    QPointer<CompareDialog> m_compareDialog;
    // The router address, read from the settings file when first asked for; written when the window
    // closes only if the owner gave one, so that a settings file gains no section nobody used.
    mutable std::optional<QString> m_routerAddress;
    bool m_routerAddressGiven = false;
    // The same for the way to the router.
    mutable std::optional<RouterLinkChoice> m_routerLink;
    bool m_routerLinkGiven = false;
};
