#include "RouterRecord.h"

#include "CaptureWords.h"
#include "FileAccess.h"
#include "RouterEnvironment.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace flintor {

namespace {

// The width printenv pads names to, so that the record reads like the console's listing.
constexpr std::size_t kNameColumn = 18;
constexpr int kMostRecordNames = 1000;

std::tm LocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t time = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    return local;
}

std::string TimeText(std::chrono::system_clock::time_point when, const char* format) {
    const std::tm local = LocalTime(when);
    char text[64] = {};
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

std::string WithCrLf(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

// The header lines must read as nothing: no value, no size and no boot loader name. A host name could
// spell one ("adam2_box", "mtd1"), so such a name is left out of the header.
bool ReadsAsNothing(const std::string& header) {
    const PartitionBounds probe{0, 0x90000000u, 0x90010000u};
    const auto reading = ReadRouterEnvironment(header + "mtd0 0x90000000,0x90010000\n");
    return reading.environment && reading.environment->partitions == std::vector<PartitionBounds>{probe} &&
           reading.environment->unreadable.empty() && !reading.environment->flashSize &&
           !reading.environment->markedAdam2 && reading.environment->notes.empty();
}

std::string Header(const std::string& where, const std::string& when) {
    return "# Flintor's record of the boot loader environment " + where + ", read on " + when +
           ".\n# Compared as a router capture (flintor-calc --compare FILE), it shows these values and the "
           "commands\n"
           "# that restore them.\n";
}

// Whether the capture reader would take the text at i for a variable (a partition, or a flashsize other
// than own), or for a boot loader name outside the greeting.
bool Misleads(std::string_view text, std::size_t i, std::string_view own, bool greeting) {
    const CaptureWord word = CaptureWordAt(text, i);
    switch (word.kind) {
    case CaptureWord::Partition:
        // Its own name too: after an unreadable start, "mtd1 0x1,0x2" in a value would read as the value.
        return true;
    case CaptureWord::FlashSize:
        return own != "flashsize";
    case CaptureWord::PspMarker:
    case CaptureWord::Adam2Marker:
        return !greeting;
    case CaptureWord::None:
        break;
    }
    return false;
}

// The router's text with each misleading word broken by a '_' after its first character ("m_td3"): a
// capture must read as exactly the values the router gave, whatever a value or the greeting holds.
std::string Defused(std::string_view text, std::string_view own, bool greeting) {
    std::string defused;
    defused.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        defused += text[i];
        if (Misleads(text, i, own, greeting)) {
            defused += '_';
        }
    }
    return defused;
}

struct Written {
    int error = 0; // an errno value; 0 on success
    const char* step = "";
};

#ifdef _WIN32

Written WriteNew(const std::string& path, std::string_view text) {
    const std::wstring name = WidePath(path);
    if (name.empty()) {
        return {ENOENT, "created"};
    }
    const int file = ::_wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                              _S_IREAD | _S_IWRITE);
    if (file < 0) {
        return {errno, "created"};
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const auto chunk = static_cast<unsigned int>(std::min<std::size_t>(text.size() - done, 1u << 30));
        const int wrote = ::_write(file, text.data() + done, chunk);
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : EIO;
            ::_close(file);
            ::_wunlink(name.c_str());
            return {error, "written"};
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::_commit(file) != 0) {
        const int error = errno;
        ::_close(file);
        ::_wunlink(name.c_str());
        return {error, "written"};
    }
    if (::_close(file) != 0) {
        const int error = errno;
        ::_wunlink(name.c_str());
        return {error, "written"};
    }
    return {};
}

#else

Written WriteNew(const std::string& path, std::string_view text) {
    int file = -1;
    do {
        file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
    } while (file < 0 && errno == EINTR);
    if (file < 0) {
        return {errno, "created"};
    }
    const auto fail = [&](int error) {
        ::close(file);
        ::unlink(path.c_str());
        return Written{error, "written"};
    };
    std::size_t done = 0;
    while (done < text.size()) {
        const auto wrote = ::write(file, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return fail(wrote < 0 ? errno : EIO);
        }
        done += static_cast<std::size_t>(wrote);
    }
    // The router is changed next: the record must be on the disk, not in a cache, by then.
    if (::fsync(file) != 0) {
        return fail(errno);
    }
    if (::close(file) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return {error, "written"};
    }
    return {};
}

