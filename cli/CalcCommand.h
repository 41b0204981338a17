#pragma once

// flintor-calc as a function: the window's Calculate command driven by a command line.

#include "Arguments.h"

#include <iostream>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace flintor::cli {

/// Exit statuses of flintor-calc.
enum ExitStatus { kExitSuccess = 0, kExitRejected = 1, kExitUsage = 2, kExitDiffers = 3 };

/// Runs flintor-calc with the arguments after the program name; results go to out, messages and usage
/// errors to err; "--compare -" reads the router capture from in. Returns the exit status.
int RunFlintorCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::istream& in = std::cin);

/// Runs a parsed command line (neither --help nor --version).
int RunCalculation(CliOptions options, std::ostream& out, std::ostream& err, std::istream& in = std::cin);

/// Escapes text as the contents of a JSON string; bytes that are not UTF-8 become U+FFFD.
std::string JsonEscaped(const std::string& text);

/// The text as a JSON string, quotes included.
std::string JsonQuoted(const std::string& text);

/// A CR LF text with LF line ends, as a terminal and a script expect them; no line end is added.
std::string WithUnixLineEnds(const std::string& text);

} // namespace flintor::cli
