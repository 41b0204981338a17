#pragma once

// flintor-calc --compare: the router capture, the boot loader and flash size it reveals, and the
// comparison's text and JSON.

#include "Arguments.h"
#include "CommandOutput.h"
#include "RouterComparison.h"
#include "RouterEnvironment.h"
#include "Workflow.h"

#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace flintor::cli {

/// What the router capture gave a comparison.
struct RouterCapture {
    RouterEnvironment environment;
    RouterSettings settings;
};

/// Reads the capture that --compare names: a file, or standard input for "-".
RouterCaptureReading ReadCompareCapture(const std::string& name, std::istream& in);

/// Takes a capture for a comparison and fills in the boot loader and the flash size it reveals where the
/// command line leaves them out or gives the flash as unknown. Notes go to err as "flintor-calc: note: "
/// lines. After a refusal, reported on err, it returns nullopt and exitStatus holds the status to end with.
std::optional<RouterCapture> PrepareComparison(CliOptions& options, const RouterCaptureReading& reading,
                                               std::ostream& err, int& exitStatus);

/// The calculation beside the router's values, with the notes of WriteComparisonNotes on err.
RouterComparison CompareCalculation(const CalculationDetails& details, const RouterCapture& capture,
                                    const CliOptions& options, std::ostream& err);

/// The notes that follow a comparison: the layout compared with, partitions left alone or with nothing to
/// restore, or that nothing needs repairing.
void WriteComparisonNotes(const RouterComparison& comparison, std::ostream& err);

/// The partitions of the matched block side by side under the heading "partition  router  calculated
/// status", one line each; LF line ends.
std::string ComparisonTable(const RouterComparison& comparison);

/// Commands of a repair or restore text as lines with LF line ends and a final one; empty for none.
std::string CommandLines(const std::string& commands);

/// The restore commands as CommandLines, then a line for each unreadable value they cannot put back.
std::string RestoreLines(const RouterComparison& comparison);

/// ComparisonTable, then "Repair:" and "Restore:" with their commands, each after an empty line; the repair
/// ends with the line saying why mtd2 and mtd3 are left out when they are.
std::string ComparisonText(const RouterComparison& comparison);

/// Adds the members of a comparison to the --json document: "router", "comparison", "matched_layout",
/// "repair", "restore", "repair_note" and "restore_unreadable".
void AddComparisonJson(Json& document, const RouterCapture& capture, const RouterComparison& comparison);

} // namespace flintor::cli
