#include "FolderListing.h"

#include "LocalNames.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

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

bool nameLess(const QString& a, const QString& b) {
    const QString x = a.toCaseFolded();
    const QString y = b.toCaseFolded();
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (x.at(i).isDigit() && y.at(j).isDigit()) {
            qsizetype i2 = i, j2 = j;
            while (i2 < x.size() && x.at(i2).isDigit())
                ++i2;
            while (j2 < y.size() && y.at(j2).isDigit())
                ++j2;
            qsizetype si = i, sj = j;
            while (si + 1 < i2 && x.at(si) == QLatin1Char('0'))
                ++si;
            while (sj + 1 < j2 && y.at(sj) == QLatin1Char('0'))
                ++sj;
            if (i2 - si != j2 - sj)
                return i2 - si < j2 - sj;
            const int order = QStringView(x).mid(si, i2 - si).compare(QStringView(y).mid(sj, j2 - sj));
            if (order != 0)
                return order < 0;
            i = i2;
            j = j2;
            continue;
        }
        if (x.at(i) != y.at(j))
            return x.at(i) < y.at(j);
        ++i;
        ++j;
    }
    if (x.size() - i != y.size() - j)
        return x.size() - i < y.size() - j;
    return a < b;
}
