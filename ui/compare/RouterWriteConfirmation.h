#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QDialogButtonBox;
class QPlainTextEdit;
class QPushButton;

/// The buttons of a question before a write: writeText (named writeName) accepts the dialog, "Cancel"
/// (named "cancelButton") rejects it and is the default, so that Enter never writes.
QDialogButtonBox* WriteOrCancelButtons(QDialog* dialog, const QString& writeText, const QString& writeName);

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
