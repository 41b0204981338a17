#include "RouterTask.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QThread>
#include <exception>
#include <stdexcept>

RouterTask::RouterTask(flintor::RouterAddress address, flintor::RouterSessionOptions options, QObject* parent)
    : RouterTask(std::make_unique<flintor::RouterSession>(std::move(address), std::move(options)), parent) {}

RouterTask::RouterTask(std::unique_ptr<flintor::RouterSession> session, QObject* parent)
    : QObject(parent), m_session(std::move(session)) {}

RouterTask::~RouterTask() {
    stop();
    if (m_thread)
        m_thread->wait();
}

void RouterTask::run(std::function<void()> work) {
    if (m_thread)
        throw std::logic_error("a router task runs one conversation");
    m_thread.reset(QThread::create(std::move(work)));
    m_thread->start();
}

void RouterTask::post(std::function<void()> deliver) {
    QMetaObject::invokeMethod(this, std::move(deliver), Qt::QueuedConnection);
}

flintor::RouterProgressSink RouterTask::progressSink() {
    return [this](const flintor::RouterProgress& progress) {
        post([this, progress] { emit progressed(progress); });
    };
}

void RouterTask::read() {
    run([this] {
        flintor::RouterReadResult result = m_session->read(progressSink());
        post([this, result = std::move(result)] { emit readFinished(result); });
    });
}

bool RouterTask::readAgain(const flintor::RouterReading& expected, flintor::RouterReadResult& read,
                           bool& changedSinceRead, bool& stoppedBeforeWriting) {
    read = m_session->read(progressSink());
    if (!read.reading) {
        // Nothing more: the failure is the read's.
        return false;
    }
    changedSinceRead = !read.reading->sameValues(expected);
    stoppedBeforeWriting = !changedSinceRead && m_stopRequested;
    return !changedSinceRead && !stoppedBeforeWriting;
}

void RouterTask::write(flintor::RouterReading expected, std::vector<flintor::PartitionBounds> repair,
                       QString recordFolder, std::chrono::system_clock::time_point when) {
    run([this, expected = std::move(expected), repair = std::move(repair), recordFolder, when] {
        RouterWriteOutcome outcome;
        if (readAgain(expected, outcome.read, outcome.changedSinceRead, outcome.stoppedBeforeWriting)) {
            // The way back is on the disk before the router is changed; without it nothing is written.
            QDir().mkpath(recordFolder);
            const std::string text = flintor::RecordText(*outcome.read.reading, m_session->where(),
                                                         std::chrono::system_clock::now());
            outcome.record =
                flintor::WriteNewRecordFile(QFile::encodeName(recordFolder).toStdString(), text, when);
            if (outcome.record.error.empty()) {
                m_writing = true;
                post([this] { emit writingStarted(); });
                try {
                    outcome.applied = m_session->apply(repair, &expected, progressSink());
                } catch (const std::exception& error) {
                    // A repair the dialog built wrongly: nothing was sent for it.
                    flintor::ApplyResult refused;
                    refused.message = error.what();
                    outcome.applied = refused;
                }
            }
        }
        post([this, outcome = std::move(outcome)] { emit writeFinished(outcome); });
    });
}

void RouterTask::writeImage(flintor::RouterReading expected, flintor::RouterComparison comparison,
                            std::shared_ptr<const flintor::FirmwareImage> image, bool backup, bool reboot,
                            QString recordFolder, std::chrono::system_clock::time_point when) {
    run([this, expected = std::move(expected), comparison = std::move(comparison), image = std::move(image),
         backup, reboot, recordFolder, when] {
        ImageWriteTaskOutcome outcome;
        if (readAgain(expected, outcome.read, outcome.changedSinceRead, outcome.stoppedBeforeWriting)) {
            QDir().mkpath(recordFolder);
            flintor::ImageWritePlan plan;
            plan.image = std::span<const std::uint8_t>(image->bytes);
            plan.imageName = image->fileName;
            plan.record = flintor::RecordTarget{{}, QFile::encodeName(recordFolder).toStdString(), when};
            plan.backupBesideRecord = backup;
            plan.reboot = reboot;
            m_writing = true;
            post([this] { emit writingStarted(); });
            outcome.result = flintor::WriteImage(
                *m_session, comparison, plan,
                [this](flintor::ImageWriteStep step, const flintor::RouterProgress& progress) {
                    post([this, step, progress] { emit imageWriteProgressed(step, progress); });
                });
        }
        post([this, outcome = std::move(outcome)] { emit imageWriteFinished(outcome); });
    });
}

void RouterTask::stop() {
    m_stopRequested = true;
    m_session->stopAfterCurrent();
}
