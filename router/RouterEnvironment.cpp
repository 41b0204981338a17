#include "RouterEnvironment.h"

#include "AsciiText.h"
#include "CaptureWords.h"
#include "FileAccess.h"
#include "Texts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace flintor {

namespace {

// A capture full of damaged lines would otherwise bury the owner in notes about each of them.
constexpr std::size_t kMostReaderNotes = 50;

int HexDigitValue(char c) {
    if (IsAsciiDigit(c)) {
        return c - '0';
    }
    const char lower = Lower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Printenv pads with blanks, /proc with a tab, our own forms use ":", "," and quotes, others write "=".
bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '=' || c == ':' || c == ',' || c == '"' || c == '\'' || c == '`';
}

void SkipSeparators(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsSeparator(line[pos])) {
        ++pos;
    }
}

void SkipBlanks(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
}

// The position where the variable names of a request for variables begin ("printenv mtd0", "GETENV mtd0",
// "quote GETENV mtd0" after an optional prompt such as "ftp>", "Adam2_AR7RD >" or "(psbl)"), or npos when
// the line is no such request. The names on such a line are asked for, not given, so they are no damaged
// values.
std::size_t RequestedNamesStart(std::string_view line) {
    std::size_t pos = 0;
    while (pos < line.size()) {
        SkipBlanks(line, pos);
        std::size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) {
            ++end;
        }
        const std::string_view word = line.substr(pos, end - pos);
        if (EqualsIgnoringCase(word, "getenv") || EqualsIgnoringCase(word, "printenv")) {
            // Only names may follow.
            for (std::size_t i = end; i < line.size(); ++i) {
                if (!IsWordCharacter(line[i]) && !IsBlank(line[i]) && line[i] != '\r') {
                    return std::string_view::npos;
                }
            }
            return end;
        }
        // What may stand before the command: "quote", or a prompt that ends in ">", ")", "#" or "$".
        const bool prompt = !word.empty() && (word.back() == '>' || word.back() == ')' ||
                                              word.back() == '#' || word.back() == '$');
        if (word.empty() ||
            !(prompt || EqualsIgnoringCase(word, "quote") || (pos == 0 && end < line.size()))) {
            return std::string_view::npos;
        }
        pos = end;
    }
    return std::string_view::npos;
}

// A whole hexadecimal number at pos ("0x" optional) of at most eight significant digits; pos moves past it.
// A number running into a letter, digit or "_" is some other word and is not read.
std::optional<std::uint32_t> ReadHex(std::string_view line, std::size_t& pos) {
    std::size_t p = pos;
    if (line.size() - p >= 3 && line[p] == '0' && Lower(line[p + 1]) == 'x' &&
        HexDigitValue(line[p + 2]) >= 0) {
        p += 2;
    }
    std::uint32_t value = 0;
    int significant = 0;
    const std::size_t first = p;
    for (; p < line.size(); ++p) {
        const int digit = HexDigitValue(line[p]);
        if (digit < 0) {
            break;
        }
        if (significant > 0 || digit != 0) {
            ++significant;
        }
        if (significant <= 8) {
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
    }
    if (p == first || significant > 8 || (p < line.size() && IsWordCharacter(line[p]))) {
        return std::nullopt;
    }
    pos = p;
    return value;
}

// "START,END" at pos, blanks around the comma allowed; pos moves past it.
std::optional<PartitionBounds> ReadPair(std::string_view text, std::size_t& pos, int number) {
    const auto start = ReadHex(text, pos);
    if (!start) {
        return std::nullopt;
    }
    SkipBlanks(text, pos);
    if (pos >= text.size() || text[pos] != ',') {
        return std::nullopt;
    }
    ++pos;
    SkipBlanks(text, pos);
    const auto end = ReadHex(text, pos);
    if (!end) {
        return std::nullopt;
    }
    return PartitionBounds{number, *start, *end};
}

// Whether the byte at pos, right after a value, makes it no value: a comma (a third number), or a byte
// that no terminal prints, or its escape ("\xff"), which cuts a number short ("0x9040\xff0000").
bool EndsValueBadly(std::string_view line, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(line[pos]);
    return byte == ',' || (byte < 0x20 && byte != '\t') || byte >= 0x7F ||
           (byte == '\\' && pos + 1 < line.size() && line[pos + 1] == 'x');
}

// The two addresses after the word "mtdN" that ends at pos (after the separators, at valueStart).
std::optional<PartitionBounds> ReadRange(std::string_view line, std::size_t& valueStart, int number) {
    SkipSeparators(line, valueStart);
    std::size_t pos = valueStart;
    const auto bounds = ReadPair(line, pos, number);
    if (!bounds || (pos < line.size() && EndsValueBadly(line, pos))) {
        return std::nullopt;
    }
    return bounds;
}

// An unreadable value is kept to this length: enough to recognise it, not a whole listing.
constexpr std::size_t kLongestUnreadableText = 256;

std::string LineText(int line) {
    return "line " + std::to_string(line);
}

// "mtd0", "mtd0 and mtd1", "mtd0, mtd1 and mtd4".
std::string NameList(const std::vector<int>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            text += i + 1 == numbers.size() ? " and " : ", ";
        }
        text += "mtd" + std::to_string(numbers[i]);
    }
    return text;
}

