#pragma once

// The window's Calculate command run for a command line: its messages on standard error as they arise,
// its results and the --json members that describe them.

#include "Arguments.h"
#include "CommandOutput.h"
#include "Workflow.h"

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace flintor::cli {

/// What a calculation gave.
struct CalculationRun {
    std::optional<CalculationDetails> details; ///< none when the image or the choices were rejected
    std::vector<std::pair<std::string, MessageKind>> messages; ///< the message boxes, in order
    std::string text; ///< the results box with LF line ends and a final one
};

/// The image passes the checks of the file itself (named, readable, a combined image with a file system
/// the search finds); otherwise its message goes to err. Nothing of the other choices is checked.
bool ImageAccepted(const CliOptions& options, std::ostream& err);

/// Calculates for the options; messages, warnings and the checksum note go to err as they arise.
CalculationRun Calculate(const CliOptions& options, std::ostream& err);

/// The --json document's first members, "image" to "output", for a completed run; the comparison and
/// the router add theirs after them.
Json CalculationJson(const CliOptions& options, const CalculationRun& run);

} // namespace flintor::cli
