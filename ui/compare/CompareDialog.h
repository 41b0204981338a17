#pragma once

#include "CompareHost.h"
#include "ImageWriteConfirmation.h"
#include "RouterComparison.h"
#include "RouterEnvironment.h"
#include "RouterLinkChooser.h"
#include "RouterSession.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class OrvoPartitions;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class ImageWriteProgress;
class RouterTask;
struct ImageWriteTaskOutcome;
struct RouterWriteOutcome;

/// The router's current partition values beside the main window's last calculation: the owner pastes
/// what the router printed (or opens or drops a capture file) and sees the boot loader and flash size
/// the capture reveals, a table and two maps of the partitions, and the commands that repair them and
/// that put the router's values back. Non-modal; it reaches the main window only through its
/// CompareHost and changes it only when asked to.
///
/// It also talks to the router's boot loader itself, over the network or its serial console (the owner
/// chooses in a RouterLinkChooser), on a thread of its own: "Read from router" fills
/// the text box as a paste would, and "Write repair to router..." (after a read, when something differs)
/// asks first, keeps a record of the router's values under the user's data folder, writes the repair and
/// shows how each partition reads back. Closing the dialog while it waits for the router cancels; closing
/// it during the writes finishes the partition in hand, then stops and says so. "Write image to router..."
/// writes the image last calculated into the router's image area (ImageWriteConfirmation, then
/// ImageWriteProgress while it runs, ImageWriteOutcome after); closing while the router writes its flash
/// asks first.
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

    /// Asks the owner whether to write `commands` to the router `where` ("at 192.168.1.1", "on the console
    /// /dev/ttyUSB0"), with the record going to `recordPath`; true to write.
    using WriteConfirmation = std::function<bool(QWidget* parent, const QString& where,
                                                 const QStringList& commands, const QString& recordPath)>;
    /// Replaces the confirmation before writing (RouterWriteConfirmation), so that tests answer it.
    void setWriteConfirmation(WriteConfirmation confirmation) { m_confirmWrite = std::move(confirmation); }
    /// Asks the owner whether to write an image; the choices to write, none not to.
    using ImageWriteConfirmationHook =
        std::function<std::optional<ImageWriteChoice>(QWidget* parent, const ImageWriteQuestion& question)>;
    /// Replaces the confirmation before an image write (ImageWriteConfirmation), so that tests answer it.
    void setImageWriteConfirmation(ImageWriteConfirmationHook confirmation) {
        m_confirmImageWrite = std::move(confirmation);
    }
    /// The login and the times of the conversations begun from now on.
    void setRouterOptions(const flintor::RouterSessionOptions& options) { m_routerOptions = options; }
    /// The folder the records of the router's values go to; by default "records" in the user's data
    /// folder for the program.
    QString recordFolder() const { return m_recordFolder; }
    void setRecordFolder(const QString& folder) { m_recordFolder = folder; }
    /// A conversation with the router is running.
    bool talkingToRouter() const;

public slots:
    /// Reads the text box now; edits are read after a short pause.
    void readCapture();
    /// Shows the settings and the comparison again for the main window's choices and last calculation.
    void refresh();
    /// Asks for a capture file and opens it.
    void chooseCaptureFile();
    /// Sets the boot loader and flash size the capture reveals in the main window.
    void useSettings();
    /// Reads the partition values from the router the way chosen: at the address in the address box, or
    /// on the serial port.
    void readFromRouter();
    /// Asks, then writes the repair to the router that was read.
    void writeToRouter();
    /// Asks, then writes the image last calculated into the image area of the router that was read.
    void writeImageToRouter();
    /// Cancels a wait or a read; stops writes after the partition in hand.
    void stopRouter();

protected:
    void done(int result) override;
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
    void createRouterControls();
    void startTask(RouterTask* task, const RouterReach& reach);
    void showRouterProgress(const flintor::RouterProgress& progress);
    void finishRead(const flintor::RouterReadResult& result, const RouterReach& reach);
    void finishWrite(const RouterWriteOutcome& outcome, const std::vector<flintor::PartitionBounds>& repair,
                     const RouterReach& reach);
    void endTask();
    void showRouterStatus(const QString& text, bool refusal);
    void showRouterControls();
    /// The refusal to write the repair of the router read, for the owner; empty when a write may go.
    QString writeRefusal() const;
    static QString writeTip();
    void showReadBack(int number);
    // The comparison an image write goes by, of the router's own reading; none without a read.
    std::optional<flintor::RouterComparison> imageWriteComparison() const;
    QString imageWriteRefusal() const;
    void finishImageWrite(const ImageWriteTaskOutcome& outcome,
                          const std::vector<flintor::PartitionBounds>& order, const RouterReach& reach);
    // The repair for the router's own reading and the main window's last calculation.
    std::vector<flintor::PartitionBounds> routerRepair() const;

    CompareHost& m_host;
    FileChooser m_fileChooser;
    QString m_lastFolder;
    QString m_shownRefusal; // the refusal to write that the router status line shows, if any
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
    int m_tableWidth = 0; // the table's least width without the read-back column
    OrvoPartitions* m_routerMap = nullptr;
    OrvoPartitions* m_calculatedMap = nullptr;
    QLabel* m_repairState = nullptr;
    QPlainTextEdit* m_repair = nullptr;
    QPushButton* m_copyRepair = nullptr;
    QPlainTextEdit* m_restore = nullptr;
    QPushButton* m_copyRestore = nullptr;
    QPlainTextEdit* m_notes = nullptr;

    WriteConfirmation m_confirmWrite;
    flintor::RouterSessionOptions m_routerOptions;
    QString m_recordFolder;
    QPointer<RouterTask> m_task;
    RouterReach m_taskReach; // the way the task reaches the router
    QString m_waitNote;      // what the console showed during the task's wait
    // The last read from the router, while the text box holds its text as read.
    struct RouterRead {
        QString text;      // the text box's text as the read left it
        RouterReach reach; // where it was read
        // The reading to repair; none once the router was written to or the dialog closed.
        std::optional<flintor::RouterReading> reading;
    };
    std::optional<RouterRead> m_read;
    // The last repair begun and how its writes went, shown in the table until the text box changes.
    std::vector<flintor::PartitionBounds> m_repairBegun;
    std::vector<flintor::PartitionWrite> m_writes;

    RouterLinkChooser* m_connection = nullptr;
    QPushButton* m_readRouter = nullptr;
    QPushButton* m_cancelRouter = nullptr;
    QLabel* m_routerIcon = nullptr;
    QLabel* m_routerStatus = nullptr;
    QPushButton* m_writeRouter = nullptr;
    QPushButton* m_writeImage = nullptr;
    ImageWriteProgress* m_imageProgress = nullptr;
    ImageWriteConfirmationHook m_confirmImageWrite;
};