struct Marker {
    std::string text; // as the capture spells it
    int line = 0;

    std::string described() const { return '"' + text + "\" on " + LineText(line); }
};

class CaptureReader {
public:
    void readLine(std::string_view line, int number) {
        std::array<bool, 6> unreadable{};
        bool flashSizeUnreadable = false;
        // Worked out once, at the first mention without a value: it reads the whole line, and a line may
        // hold a mention every few bytes.
        std::optional<std::size_t> requestedNamesStart;
        const auto requested = [&](std::size_t pos) {
            if (!requestedNamesStart) {
                requestedNamesStart = RequestedNamesStart(line);
            }
            return pos >= *requestedNamesStart;
        };
        for (std::size_t i = 0; i < line.size(); ++i) {
            const CaptureWord word = CaptureWordAt(line, i);
            switch (word.kind) {
            case CaptureWord::Partition: {
                std::size_t valueStart = i + word.length;
                if (const auto bounds = ReadRange(line, valueStart, word.partition)) {
                    setPartition(*bounds, number);
                } else if (!requested(i)) {
                    const std::string_view text = Trimmed(line.substr(valueStart, kLongestUnreadableText));
                    // The first mention of a line is the one its value follows; later ones are its text.
                    if (!text.empty() && !unreadable[static_cast<std::size_t>(word.partition)]) {
                        m_unreadable[static_cast<std::size_t>(word.partition)] = std::string(text);
                    }
                    unreadable[static_cast<std::size_t>(word.partition)] = true;
                }
                i += word.length - 1;
                break;
            }
            case CaptureWord::FlashSize: {
                std::size_t pos = i + word.length;
                SkipSeparators(line, pos);
                if (const auto size = ReadHex(line, pos)) {
                    setFlashSize(*size, number);
                } else if (!requested(i)) {
                    flashSizeUnreadable = true;
                }
                i += word.length - 1;
                break;
            }
            case CaptureWord::PspMarker:
                if (!m_pspMarker) {
                    m_pspMarker = Marker{std::string(line.data() + i, word.length), number};
                }
                break;
            case CaptureWord::Adam2Marker:
                if (!m_adam2Marker) {
                    m_adam2Marker = Marker{std::string(line.data() + i, word.length), number};
                }
                break;
            case CaptureWord::None:
                break;
            }
        }
        std::uint8_t mask = 0;
        for (std::size_t partition = 0; partition < 6; ++partition) {
            mask |= static_cast<std::uint8_t>(unreadable[partition] ? 1u << partition : 0u);
        }
        if (mask != 0) {
            // Whether the mention is used as the partition's unreadable value is known at the end only.
            m_notes.push_back({{}, number, mask});
        }
        if (flashSizeUnreadable) {
            note(Capitalised(LineText(number)) +
                 " names flashsize but no readable hexadecimal size follows it; that mention is not used.");
        }
    }

