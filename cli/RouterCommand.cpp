#include "RouterCommand.h"

#include "AsciiText.h"
#include "Calculation.h"
#include "CompareCommand.h"
#include "ProgressLines.h"
#include "RouterSession.h"

#include <chrono>
#include <memory>
#include <sstream>

namespace flintor::cli {

std::unique_ptr<RouterSession> OpenSession(const CliOptions& options, std::ostream& err, int& status) {
    if (options.serial) {
        if (const SerialDevicePath device = SerialDevicePathOf(*options.serial); !device.error.empty()) {
            err << kPrefix << "--serial: " << device.error << '\n';
            status = kExitRejected;
            return nullptr;
        }
        SerialOptions serial;
        serial.baudRate = options.baudRate;
        serial.wait = std::chrono::seconds(options.waitSeconds);
        return std::make_unique<RouterSession>(MakeConsoleLink(*options.serial, serial));
    }
    const RouterAddressParsing address = ParseRouterAddress(*options.router);
    if (!address.address) {
        err << kPrefix << "--router: " << address.error << '\n' << UsageText();
        status = kExitUsage;
        return nullptr;
    }
    RouterSessionOptions sessionOptions;
    sessionOptions.user = options.user;
    sessionOptions.password = options.password;
    sessionOptions.connection.wait = std::chrono::seconds(options.waitSeconds);
    return std::make_unique<RouterSession>(*address.address, sessionOptions);
}

std::string ReadBackText(const PartitionWrite& write) {
    if (write.readBack) {
        return RangeText(*write.readBack) + (write.ok ? " (as calculated)" : " (not as calculated)");
    }
    return write.readBackValue ? QuotedShort(*write.readBackValue) + ", no address range"
                               : "could not be read";
}

std::string WriteLines(const PartitionWrite& write) {
    const std::string indent(write.name.size(), ' ');
    return write.name + "  sent:      " + write.sent + '\n' + indent +
           "  reply:     " + (write.reply.empty() ? "sent, no reply" : write.reply) + '\n' + indent +
           "  read back: " + ReadBackText(write) + '\n';
}

// What was sent for each partition, the reply and what the router holds now, then the way back.
std::string AppliedText(const RouterComparison& comparison, const ApplyResult& applied,
                        const std::string& recordPath) {
    std::ostringstream text;
    text << ComparisonTable(comparison) << "\nWritten:\n";
    for (const PartitionWrite& write : applied.writes) {
        text << WriteLines(write);
    }
    text << "\nRestore:\n" << RestoreLines(comparison) << "\nRecord: " << recordPath << '\n';
    return text.str();
}

Json SessionJson(RouterSession& session, const RouterReading& reading) {
    if (const SerialConnection* console = session.link().console()) {
        // The banner's lines alone: the prompt that ends them has its own key.
        std::string banner = console->banner();
        if (banner.ends_with(console->prompt())) {
            banner.resize(banner.size() - console->prompt().size());
        }
        while (!banner.empty() && banner.back() == '\n') {
            banner.pop_back();
        }
        return Json{{"device", console->device()},
                    {"baud", console->baudRate()},
                    {"banner", banner},
                    {"prompt", console->prompt()}};
    }
    return Json{{"host", session.address().host},
                {"port", session.address().port},
                {"banner", reading.banner},
                {"user", session.user()}};
}

Json RefusedJson(const std::optional<WriteRefusal>& refusal) {
    if (!refusal) {
        return nullptr;
    }
    return Json{
        {"partition", "mtd" + std::to_string(refusal->number)},
        {"router", refusal->routerText ? Json(Escaped(*refusal->routerText)) : BoundsJson(refusal->router)},
        {"calculated", BoundsJson(refusal->calculated)},
        {"reason", refusal->message}};
}

Json AppliedJson(const ApplyResult& applied) {
    Json writes = Json::array();
    for (const PartitionWrite& write : applied.writes) {
        writes.push_back(Json{{"name", write.name},
                              {"sent", write.sent},
                              {"reply", write.reply},
                              {"read_back", BoundsJson(write.readBack)},
                              {"ok", write.ok}});
    }
    return writes;
}

int RunRouterCommand(CliOptions options, std::ostream& out, std::ostream& err) {
    int status = kExitRejected;
    const std::unique_ptr<RouterSession> opened = OpenSession(options, err, status);
    if (!opened) {
        return status;
    }
    RouterSession& session = *opened;
    // What can be refused without the router is refused before the owner switches it on.
    if (options.record) {
        if (const std::string problem = RecordPathProblem(*options.record); !problem.empty()) {
            err << kPrefix << problem << '\n';
            return kExitRejected;
        }
    }
    if (!ImageAccepted(options, err)) {
        return kExitRejected;
    }

    ProgressLines lines(err, IsTerminal(err));
    const RouterReadResult read = session.read(lines.sink());
    if (!read.reading) {
        err << kPrefix << read.message << '\n';
        return kExitRouterUnreadable;
    }
    const RouterReading& reading = *read.reading;

    std::optional<RouterCapture> capture =
        PrepareComparison(options, ReadRouterEnvironment(CaptureText(reading), false), err, status);
    if (!capture) {
        return status;
    }
    const CalculationRun run = Calculate(options, err);
    if (!run.details) {
        return kExitRejected;
    }
    const RouterComparison comparison = CompareCalculation(*run.details, *capture, options, err);
    const std::vector<PartitionBounds> repair = RepairPartitions(comparison);
    // Where the boot block or configuration block is not where the layout puts it, the layout is wrong for
    // this router: no partition of it is written.
    const bool refused = options.apply && comparison.refusal;

    // The record comes before the first write: the way back to what the router held.
    std::optional<std::string> recordPath;
    if (options.record || (options.apply && !refused && !repair.empty())) {
        const auto now = std::chrono::system_clock::now();
        const std::string text = RecordText(reading, session.where(), now);
        const RecordWriting record =
            options.record ? WriteRecordFile(*options.record, text) : WriteNewRecordFile({}, text, now);
        if (!record.error.empty()) {
            err << kPrefix << record.error << " Nothing was written to the router.\n";
            return kExitRejected;
        }
        recordPath = record.path;
        err << kNote << "the router's values as read are saved in " << record.path << '\n';
    }

    std::optional<ApplyResult> applied;
    if (refused) {
        err << kPrefix << comparison.refusal->message << '\n';
    } else if (options.apply && !repair.empty()) {
        applied = session.apply(repair, nullptr, lines.sink());
        if (applied->ok) {
            err << kNote << "every repaired partition reads back as calculated.\n";
        } else {
            err << kPrefix << applied->message << '\n';
        }
    }

    if (options.json) {
        Json document = CalculationJson(options, run);
        AddComparisonJson(document, *capture, comparison);
        document["session"] = SessionJson(session, reading);
        document["record"] = OrNull(recordPath);
        document["refused"] = RefusedJson(comparison.refusal);
        document["applied"] = applied ? AppliedJson(*applied) : Json::array();
        out << JsonText(document);
    } else {
        out << (applied ? AppliedText(comparison, *applied, *recordPath) : ComparisonText(comparison));
    }
    out.flush();
    if (refused) {
        return kExitLayoutForbids;
    }
    if (applied) {
        return applied->ok ? kExitSuccess : kExitWriteFailed;
    }
    return comparison.allSame() || (options.apply && repair.empty()) ? kExitSuccess : kExitDiffers;
}

} // namespace flintor::cli
