#include "Settings.h"

#include "LocalNames.h"
#include "ProfileText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {
namespace {

std::function<bool()>& beforeRenameHook() {
    static std::function<bool()> hook;
    return hook;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool systemWritable(const QString& path) {
    return ::access(encodeLocalName(path).constData(), W_OK) == 0;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

// The desktop's way of hiding a file whose name does not start with ".": its name on a line of
// the ".hidden" file in the same folder, as file managers read it.
bool listedAsHidden(const QString& path) {
    const QFileInfo info(path);
    const FileContents listing = readFileCapped(info.absolutePath() + QStringLiteral("/.hidden"), 64 * 1024);
    if (!listing.ok)
        return false;
    const QByteArray name = encodeLocalName(info.fileName());
    std::string_view rest = listing.bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == std::string_view(name.constData(), static_cast<std::size_t>(name.size())))
            return true;
    }
    return false;
}

} // namespace

QString appFolder() {
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool isOrdinaryFile(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
        return false;
    const QByteArray local = encodeLocalName(path);
    struct stat st {};
    return ::stat(local.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(local.constData(), R_OK) == 0 && !listedAsHidden(path);
}

QString settingsFilePath(const QString& folder, const std::function<bool(const QString&)>& isWritable) {
    const auto writable = isWritable ? isWritable : systemWritable;
    QString base = folder;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const QString beside = base + QStringLiteral("settings.ini");
    if (!folder.isEmpty()) {
        if (localPathExists(beside) ? writable(beside) : writable(folder))
            return beside;
    }
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/flintor/settings.ini");
}

FileContents readFileCapped(const QString& path, std::size_t limit) {
    FileContents result;
    // O_NONBLOCK keeps a named pipe put in the file's place from stalling the start-up.
    const int fd = ::open(encodeLocalName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return result;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return result;
    }
    result.bytes.resize(limit);
    std::size_t got = 0;
    bool failed = false;
    while (got < limit) {
        const ssize_t n = ::read(fd, result.bytes.data() + got, limit - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (!failed && got == limit) {
        char probe = 0;
        result.truncated = ::read(fd, &probe, 1) > 0;
    }
    ::close(fd);
    result.bytes.resize(got);
    result.ok = !failed;
    return result;
}

bool replaceFileAtomically(const QString& path, std::string_view bytes,
                           const std::function<bool()>& beforeRename) {
    QByteArray target = encodeLocalName(path);
    // Replace what a link points to rather than the link itself.
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
        target = resolved;
        ::free(resolved);
    }
    const QByteArray folder = folderOf(target);

    mode_t mode = 0666;
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && beforeRename)
        ok = beforeRename();
    if (ok)
        ok = ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void setBeforeRenameHookForTesting(std::function<bool()> hook) {
    beforeRenameHook() = std::move(hook);
}

} // namespace settings

QString ReadSetting(const QString& section, const QString& key, const QString& file) {
    const settings::FileContents contents = settings::readFileCapped(file);
    if (!contents.ok)
        return {};
    const auto value = profile::readValue(contents.bytes, section.toStdString(), key.toStdString());
    return value ? decodeLocalName(QByteArray::fromStdString(*value)) : QString();
}

std::int16_t WriteSetting(const QString& section, const QString& key, const QString& value,
                          const QString& file) {
    if (file.isEmpty())
        return 0;
    std::string existing;
    if (localPathExists(file)) {
        settings::FileContents contents = settings::readFileCapped(file);
        if (!contents.ok || contents.truncated)
            return 0;
        existing = std::move(contents.bytes);
    }
    const auto updated = profile::writeValue(existing, section.toStdString(), key.toStdString(),
                                             encodeLocalName(value).toStdString());
    if (!updated)
        return 0;
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        return 0;
    return settings::replaceFileAtomically(file, *updated, settings::beforeRenameHook()) ? 1 : 0;
}