    RouterEnvironment finish() {
        RouterEnvironment environment;
        std::uint8_t unreadableUsed = 0;
        for (std::size_t number = 0; number < 6; ++number) {
            if (m_partitions[number]) {
                environment.partitions.push_back(m_partitions[number]->bounds);
            } else if (m_unreadable[number]) {
                environment.unreadable.push_back({static_cast<int>(number), *m_unreadable[number]});
                unreadableUsed |= static_cast<std::uint8_t>(1u << number);
            }
        }
        std::vector<std::string> notes;
        std::size_t notesLeftOut = 0;
        for (const PendingNote& pending : m_notes) {
            std::string text = pending.text;
            if (pending.unreadableMask != 0) {
                // A mention that stands as the partition's unreadable value is shown as such, not noted.
                std::vector<int> numbers;
                for (int partition = 0; partition < 6; ++partition) {
                    if ((pending.unreadableMask & ~unreadableUsed) & (1u << partition)) {
                        numbers.push_back(partition);
                    }
                }
                if (numbers.empty()) {
                    continue;
                }
                text = Capitalised(LineText(pending.line)) + " names " + NameList(numbers) +
                       (numbers.size() == 1 ? " but no readable address range follows it; that mention is "
                                              "not used."
                                            : " but no readable address range follows them; those mentions "
                                              "are not used.");
            }
            if (notes.size() < kMostReaderNotes) {
                notes.push_back(std::move(text));
            } else {
                ++notesLeftOut;
            }
        }
        m_notes.clear();
        if (m_flashSize) {
            environment.flashSize = m_flashSize->first;
            environment.flashSizeLine = m_flashSize->second;
        }
        if (m_pspMarker && m_adam2Marker) {
            // Past the limit of notes about lines, this one still matters: the capture contradicts itself.
            notes.push_back("The capture names both boot loaders (" + m_adam2Marker->described() +
                            " for Adam2, " + m_pspMarker->described() +
                            " for PSP), so these names decide nothing.");
        } else if (m_adam2Marker || m_pspMarker) {
            environment.markedAdam2 = m_adam2Marker.has_value();
            environment.marker = (m_adam2Marker ? *m_adam2Marker : *m_pspMarker).described();
        }
        if (notesLeftOut > 0) {
            notes.push_back(std::to_string(notesLeftOut) + (notesLeftOut == 1
                                                                ? " further note like these is left out."
                                                                : " further notes like these are left out."));
        }
        environment.notes = std::move(notes);
        return environment;
    }

private:
    struct Seen {
        PartitionBounds bounds;
        int line = 0;
    };

    // A note in the order the lines gave it; the notes about unreadable mentions are worded at the end.
    struct PendingNote {
        std::string text;
        int line = 0;
        std::uint8_t unreadableMask = 0; // the partitions whose mention on line has no readable range
    };

    void note(std::string text) { m_notes.push_back({std::move(text), 0, 0}); }

    void setPartition(const PartitionBounds& bounds, int line) {
        auto& seen = m_partitions[static_cast<std::size_t>(bounds.number)];
        if (seen && seen->bounds != bounds) {
            note("mtd" + std::to_string(bounds.number) + " is set again on " + LineText(line) + " (" +
                 RangeText(bounds) + "), differently from " + LineText(seen->line) + " (" +
                 RangeText(seen->bounds) + "); the later value is used.");
        }
        seen = Seen{bounds, line};
    }

    void setFlashSize(std::uint32_t size, int line) {
        if (m_flashSize && m_flashSize->first != size) {
            note("flashsize is set again on " + LineText(line) + " (" + HexAddress(size) +
                 "), differently from " + LineText(m_flashSize->second) + " (" +
                 HexAddress(m_flashSize->first) + "); the later value is used.");
        }
        m_flashSize = {size, line};
    }

    std::array<std::optional<Seen>, 6> m_partitions;
    std::array<std::optional<std::string>, 6> m_unreadable; // the last unreadable value of each
    std::optional<std::pair<std::uint32_t, int>> m_flashSize;
    std::optional<Marker> m_pspMarker;
    std::optional<Marker> m_adam2Marker;
    std::vector<PendingNote> m_notes;
};

RouterCaptureReading Refused(std::string error) {
    RouterCaptureReading reading;
    reading.error = std::move(error);
    return reading;
}

RouterCaptureReading ReadFailed(int error) {
    return Refused(std::string(texts::kCaptureReadFailedPrefix) + std::strerror(error));
}

