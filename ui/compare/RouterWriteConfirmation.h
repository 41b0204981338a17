#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

/// Asks the owner before anything is written to the router: the exact commands that will be sent, where
/// the record of the router's values goes (with a link that opens its folder), and "Write" or "Cancel",
/// Cancel being the default. Accepted means write.
///
/// The parts have object names ("commandsText", "recordPathLabel", "openRecordFolder", "writeButton",
/// "cancelButton") by which tests find them.
class RouterWriteConfirmation : public QDialog {
    Q_OBJECT

public:
    /// Asks for the commands to the router `where` ("at 192.168.1.1", "on the console /dev/ttyUSB0"), with
    /// the record going to `recordPath`.
    RouterWriteConfirmation(const QString& where, const QStringList& commands, const QString& recordPath,
                            QWidget* parent);

    /// Opens the record's folder in the desktop's file manager (made when missing).
    void openRecordFolder();

private:
    QString m_recordPath;
};
