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
enum class PartitionStatus { Same, Differs, Missing, Extra, Unreadable };

/// "same", "differs", "missing", "extra", "unreadable".
const char* StatusName(PartitionStatus status);

/// One partition number that the router or the calculated block has.
struct PartitionComparison {
    int number = 0;
    std::optional<PartitionBounds> router;
    std::optional<PartitionBounds> calculated;
    PartitionStatus status = PartitionStatus::Same;
    /// The router's value, raw, when it is there but no address range (Unreadable, or Extra).
    std::optional<std::string> routerText = std::nullopt;
};

/// Why no repair may be written: the boot block (mtd2) or the configuration block (mtd3) is not where the
/// calculated layout puts it, so the boot loader or the flash size chosen is not the router's.
struct WriteRefusal {
    int number = 0;                        ///< 2 or 3
    std::optional<PartitionBounds> router; ///< the router's value when readable
    std::optional<std::string> routerText; ///< the router's value, raw, when unreadable
    PartitionBounds calculated;
    std::string reason;  ///< "the router's mtd3 (...) differs from the calculated ..."
    std::string message; ///< the whole sentence for the owner: the reason, what was not done, what to check
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
    std::string restoreText; ///< the router's values of the same partitions, same form
    /// Unreadable values the repair overwrites, as lines for the restore commands: they are shown as read
    /// but cannot be typed back exactly.
    std::vector<std::string> restoreUnreadable;
    std::vector<std::string> notes; ///< extra partitions left alone, missing ones with nothing to restore
    /// The boot block or configuration block differs, is missing or unreadable: nothing may be written.
    std::optional<WriteRefusal> refusal;
    /// One line for the repair commands when mtd2 or mtd3 would need a change, saying why they are left
    /// out; empty otherwise.
    std::string repairNote;

    /// Every partition of the matched block is `same` (no differs, missing or extra); false without blocks.
    bool allSame() const;
};

/// Compares a calculated layout with the router's values; outputForm as FormatOutput's (0..3, none = 0).
/// The repair never holds mtd2 or mtd3: where the router keeps its boot block and configuration block is
/// the boot loader's own doing, and a difference there means the layout, not the router, is wrong.
RouterComparison CompareWithRouter(const MtdLayout& layout, const RouterEnvironment& environment,
                                   std::optional<int> outputForm);

} // namespace flintor
