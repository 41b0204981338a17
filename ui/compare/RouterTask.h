#pragma once

#include "FirmwareImage.h"
#include "ImageWrite.h"
#include "RouterSession.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

/// What a repair of the router came to, step by step: the read just before it, the record and the writes.
struct RouterWriteOutcome {
    flintor::RouterReadResult read;    ///< the router read again before anything is written
    bool changedSinceRead = false;     ///< it no longer held the values the owner saw: nothing was written
    bool stoppedBeforeWriting = false; ///< stopped on request after that read: nothing was written
    flintor::RecordWriting record;     ///< the record of that read (its path, or why it failed)
    std::optional<flintor::ApplyResult> applied; ///< the writes; none when none were begun
};

/// What an image write came to: the read just before it, and the write's steps.
struct ImageWriteTaskOutcome {
    flintor::RouterReadResult read;    ///< the router read again before anything is written
    bool changedSinceRead = false;     ///< it no longer held the values the owner saw: nothing was written
    bool stoppedBeforeWriting = false; ///< stopped on request after that read: nothing was written
    std::optional<flintor::ImageWriteResult> result; ///< the write; none when it was not begun
};

/// One conversation with the router's boot loader on a thread of its own, so that the window never waits
/// for the router: a read, or a repair. What it comes to arrives through signals on the thread that made
/// the task. The task's thread never outlives it: destroying the task stops the conversation (a wait or
/// a read at once, the writes after the partition in hand) and waits for the thread to end.
class RouterTask : public QObject {
    Q_OBJECT

public:
    RouterTask(flintor::RouterAddress address, flintor::RouterSessionOptions options,
               QObject* parent = nullptr);
    /// A task with a session over any link (the FTP server, the console).
    explicit RouterTask(std::unique_ptr<flintor::RouterSession> session, QObject* parent = nullptr);
    ~RouterTask() override;

    /// Reads the router's variables; readFinished() follows. One read or write per task.
    void read();
    /// Reads the router again and, only when it still holds the values of `expected`, writes that reading
    /// as a new record file in `recordFolder` (named for `when`), then writes and reads back the repair;
    /// writeFinished() follows. One read or write per task.
    void write(flintor::RouterReading expected, std::vector<flintor::PartitionBounds> repair,
               QString recordFolder, std::chrono::system_clock::time_point when);
    /// Reads the router again and, only when it still holds the values of `expected`, writes `image` as
    /// WriteImage does, with `comparison` (made of that reading) and the record as a new file in
    /// `recordFolder` (named for `when`), a copy of the image area beside it when `backup`, and a restart at
    /// the end when `reboot`; imageWriteFinished() follows. One read or write per task.
    void writeImage(flintor::RouterReading expected, flintor::RouterComparison comparison,
                    std::shared_ptr<const flintor::FirmwareImage> image, bool backup, bool reboot,
                    QString recordFolder, std::chrono::system_clock::time_point when);
    /// Ends a wait or a read at once; once writing, the partition in hand is written and read back and
    /// no other is begun. Callable at any time.
    void stop();
    /// The writes to the router have begun.
    bool writing() const { return m_writing; }
    /// The router's address; an empty one over the console.
    const flintor::RouterAddress& address() const { return m_session->address(); }

signals:
    /// Where the conversation stands.
    void progressed(const flintor::RouterProgress& progress);
    /// The record was written and the first write is about to go to the router; for an image write, the
    /// read before it showed the router as it was, and the write's steps begin.
    void writingStarted();
    /// The read has ended, with a reading or with why there is none.
    void readFinished(const flintor::RouterReadResult& result);
    /// The repair has ended.
    void writeFinished(const RouterWriteOutcome& outcome);
    /// Where an image write stands.
    void imageWriteProgressed(flintor::ImageWriteStep step, const flintor::RouterProgress& progress);
    /// The image write has ended.
    void imageWriteFinished(const ImageWriteTaskOutcome& outcome);

private:
    void run(std::function<void()> work);
    // Calls `deliver` on the task's own thread, after the events already waiting there.
    void post(std::function<void()> deliver);
    flintor::RouterProgressSink progressSink();
    // Reads the router again just before a write (on the task's thread): true when it still holds the
    // values of expected and no stop came; otherwise the flags say why not.
    bool readAgain(const flintor::RouterReading& expected, flintor::RouterReadResult& read,
                   bool& changedSinceRead, bool& stoppedBeforeWriting);

    std::unique_ptr<flintor::RouterSession> m_session;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_writing{false};
};
