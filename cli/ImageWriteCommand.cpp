#include "ImageWriteCommand.h"

#include "AsciiText.h"
#include "Calculation.h"
#include "CompareCommand.h"
#include "FirmwareImage.h"
#include "ImageChecks.h"
#include "ImageWrite.h"
#include "Interruption.h"
#include "ProgressLines.h"
#include "RouterCommand.h"

#include <sstream>

namespace flintor::cli {

namespace {

// The way back after an image write that failed part way.
std::string UnfinishedText(const PartitionBounds& area, const CliOptions& options) {
    return "The image area (" + PartitionLine(area) +
           ") is unfinished: the router will not start its firmware until an image is written whole. Its "
           "boot loader is untouched (mtd2 and mtd3 are never written) and still answers for a few seconds "
           "after power-on. To start again, switch the router off, run the same command again" +
           (options.record || options.backup
                ? std::string(" with new names for --record and --backup (keep the files of this run)")
                : std::string()) +
           ", and switch the router on.";
}

int ExitStatusOf(const ImageWriteResult& result, const RouterComparison& comparison,
                 const CliOptions& options) {
    switch (result.stoppedAt) {
    case ImageWriteStep::Checks:
        return comparison.refusal                    ? kExitLayoutForbids
               : result.failure == FailureKind::None ? kExitRejected
                                                     : kExitRouterUnreadable;
    case ImageWriteStep::Record:
    case ImageWriteStep::BackupFile:
        return kExitRejected;
    case ImageWriteStep::Backup:
        return kExitRouterUnreadable;
    case ImageWriteStep::ImageArea:
    case ImageWriteStep::Image:
    case ImageWriteStep::ReadBack:
    case ImageWriteStep::Values:
    case ImageWriteStep::Reboot:
        return kExitWriteFailed;
    case ImageWriteStep::Done:
        break;
    }
    return options.apply || comparison.allSame() ? kExitSuccess : kExitDiffers;
}

// What was sent for the image, the reply and how it read back.
std::string ImageLines(const ImageWriteResult& result, const FirmwareImage& image) {
    std::ostringstream text;
    const std::string reply = result.sent->event.reply;
    text << "image  sent:      " << result.storCommand << ", " << result.sent->bytes << " of "
         << image.bytes.size() << " bytes to " << HexAddress(result.imageArea.start) << " (cksum "
         << HexWord(image.cksum) << ")\n"
         << "       reply:     " << (reply.empty() ? "sent, no reply" : reply) << '\n'
         << "       read back: " << ReadBackName(result.readBack)
         << (result.readBackNote.empty() ? "" : " (" + result.readBackNote + ")") << '\n';
    return text.str();
}

std::string WrittenText(const RouterComparison& comparison, const ImageWriteResult& result,
                        const std::optional<FirmwareImage>& image) {
    const bool written = !result.writes.empty() || result.sent;
    std::ostringstream text;
    if (!written) {
        text << ComparisonText(comparison);
    } else {
        text << ComparisonTable(comparison) << "\nWritten:\n";
        // mtd4 is set before the image, the other partitions after it.
        for (std::size_t i = 0; i <= result.writes.size(); ++i) {
            const bool imageAfter = i == result.writes.size() || result.writes[i].name != "mtd4";
            if (result.sent && image && imageAfter && (i == 0 || result.writes[i - 1].name == "mtd4")) {
                text << ImageLines(result, *image);
            }
            if (i == result.writes.size()) {
                break;
            }
            text << WriteLines(result.writes[i]);
        }
        if (result.rebooted) {
            text << "REBOOT reply: " << result.rebootReply << '\n';
        }
        text << "\nRestore:\n" << RestoreLines(comparison);
    }
    if (!result.recordPath.empty()) {
        text << (written ? "\n" : "") << "Record: " << result.recordPath << '\n';
    }
    if (!result.backupPath.empty()) {
        text << "Backup: " << result.backupPath << '\n';
    }
    return text.str();
}

Json ImageWriteJson(const ImageWriteResult& result, const std::optional<FirmwareImage>& image) {
    if (!result.sent || !image) {
        return nullptr;
    }
    return Json{{"partition", kImagePartition},
                {"start", result.imageArea.start},
                {"end", result.imageArea.end},
                {"bytes", result.sent->bytes},
                {"cksum", image->cksum},
                {"reply", result.sent->event.reply},
                {"read_back",
                 result.readBack == ImageReadBack::NotRead ? Json() : Json(ReadBackName(result.readBack))},
                {"backup", result.backupPath.empty() ? Json() : Json(result.backupPath)}};
}

} // namespace

int RunImageWriteCommand(CliOptions options, std::ostream& out, std::ostream& err) {
    int status = kExitRejected;
    const std::unique_ptr<RouterSession> opened = OpenSession(options, err, status);
    if (!opened) {
        return status;
    }
    RouterSession& session = *opened;
    // What can be refused without the router is refused before the owner switches it on.
    for (const auto& [path, problem] :
         {std::pair{options.record, &RecordPathProblem}, std::pair{options.backup, &BackupPathProblem}}) {
        if (path) {
            if (const std::string text = problem(*path); !text.empty()) {
                err << kPrefix << text << '\n';
                return kExitRejected;
            }
        }
    }
    if (!ImageAccepted(options, err)) {
        return kExitRejected;
    }
    // The bytes checked are the bytes sent: the image is read once, here.
    std::optional<FirmwareImage> image;
    if (options.writeImage) {
        FirmwareImageLoading loading = LoadFirmwareImage(*options.image);
        const std::string problem = loading.image ? ImageWriteProblem(*loading.image)
                                                  : loading.error + " Nothing is written to the router.";
        if (!problem.empty()) {
            err << kPrefix << problem << '\n';
            return kExitRejected;
        }
        image = std::move(loading.image);
    }

    ProgressLines lines(err, IsTerminal(err));
    const RouterReadResult read = session.read(lines.sink());
    lines.finish();
    if (!read.reading) {
        err << kPrefix << read.message << '\n';
        return kExitRouterUnreadable;
    }
    std::optional<RouterCapture> capture =
        PrepareComparison(options, ReadRouterEnvironment(CaptureText(*read.reading), false), err, status);
    if (!capture) {
        return status;
    }
    const CalculationRun run = Calculate(options, err);
    if (!run.details) {
        return kExitRejected;
    }
    // A combined image puts its kernel kKernelHeader bytes into mtd4: only a layout with mtd1 there fits it.
    const RouterComparison comparison =
        CompareWithRouter(image ? ImageWriteLayout(run.details->layout) : run.details->layout,
                          capture->environment, options.outputForm);
    WriteComparisonNotes(comparison, err);
    const auto area = CalculatedImageArea(comparison);
    if (image && area) {
        if (const std::string problem = ImageWriteProblem(*image, *run.details, *area); !problem.empty()) {
            err << kPrefix << problem << '\n';
            return kExitRejected;
        }
    }

    ImageWritePlan plan;
    if (image) {
        plan.image = std::span<const std::uint8_t>(image->bytes);
        plan.imageName = image->fileName;
    }
    const bool writes = image || (options.apply && !RepairPartitions(comparison).empty());
    if (options.record || writes) {
        plan.record = RecordTarget{options.record, {}, std::chrono::system_clock::now()};
    }
    plan.backupPath = options.backup;
    plan.writeValues = options.apply;
    plan.reboot = options.reboot;
    ImageWriteResult result;
    {
        // Ctrl+C goes to the conversation, which refuses it from the first byte of the image on.
        const InterruptionCatcher interruptions([&session] { session.cancel(); });
        result = WriteImage(session, comparison, plan,
                            [&lines](ImageWriteStep, const RouterProgress& p) { lines.show(p); });
    }
    lines.finish();
    if (!result.ok()) {
        err << kPrefix << result.message << '\n';
    }
    if (result.imageAreaUnfinished()) {
        err << kPrefix << UnfinishedText(result.imageArea, options) << '\n';
    } else if (result.ok() && image) {
        err << kNote << "the image is written"
            << (result.readBack == ImageReadBack::Same ? " and reads back as sent" : "")
            << (result.writes.empty() ? "" : "; every partition set reads back as calculated")
            << (result.rebooted ? "; the router restarts." : ". Switch the router off and on to start it.")
            << '\n';
    }

    if (options.json) {
        Json document = CalculationJson(options, run);
        AddComparisonJson(document, *capture, comparison);
        document["session"] = SessionJson(session, *read.reading);
        document["record"] = result.recordPath.empty() ? Json() : Json(result.recordPath);
        document["refused"] = RefusedJson(comparison.refusal);
        ApplyResult applied;
        applied.writes = result.writes;
        document["applied"] = AppliedJson(applied);
        document["backup"] = result.backupPath.empty() ? Json() : Json(result.backupPath);
        document["image_write"] = ImageWriteJson(result, image);
        document["rebooted"] = result.rebooted;
        out << JsonText(document);
    } else {
        out << WrittenText(comparison, result, image);
    }
    out.flush();
    return ExitStatusOf(result, comparison, options);
}

} // namespace flintor::cli
