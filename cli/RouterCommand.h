#pragma once

// flintor-calc --router and --serial: the router's values read from its boot loader (its FTP server or
// its serial console), compared with the calculated ones as --compare compares a capture, and with
// --apply the repair written and read back after the router's values were saved in a record.

#include "Arguments.h"

#include <ostream>

namespace flintor::cli {

/// Runs a command line with --router or --serial. Progress notes and messages go to err, the comparison
/// (or the --json document) to out. Returns the exit status: those of --compare, 1 for a serial port
/// name that is unusable, 4 when the router could not be read, 5 when a write failed, 6 when the
/// router's layout forbids the write.
int RunRouterCommand(CliOptions options, std::ostream& out, std::ostream& err);

} // namespace flintor::cli
