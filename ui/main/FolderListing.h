#pragma once

#include <QString>
#include <vector>

/// One visible entry of a folder, as the folder and file lists show it.
struct FolderEntry {
    enum class Kind { File, Folder };
    QString name; // decoded with decodeLocalName, so it maps back to the exact bytes
    Kind kind = Kind::File;
};

/// The regular files and folders of `path` that are not hidden (names starting with "."), in the
/// order the file system returns them; empty when the folder cannot be read. Symbolic links count
/// as what they point to; broken links, links that loop and links to a folder that contains the
/// link (which would let the folder list descend for ever) are left out. Nothing is followed
/// recursively, so a listing always ends.
std::vector<FolderEntry> listFolder(const QString& path);

/// Joins a folder and a name with one "/".
QString joinPath(const QString& folder, const QString& name);

/// The order in which the lists show names: without regard to case, runs of digits by their value
/// ("fw2" before "fw10"), names that differ only in case in a fixed order.
bool nameLess(const QString& a, const QString& b);
