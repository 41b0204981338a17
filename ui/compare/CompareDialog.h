#pragma once

#include "CompareHost.h"
#include "RouterComparison.h"
#include "RouterEnvironment.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class OrvoPartitions;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

/// The router's current partition values beside the main window's last calculation: the owner pastes
/// what the router printed (or opens or drops a capture file) and sees the boot loader and flash size
/// the capture reveals, a table and two maps of the partitions, and the commands that repair them and
/// that put the router's values back. Non-modal; it reaches the main window only through its
/// CompareHost, changes it only when asked to and never writes a file.
///
/// The parts have object names ("captureText", "partitionTable", "routerMap", ...) by which tests and
/// accessibility tools find them.
class CompareDialog : public QDialog {
    Q_OBJECT

public:
    /// Asks for a capture file to open; an empty path when the owner cancels.
    using FileChooser = std::function<QString(QWidget* parent)>;

    /// A dialog comparing for `host`, which outlives it; `parent` is the host's window.
    CompareDialog(CompareHost& host, QWidget* parent);
    ~CompareDialog() override;

    /// Puts a capture file's text into the text box; a file that cannot be a capture leaves the text
    /// box as it is and the message line says why.
    void openCaptureFile(const QString& path);
    /// Puts a capture's text into the text box and compares it at once, wherever the text came from.
    void showCapture(const QString& text);
    /// Replaces the file dialog of the Open button, so that tests choose the file themselves.
    void setFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }

public slots:
    /// Reads the text box now; edits are read after a short pause.
    void readCapture();
    /// Shows the settings and the comparison again for the main window's choices and last calculation.
    void refresh();
    /// Asks for a capture file and opens it.
    void chooseCaptureFile();
    /// Sets the boot loader and flash size the capture reveals in the main window.
    void useSettings();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    bool takeFileDrop(QEvent* event);
    void showMessage(const QString& text, bool refusal);
    void showSettings();
    void showTable();
    void showMaps();
    void showCommands();
    void showNotes();

    CompareHost& m_host;
    FileChooser m_fileChooser;
    QString m_lastFolder;
    std::optional<flintor::RouterEnvironment> m_environment;
    std::optional<flintor::RouterSettings> m_settings;
    std::optional<flintor::RouterComparison> m_comparison;

    QTimer* m_readTimer = nullptr;
    QPlainTextEdit* m_capture = nullptr;
    QPushButton* m_open = nullptr;
    QLabel* m_messageIcon = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_bootloader = nullptr;
    QLabel* m_bootloaderReason = nullptr;
    QLabel* m_flashSize = nullptr;
    QLabel* m_flashSizeReason = nullptr;
    QLabel* m_settingsCheck = nullptr;
    QPushButton* m_useSettings = nullptr;
    QLabel* m_comparedWith = nullptr;
    QTableWidget* m_table = nullptr;
    OrvoPartitions* m_routerMap = nullptr;
    OrvoPartitions* m_calculatedMap = nullptr;
    QLabel* m_repairState = nullptr;
    QPlainTextEdit* m_repair = nullptr;
    QPushButton* m_copyRepair = nullptr;
    QPlainTextEdit* m_restore = nullptr;
    QPushButton* m_copyRestore = nullptr;
    QPlainTextEdit* m_notes = nullptr;
};
