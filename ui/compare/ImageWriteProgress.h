#pragma once

#include "ImageWrite.h"

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;

/// How an image write to the router goes, while it runs: the step in words ("Sending the image", "The
/// router is writing its flash; do not switch it off", "Reading the image back", "Setting the values") and
/// a progress bar, with the reason why it can no longer be cancelled once the first byte of the image went
/// out. Hidden when no write runs.
///
/// The parts have object names ("imageWriteStage", "imageWriteBar", "imageWriteReason").
class ImageWriteProgress : public QWidget {
    Q_OBJECT

public:
    /// Asks whether to stop once the image is written; true to stop.
    using StopQuestion = std::function<bool(QWidget* parent)>;

    explicit ImageWriteProgress(QWidget* parent);

    /// Shows the panel for a write that begins.
    void begin();
    /// Hides it once the write ended; a cancel is possible again.
    void end();
    /// The image is on its way to the flash: from the first byte sent until the router's reply.
    bool flashing() const { return m_flashing; }
    /// While flashing(), asks the owner whether to stop once the image is written (StopQuestion, a message
    /// box unless replaced); true at once otherwise.
    bool confirmStop(QWidget* parent);
    /// Replaces the question of confirmStop(), so that tests answer it.
    void setStopQuestion(StopQuestion question) { m_stopQuestion = std::move(question); }

public slots:
    /// Shows where the write stands.
    void showStep(flintor::ImageWriteStep step, const flintor::RouterProgress& progress);

signals:
    /// The write can be cancelled, or no longer, and why.
    void cancellableChanged(bool cancellable, const QString& reason);

private:
    QLabel* m_stage = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_reason = nullptr;
    bool m_flashing = false;
    bool m_imageSent = false; // the first byte went: no cancel until the end
    StopQuestion m_stopQuestion;
};
