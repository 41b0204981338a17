#include "ImageWrite.h"

#include "AsciiText.h"
#include "FirmwareImage.h"
#include "ImageChecks.h"
#include "RouterEnvironment.h"

#include <algorithm>
#include <stdexcept>

namespace flintor {

namespace {

using Stage = RouterProgress::Stage;

// No flash of these routers holds more: a router's mtd4 that spans more is not copied.
constexpr std::uint64_t kLargestImageArea = 256u * 1024 * 1024;
constexpr const char* kNothingWritten = " Nothing was written to the router.";

bool Overlap(const PartitionBounds& a, const PartitionBounds& b) {
    return a.start < b.end && b.start < a.end;
}

std::optional<PartitionBounds> Calculated(const BlockComparison& block, int number) {
    for (const PartitionComparison& partition : block.partitions) {
        if (partition.number == number) {
            return partition.calculated;
        }
    }
    return std::nullopt;
}

// The router's mtd4 as read; none when it holds none or no address range.
std::optional<PartitionBounds> RouterImageArea(const RouterReading& reading) {
    for (const RouterValue& value : reading.values) {
        if (value.name == "mtd4" && value.value) {
            return ParsePartitionValue(4, *value.value);
        }
    }
    return std::nullopt;
}

// A refusal of a transfer step, as the owner reads it.
std::string RefusalText(const std::string& peer, const ConversationEvent& event, const std::string& what) {
    if (event.kind == ConversationEventKind::Failure) {
        return event.message;
    }
    return Capitalised(peer) + " refused " + what + " with \"" + event.reply + "\".";
}

} // namespace

const char* ReadBackName(ImageReadBack readBack) {
    switch (readBack) {
    case ImageReadBack::Same:
        return "same";
    case ImageReadBack::Differs:
        return "differs";
    case ImageReadBack::Unavailable:
        return "unavailable";
    case ImageReadBack::NotRead:
        break;
    }
    return "not read";
}

std::optional<PartitionBounds> CalculatedImageArea(const RouterComparison& comparison) {
    if (comparison.matched >= comparison.blocks.size()) {
        return std::nullopt;
    }
    return Calculated(comparison.blocks[comparison.matched], 4);
}

std::string ImageWriteRefusal(const CalculationDetails& details, const RouterComparison& comparison) {
    if (comparison.refusal) {
        return comparison.refusal->message;
    }
    const auto area = CalculatedImageArea(comparison);
    if (!area || area->size() == 0) {
        return "No image area (mtd4) was calculated.";
    }
    if (std::string problem = CalculatedImageProblem(details); !problem.empty()) {
        return problem;
    }
    if (details.imageLength <= 0 || static_cast<std::uint64_t>(details.imageLength) > area->size()) {
        return "The image does not fit the image area " + PartitionLine(*area) + ".";
    }
    return {};
}

bool ImageWriteResult::imageAreaUnfinished() const {
    return sent && sent->imageAreaTouched && (!sent->ok() || readBack == ImageReadBack::Differs);
}

ImageWriteResult WriteImage(RouterSession& session, const RouterComparison& comparison,
                            const ImageWritePlan& plan, const ImageWriteProgressSink& progress) {
    const std::optional<RouterReading>& reading = session.lastReading();
    if (!reading) {
        throw std::logic_error("an image write follows a successful read of the same session");
    }
    ImageWriteResult result;
    const std::string peer = session.link().peer();
    const auto fail = [&result](ImageWriteStep step, std::string message,
                                FailureKind failure = FailureKind::None) {
        result.stoppedAt = step;
        result.message = std::move(message);
        result.failure = failure;
        return result;
    };
    // Between two steps, a request to stop is followed: nothing is left half done there.
    const auto stopBefore = [&session, &result](ImageWriteStep step, const std::string& what) {
        if (!session.stopRequested()) {
            return false;
        }
        result.stoppedAt = step;
        result.stoppedOnRequest = true;
        result.message = "Stopped on request before " + what + ".";
        return true;
    };
    const auto within = [&progress](ImageWriteStep step, std::string_view rename = {}) -> RouterProgressSink {
        if (!progress) {
            return {};
        }
        return [&progress, step, rename](const RouterProgress& event) {
            // The link tells any read of the image area as a read-back.
            if (!rename.empty() && event.stage == Stage::ReadingImage) {
                RouterProgress renamed = event;
                renamed.text = std::string(rename) + " (" + event.text.substr(event.text.rfind('(') + 1);
                progress(step, renamed);
            } else {
                progress(step, event);
            }
        };
    };
    const auto note = [&progress](ImageWriteStep step, std::string text) {
        if (progress) {
            progress(step, RouterProgress{Stage::TransferStep, std::move(text), {}});
        }
    };

    // Checks: nothing is written unless the image can land in the calculated image area alone.
    RouterConnection* ftp = session.link().ftp();
    const bool copy = plan.backupPath || plan.backupBesideRecord;
    const std::vector<PartitionBounds> repair =
        plan.writeValues || plan.image ? RepairPartitions(comparison) : std::vector<PartitionBounds>{};
    const bool writes = plan.image || !repair.empty();
    if ((plan.image || copy) && ftp == nullptr) {
        return fail(ImageWriteStep::Checks,
                    "The image area is read and written over the boot loader's FTP server only, not " +
                        session.where() + "." + kNothingWritten);
    }
    if ((writes && !plan.record) || (plan.backupBesideRecord && !plan.record)) {
        throw std::logic_error("a write to the router is preceded by a record");
    }
    if (writes && comparison.refusal) {
        return fail(ImageWriteStep::Checks, comparison.refusal->message);
    }
    std::vector<PartitionBounds> values = repair;
    if (plan.image) {
        const BlockComparison* block =
            comparison.matched < comparison.blocks.size() ? &comparison.blocks[comparison.matched] : nullptr;
        const auto area = block ? Calculated(*block, 4) : std::nullopt;
        const auto kernel = block ? Calculated(*block, 1) : std::nullopt;
        if (!area || area->size() == 0) {
            return fail(ImageWriteStep::Checks,
                        "No image area (mtd4) was calculated." + std::string(kNothingWritten));
        }
        result.imageArea = *area;
        if (!kernel || kernel->start != area->start + kKernelHeader) {
            return fail(ImageWriteStep::Checks,
                        "The layout compared with does not begin mtd1 where the image puts its kernel (" +
                            HexAddress(area->start + static_cast<std::uint32_t>(kKernelHeader)) + ")." +
                            kNothingWritten);
        }
        if (plan.image->empty() || plan.image->size() > area->size()) {
            return fail(ImageWriteStep::Checks, "The image (" + std::to_string(plan.image->size()) +
                                                    " bytes) does not fit the image area " +
                                                    PartitionLine(*area) + "." + kNothingWritten);
        }
        for (const int fixed : {2, 3}) {
            const auto bounds = Calculated(*block, fixed);
            if (!bounds || Overlap(*bounds, *area)) {
                return fail(ImageWriteStep::Checks, "The image area " + PartitionLine(*area) +
                                                        " is not clear of mtd" + std::to_string(fixed) + "." +
                                                        kNothingWritten);
            }
        }
        std::erase_if(values, [](const PartitionBounds& bounds) { return bounds.number == 4; });
    }

    // The way back is on the disk before anything is written.
    if (plan.record) {
        const std::string text = RecordText(*reading, session.where(), plan.record->when);
        const RecordWriting record = plan.record->path
                                         ? WriteRecordFile(*plan.record->path, text)
                                         : WriteNewRecordFile(plan.record->folder, text, plan.record->when);
        if (!record.error.empty()) {
            return fail(ImageWriteStep::Record, record.error + kNothingWritten);
        }
        result.recordPath = record.path;
        note(ImageWriteStep::Record, "the router's values as read are saved in " + record.path);
    }

    if (copy) {
        if (stopBefore(ImageWriteStep::Backup, "the image area was copied")) {
            return result;
        }
        const auto routerArea = RouterImageArea(*reading);
        if (!routerArea || routerArea->size() == 0 || routerArea->size() > kLargestImageArea) {
            return fail(ImageWriteStep::Backup,
                        Capitalised(peer) + " holds no mtd4 that a copy could be made of" +
                            (routerArea ? " (" + RangeText(*routerArea) + ")" : std::string()) + "." +
                            kNothingWritten);
        }
        const std::uint64_t size = routerArea->size();
        std::string bytes;
        bytes.reserve(static_cast<std::size_t>(size));
        const ImageTransferResult read = ftp->readImage(
            size,
            [&bytes](std::span<const std::uint8_t> piece) {
                bytes.append(reinterpret_cast<const char*>(piece.data()), piece.size());
            },
            within(ImageWriteStep::Backup, "copying the router's image area"));
        if (!read.ok()) {
            return fail(ImageWriteStep::Backup,
                        RefusalText(peer, read.event, "to send its image area (RETR mtd4)") +
                            " No copy of the image area could be made." + kNothingWritten,
                        read.event.failure);
        }
        if (bytes.size() != size) {
            return fail(ImageWriteStep::Backup, Capitalised(peer) + " sent " + std::to_string(bytes.size()) +
                                                    " bytes of its image area " + RangeText(*routerArea) +
                                                    ", which holds " + std::to_string(size) +
                                                    "; no copy was kept." + kNothingWritten);
        }
        const std::string path =
            plan.backupBesideRecord ? BackupPathBeside(result.recordPath) : *plan.backupPath;
        const RecordWriting written = WriteBackupFile(path, bytes);
        if (!written.error.empty()) {
            return fail(ImageWriteStep::BackupFile, written.error + kNothingWritten);
        }
        result.backupPath = written.path;
        note(ImageWriteStep::BackupFile, "a copy of the router's image area (" + std::to_string(size) +
                                             " bytes) is saved in " + written.path);
    }

    const auto setValues = [&](ImageWriteStep step, const std::vector<PartitionBounds>& bounds,
                               const std::string& after) {
        const ApplyResult applied = session.apply(bounds, nullptr, within(step));
        result.writes.insert(result.writes.end(), applied.writes.begin(), applied.writes.end());
        if (!applied.ok) {
            fail(step, applied.message + after, applied.failure);
            result.stoppedOnRequest = applied.stoppedOnRequest;
        }
        return applied.ok;
    };

    if (plan.image) {
        // The router writes a STOR where its own mtd4 points: there, and nowhere else, is the image area.
        if (RouterImageArea(*reading) != result.imageArea) {
            if (stopBefore(ImageWriteStep::ImageArea, "mtd4 was set") ||
                !setValues(ImageWriteStep::ImageArea, {result.imageArea},
                           " No byte of the image was sent.")) {
                return result;
            }
        }
        if (stopBefore(ImageWriteStep::Image, "the image was sent")) {
            return result;
        }
        result.storCommand = "STOR " + ImageNameForStor(plan.imageName) + " " + std::string(kImagePartition);
        result.sent = ftp->writeImage(plan.imageName, *plan.image, within(ImageWriteStep::Image));
        if (!result.sent->ok()) {
            const ConversationEvent& event = result.sent->event;
            return fail(ImageWriteStep::Image,
                        result.sent->transferStarted && event.kind != ConversationEventKind::Failure
                            ? Capitalised(peer) + " ended " + result.storCommand + " with \"" + event.reply +
                                  "\": the image was not written whole."
                            : RefusalText(peer, event, result.storCommand),
                        event.failure);
        }

        if (stopBefore(ImageWriteStep::ReadBack, "the image was read back")) {
            return result;
        }
        const std::span<const std::uint8_t> image = *plan.image;
        std::uint64_t at = 0;
        std::optional<std::uint64_t> differs;
        std::uint8_t got = 0;
        const ImageTransferResult read = ftp->readImage(
            result.imageArea.size(),
            [&](std::span<const std::uint8_t> piece) {
                if (!differs && at < image.size()) {
                    const std::size_t count = std::min<std::uint64_t>(piece.size(), image.size() - at);
                    const auto mismatch = std::mismatch(piece.begin(), piece.begin() + count,
                                                        image.begin() + static_cast<std::ptrdiff_t>(at));
                    if (mismatch.first != piece.begin() + count) {
                        differs = at + static_cast<std::uint64_t>(mismatch.first - piece.begin());
                        got = *mismatch.first;
                    }
                }
                at += piece.size();
            },
            within(ImageWriteStep::ReadBack));
        if (read.ok() && (differs || at < image.size())) {
            result.readBack = ImageReadBack::Differs;
            result.readBackNote =
                differs ? "the byte at " +
                              HexAddress(result.imageArea.start + static_cast<std::uint32_t>(*differs)) +
                              " (byte " + std::to_string(*differs) + " of the image) reads back as 0x" +
                              HexWord(got).substr(8) + " instead of 0x" + HexWord(image[*differs]).substr(8)
                        : "the router sent back " + std::to_string(at) + " bytes, fewer than the image's " +
                              std::to_string(image.size());
            return fail(ImageWriteStep::ReadBack,
                        "The image reads back wrong: " + result.readBackNote + "; nothing more was written.");
        }
        if (read.ok()) {
            result.readBack = ImageReadBack::Same;
            note(ImageWriteStep::ReadBack,
                 "the image reads back as sent (" + std::to_string(image.size()) + " bytes)");
        } else if (!read.transferStarted && read.event.kind != ConversationEventKind::Failure) {
            // A boot loader that cannot send a partition back: the write stands on its 226 alone.
            result.readBack = ImageReadBack::Unavailable;
            result.readBackNote = "The image could not be read back: " + Capitalised(peer) + " answered \"" +
                                  read.event.reply +
                                  "\" when asked to send its image area. It was written and "
                                  "answered \"" +
                                  result.sent->event.reply + "\", but not compared.";
            note(ImageWriteStep::ReadBack, result.readBackNote);
        } else {
            return fail(ImageWriteStep::ReadBack,
                        RefusalText(peer, read.event, "to send its image area back (RETR mtd4)") +
                            " The image was written but could not be compared; nothing more was written.",
                        read.event.failure);
        }
    }

    if (!values.empty()) {
        if (stopBefore(ImageWriteStep::Values,
                       "mtd" + std::to_string(values.front().number) + " was written") ||
            !setValues(ImageWriteStep::Values, values, {})) {
            return result;
        }
    }

    if (plan.image && plan.reboot) {
        if (stopBefore(ImageWriteStep::Reboot, "the router was restarted")) {
            return result;
        }
        const ConversationEvent reboot = ftp->reboot();
        result.rebootReply = reboot.reply;
        if (reboot.kind != ConversationEventKind::Rebooting) {
            return fail(ImageWriteStep::Reboot,
                        RefusalText(peer, reboot, "REBOOT") +
                            " Switch the router off and on to start its firmware.",
                        reboot.failure);
        }
        result.rebooted = true;
        note(ImageWriteStep::Reboot, "sent REBOOT: " + reboot.reply);
    }
    return result;
}

} // namespace flintor
