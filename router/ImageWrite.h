#pragma once

// Writing a firmware image into the router's image area (mtd4) after a read, the workflow flintor-calc and
// the window share: the record of the router's values, a copy of its image area if asked, mtd4 set where
// the layout puts it and read back, the image, its read-back, the other partitions of the repair, and a
// restart if asked. It stops at the first failure; nothing is written after it. The image never goes
// anywhere but the calculated image area: the router writes a STOR wherever its own mtd4 points, so mtd4
// must read back as calculated before the first byte is sent, and the boot block and configuration block
// must be where the layout puts them.

#include "RouterComparison.h"
#include "RouterSession.h"
#include "Workflow.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace flintor {

/// The steps of a write to the router, in order.
enum class ImageWriteStep {
    Checks,     ///< what is checked before anything is written: the layout, the image, the link
    Record,     ///< the record of the router's values goes to the disk
    Backup,     ///< the router sends its image area
    BackupFile, ///< that copy goes to the disk
    ImageArea,  ///< mtd4 is set where the layout puts it, and read back
    Image,      ///< the image goes to the router, which writes its flash
    ReadBack,   ///< the image area is read back and compared with the image
    Values,     ///< the other partitions of the repair are set and read back
    Reboot,     ///< the router is told to restart
    Done,       ///< every step asked for succeeded
};

/// How the image read back.
enum class ImageReadBack {
    NotRead,     ///< not tried, or the read failed
    Same,        ///< the image's bytes came back unchanged
    Differs,     ///< they did not
    Unavailable, ///< the boot loader cannot send its image area (RETR refused): not a failure
};

/// "same", "differs", "unavailable"; "not read".
const char* ReadBackName(ImageReadBack readBack);

/// Where the record of the router's values goes.
struct RecordTarget {
    std::optional<std::string> path = {}; ///< this new file; otherwise a new RecordFileName(when) in folder
    std::string folder = {};              ///< empty: the current folder
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now();
};

/// What to write after a read of the session.
struct ImageWritePlan {
    /// The image; none to write no image (only the record, the copy and the repair).
    std::optional<std::span<const std::uint8_t>> image = {};
    std::string imageName = {};              ///< the image's file name, for STOR (see ImageNameForStor)
    std::optional<RecordTarget> record = {}; ///< none: no record (allowed only when nothing is written)
    /// Where the copy of the router's image area goes; none for no copy.
    std::optional<std::string> backupPath = {};
    bool backupBesideRecord = false; ///< the copy goes to BackupPathBeside(the record's path) instead
    bool writeValues = true;         ///< write the repair's partitions (always with an image)
    bool reboot = false;             ///< REBOOT at the end, when everything before succeeded (with an image)
};

/// How a write to the router went.
struct ImageWriteResult {
    ImageWriteStep stoppedAt = ImageWriteStep::Done; ///< the step that failed or was refused
    FailureKind failure = FailureKind::None;         ///< the conversation's end that stopped it, if any
    bool stoppedOnRequest = false;                   ///< stopAfterCurrent() ended it between steps
    std::string message;                             ///< why it stopped; empty when every step succeeded
    PartitionBounds imageArea;                       ///< the calculated mtd4, where the image goes
    std::string recordPath;                          ///< the record written; empty when none
    std::string backupPath;                          ///< the copy written; empty when none
    std::vector<PartitionWrite> writes;      ///< every SETENV sent, in order: mtd4 first, then the others
    std::optional<ImageTransferResult> sent; ///< the STOR, when it was sent
    std::string storCommand;                 ///< "STOR fw.bin mtd4"
    ImageReadBack readBack = ImageReadBack::NotRead;
    std::string readBackNote; ///< why it is unavailable, or where the bytes differ
    bool rebooted = false;    ///< REBOOT was accepted
    std::string rebootReply;  ///< its reply

    bool ok() const { return stoppedAt == ImageWriteStep::Done; }
    /// Nothing at all was written to the router.
    bool nothingWritten() const { return writes.empty() && !(sent && sent->imageAreaTouched); }
    /// The router took part of an image, or an image that reads back wrong: it will not start its firmware
    /// until a write succeeds.
    bool imageAreaUnfinished() const;
};

/// The calculated image area (mtd4) of a comparison's matched block; none without one.
std::optional<PartitionBounds> CalculatedImageArea(const RouterComparison& comparison);

/// Why an image write cannot be offered for the calculation details (of the image as last calculated) and
/// comparison (made of ImageWriteLayout of the calculation, with the router's values): the comparison
/// refuses a write, no image area was calculated, CalculatedImageProblem finds a problem, or the image is
/// longer than the image area; empty when it can.
std::string ImageWriteRefusal(const CalculationDetails& details, const RouterComparison& comparison);

/// Receives each step's progress on the thread that talks to the router: the step, and what the link
/// reports within it (the record and the copy on disk report a text alone).
using ImageWriteProgressSink = std::function<void(ImageWriteStep, const RouterProgress&)>;

/// Writes the plan after a successful read() of session, with comparison made of that read and
/// ImageWriteLayout of the calculation (std::logic_error without a read). Refuses (stoppedAt Checks) when the
/// comparison refuses a write (mtd2 or mtd3 is not where the layout puts them), when the matched block has
/// no image area or puts mtd1 elsewhere than the image's kernel, when the image does not fit the image
/// area, or when the link is not the FTP server. stopAfterCurrent() on the session is followed between
/// steps; a cancel() before the first byte of the image ends the step in hand.
ImageWriteResult WriteImage(RouterSession& session, const RouterComparison& comparison,
                            const ImageWritePlan& plan, const ImageWriteProgressSink& progress = {});

} // namespace flintor