// The flash size that a partition ending at end would give, when end lies a whole number of 64 KiB
// blocks above the flash base and within the addresses a flash can have.
std::optional<std::int64_t> FlashSizeEndingAt(std::uint32_t end) {
    const std::int64_t size = static_cast<std::int64_t>(end) - FlashBase;
    if (size <= 0 || size >= kFlashSizeLimit || size % 0x10000 != 0) {
        return std::nullopt;
    }
    return size;
}

// "4 MiB (0x400000)".
std::string SizeWithHex(std::int64_t size) {
    std::string text;
    if (size % 0x100000 == 0) {
        text = std::to_string(size / 0x100000) + " MiB";
    } else if (size % 0x400 == 0) {
        text = std::to_string(size / 0x400) + " KiB";
    } else {
        text = std::to_string(size) + " bytes";
    }
    return text + " (" + HexAddress(static_cast<std::uint32_t>(size)) + ")";
}

const char* LoaderName(bool adam2) {
    return adam2 ? "Adam2" : "PSP";
}

struct BootloaderInference {
    std::optional<bool> adam2;
    std::string reason;
};

struct FlashSizeInference {
    std::optional<std::int64_t> size;
    std::string reason;
};

// The boot loader that put the configuration block (mtd3) where the router has it: PSP right after its
// 64 KiB boot block, Adam2 in a single 64 KiB block high in the flash, at its end.
BootloaderInference BootloaderFromPlacement(const RouterEnvironment& environment) {
    const PartitionBounds* mtd2 = environment.partition(2);
    const PartitionBounds* mtd3 = environment.partition(3);
    if (mtd3 && mtd3->start == 0x90010000u && mtd3->end == 0x90020000u) {
        if (mtd2 && mtd2->start == 0x90000000u && mtd2->end == 0x90010000u) {
            return {false, "PSP: mtd2 and mtd3 are the first two 64 KiB blocks of the flash (" +
                               RangeText(*mtd2) + " and " + RangeText(*mtd3) +
                               "), where PSP keeps its boot loader and its configuration."};
        }
        return {false, "PSP: mtd3 (" + RangeText(*mtd3) +
                           ") is the second 64 KiB block of the flash, right after the boot block, where PSP "
                           "keeps its configuration."};
    }
    if (mtd3 && mtd3->start >= 0x90020000u && mtd3->end > mtd3->start &&
        mtd3->end - mtd3->start == 0x10000u && mtd3->end % 0x10000u == 0) {
        return {true,
                "Adam2: mtd3 (" + RangeText(*mtd3) +
                    ") is a single 64 KiB block high in the flash, where Adam2 keeps its configuration."};
    }
    return {std::nullopt,
            "The boot loader cannot be told from the capture: it names neither Adam2 nor PSP, and "
            "its mtd2 and mtd3 match neither boot loader's layout."};
}

// A name in a greeting, a prompt or the capture's words is weak evidence (PSP's FTP server grew out of
// Adam2's and may still call itself so); where the configuration block sits is strong evidence, since the
// boot loader put it there. The name decides only where the placement fits neither boot loader.
BootloaderInference BootloaderFromCapture(const RouterEnvironment& environment,
                                          std::vector<std::string>& notes) {
    BootloaderInference placement = BootloaderFromPlacement(environment);
    if (!environment.markedAdam2) {
        return placement;
    }
    const bool marked = *environment.markedAdam2;
    const std::string named = "the capture names " + environment.marker;
    if (!placement.adam2) {
        if (const PartitionBounds* mtd3 = environment.partition(3)) {
            notes.push_back("The router's mtd3 (" + RangeText(*mtd3) +
                            ") fits neither boot loader's layout, so the boot loader is taken from its name "
                            "alone: " +
                            named + ".");
        } else {
            notes.push_back("The router has no readable mtd3, so the boot loader is taken from its name "
                            "alone: " +
                            named + ".");
        }
    } else if (*placement.adam2 != marked) {
        const char* placed = LoaderName(*placement.adam2);
        notes.push_back(Capitalised(named) + ", which points to " + LoaderName(marked) +
                        ", but the router's mtd3 (" + RangeText(*environment.partition(3)) + ") sits where " +
                        placed + " keeps its configuration block: " + placed +
                        " is used, since the boot loader itself put that block there.");
        return placement;
    }
    return {marked, std::string(LoaderName(marked)) + ": " + named + "."};
}

