#pragma once

// flintor-calc as a function: the window's Calculate command driven by a command line.

#include "Arguments.h"
#include "CommandOutput.h"

#include <iostream>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace flintor::cli {

/// Runs flintor-calc with the arguments after the program name; results go to out, messages and usage
/// errors to err; "--compare -" reads the router capture from in. Returns the exit status.
int RunFlintorCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::istream& in = std::cin);

/// Runs a parsed command line (neither --help nor --version).
int RunCalculation(CliOptions options, std::ostream& out, std::ostream& err, std::istream& in = std::cin);

} // namespace flintor::cli
