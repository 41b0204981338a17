#pragma once

// flintor-calc --router and --serial: the router's values read from its boot loader (its FTP server or
// its serial console), compared with the calculated ones as --compare compares a capture, and with
// --apply the repair written and read back after the router's values were saved in a record.

#include "Arguments.h"
#include "CommandOutput.h"
#include "RouterComparison.h"
#include "RouterSession.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace flintor::cli {

/// Runs a command line with --router or --serial. Progress notes and messages go to err, the comparison
/// (or the --json document) to out. Returns the exit status: those of --compare, 1 for a serial port
/// name that is unusable, 4 when the router could not be read, 5 when a write failed, 6 when the
/// router's layout forbids the write.
int RunRouterCommand(CliOptions options, std::ostream& out, std::ostream& err);

/// The session over the link the command line names (--serial or --router); none when the device name
/// or address is refused, with the message on err and the exit status in status. Nothing is sent yet.
std::unique_ptr<RouterSession> OpenSession(const CliOptions& options, std::ostream& err, int& status);
/// How a partition written reads back: "0x90022000, 0x90400000 (as calculated)".
std::string ReadBackText(const PartitionWrite& write);
/// What was sent for a partition, the reply and how it reads back, a line each.
std::string WriteLines(const PartitionWrite& write);
/// The comparison, what was written and how it reads back, the restore commands and the record.
std::string AppliedText(const RouterComparison& comparison, const ApplyResult& applied,
                        const std::string& recordPath);
/// The --json document's "session": where the router was reached, its greeting and the login.
Json SessionJson(RouterSession& session, const RouterReading& reading);
/// The --json document's "refused": null, or why nothing may be written.
Json RefusedJson(const std::optional<WriteRefusal>& refusal);
/// The --json document's "applied": each partition written.
Json AppliedJson(const ApplyResult& applied);

} // namespace flintor::cli
