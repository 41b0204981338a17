#pragma once

// Conversion of a result text to the form in which the user enters the values into the router.

#include <optional>
#include <string>
#include <string_view>

namespace flintor {

/// The output options, in the order of the window's optOut buttons.
enum class OutputForm { Standard = 0, PcTool = 1, Ftp = 2, Telnet = 3 };

/// Rewrites the partition lines ("mtd..." in any letter case) of a CR LF result text for output form
/// 0..3 (none or anything else: standard). Other lines pass unchanged. A Telnet script of an Adam2 result
/// (one containing "single" in any letter case) gets a closing note. With includeFileName the file name
/// and CR LF come first.
std::string FormatOutput(std::string_view resultText, std::optional<int> form, bool includeFileName,
                         std::string_view fileName);

/// FormatOutput's rewriting of CR LF partition lines with the boot loader given (true Adam2), for texts
/// without the heading FormatOutput tells Adam2 by; an Adam2 Telnet text gets the same closing note.
std::string FormatPartitionLines(std::string_view lines, std::optional<int> form, bool adam2);

} // namespace flintor
