#pragma once

// The router's current partition values beside a calculated layout: what differs, the commands that set
// the calculated values and the commands that put the router's values back.

#include "RouterEnvironment.h"
#include "modMTD.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace flintor {

/// How a partition on the router compares with the calculated one.
enum class PartitionStatus { Same, Differs, Missing, Extra };

/// "same", "differs", "missing", "extra".
const char* StatusName(PartitionStatus status);

/// One partition number that the router or the calculated block has.
struct PartitionComparison {
    int number = 0;
    std::optional<PartitionBounds> router;
    std::optional<PartitionBounds> calculated;
    PartitionStatus status = PartitionStatus::Same;
};

/// One block of the calculated layout beside the router's values.
struct BlockComparison {
    std::string layout; ///< the block's heading without its final ':' ("Single images"), empty for PSP
    std::vector<PartitionComparison> partitions; ///< by number; only numbers one side has

    /// The number of partitions with the status Same.
    int sameCount() const;
};

/// A calculated layout beside the router's values, with the repair and its undoing.
struct RouterComparison {
    std::vector<BlockComparison> blocks;
    std::size_t matched = 0; ///< index of the block with the most `same` entries (first on ties)
    std::string
        repairText; ///< CR LF lines in the chosen output form; empty when nothing differs or is missing
    std::string restoreText;        ///< the router's values of the same partitions, same form
    std::vector<std::string> notes; ///< extra partitions left alone, missing ones with nothing to restore

    /// Every partition of the matched block is `same` (no differs, missing or extra); false without blocks.
    bool allSame() const;
};

/// Compares a calculated layout with the router's values; outputForm as FormatOutput's (0..3, none = 0).
RouterComparison CompareWithRouter(const MtdLayout& layout, const RouterEnvironment& environment,
                                   std::optional<int> outputForm);

} // namespace flintor
