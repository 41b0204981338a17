#pragma once

// What a read of the router gave, as a capture that the capture reader takes, and the record file kept
// before anything is written to the router: the way back to what it held. A copy of the image area, kept
// before an image is written, goes to the disk the same way.

#include "RouterAddress.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// The variables a read asks for, in this order: what the capture reader and the comparison use.
inline constexpr std::array<std::string_view, 7> kRouterVariables = {"mtd0", "mtd1", "mtd2",     "mtd3",
                                                                     "mtd4", "mtd5", "flashsize"};

/// One variable as the router gave it.
struct RouterValue {
    std::string name;
    std::optional<std::string> value; ///< none when the variable is not set

    bool operator==(const RouterValue&) const = default;
};

/// What a read of the router gave.
struct RouterReading {
    std::string banner;              ///< the greeting's lines, LF between them
    std::vector<RouterValue> values; ///< the variables of kRouterVariables, in order

    /// The same variables with the same values as other (the greeting aside): nothing changed between
    /// two reads.
    bool sameValues(const RouterReading& other) const;
};

/// The reading as a capture for ReadRouterEnvironment: the greeting's lines (whose boot loader names
/// count), then "name  value" for each variable that is set; LF after each line. A word that the reader
/// would take for another variable (in a value or the greeting) or for a boot loader name (in a value) is
/// broken with a '_' ("m_td3"), and bytes outside printable ASCII are escaped ("\x00"), so that the capture
/// reads as exactly the router's values: an unreadable one as unreadable (see CaptureValueText).
std::string CaptureText(const RouterReading& reading);

/// The record of a reading: two comment lines naming the address and the local time, then CaptureText,
/// with CR LF line ends. ReadRouterEnvironment reads from it exactly the values the router held.
std::string RecordText(const RouterReading& reading, const RouterAddress& address,
                       std::chrono::system_clock::time_point when);
/// The same for a router reached elsewhere: where as RouterLink::where() gives it ("on the console
/// /dev/ttyUSB0").
std::string RecordText(const RouterReading& reading, const std::string& where,
                       std::chrono::system_clock::time_point when);

/// "flintor-router-YYYYMMDD-HHMMSS.txt" for the local time when.
std::string RecordFileName(std::chrono::system_clock::time_point when);

/// Where a record went, or why it could not be written.
struct RecordWriting {
    std::string path;  ///< the file written; empty on failure
    std::string error; ///< the failure message; empty on success
};

/// Why a record cannot go to path, checked before the router is contacted (a file or folder of that
/// name exists); empty when it can.
std::string RecordPathProblem(const std::string& path);

/// Writes text to a new file at path (UTF-8), never over an existing one. Success means the whole text
/// was written and flushed to the disk; a failed write leaves no file behind.
RecordWriting WriteRecordFile(const std::string& path, std::string_view text);

/// Why a copy of the router's image area cannot go to path (a file or folder of that name exists); empty
/// when it can.
std::string BackupPathProblem(const std::string& path);

/// Writes the bytes of a copy of the image area to a new file at path, as WriteRecordFile writes a record:
/// never over an existing file, flushed to the disk, no file left behind by a failed write.
RecordWriting WriteBackupFile(const std::string& path, std::string_view bytes);

/// Where the copy of the image area goes beside a record: "flintor-router-20240102-030405-mtd4.bin" for
/// "flintor-router-20240102-030405.txt".
std::string BackupPathBeside(const std::string& recordPath);

/// Writes text to a new file named RecordFileName(when) in folder (empty: the current folder), or with
/// "-2", "-3" ... before ".txt" when that name is taken.
RecordWriting WriteNewRecordFile(const std::string& folder, std::string_view text,
                                 std::chrono::system_clock::time_point when);

} // namespace flintor
