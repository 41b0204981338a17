#include "CompareCommand.h"

#include "AsciiText.h"
#include "Texts.h"
#include "Workflow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

namespace flintor::cli {

namespace {

// Standard input up to one byte more than a capture may hold, so that a longer one is refused as such.
RouterCaptureReading ReadStandardInput(std::istream& in) {
    std::string text;
    std::vector<char> buffer(65536);
    while (text.size() <= kLargestRouterCapture && in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        RouterCaptureReading failed;
        failed.error = std::string(texts::kCaptureReadFailedPrefix) + std::strerror(EIO);
        return failed;
    }
    return ReadRouterEnvironment(text);
}

std::string HexDigits(std::int64_t size) {
    return HexAddress(static_cast<std::uint32_t>(size)).substr(2);
}

// The router's side of a partition: its range, its unreadable text as read, or a dash for none.
std::string RouterSide(const PartitionComparison& partition) {
    if (partition.routerText) {
        return QuotedShort(*partition.routerText, 40);
    }
    return partition.router ? RangeText(*partition.router) : "-";
}

std::string RangeOrDash(const std::optional<PartitionBounds>& bounds) {
    return bounds ? RangeText(*bounds) : "-";
}

// Lines after the commands of a repair or restore: why some are left out, or what cannot be typed back.
std::string ExplanationLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        if (!line.empty()) {
            text += line + '\n';
        }
    }
    return text;
}

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

} // namespace

RouterCaptureReading ReadCompareCapture(const std::string& name, std::istream& in) {
    return name == "-" ? ReadStandardInput(in) : ReadRouterEnvironmentFile(name);
}

