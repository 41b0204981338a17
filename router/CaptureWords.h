#pragma once

// The words a router capture is read by, in one place: the capture reader finds values and boot loader
// names with them, and the record defuses every word that would mislead that reader.

#include "AsciiText.h"

#include <cstddef>
#include <string_view>

namespace flintor {

/// A word that the capture reader reads.
struct CaptureWord {
    enum Kind {
        None,
        Partition,   ///< "mtd0" to "mtd5", a whole word in any case
        FlashSize,   ///< "flashsize", a whole word in any case
        PspMarker,   ///< "PSPBoot" or "(psbl)" exactly, anywhere
        Adam2Marker, ///< "ADAM2" exactly or "adam2_" in any case, anywhere
    };
    Kind kind = None;
    int partition = -1;     ///< Partition: its number
    std::size_t length = 0; ///< the word's length in the text; 0 for None
};

/// The capture word that starts at pos of text (pos < text.size()). Boot loader names count only as the
/// boot loaders print them, "ADAM2_" as "adam2_": the lower-case "adam2" of the Telnet path
/// /proc/sys/dev/adam2/environment names no boot loader.
inline CaptureWord CaptureWordAt(std::string_view text, std::size_t pos) {
    const auto has = [text, pos](std::string_view word) { return text.substr(pos, word.size()) == word; };
    const auto wholeWordOf = [text, pos](std::size_t length) {
        return (pos == 0 || !IsWordCharacter(text[pos - 1])) &&
               (text.size() - pos == length || !IsWordCharacter(text[pos + length]));
    };
    // Most characters start no word: one test of the first sends them away.
    switch (text[pos]) {
    case 'm':
    case 'M':
        if (HasAtIgnoringCase(text, pos, "mtd") && text.size() - pos >= 4 && text[pos + 3] >= '0' &&
            text[pos + 3] <= '5' && wholeWordOf(4)) {
            return {CaptureWord::Partition, text[pos + 3] - '0', 4};
        }
        break;
    case 'f':
    case 'F':
        if (HasAtIgnoringCase(text, pos, "flashsize") && wholeWordOf(9)) {
            return {CaptureWord::FlashSize, -1, 9};
        }
        break;
    case 'P':
        if (has("PSPBoot")) {
            return {CaptureWord::PspMarker, -1, 7};
        }
        break;
    case '(':
        if (has("(psbl)")) {
            return {CaptureWord::PspMarker, -1, 6};
        }
        break;
    case 'a':
    case 'A':
        if (HasAtIgnoringCase(text, pos, "adam2_")) {
            return {CaptureWord::Adam2Marker, -1, 6};
        }
        if (has("ADAM2")) {
            return {CaptureWord::Adam2Marker, -1, 5};
        }
        break;
    default:
        break;
    }
    return {};
}

} // namespace flintor