// The flash size that the partitions give under the boot loader's layout: Adam2 keeps its configuration
// block in the last 64 KiB, PSP lets the file system, the image area and mtd5 reach the end.
FlashSizeInference FlashSizeFromLayout(const RouterEnvironment& environment, bool adam2) {
    if (adam2) {
        const PartitionBounds* mtd3 = environment.partition(3);
        if (!mtd3) {
            return {std::nullopt,
                    "The flash size cannot be told from the capture: it has neither a usable flashsize nor "
                    "mtd3, whose end is the end of an Adam2 flash."};
        }
        if (const auto size = FlashSizeEndingAt(mtd3->end)) {
            return {size, SizeWithHex(*size) + ": mtd3, Adam2's configuration block, ends the flash at " +
                              HexAddress(mtd3->end) + "."};
        }
        return {std::nullopt,
                "The flash size cannot be told from the capture: it has no usable flashsize, and mtd3 ends "
                "at " +
                    HexAddress(mtd3->end) +
                    ", which is no flash end (a whole number of 64 KiB blocks above 0x90000000)."};
    }
    const PartitionBounds* highest = nullptr;
    for (int number : {0, 4, 5}) {
        const PartitionBounds* bounds = environment.partition(number);
        if (bounds && (!highest || bounds->end > highest->end)) {
            highest = bounds;
        }
    }
    if (!highest) {
        return {std::nullopt,
                "The flash size cannot be told from the capture: it has neither a usable flashsize nor any "
                "of mtd0, mtd4 and mtd5, which reach the end of a PSP flash."};
    }
    const std::string name = "mtd" + std::to_string(highest->number);
    if (const auto size = FlashSizeEndingAt(highest->end)) {
        return {size, SizeWithHex(*size) + ": " + name + " reaches the end of the flash at " +
                          HexAddress(highest->end) + "."};
    }
    return {std::nullopt, "The flash size cannot be told from the capture: it has no usable flashsize, and " +
                              name + ", the partition that reaches furthest, ends at " +
                              HexAddress(highest->end) +
                              ", which is no flash end (a whole number of 64 KiB blocks above 0x90000000)."};
}

} // namespace

const PartitionBounds* RouterEnvironment::partition(int number) const {
    const auto it = std::find_if(partitions.begin(), partitions.end(),
                                 [number](const PartitionBounds& bounds) { return bounds.number == number; });
    return it == partitions.end() ? nullptr : &*it;
}

const UnreadableValue* RouterEnvironment::unreadableValue(int number) const {
    const auto it = std::find_if(unreadable.begin(), unreadable.end(),
                                 [number](const UnreadableValue& value) { return value.number == number; });
    return it == unreadable.end() ? nullptr : &*it;
}

std::optional<PartitionBounds> ParsePartitionValue(int number, std::string_view value) {
    value = Trimmed(value);
    std::size_t pos = 0;
    const auto bounds = ReadPair(value, pos, number);
    return bounds && pos == value.size() ? bounds : std::nullopt;
}

std::string CaptureValueText(std::string_view value) {
    value = Trimmed(value);
    if (ParsePartitionValue(0, value)) {
        return std::string(value);
    }
    // The capture reader is lenient where a router's reply is not: separators before a value and text
    // after it are a capture's own. The bytes that it would read past are escaped too.
    const std::string escaped = Escaped(value);
    std::string text;
    std::size_t pos = 0;
    for (; pos < escaped.size() && IsSeparator(escaped[pos]); ++pos) {
        text += Escaped(std::string_view(&escaped[pos], 1), true);
    }
    std::size_t end = pos;
    if (ReadPair(escaped, end, 0) && end < escaped.size() && !EndsValueBadly(escaped, end)) {
        text.append(escaped, pos, end - pos);
        text += Escaped(std::string_view(&escaped[end], 1), true);
        pos = end + 1;
    }
    return text.append(escaped, pos);
}