#endif

// what: "record file", "backup file".
std::string ExistsMessage(const std::string& path, const char* what = "record file") {
    return std::string("The ") + what + " " + path +
           " exists already; Flintor never writes over a file. Name a new one.";
}

RecordWriting Write(const std::string& path, std::string_view text, int& error,
                    const char* what = "record file") {
    RecordWriting writing;
    error = 0;
    if (NamesNoFile(path)) {
        error = ENOENT;
        writing.error = std::string("No ") + what + " is named.";
        return writing;
    }
    const Written written = WriteNew(path, text);
    error = written.error;
    if (error == EEXIST) {
        writing.error = ExistsMessage(path, what);
    } else if (error != 0) {
        writing.error = std::string("The ") + what + " " + path + " could not be " + written.step + ": " +
                        std::strerror(error) + ".";
    } else {
        writing.path = path;
    }
    return writing;
}

} // namespace

bool RouterReading::sameValues(const RouterReading& other) const {
    return values == other.values;
}

std::string CaptureText(const RouterReading& reading) {
    std::string text;
    if (!reading.banner.empty()) {
        text = Defused(reading.banner, {}, true) + "\n";
    }
    for (const auto& variable : reading.values) {
        if (!variable.value) {
            continue;
        }
        std::string name = variable.name;
        name.resize(std::max(name.size() + 1, kNameColumn), ' ');
        // A value that is no address range is kept as such, escaped: compared again, it is unreadable.
        const bool partition = CaptureWordAt(variable.name, 0).kind == CaptureWord::Partition;
        const std::string value = partition ? CaptureValueText(*variable.value) : Escaped(*variable.value);
        text += name + Defused(value, variable.name, false) + "\n";
    }
    return text;
}

std::string RecordText(const RouterReading& reading, const RouterAddress& address,
                       std::chrono::system_clock::time_point when) {
    return RecordText(reading, "at " + address.text(), when);
}

std::string RecordText(const RouterReading& reading, const std::string& where,
                       std::chrono::system_clock::time_point when) {
    const std::string time = TimeText(when, "%Y-%m-%d at %H:%M:%S");
    std::string header = Header(where, time);
    if (!ReadsAsNothing(header)) {
        header = Header("of the router", time);
    }
    return WithCrLf(header + CaptureText(reading));
}

std::string RecordFileName(std::chrono::system_clock::time_point when) {
    return "flintor-router-" + TimeText(when, "%Y%m%d-%H%M%S") + ".txt";
}

std::string RecordPathProblem(const std::string& path) {
    if (path.empty()) {
        return "No record file is named.";
    }
    int error = 0;
    if (StatusOfPath(path, error)) {
        return ExistsMessage(path);
    }
    return {};
}

std::string BackupPathProblem(const std::string& path) {
    if (path.empty()) {
        return "No backup file is named.";
    }
    int error = 0;
    if (StatusOfPath(path, error)) {
        return ExistsMessage(path, "backup file");
    }
    return {};
}

RecordWriting WriteBackupFile(const std::string& path, std::string_view bytes) {
    int error = 0;
    return Write(path, bytes, error, "backup file");
}

std::string BackupPathBeside(const std::string& recordPath) {
    const std::string stem =
        recordPath.ends_with(".txt") ? recordPath.substr(0, recordPath.size() - 4) : recordPath;
    return stem + "-mtd4.bin";
}

RecordWriting WriteRecordFile(const std::string& path, std::string_view text) {
    int error = 0;
    return Write(path, text, error);
}

RecordWriting WriteNewRecordFile(const std::string& folder, std::string_view text,
                                 std::chrono::system_clock::time_point when) {
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') {
        prefix += '/';
    }
    const std::string name = RecordFileName(when);
    const std::string stem = name.substr(0, name.size() - 4);
    RecordWriting writing;
    for (int number = 1; number <= kMostRecordNames; ++number) {
        int error = 0;
        writing =
            Write(prefix + (number == 1 ? name : stem + "-" + std::to_string(number) + ".txt"), text, error);
        if (error != EEXIST) {
            return writing;
        }
    }
    writing.error =
        "No new record file name was free in " + (folder.empty() ? std::string("this folder") : folder) + ".";
    return writing;
}

} // namespace flintor
