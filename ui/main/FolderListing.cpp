#include "FolderListing.h"

#include "LocalNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace {

QByteArray realPathOf(const QByteArray& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

// A folder reached through a link that points at the listed folder itself or at one of its
// ancestors: opening it would show the same tree again, one level deeper, without end.
bool linksToAncestor(const QByteArray& listedReal, const QByteArray& linkPath) {
    const QByteArray target = realPathOf(linkPath);
    if (target.isEmpty() || listedReal.isEmpty())
        return true;
    if (target == "/" || target == listedReal)
        return true;
    return listedReal.startsWith(target + '/');
}

} // namespace

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

std::vector<FolderEntry> listFolder(const QString& path) {
    std::vector<FolderEntry> entries;
    const QByteArray local = encodeLocalName(path);
    DIR* dir = ::opendir(local.constData());
    if (!dir)
        return entries;
    const int fd = ::dirfd(dir);
    QByteArray listedReal;
    bool listedRealKnown = false;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, 0) != 0)
            continue; // broken link, link loop (ELOOP), or gone meanwhile
        FolderEntry entry;
        entry.name = decodeLocalName(QByteArray(e->d_name));
        if (S_ISREG(st.st_mode)) {
            entry.kind = FolderEntry::Kind::File;
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = FolderEntry::Kind::Folder;
            struct stat lst {};
            if (::fstatat(fd, e->d_name, &lst, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(lst.st_mode)) {
                if (!listedRealKnown) {
                    listedReal = realPathOf(local);
                    listedRealKnown = true;
                }
                QByteArray linkPath = local;
                if (!linkPath.endsWith('/'))
                    linkPath += '/';
                linkPath += e->d_name;
                if (linksToAncestor(listedReal, linkPath))
                    continue;
            }
        } else {
            continue; // devices, pipes and sockets are no firmware images
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}
