#pragma once

// flintor-calc --router with --write-image or --backup: the router read and compared as --router does,
// then, after the record, a copy of its image area, the image written into the image area and read back,
// the repair and a restart, each as asked.

#include "Arguments.h"

#include <ostream>

namespace flintor::cli {

/// Runs a command line with --router and --write-image or --backup. Progress and messages go to err, the
/// comparison and what was written (or the --json document) to out. Returns the exit status: those of
/// --router; 1 also for a backup file that cannot be made, 4 when the router could not send its image
/// area for the copy, 5 when the image write failed or reads back wrong.
int RunImageWriteCommand(CliOptions options, std::ostream& out, std::ostream& err);

} // namespace flintor::cli
