#pragma once

// Read-only access to firmware and capture files, the same on Linux and on Windows: paths are UTF-8,
// lengths are 64-bit, and only regular files are ever read (never a folder, a FIFO, a socket, or a
// device such as /dev/zero, NUL or CON).

#include <cstdint>
#include <optional>
#include <string>

namespace flintor {

/// What a path names, as far as reading it goes.
struct FileStatus {
    bool regular = false;    ///< a regular file; folders, devices, FIFOs and sockets are not
    std::int64_t length = 0; ///< the file's length in bytes (0 for anything but a regular file)
};

/// An empty path and a path with a NUL in it (the system would stop reading it there, at another file's
/// name) name no file.
bool NamesNoFile(const std::string& path);

#ifdef _WIN32
/// The UTF-16 path the system's wide functions take; empty when the path is not UTF-8.
std::wstring WidePath(const std::string& path);
#endif

/// The status of the file a path names, or nullopt with error set to an errno value. An empty path, a
/// path with a NUL in it (the system would stop reading it there, at another file's name) and, on
/// Windows, a path that is not UTF-8 name no file (ENOENT). Nothing is read and nothing blocks.
std::optional<FileStatus> StatusOfPath(const std::string& path, int& error);

/// A file opened for reading only, closed again when it goes out of scope. Opening never blocks, not even
/// on a FIFO put in place of a file after its type was checked.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const;
    /// The errno value of a failed open.
    int error() const { return m_error; }
    /// The status of the open file, or nullopt with errno set.
    std::optional<FileStatus> status() const;
    /// Reads up to count bytes at offset, fewer only at the file's end; the number read, or -1 with
    /// errno set.
    std::int64_t readAt(std::uint8_t* buffer, std::int64_t count, std::int64_t offset) const;
    /// Reads up to count bytes from the current position; the number read (0 at the end), or -1 with
    /// errno set.
    std::int64_t read(char* buffer, std::int64_t count);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    int m_error = 0;
};

} // namespace flintor