RouterCaptureReading ReadRouterEnvironment(std::string_view text, bool valuesRequired) {
    if (text.size() > kLargestRouterCapture) {
        return Refused(texts::kCaptureTooLarge);
    }
    if (text.find('\0') != std::string_view::npos) {
        return Refused(texts::kCaptureNotText);
    }
    CaptureReader reader;
    int number = 1;
    for (std::size_t pos = 0;; ++number) {
        // A plain loop: find_first_of would search its set once for each character of a 1 MiB capture.
        std::size_t stop = pos;
        while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r') {
            ++stop;
        }
        reader.readLine(text.substr(pos, stop - pos), number);
        if (stop == text.size()) {
            break;
        }
        // CR LF is one line end; a CR alone, as old terminal logs have it, is one too.
        pos = stop + (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n' ? 2 : 1);
    }
    RouterEnvironment environment = reader.finish();
    if (environment.partitions.empty() && valuesRequired) {
        return Refused(texts::kCaptureNoValues);
    }
    RouterCaptureReading reading;
    reading.environment = std::move(environment);
    return reading;
}

RouterCaptureReading ReadRouterEnvironmentFile(const std::string& path) {
    int error = 0;
    auto status = StatusOfPath(path, error);
    if (!status) {
        return ReadFailed(error);
    }
    // A FIFO or a device would be read until someone writes to it or never end; neither is a capture.
    if (!status->regular) {
        return Refused(texts::kCaptureNotRegularPrefix + path);
    }
    if (static_cast<std::uint64_t>(status->length) > kLargestRouterCapture) {
        return Refused(texts::kCaptureTooLarge);
    }
    ReadOnlyFile file(path);
    if (!file.isOpen()) {
        return ReadFailed(file.error());
    }
    status = file.status();
    if (!status) {
        return ReadFailed(errno);
    }
    if (!status->regular) {
        return Refused(texts::kCaptureNotRegularPrefix + path);
    }
    // One byte more than the largest capture tells a file that grew since the check from one that fits.
    std::string text(kLargestRouterCapture + 1, '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const auto got = file.read(text.data() + done, static_cast<std::int64_t>(text.size() - done));
        if (got < 0) {
            return ReadFailed(errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    text.resize(done);
    RouterCaptureReading reading = ReadRouterEnvironment(text);
    // The window shows the text it compared: handing it on spares a second read that could see another file.
    reading.text = std::move(text);
    return reading;
}

RouterSettings InferRouterSettings(const RouterEnvironment& environment, std::optional<bool> explicitAdam2) {
    RouterSettings settings;
    std::vector<std::string> inferenceNotes;
    const BootloaderInference captured = BootloaderFromCapture(environment, inferenceNotes);
    if (explicitAdam2) {
        settings.adam2 = explicitAdam2;
        settings.bootloaderReason = std::string(LoaderName(*explicitAdam2)) + ", as chosen.";
        if (captured.adam2 && *captured.adam2 != *explicitAdam2) {
            settings.notes.push_back("The capture points to another boot loader than the chosen " +
                                     std::string(LoaderName(*explicitAdam2)) + ": " + captured.reason +
                                     " The choice is kept.");
        }
    } else {
        settings.adam2 = captured.adam2;
        settings.bootloaderReason = captured.reason;
        settings.notes = std::move(inferenceNotes);
    }

    std::optional<FlashSizeInference> layout;
    if (settings.adam2) {
        layout = FlashSizeFromLayout(environment, *settings.adam2);
    }
    const auto& variable = environment.flashSize;
    const std::string variableText =
        variable ? "flashsize on " + LineText(environment.flashSizeLine) + " (" + HexAddress(*variable) + ")"
                 : "";
    if (variable && *variable > 0 && *variable < kFlashSizeLimit) {
        settings.flashSize = *variable;
        settings.flashSizeReason = SizeWithHex(*variable) + ": the capture's " + variableText + ".";
        if (layout && layout->size && *layout->size != *variable) {
            settings.notes.push_back("The capture's " + variableText +
                                     " disagrees with its layout, which gives " + layout->reason +
                                     " The flashsize is used.");
        }
        return settings;
    }
    if (variable) {
        settings.notes.push_back("The capture's " + variableText + " is no flash size; it is not used.");
    }
    if (layout) {
        settings.flashSize = layout->size;
        settings.flashSizeReason = layout->reason;
    } else {
        settings.flashSizeReason =
            "The flash size cannot be told from the capture: it has no usable flashsize, and "
            "without the boot loader its partitions say nothing about the flash end.";
    }
    return settings;
}

} // namespace flintor
