#include "RouterComparison.h"

#include "AsciiText.h"
#include "OutputFormat.h"

#include <algorithm>

namespace flintor {

namespace {

void AddLine(std::string& text, const std::string& line) {
    if (!text.empty()) {
        text += "\r\n";
    }
    text += line;
}

BlockComparison Compare(const LayoutBlock& block, const RouterEnvironment& environment) {
    BlockComparison comparison;
    comparison.layout = LayoutName(block);
    for (int number = 0; number <= 5; ++number) {
        PartitionComparison partition;
        partition.number = number;
        const auto calculated =
            std::find_if(block.partitions.begin(), block.partitions.end(),
                         [number](const PartitionBounds& bounds) { return bounds.number == number; });
        if (calculated != block.partitions.end()) {
            partition.calculated = *calculated;
        }
        if (const PartitionBounds* router = environment.partition(number)) {
            partition.router = *router;
        } else if (const UnreadableValue* unreadable = environment.unreadableValue(number)) {
            partition.routerText = unreadable->text;
        }
        if (!partition.calculated && !partition.router && !partition.routerText) {
            continue;
        }
        if (!partition.calculated) {
            partition.status = PartitionStatus::Extra;
        } else if (partition.routerText) {
            partition.status = PartitionStatus::Unreadable;
        } else if (!partition.router) {
            partition.status = PartitionStatus::Missing;
        } else if (*partition.router != *partition.calculated) {
            partition.status = PartitionStatus::Differs;
        }
        comparison.partitions.push_back(std::move(partition));
    }
    return comparison;
}

} // namespace

const char* StatusName(PartitionStatus status) {
    switch (status) {
    case PartitionStatus::Same:
        return "same";
    case PartitionStatus::Differs:
        return "differs";
    case PartitionStatus::Missing:
        return "missing";
    case PartitionStatus::Extra:
        return "extra";
    case PartitionStatus::Unreadable:
        return "unreadable";
    }
    return "";
}

namespace {

// The boot block or configuration block where the layout does not put it, as the owner is told of it.
std::optional<WriteRefusal> Refusal(const BlockComparison& block) {
    for (const auto& partition : block.partitions) {
        if ((partition.number != 2 && partition.number != 3) || !partition.calculated ||
            partition.status == PartitionStatus::Same) {
            continue;
        }
        WriteRefusal refusal;
        refusal.number = partition.number;
        refusal.router = partition.router;
        refusal.routerText = partition.routerText;
        refusal.calculated = *partition.calculated;
        const std::string name = "mtd" + std::to_string(partition.number);
        const std::string calculated = RangeText(refusal.calculated);
        if (partition.router) {
            refusal.reason = "the router's " + name + " (" + RangeText(*partition.router) +
                             ") differs from the calculated " + calculated;
        } else if (partition.routerText) {
            refusal.reason = "the router's " + name + " is unreadable (" +
                             QuotedShort(*partition.routerText) + "), and the calculated one is " +
                             calculated;
        } else {
            refusal.reason = "the router holds no " + name + ", and the calculated one is " + calculated;
        }
        refusal.message =
            Capitalised(refusal.reason) +
            ". Flintor never moves the boot block (mtd2) or the configuration block (mtd3), so nothing was "
            "written. Check the boot loader and flash size choices; a router that really lost these values "
            "needs them read from its console (a printenv capture) and set there.";
        return refusal;
    }
    return std::nullopt;
}

} // namespace

int BlockComparison::sameCount() const {
    return static_cast<int>(
        std::count_if(partitions.begin(), partitions.end(),
                      [](const PartitionComparison& p) { return p.status == PartitionStatus::Same; }));
}

bool RouterComparison::allSame() const {
    if (matched >= blocks.size()) {
        return false;
    }
    const auto& partitions = blocks[matched].partitions;
    return std::all_of(partitions.begin(), partitions.end(),
                       [](const PartitionComparison& p) { return p.status == PartitionStatus::Same; });
}

RouterComparison CompareWithRouter(const MtdLayout& layout, const RouterEnvironment& environment,
                                   std::optional<int> outputForm) {
    RouterComparison result;
    for (const auto& block : layout.blocks) {
        result.blocks.push_back(Compare(block, environment));
        if (result.blocks.back().sameCount() > result.blocks[result.matched].sameCount()) {
            result.matched = result.blocks.size() - 1;
        }
    }
    if (result.blocks.empty()) {
        return result;
    }
    std::string repair;
    std::string restore;
    const BlockComparison& matched = result.blocks[result.matched];
    result.refusal = Refusal(matched);
    if (result.refusal) {
        result.repairNote = "mtd2 and mtd3 are left out: a repair never moves the boot block or the "
                            "configuration block, and " +
                            result.refusal->reason + ".";
    }
    for (const auto& partition : matched.partitions) {
        const std::string name = "mtd" + std::to_string(partition.number);
        const bool fixedBlock = partition.number == 2 || partition.number == 3;
        switch (partition.status) {
        case PartitionStatus::Same:
            break;
        case PartitionStatus::Differs:
            if (!fixedBlock) {
                AddLine(repair, PartitionLine(*partition.calculated));
                AddLine(restore, PartitionLine(*partition.router));
            }
            break;
        case PartitionStatus::Unreadable:
            if (!fixedBlock) {
                AddLine(repair, PartitionLine(*partition.calculated));
                result.restoreUnreadable.push_back(name + " held \"" + Escaped(*partition.routerText) +
                                                   "\", which is no address range: it cannot be typed back "
                                                   "exactly.");
            }
            break;
        case PartitionStatus::Missing:
            if (!fixedBlock) {
                AddLine(repair, PartitionLine(*partition.calculated));
                result.notes.push_back(name + " was not set on the router: nothing to restore for it.");
            }
            break;
        case PartitionStatus::Extra:
            // Unsetting a partition the boot loader may still need is the owner's decision, not ours.
            result.notes.push_back(
                name + " is set on the router (" +
                (partition.router ? RangeText(*partition.router) : QuotedShort(*partition.routerText)) +
                ") but has no place in the calculated layout; it is left as it is.");
            break;
        }
    }
    if (!repair.empty()) {
        result.repairText = FormatPartitionLines(repair, outputForm, layout.adam2);
    }
    if (!restore.empty()) {
        result.restoreText = FormatPartitionLines(restore, outputForm, layout.adam2);
    }
    return result;
}

} // namespace flintor
