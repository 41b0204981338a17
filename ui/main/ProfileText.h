#pragma once

// The private-profile ("INI") format as pure functions over the file's bytes, so that the rules can
// be tested and fuzzed without touching a disk.
//
// A line whose first non-blank character is "[" opens a section named by the text up to "]"; a line
// holding "=" gives the key before the first "=" and the value after it. Names and values lose the
// blanks (spaces, tabs) around them, names are compared without regard to (ASCII) case, and the first
// matching section and the first matching key in it win. Lines end in CR LF, LF or a lone CR. A value
// read back loses one pair of surrounding double quotes; a value that needs them to survive (blanks
// at either end, or quotes of its own at both ends) is written inside a pair.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

/// The longest value a read returns, as the 255-character buffer of the original reader allowed.
inline constexpr std::size_t kMaxValueLength = 254;

/// The value of `key` in `section` of `text`, or nullopt when the section or key is missing. The
/// value is cut at a NUL character and at kMaxValueLength bytes, never inside a UTF-8 sequence.
std::optional<std::string> readValue(std::string_view text, std::string_view section, std::string_view key);

/// Whether `section`, `key` and `value` can be stored so that they read back unchanged and add no
/// other section or key: no line breaks or NUL anywhere, non-empty names, no "]" in the section
/// name, no "=" in the key, and a key that does not start with "[".
bool canStore(std::string_view section, std::string_view key, std::string_view value);

/// `text` with `key` in `section` set to `value`: the first matching key line is replaced, or a line
/// is added at the end of the first matching section, or the section is appended at the end. All
/// other lines, comments and unknown lines included, are kept byte for byte; new lines use the line
/// end that the text already uses (LF for a text without one). nullopt when canStore() refuses.
std::optional<std::string> writeValue(std::string_view text, std::string_view section, std::string_view key,
                                      std::string_view value);

} // namespace profile
