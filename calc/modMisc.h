#pragma once

// Small stateless text, path and number helpers shared by the calculator, the window and the controls.

#include <cstdint>
#include <string>
#include <string_view>

namespace flintor {

/// The separator of the platform's paths; the path helpers use it unless told otherwise.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

/// Nearest integral value, an exact half going to the even neighbour (2.5 → 2, 3.5 → 4, -2.5 → -2).
double RoundHalfEven(double value);
/// Single-precision twin of RoundHalfEven(double).
float RoundHalfEven(float value);
/// RoundHalfEven as an int, saturated at the int range; NaN gives 0. For pixel and twip conversions.
int RoundToInt(double value);

/// The path with a trailing separator; an empty path gives the separator alone.
std::string AddBackslash(std::string_view path, char separator = kPathSeparator);
/// Number of occurrences of part in text; overlapping occurrences count ("aa" occurs twice in "aaa").
std::int32_t CountOf(std::string_view text, std::string_view part);
/// The n-th field (from 1) of text split at separator; empty when the text has fewer than n fields.
std::string FieldOf(std::string_view text, std::string_view separator, int n);
/// The last component of a path: the text after its last separator, or the whole path without one.
std::string FileNameOf(std::string_view path, char separator = kPathSeparator);
/// The path without its file name; a path whose last component has no "." is taken to name a folder.
std::string FolderOf(std::string_view path, char separator = kPathSeparator);
/// Reduces each run of separators to one; with trim, also drops one separator at either end.
std::string CollapseSeparator(std::string_view text, std::string_view separator, bool trim);
/// The unsigned value of hexadecimal digits (either case) as decimal digits; not limited to 32 bits.
std::string HexToDecimalText(std::string_view digits);
/// Whether the bit of weight 2^(bit - 1) is set in value.
bool BitIsSet(std::int64_t value, int bit);
/// A byte count with its unit ("64.00 KB", "512.00 B "), decimal separator from the global C++ locale.
std::string SizeText(double bytes);

} // namespace flintor
