#pragma once

// flintor-calc as a function: the window's Calculate command driven by a command line.

#include "Arguments.h"

#include <ostream>
#include <string>
#include <vector>

namespace flintor::cli {

/// Exit statuses of flintor-calc.
enum ExitStatus { kExitSuccess = 0, kExitRejected = 1, kExitUsage = 2 };

/// Runs flintor-calc with the arguments after the program name; results go to out, messages and usage
/// errors to err. Returns the exit status.
int RunFlintorCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// Runs a parsed command line (neither --help nor --version).
int RunCalculation(const CliOptions& options, std::ostream& out, std::ostream& err);

/// Escapes text as the contents of a JSON string; bytes that are not UTF-8 become U+FFFD.
std::string JsonEscaped(const std::string& text);

} // namespace flintor::cli
