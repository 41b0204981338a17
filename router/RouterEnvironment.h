#pragma once

// A tolerant reader of what an owner captured from the router (a serial console log, an FTP session, a
// listing of /proc/ticfg/env or Flintor's own output), and what the capture reveals about the boot loader
// and the flash size.

#include "modMTD.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// Largest router capture read, in bytes.
inline constexpr std::size_t kLargestRouterCapture = 1024 * 1024;

/// A partition whose value is there but is no address range ("0x9040\xff0000", a third number).
struct UnreadableValue {
    int number = 0;
    std::string text; ///< the value as the router gave it, raw (show it with Escaped)

    bool operator==(const UnreadableValue&) const = default;
};

/// What a router capture reveals.
struct RouterEnvironment {
    std::vector<PartitionBounds> partitions; ///< readable mtdN values, last one wins, sorted by number
    /// Partitions that have a value but no readable one, sorted by number; a readable value anywhere in
    /// the capture wins over an unreadable one, since a capture also holds listings and prose.
    std::vector<UnreadableValue> unreadable;
    std::optional<std::uint32_t> flashSize; ///< the flashsize variable, when readable
    int flashSizeLine = 0;                  ///< line (from 1) of that flashsize; 0 without one
    /// Boot loader named by a marker (true Adam2, false PSP); none without or with conflicting markers.
    std::optional<bool> markedAdam2;
    std::string marker; ///< the marker text that decided, with its line ("(psbl)" on line 14)
    std::vector<std::string>
        notes; ///< duplicates that differ, unreadable mtd lines, conflicting markers, ...

    /// nullptr when the router does not have partition number.
    const PartitionBounds* partition(int number) const;
    /// nullptr unless partition number has a value that is no address range.
    const UnreadableValue* unreadableValue(int number) const;
};

/// The bounds a router's value gives for partition number when it is exactly two hexadecimal numbers of at
/// most 32 bits ("0x" optional, in any case, leading zeros allowed) with a comma between them and blanks
/// around them allowed; none for anything else, a third number or a stray byte included.
std::optional<PartitionBounds> ParsePartitionValue(int number, std::string_view value);

/// A router's partition value as a capture line holds it ("mtd0  " before it): the value itself when
/// ParsePartitionValue reads it; otherwise escaped so that the capture reader finds it unreadable too.
std::string CaptureValueText(std::string_view value);

/// The capture read from text, or why it was refused.
struct RouterCaptureReading {
    std::optional<RouterEnvironment> environment;
    std::string error; ///< the refusal message when environment is empty
    std::string text;  ///< ReadRouterEnvironmentFile: the file's text, once it was read whole
};

/// Reads a capture's text: refused when it is larger than kLargestRouterCapture, holds a NUL or, unless
/// valuesRequired is false, has no readable mtd0 to mtd5 value. A value that runs into a comma, a control
/// byte or a byte outside ASCII is unreadable, as is one that is no pair of hexadecimal numbers. A text that
/// the boot loader itself gave (see RouterSession) is read without that rule: a router may have lost every
/// value.
RouterCaptureReading ReadRouterEnvironment(std::string_view text, bool valuesRequired = true);

/// Reads a capture file (a regular file of at most kLargestRouterCapture bytes) and then the text.
RouterCaptureReading ReadRouterEnvironmentFile(const std::string& path);

/// The boot loader and flash size a capture reveals, each with the reason shown to the owner.
struct RouterSettings {
    std::optional<bool> adam2; ///< the explicit choice when there is one; none when it cannot be inferred
    std::string bootloaderReason;
    std::optional<std::int64_t> flashSize; ///< in bytes; none when it cannot be inferred
    std::string flashSizeReason;
    std::vector<std::string> notes; ///< e.g. a flashsize that disagrees with the layout
};

/// The boot loader and flash size of a capture. explicitAdam2: the owner's boot loader choice, if any; it is
/// kept over any marker or layout and decides which layout rule gives the flash size.
RouterSettings InferRouterSettings(const RouterEnvironment& environment,
                                   std::optional<bool> explicitAdam2 = {});

} // namespace flintor
