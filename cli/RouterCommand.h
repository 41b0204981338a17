#pragma once

// flintor-calc --router: the router's values read from its boot loader, compared with the calculated
// ones as --compare compares a capture, and with --apply the repair written and read back after the
// router's values were saved in a record.

#include "Arguments.h"

#include <ostream>

namespace flintor::cli {

/// Runs a command line with --router. Progress notes and messages go to err, the comparison (or the
/// --json document) to out. Returns the exit status: those of --compare, 4 when the router could not be
/// read, 5 when a write failed.
int RunRouterCommand(CliOptions options, std::ostream& out, std::ostream& err);

} // namespace flintor::cli
