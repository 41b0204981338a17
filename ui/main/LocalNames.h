#pragma once

#include <QByteArray>
#include <QString>

// File names on Linux are bytes, usually but not always UTF-8. Qt's own listing drops names that
// are not valid UTF-8 and QFile::decodeName turns their odd bytes into U+FFFD, after which the file
// can no longer be opened. The browser therefore lists folders itself and keeps each byte that is
// not part of valid UTF-8 as the lone surrogate U+DC80..U+DCFF, which encodeLocalName turns back
// into that byte. For names that are valid UTF-8 both functions agree with QFile's.

/// The text of a file name or path as the file system holds it, without losing any byte.
QString decodeLocalName(const QByteArray& bytes);
/// The bytes of a name or path made by decodeLocalName (or any ordinary text), for the system calls.
QByteArray encodeLocalName(const QString& name);
/// Whether `path` names something that exists (following symbolic links).
bool localPathExists(const QString& path);
/// Whether `path` is a folder that can be listed and entered.
bool isOpenableFolder(const QString& path);
