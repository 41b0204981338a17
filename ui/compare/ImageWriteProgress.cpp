#include "ImageWriteProgress.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using Step = flintor::ImageWriteStep;
using Stage = flintor::RouterProgress::Stage;

QString stepText(Step step, Stage stage) {
    switch (step) {
    case Step::Checks:
    case Step::Record:
        return QStringLiteral("Saving the record of the router's values");
    case Step::Backup:
    case Step::BackupFile:
        return QStringLiteral("Keeping a copy of the router's image area");
    case Step::Image:
        return stage == Stage::WritingFlash
                   ? QStringLiteral("The router is writing its flash; do not switch it off")
                   : QStringLiteral("Sending the image");
    case Step::ReadBack:
        return QStringLiteral("Reading the image back");
    case Step::ImageArea:
    case Step::Values:
        return QStringLiteral("Setting the values");
    case Step::Reboot:
    case Step::Done:
        break;
    }
    return QStringLiteral("Restarting the router");
}

} // namespace

ImageWriteProgress::ImageWriteProgress(QWidget* parent) : QWidget(parent) {
    m_stage = new QLabel(this);
    m_stage->setObjectName(QStringLiteral("imageWriteStage"));
    m_stage->setWordWrap(true);
    QFont bold = m_stage->font();
    bold.setBold(true);
    m_stage->setFont(bold);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("imageWriteBar"));
    m_bar->setAccessibleName(QStringLiteral("Image write progress"));
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("imageWriteReason"));
    m_reason->setAccessibleName(QStringLiteral("Why it cannot be cancelled"));
    m_reason->setWordWrap(true);
    m_reason->setTextFormat(Qt::PlainText);
    m_reason->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stage);
    layout->addWidget(m_bar);
    layout->addWidget(m_reason);
    m_stopQuestion = [](QWidget* parent) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Flintor"),
                        QStringLiteral("The router is writing the image into its flash."),
                        QMessageBox::NoButton, parent);
        box.setInformativeText(
            QStringLiteral("Stopping now would leave the image area half written, so the write goes on "
                           "either way. Flintor can stop once the image is written: it is then not read "
                           "back, the values are not set and the router is not restarted, and it may not "
                           "start its firmware until you write again."));
        QPushButton* stop = box.addButton(QStringLiteral("&Stop after the image"), QMessageBox::AcceptRole);
        QPushButton* keep = box.addButton(QStringLiteral("&Keep writing"), QMessageBox::RejectRole);
        box.setDefaultButton(keep);
        box.exec();
        return box.clickedButton() == stop;
    };
    hide();
}

void ImageWriteProgress::begin() {
    m_flashing = false;
    m_imageSent = false;
    m_stage->setText(QStringLiteral("Reading the router"));
    m_bar->setRange(0, 0);
    m_reason->clear();
    m_reason->hide();
    show();
    emit cancellableChanged(true, QString());
}

void ImageWriteProgress::end() {
    m_flashing = false;
    m_imageSent = false;
    hide();
    emit cancellableChanged(true, QString());
}

bool ImageWriteProgress::confirmStop(QWidget* parent) {
    return !m_flashing || !m_stopQuestion || m_stopQuestion(parent);
}

void ImageWriteProgress::showStep(flintor::ImageWriteStep step, const flintor::RouterProgress& progress) {
    m_stage->setText(stepText(step, progress.stage));
    m_stage->setAccessibleName(m_stage->text());
    const bool counted = progress.bytesTotal > 0 &&
                         (progress.stage == Stage::SendingImage || progress.stage == Stage::ReadingImage);
    if (counted) {
        m_bar->setRange(0, 1000);
        m_bar->setValue(
            static_cast<int>(std::min(progress.bytesDone, progress.bytesTotal) * 1000 / progress.bytesTotal));
    } else if (progress.stage != Stage::CancelRefused) {
        m_bar->setRange(0, 0);
    }
    if (step == Step::Image && progress.stage == Stage::SendingImage && !m_imageSent) {
        m_imageSent = true;
        m_flashing = true;
        const QString reason = QStringLiteral(
            "Cancel is off: the image is being written, and stopping now would leave mtd4 half "
            "written.");
        m_reason->setText(reason);
        m_reason->show();
        emit cancellableChanged(false, reason);
    }
    // The router's reply to the image ends the time in which it must not be cut off.
    if (m_flashing && (step != Step::Image || progress.stage == Stage::TransferStep)) {
        m_flashing = false;
        m_reason->setText(
            QStringLiteral("Cancel is off: the image is written; the steps after it are finished "
                           "first."));
    }
}
