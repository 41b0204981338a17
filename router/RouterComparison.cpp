#include "RouterComparison.h"

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
        }
        if (!partition.calculated && !partition.router) {
            continue;
        }
        if (!partition.router) {
            partition.status = PartitionStatus::Missing;
        } else if (!partition.calculated) {
            partition.status = PartitionStatus::Extra;
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
    }
    return "";
}

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
    for (const auto& partition : result.blocks[result.matched].partitions) {
        const std::string name = "mtd" + std::to_string(partition.number);
        switch (partition.status) {
        case PartitionStatus::Same:
            break;
        case PartitionStatus::Differs:
            AddLine(repair, PartitionLine(*partition.calculated));
            AddLine(restore, PartitionLine(*partition.router));
            break;
        case PartitionStatus::Missing:
            AddLine(repair, PartitionLine(*partition.calculated));
            result.notes.push_back(name + " was not set on the router: nothing to restore for it.");
            break;
        case PartitionStatus::Extra:
            // Unsetting a partition the boot loader may still need is the owner's decision, not ours.
            result.notes.push_back(name + " is set on the router (" + RangeText(*partition.router) +
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
