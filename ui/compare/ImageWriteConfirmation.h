#pragma once

#include "FirmwareImage.h"
#include "RouterComparison.h"
#include "modMTD.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QCheckBox;

/// What the owner is told before an image is written to the router.
struct ImageWriteQuestion {
    QString address;                    ///< "192.168.1.1"
    QString imageName;                  ///< the file's name
    qint64 imageSize = 0;               ///< in bytes
    QString checksumState;              ///< "checksum 0xCC862F94 right", "no checksum trailer"
    flintor::PartitionBounds imageArea; ///< the calculated mtd4, from whose start the image goes
    QStringList values;                 ///< the SETENV commands that will be sent, in order
    QString recordPath;                 ///< where the record of the router's values goes
    QString backupPath;                 ///< where the copy of the image area goes, if asked for
};

/// An image write made ready to be asked for, or why it cannot be.
struct PreparedImageWrite {
    std::shared_ptr<const flintor::FirmwareImage> image; ///< the bytes that are checked and sent
    ImageWriteQuestion question;
    std::vector<flintor::PartitionBounds> order; ///< the partitions to set: mtd4 first, before the image
    QString problem;                             ///< why nothing can be written; empty when it can
};

/// Reads the image of the calculation details once and checks it against them (ImageWriteProblem), and
/// makes the question for the router at address with comparison (of ImageWriteLayout) and the record going
/// to recordPath.
PreparedImageWrite PrepareImageWrite(const flintor::CalculationDetails& details,
                                     const flintor::RouterComparison& comparison, const QString& address,
                                     const QString& recordPath);

/// What the owner chose besides writing.
struct ImageWriteChoice {
    bool backup = false; ///< keep a copy of the router's image area first
    bool reboot = false; ///< restart the router when done
};

/// Asks the owner before an image is written: the image (name, size, checksum state), the range it will
/// occupy, that the boot block and configuration block stay untouched, the values that will be set and the
/// record's path, with "Keep a copy of the router's image area first" and "Restart the router when done";
/// "Write image" or "Cancel", Cancel being the default. Accepted means write.
///
/// The parts have object names ("imageLabel", "rangeLabel", "valuesText", "recordPathLabel", "backupBox",
/// "rebootBox", "writeImageButton", "cancelButton") by which tests find them.
class ImageWriteConfirmation : public QDialog {
    Q_OBJECT

public:
    ImageWriteConfirmation(const ImageWriteQuestion& question, QWidget* parent);

    /// The choices as the owner left them.
    ImageWriteChoice choice() const;

private:
    QCheckBox* m_backup = nullptr;
    QCheckBox* m_reboot = nullptr;
};
