#include "ImageWriteConfirmation.h"

#include "BootLoaderConversation.h"
#include "ImageWrite.h"
#include "RouterRecord.h"
#include "RouterWriteConfirmation.h"
#include "TextConversion.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString hex(std::uint32_t address) {
    return fromStd(flintor::HexAddress(address));
}

QLabel* plainLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

PreparedImageWrite PrepareImageWrite(const flintor::CalculationDetails& details,
                                     const flintor::RouterComparison& comparison, const QString& address,
                                     const QString& recordPath) {
    PreparedImageWrite prepared;
    const auto area = flintor::CalculatedImageArea(comparison);
    // The bytes checked are the bytes sent: the image is read here once, and checked again.
    flintor::FirmwareImageLoading loading = flintor::LoadFirmwareImage(details.imagePath);
    const std::string problem = !area           ? flintor::ImageWriteRefusal(details, comparison)
                                : loading.image ? flintor::ImageWriteProblem(*loading.image, details, *area)
                                                : loading.error;
    if (!problem.empty()) {
        prepared.problem = fromStd(problem);
        return prepared;
    }
    prepared.image = std::make_shared<const flintor::FirmwareImage>(std::move(*loading.image));
    // mtd4 goes first, so that the image lands where the layout puts it; the others after the image.
    prepared.order = flintor::RepairPartitions(comparison);
    std::stable_partition(prepared.order.begin(), prepared.order.end(),
                          [](const flintor::PartitionBounds& bounds) { return bounds.number == 4; });
    prepared.question = {address,
                         fromStd(prepared.image->fileName),
                         static_cast<qint64>(prepared.image->bytes.size()),
                         fromStd(flintor::ChecksumState(prepared.image->scan)),
                         *area,
                         {},
                         recordPath,
                         fromStd(flintor::BackupPathBeside(recordPath.toStdString()))};
    for (const flintor::PartitionBounds& bounds : prepared.order)
        prepared.question.values << fromStd(flintor::SetenvCommand(bounds));
    return prepared;
}

ImageWriteConfirmation::ImageWriteConfirmation(const ImageWriteQuestion& question, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Write image to router - Flintor"));
    const flintor::PartitionBounds& area = question.imageArea;
    const auto imageEnd = static_cast<std::uint32_t>(area.start + question.imageSize);

    auto* intro = plainLabel(
        QStringLiteral(
            "Flintor will write this image into the image area (mtd4) of the router at %1, read it "
            "back where the router can send it, then set the values below. It stops at the first "
            "step that fails.")
            .arg(question.address),
        QStringLiteral("introLabel"), this);
    auto* image = plainLabel(
        QStringLiteral("%1, %2 bytes, %3")
            .arg(question.imageName, QLocale().toString(question.imageSize), question.checksumState),
        QStringLiteral("imageLabel"), this);
    image->setAccessibleName(QStringLiteral("Image: ") + image->text());
    auto* range = plainLabel(QStringLiteral("%1 - %2, in the image area mtd4 (%3 - %4)")
                                 .arg(hex(area.start), hex(imageEnd), hex(area.start), hex(area.end)),
                             QStringLiteral("rangeLabel"), this);
    range->setAccessibleName(QStringLiteral("Range: ") + range->text());
    auto* untouched =
        plainLabel(QStringLiteral("The boot block (mtd2) and the configuration block (mtd3) stay untouched."),
                   QStringLiteral("untouchedLabel"), this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Image:"), this), 0, 0, Qt::AlignTop);
    grid->addWidget(image, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Range:"), this), 1, 0, Qt::AlignTop);
    grid->addWidget(range, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* valuesLabel = new QLabel(QStringLiteral("&Values that will be set, each read back at once:"), this);
    auto* values = new QPlainTextEdit(
        question.values.isEmpty() ? QStringLiteral("None: the router's values are the calculated ones.")
                                  : question.values.join(QLatin1Char('\n')),
        this);
    values->setObjectName(QStringLiteral("valuesText"));
    values->setAccessibleName(QStringLiteral("Values that will be set"));
    values->setReadOnly(true);
    values->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    values->setLineWrapMode(QPlainTextEdit::NoWrap);
    values->setTabChangesFocus(true);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    values->setFont(fixed);
    const QFontMetrics metrics(fixed);
    // As high as the commands, up to the five a write may send.
    values->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("SETENV mtd0,0x90000000,0x90000000")) +
                            4 * metrics.averageCharWidth());
    values->setFixedHeight(metrics.lineSpacing() * (qBound(1, int(question.values.size()), 5) + 1) +
                           2 * values->frameWidth());
    valuesLabel->setBuddy(values);

    auto* recordIntro = plainLabel(
        QStringLiteral("Before anything is written, the router's current values are saved as a record:"),
        QStringLiteral("recordIntroLabel"), this);
    auto* record =
        plainLabel(QDir::toNativeSeparators(question.recordPath), QStringLiteral("recordPathLabel"), this);
    record->setAccessibleName(QStringLiteral("Record: ") + record->text());

    m_backup = new QCheckBox(QStringLiteral("&Keep a copy of the router's image area first"), this);
    m_backup->setObjectName(QStringLiteral("backupBox"));
    m_backup->setChecked(true);
    m_backup->setToolTip(QStringLiteral("Saved beside the record, as %1. Some boot loaders cannot send it: "
                                        "then nothing is written, and you may write without a copy.")
                             .arg(QDir::toNativeSeparators(question.backupPath)));
    m_reboot = new QCheckBox(QStringLiteral("&Restart the router when done"), this);
    m_reboot->setObjectName(QStringLiteral("rebootBox"));
    m_reboot->setToolTip(QStringLiteral("Sent only when every step before it succeeded"));

    QDialogButtonBox* buttons =
        WriteOrCancelButtons(this, QStringLiteral("&Write image"), QStringLiteral("writeImageButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addWidget(untouched);
    layout->addWidget(valuesLabel);
    layout->addWidget(values);
    layout->addWidget(recordIntro);
    layout->addWidget(record);
    layout->addWidget(m_backup);
    layout->addWidget(m_reboot);
    layout->addWidget(buttons);
    setMinimumWidth(metrics.averageCharWidth() * 70);
    buttons->button(QDialogButtonBox::Cancel)->setFocus();
}

ImageWriteChoice ImageWriteConfirmation::choice() const {
    return ImageWriteChoice{m_backup->isChecked(), m_reboot->isChecked()};
}
