#pragma once

// The settings file: `settings.ini` beside the program, or, where the program's folder cannot be
// written (an installed copy in /usr/bin), the same file under the user's configuration folder.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

/// The value of `key` in `section` of the settings file `file`; empty when the file, the section or
/// the key is missing or the file cannot be read. Values longer than 254 characters come back cut.
QString ReadSetting(const QString& section, const QString& key, const QString& file);

/// Stores `value` as `key` in `section` of `file`, creating the file (and its folder) and the
/// section when missing and keeping every other line. Non-zero on success. A value the format
/// cannot hold (a line break or NUL) is refused, and so is a file that exists but cannot be read
/// whole (unreadable, not a regular file, larger than kMaxSettingsFileSize), since rewriting it
/// would lose its other content; the file is then left untouched.
std::int16_t WriteSetting(const QString& section, const QString& key, const QString& value,
                          const QString& file);

namespace settings {

/// The most of a settings file that is ever read; a larger file is treated as far as this goes.
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

/// The program's folder with a trailing "/" (`AppFolder`).
QString appFolder();

/// Whether a settings file at `path` counts as present at start-up: an ordinary, non-hidden file.
/// On this platform that is a regular file (after following links) that this user can read, whose
/// name does not start with "." and is not listed in the ".hidden" file of its folder (one name a
/// line, as file managers hide names); a folder, a pipe, a device or an unreadable file counts as
/// missing.
bool isOrdinaryFile(const QString& path);

/// Decides where the settings file lives: `folder` + "settings.ini" when that file can be written,
/// or when it does not exist and `folder` can be written; otherwise "flintor/settings.ini" in the
/// user's configuration folder ($XDG_CONFIG_HOME, by default ~/.config). `isWritable` tells whether
/// a path may be written; by default the system's own access check.
QString settingsFilePath(const QString& folder, const std::function<bool(const QString&)>& isWritable = {});

/// The settings file's contents for the current read: at most `limit` bytes of a regular file, read
/// without blocking on pipes or devices; nullopt-like `ok == false` when it cannot be read.
struct FileContents {
    bool ok = false;
    bool truncated = false; // the file is larger than the limit
    std::string bytes;
};
FileContents readFileCapped(const QString& path, std::size_t limit = kMaxSettingsFileSize);

/// Replaces `path` with `bytes` so that a crash or a full disk at any moment leaves either the old
/// file or the new one, whole: the data goes to a temporary file in the same folder, is flushed to
/// the disk, and only then renamed over the old file. An existing file keeps its permissions.
/// `beforeRename`, when given, runs between the flush and the rename; returning false abandons the
/// replacement there (a stand-in for a crash at that moment in tests).
bool replaceFileAtomically(const QString& path, std::string_view bytes,
                           const std::function<bool()>& beforeRename = {});

/// Test seam: a hook that replaceFileAtomically() calls before every rename made by WriteSetting.
void setBeforeRenameHookForTesting(std::function<bool()> hook);

} // namespace settings