std::optional<RouterCapture> PrepareComparison(CliOptions& options, const RouterCaptureReading& reading,
                                               std::ostream& err, int& exitStatus) {
    if (!reading.environment) {
        err << kPrefix << reading.error << '\n';
        exitStatus = kExitRejected;
        return std::nullopt;
    }
    RouterCapture capture{*reading.environment, {}};
    for (const auto& note : capture.environment.notes) {
        err << kNote << note << '\n';
    }

    std::optional<bool> chosenAdam2;
    if (options.adam2 || options.psp) {
        chosenAdam2 = options.adam2;
    }
    capture.settings = InferRouterSettings(capture.environment, chosenAdam2);
    const RouterSettings& settings = capture.settings;
    if (!settings.adam2) {
        err << kPrefix << settings.bootloaderReason << " Give --bootloader adam2 or --bootloader psp.\n";
        exitStatus = kExitRejected;
        return std::nullopt;
    }
    err << kNote << "boot loader: " << settings.bootloaderReason << '\n';
    // An mtd5 size is a PSP partition; the command line could not check that before the capture was read.
    if (options.mtd5Choice != 0 && *settings.adam2) {
        err << kPrefix << "--mtd5 needs --bootloader psp, and the router capture shows Adam2\n"
            << UsageText();
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    options.adam2 = *settings.adam2;
    options.psp = !options.adam2;

    const bool flashGiven = options.memoryOption && *options.memoryOption != 4;
    if (flashGiven) {
        err << kNote << "flash size: as given by --flash.\n";
        const FlashSizeReading given =
            ReadFlashSize(options.memoryOption, options.sizeInMb, options.sizeInHex);
        if (settings.flashSize && given.error.empty() && given.flashSize != *settings.flashSize) {
            err << kNote << "the capture gives another flash size: " << settings.flashSizeReason
                << " The --flash choice is kept.\n";
        }
    } else if (settings.flashSize) {
        options.memoryOption = 3;
        options.sizeInHex = HexDigits(*settings.flashSize);
        err << kNote << "flash size: " << settings.flashSizeReason << '\n';
    } else if (options.memoryOption) {
        err << kNote << settings.flashSizeReason
            << " It is assumed from the image, as --flash unknown asks.\n";
    } else {
        err << kPrefix << settings.flashSizeReason << " Give --flash.\n";
        exitStatus = kExitRejected;
        return std::nullopt;
    }
    for (const auto& note : settings.notes) {
        err << kNote << note << '\n';
    }
    return capture;
}

RouterComparison CompareCalculation(const CalculationDetails& details, const RouterCapture& capture,
                                    const CliOptions& options, std::ostream& err) {
    RouterComparison comparison = CompareWithRouter(details.layout, capture.environment, options.outputForm);
    WriteComparisonNotes(comparison, err);
    return comparison;
}

void WriteComparisonNotes(const RouterComparison& comparison, std::ostream& err) {
    if (comparison.blocks.size() > 1) {
        err << kNote << "compared with the layout \"" << comparison.blocks[comparison.matched].layout
            << "\", which has the most values in common with the router's.\n";
    }
    for (const auto& note : comparison.notes) {
        err << kNote << note << '\n';
    }
    if (comparison.allSame()) {
        err << kNote << "the router's values match the calculated ones: nothing to repair.\n";
    }
}

std::string ComparisonTable(const RouterComparison& comparison) {
    std::ostringstream text;
    const std::size_t name = std::strlen("partition") + 2;
    const std::size_t range = std::strlen("0x90000000, 0x90000000") + 2;
    text << Padded("partition", name) << Padded("router", range) << Padded("calculated", range) << "status\n";
    if (!comparison.blocks.empty()) {
        for (const auto& partition : comparison.blocks[comparison.matched].partitions) {
            text << Padded("mtd" + std::to_string(partition.number), name)
                 << Padded(RouterSide(partition), range) << Padded(RangeOrDash(partition.calculated), range)
                 << StatusName(partition.status) << '\n';
        }
    }
    return text.str();
}

std::string CommandLines(const std::string& commands) {
    return commands.empty() ? commands : WithUnixLineEnds(commands) + '\n';
}

std::string RestoreLines(const RouterComparison& comparison) {
    return CommandLines(comparison.restoreText) + ExplanationLines(comparison.restoreUnreadable);
}

std::string ComparisonText(const RouterComparison& comparison) {
    return ComparisonTable(comparison) + "\nRepair:\n" + CommandLines(comparison.repairText) +
           ExplanationLines({comparison.repairNote}) + "\nRestore:\n" + RestoreLines(comparison);
}

void AddComparisonJson(Json& document, const RouterCapture& capture, const RouterComparison& comparison) {
    const RouterEnvironment& environment = capture.environment;
    const RouterSettings& settings = capture.settings;
    Json partitions = Json::array();
    for (const PartitionBounds& p : environment.partitions) {
        partitions.push_back(PartitionJson(p));
    }
    Json unreadable = Json::array();
    for (const UnreadableValue& value : environment.unreadable) {
        unreadable.push_back(
            Json{{"name", "mtd" + std::to_string(value.number)}, {"value", Escaped(value.text)}});
    }
    std::vector<std::string> notes = environment.notes;
    notes.insert(notes.end(), settings.notes.begin(), settings.notes.end());
    document["router"] =
        Json{{"bootloader", settings.adam2 ? Json(*settings.adam2 ? "adam2" : "psp") : Json()},
             {"bootloader_reason", settings.bootloaderReason},
             {"flash_size", OrNull(settings.flashSize)},
             {"flash_size_reason", settings.flashSizeReason},
             {"partitions", partitions},
             {"unreadable", unreadable},
             {"notes", notes}};

    Json blocks = Json::array();
    for (const BlockComparison& block : comparison.blocks) {
        Json compared = Json::array();
        for (const PartitionComparison& partition : block.partitions) {
            // An unreadable value is shown as read, escaped, where a range would stand.
            compared.push_back(Json{{"name", "mtd" + std::to_string(partition.number)},
                                    {"router", partition.routerText ? Json(Escaped(*partition.routerText))
                                                                    : BoundsJson(partition.router)},
                                    {"calculated", BoundsJson(partition.calculated)},
                                    {"status", StatusName(partition.status)}});
        }
        blocks.push_back(
            Json{{"layout", block.layout.empty() ? Json() : Json(block.layout)}, {"partitions", compared}});
    }
    document["comparison"] = blocks;
    document["matched_layout"] = comparison.matched;
    document["repair"] = CommandLines(comparison.repairText);
    document["restore"] = CommandLines(comparison.restoreText);
    document["repair_note"] = comparison.repairNote.empty() ? Json() : Json(comparison.repairNote);
    document["restore_unreadable"] = comparison.restoreUnreadable;
}

} // namespace flintor::cli
