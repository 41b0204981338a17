#pragma once

// What every flintor-calc command writes the same way: exit statuses, message prefixes, line ends and the
// --json document.

#include "modMTD.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace flintor::cli {

/// Exit statuses of flintor-calc.
enum ExitStatus {
    kExitSuccess = 0,
    kExitRejected = 1,
    kExitUsage = 2,
    kExitDiffers = 3,
    kExitRouterUnreadable =
        4, ///< --router: nothing answered, the login was refused, the line broke; nothing written
    kExitWriteFailed = 5,   ///< --apply: a write was refused or broken off, or a value read back differs
    kExitLayoutForbids = 6, ///< --apply: the router's mtd2 or mtd3 is not where the layout puts them
};

/// The prefix of every message on standard error.
inline constexpr const char* kPrefix = "flintor-calc: ";
/// The prefix of a note on standard error: what was inferred or left alone, never a failure.
inline constexpr const char* kNote = "flintor-calc: note: ";

/// The --json document; its members keep the order in which the commands add them.
using Json = nlohmann::ordered_json;

/// A CR LF text with LF line ends, as a terminal and a script expect them; no line end is added.
std::string WithUnixLineEnds(std::string_view text);

/// The text as valid UTF-8: each byte that does not belong to a well-formed sequence becomes U+FFFD.
std::string ValidUtf8(std::string_view text);

/// {"start", "end"} of a partition, or null.
Json BoundsJson(const std::optional<PartitionBounds>& bounds);

/// {"name", "start", "end"} of a partition, named "mtd0" to "mtd5".
Json PartitionJson(const PartitionBounds& bounds);

/// The value, or null when there is none.
template <typename T> Json OrNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json();
}

/// The document as printed: two spaces an indent, every string valid UTF-8, a final line end.
std::string JsonText(const Json& document);

} // namespace flintor::cli
