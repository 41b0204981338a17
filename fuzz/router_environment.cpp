// The router capture reader: whatever it reads is inferred from (without a choice and with either boot
// loader chosen) and compared with a fixed PSP and a fixed Adam2 layout in one of the output forms. What it
// reads must read back the same from our own text of it.

#include "FuzzSupport.h"
#include "OutputFormat.h"
#include "RouterComparison.h"
#include "RouterEnvironment.h"

#include <algorithm>

namespace {

using flintor::PartitionStatus;

const flintor::MtdLayout kPsp = flintor::BuildLayout(false, 0x80000, 0x400000, 0x20000, 0x200000);
const flintor::MtdLayout kAdam2 = flintor::BuildLayout(true, 0x71000, 0x800000, 0, 0x200000);

std::size_t LineCount(const std::string& text) {
    return text.empty() ? 0 : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

void CheckSettings(const flintor::RouterSettings& settings, std::optional<bool> chosen,
                   std::string_view text) {
    if (chosen)
        fuzz::check(settings.adam2 == chosen, "the choice was not kept", text);
    fuzz::check(!settings.bootloaderReason.empty() && !settings.flashSizeReason.empty(),
                "a reason is missing", text);
    if (settings.flashSize)
        fuzz::check(*settings.flashSize > 0 && *settings.flashSize < flintor::kFlashSizeLimit,
                    "flash size outside 1..kFlashSizeLimit", text);
}

void CheckComparison(const flintor::MtdLayout& layout, const flintor::RouterEnvironment& environment,
                     int form, std::string_view text) {
    const flintor::RouterComparison comparison = flintor::CompareWithRouter(layout, environment, form);
    fuzz::check(comparison.blocks.size() == layout.blocks.size(), "a comparison per block", text);
    fuzz::check(comparison.matched < comparison.blocks.size(), "matched block outside the blocks", text);
    for (std::size_t b = 0; b < comparison.blocks.size(); ++b) {
        const auto& block = comparison.blocks[b];
        const int best = comparison.blocks[comparison.matched].sameCount();
        fuzz::check(block.sameCount() <= best, "another block has more same entries than the match", text);
        fuzz::check(b >= comparison.matched || block.sameCount() < best,
                    "an earlier block ties with the match", text);
        int previous = -1;
        std::size_t routerCount = 0;
        for (const auto& p : block.partitions) {
            fuzz::check(p.number > previous && p.number <= 5, "partitions not by number or above 5", text);
            previous = p.number;
            fuzz::check(p.router.has_value() == (environment.partition(p.number) != nullptr),
                        "router value lost", text);
            fuzz::check(p.routerText.has_value() == (environment.unreadableValue(p.number) != nullptr),
                        "unreadable router value lost", text);
            routerCount += p.router || p.routerText ? 1 : 0;
            const bool expected = p.router && p.calculated;
            fuzz::check((p.status == PartitionStatus::Missing) == (!p.router && !p.routerText) &&
                            (p.status == PartitionStatus::Extra) == !p.calculated &&
                            (p.status == PartitionStatus::Unreadable) == (p.routerText && p.calculated) &&
                            (p.status == PartitionStatus::Same) == (expected && *p.router == *p.calculated),
                        "status does not fit the values", text);
        }
        fuzz::check(routerCount == environment.partitions.size() + environment.unreadable.size(),
                    "a router partition is not listed", text);
    }
    // The boot block and configuration block are never repaired; a difference there refuses any write.
    std::size_t differs = 0, missing = 0, extra = 0, unreadable = 0, fixedBlocksOff = 0;
    for (const auto& p : comparison.blocks[comparison.matched].partitions) {
        const bool fixed = p.number == 2 || p.number == 3;
        fixedBlocksOff += fixed && p.calculated && p.status != PartitionStatus::Same;
        differs += !fixed && p.status == PartitionStatus::Differs;
        missing += !fixed && p.status == PartitionStatus::Missing;
        unreadable += !fixed && p.status == PartitionStatus::Unreadable;
        extra += p.status == PartitionStatus::Extra;
    }
    fuzz::check(comparison.refusal.has_value() == (fixedBlocksOff > 0), "refusal", text);
    fuzz::check(comparison.repairNote.empty() == !comparison.refusal, "repair note", text);
    fuzz::check(comparison.allSame() == (differs + missing + extra + unreadable + fixedBlocksOff == 0),
                "allSame", text);
    const std::size_t repaired = differs + missing + unreadable;
    fuzz::check(comparison.repairText.empty() == (repaired == 0), "repair text", text);
    fuzz::check(comparison.restoreText.empty() == (differs == 0), "restore text", text);
    fuzz::check(comparison.restoreUnreadable.size() == unreadable, "a restore line per unreadable value",
                text);
    fuzz::check(comparison.notes.size() == missing + extra, "a note per missing or extra partition", text);
    const std::size_t telnetNote = form == 3 && layout.adam2 ? 2 : 0;
    fuzz::check(LineCount(comparison.repairText) == (repaired ? repaired + telnetNote : 0),
                "a repair line per partition", comparison.repairText);
    fuzz::check(LineCount(comparison.restoreText) == (differs ? differs + telnetNote : 0),
                "a restore line per partition", comparison.restoreText);
    // The repair sets calculated values only, and those lie in the flash window.
    fuzz::checkResultAddresses(comparison.repairText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const flintor::RouterCaptureReading reading = flintor::ReadRouterEnvironment(text);
    fuzz::check(reading.environment.has_value() == reading.error.empty(), "a reading and an error", text);
    if (text.find('\0') != std::string_view::npos)
        fuzz::check(!reading.environment, "a NUL was read as text", text);
    if (!reading.environment)
        return 0;
    const flintor::RouterEnvironment& environment = *reading.environment;
    fuzz::check(!environment.partitions.empty(), "read without partitions", text);
    int previous = -1;
    for (const auto& p : environment.partitions) {
        fuzz::check(p.number > previous && p.number <= 5, "partitions not sorted, unique and 0..5", text);
        previous = p.number;
    }
    for (const auto& value : environment.unreadable)
        fuzz::check(!environment.partition(value.number) && !value.text.empty(),
                    "an unreadable value beside a readable one", text);
    fuzz::check(environment.marker.empty() == !environment.markedAdam2, "marker text without a marker", text);
    fuzz::check(environment.flashSize.has_value() == (environment.flashSizeLine > 0), "flashsize line", text);
    fuzz::check(environment.notes.size() <= 52, "notes beyond the limit", text);

    for (const std::optional<bool> chosen :
         {std::optional<bool>(), std::optional<bool>(false), std::optional(true)})
        CheckSettings(flintor::InferRouterSettings(environment, chosen), chosen, text);

    const int form = static_cast<int>(size % 4);
    CheckComparison(kPsp, environment, form, text);
    CheckComparison(kAdam2, environment, form, text);

    // Our own lines of what was read, in the chosen form, read back the same.
    std::string lines;
    for (const auto& p : environment.partitions)
        lines += (lines.empty() ? "" : "\r\n") + ("mtd" + std::to_string(p.number)) + ": " +
                 flintor::HexAddress(p.start) + ", " + flintor::HexAddress(p.end);
    const auto again =
        flintor::ReadRouterEnvironment(flintor::FormatPartitionLines(lines, form, size % 2 == 0));
    fuzz::check(again.environment && again.environment->partitions == environment.partitions,
                "our own lines read back differently", lines);
    return 0;
}
