#include "FileAccess.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace flintor {

bool NamesNoFile(const std::string& path) {
    return path.empty() || path.find('\0') != std::string::npos;
}

#ifdef _WIN32

std::wstring WidePath(const std::string& path) {
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                          wide.data(), size);
    return wide;
}

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_NO_UNICODE_TRANSLATION:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

// A disk file that is no folder is a regular file; consoles (CON), NUL, serial ports and pipes are not
// disk files, whatever their attributes claim.
std::optional<FileStatus> StatusOfHandle(HANDLE handle) {
    FileStatus status;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return status;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        errno = ErrnoOf(::GetLastError());
        return std::nullopt;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        status.regular = true;
        status.length = static_cast<std::int64_t>(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 |
                                                  info.nFileSizeLow);
    }
    return status;
}

HANDLE Open(const std::string& path, DWORD access, DWORD flags, int& error) {
    const std::wstring wide = NamesNoFile(path) ? std::wstring() : WidePath(path);
    if (wide.empty()) {
        error = ENOENT;
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, flags, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? ErrnoOf(::GetLastError()) : 0;
    return handle;
}

} // namespace

std::optional<FileStatus> StatusOfPath(const std::string& path, int& error) {
    // No access asked for: like stat(), this reads nothing and works on files that cannot be read.
    // FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened, so that it is told apart from a missing file.
    const HANDLE handle = Open(path, 0, FILE_FLAG_BACKUP_SEMANTICS, error);
    if (handle == INVALID_HANDLE_VALUE) {
        // The console (CON) of a process that has none: a device all the same.
        if (::GetLastError() == ERROR_INVALID_HANDLE) {
            return FileStatus{};
        }
        return std::nullopt;
    }
    auto status = StatusOfHandle(handle);
    if (!status) {
        error = errno;
    }
    ::CloseHandle(handle);
    return status;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
    const HANDLE handle = Open(path, GENERIC_READ, FILE_ATTRIBUTE_NORMAL, m_error);
    m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (m_handle != nullptr) {
        ::CloseHandle(m_handle);
    }
}

bool ReadOnlyFile::isOpen() const {
    return m_handle != nullptr;
}

std::optional<FileStatus> ReadOnlyFile::status() const {
    return StatusOfHandle(m_handle);
}

std::int64_t ReadOnlyFile::readAt(std::uint8_t* buffer, std::int64_t count, std::int64_t offset) const {
    std::int64_t done = 0;
    while (done < count) {
        const auto at = static_cast<std::uint64_t>(offset + done);
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto wanted = static_cast<DWORD>(std::min<std::int64_t>(count - done, 1 << 30));
        DWORD got = 0;
        if (!::ReadFile(m_handle, buffer + done, wanted, &got, &position)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            errno = ErrnoOf(error);
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::int64_t ReadOnlyFile::read(char* buffer, std::int64_t count) {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30));
    if (!::ReadFile(m_handle, buffer, wanted, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) {
            return 0;
        }
        errno = ErrnoOf(error);
        return -1;
    }
    return got;
}

#else

namespace {

std::optional<FileStatus> StatusOf(const struct stat& st) {
    FileStatus status;
    if (S_ISREG(st.st_mode)) {
        status.regular = true;
        status.length = static_cast<std::int64_t>(st.st_size);
    }
    return status;
}

} // namespace

std::optional<FileStatus> StatusOfPath(const std::string& path, int& error) {
    struct stat st {};
    if (NamesNoFile(path)) {
        error = ENOENT;
        return std::nullopt;
    }
    if (::stat(path.c_str(), &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    return StatusOf(st);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
    if (NamesNoFile(path)) {
        m_error = ENOENT;
        return;
    }
    // O_NONBLOCK: a FIFO that slipped in after the type check must not block the open.
    do {
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (m_fd < 0 && errno == EINTR);
    m_error = m_fd < 0 ? errno : 0;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ReadOnlyFile::isOpen() const {
    return m_fd >= 0;
}

std::optional<FileStatus> ReadOnlyFile::status() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        return std::nullopt;
    }
    return StatusOf(st);
}

std::int64_t ReadOnlyFile::readAt(std::uint8_t* buffer, std::int64_t count, std::int64_t offset) const {
    std::int64_t done = 0;
    while (done < count) {
        const auto got = ::pread(m_fd, buffer + done, static_cast<std::size_t>(count - done),
                                 static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::int64_t ReadOnlyFile::read(char* buffer, std::int64_t count) {
    while (true) {
        const auto got = ::read(m_fd, buffer, static_cast<std::size_t>(count));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

#endif

} // namespace flintor
