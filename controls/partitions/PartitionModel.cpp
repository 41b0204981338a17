#include "PartitionModel.h"

#include "LenientNumber.h"
#include "modMisc.h"

#include <QByteArray>

#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

namespace {

// Every piece of `text` between separators, empty pieces included, in one linear pass.
std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(from));
            return pieces;
        }
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
}

void checkPieceCount(std::string_view text, std::string_view separator, const char* what) {
    // Counted before anything is allocated, so a huge text fails fast.
    if (static_cast<long long>(flintor::CountOf(text, separator)) + 1 > kMaxPartitionPieces)
        throw PartitionParseError(std::string("more than 32767 ") + what);
}

double readNumber(const std::string& text) {
    const flintor::LenientNumber number = flintor::ReadLenientNumber(text);
    if (number.overflow || !std::isfinite(number.value))
        throw PartitionParseError("number beyond the range of a double: " + text);
    return number.value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

ColourValue readColourPiece(std::string_view piece) {
    std::uint32_t value = 0;
    int digits = 0;
    for (char c : piece) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        if (++digits > 8)
            throw PartitionParseError("colour of more than 8 hexadecimal digits: " + std::string(piece));
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return static_cast<ColourValue>(value);
}

} // namespace

PartitionLayout PartitionLayout::unparsed() {
    PartitionLayout layout;
    layout.PartTable = {PartitionEntry{QString(), 0, 1, 0}};
    return layout;
}

PartitionLayout ParsePartitions(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view all(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    checkPieceCount(all, ";", "partitions");

    PartitionLayout layout;
    // The true smallest start, even when every start lies beyond any fixed seed.
    layout.MinStart = std::numeric_limits<double>::infinity();
    layout.MaxEnd = 0;
    layout.MaxLevel = 0;
    const std::vector<std::string_view> entries = splitAt(all, ';');
    layout.PartTable.reserve(entries.size());
    for (const std::string_view entry : entries) {
        PartitionEntry part;
        std::string range(entry);
        if (entry.find(':') != std::string_view::npos) {
            // The label is everything before the first ":", untrimmed; it may hold ",".
            const std::string label = flintor::FieldOf(entry, ":", 1);
            part.Label = QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
            range = flintor::FieldOf(entry, ":", 2);
        }
        part.Start = readNumber(flintor::FieldOf(range, ",", 1));
        part.End = readNumber(flintor::FieldOf(range, ",", 2));
        layout.MinStart = std::min(layout.MinStart, part.Start);
        layout.MaxEnd = std::max(layout.MaxEnd, part.End);
        layout.PartTable.push_back(std::move(part));
    }
    layout.MaxLevel = AssignNestingLevels(layout.PartTable);
    ArrangeDrawingOrder(layout.PartTable);
    return layout;
}

std::int16_t AssignNestingLevels(std::vector<PartitionEntry>& entries) {
    const std::size_t count = entries.size();
    std::vector<double> starts(count), ends(count);
    for (std::size_t i = 0; i < count; ++i) {
        starts[i] = entries[i].Start;
        ends[i] = entries[i].End;
    }
    std::int16_t maxLevel = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double start = starts[i], end = ends[i];
        int containing = 0;
        // Branch-free so that the thousands of entries a 16-bit count allows stay quick.
        for (std::size_t j = 0; j < count; ++j)
            containing += (start >= starts[j]) & (end <= ends[j]);
        // The entry contains itself; it counts only the others.
        entries[i].Level = static_cast<std::int16_t>(containing - 1);
        maxLevel = std::max(maxLevel, entries[i].Level);
    }
    return maxLevel;
}

void ArrangeDrawingOrder(std::vector<PartitionEntry>& entries) {
    // The pass compares levels and starts only; it runs on a compact copy of them and moves the
    // entries themselves once at the end.
    struct Key {
        std::int16_t level;
        double start;
        std::size_t index;
    };
    const std::size_t count = entries.size();
    std::vector<Key> keys(count);
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = Key{entries[i].Level, entries[i].Start, i};
    for (std::size_t j = 0; j + 1 < count; ++j) {
        for (std::size_t k = j; k < count; ++k) {
            if (keys[j].level > keys[k].level)
                std::swap(keys[j], keys[k]);
            if (keys[j].start > keys[k].start)
                std::swap(keys[j], keys[k]);
        }
    }
    std::vector<PartitionEntry> ordered;
    ordered.reserve(count);
    for (const Key& key : keys)
        ordered.push_back(std::move(entries[key.index]));
    entries = std::move(ordered);
}

ColourTable ParseColours(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view all(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    checkPieceCount(all, ",", "colours");
    ColourTable table;
    for (const std::string_view piece : splitAt(all, ','))
        table.push_back(ResolveColour(readColourPiece(piece)));
    return table;
}

ColourValue ColourAt(const ColourTable& table, std::size_t position) {
    if (position < table.size())
        return table[position];
    return table.empty() ? 0 : table.front();
}
