#include "PartitionModel.h"

#include "LenientNumber.h"
#include "modMisc.h"

#include <QByteArray>
#include <algorithm>
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
    // A range contains another when its start is not above and its end not below the other's. The
    // count runs over the entries in order of start, with a Fenwick tree over the ends seen so far,
    // so that the 32767 entries a 16-bit count allows take milliseconds rather than seconds.
    const std::size_t count = entries.size();
    std::vector<double> ends(count);
    for (std::size_t i = 0; i < count; ++i)
        ends[i] = entries[i].End;
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    const auto rankOf = [&](double end) {
        return static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), end) - ends.begin());
    };
    std::vector<int> tree(ends.size() + 1, 0); // counts of ends inserted, by rank
    const auto insert = [&](std::size_t rank) {
        for (std::size_t at = rank + 1; at < tree.size(); at += at & (~at + 1))
            ++tree[at];
    };
    const auto countBelow = [&](std::size_t rank) { // inserted ends of a rank below `rank`
        int sum = 0;
        for (std::size_t at = rank; at > 0; at -= at & (~at + 1))
            sum += tree[at];
        return sum;
    };

    std::vector<std::size_t> byStart(count);
    for (std::size_t i = 0; i < count; ++i)
        byStart[i] = i;
    std::sort(byStart.begin(), byStart.end(),
              [&](std::size_t a, std::size_t b) { return entries[a].Start < entries[b].Start; });
    std::int16_t maxLevel = 0;
    int inserted = 0;
    for (std::size_t group = 0; group < count;) {
        // Entries with equal starts contain one another as far as the ends allow: all of them are
        // counted before any of them is asked.
        std::size_t next = group;
        while (next < count && entries[byStart[next]].Start == entries[byStart[group]].Start) {
            insert(rankOf(entries[byStart[next]].End));
            ++inserted;
            ++next;
        }
        for (std::size_t at = group; at < next; ++at) {
            PartitionEntry& entry = entries[byStart[at]];
            // Every range counted so far with an end at or beyond this one's contains it; the entry
            // itself is among them.
            const int containing = inserted - countBelow(rankOf(entry.End));
            entry.Level = static_cast<std::int16_t>(containing - 1);
            maxLevel = std::max(maxLevel, entry.Level);
        }
        group = next;
    }
    return maxLevel;
}

void ArrangeDrawingOrder(std::vector<PartitionEntry>& entries) {
    // Each (j, k) step leaves at position j the entry with the lower start, on equal starts the one
    // with the lower level, and on a full tie the one already there. So the pass orders by start
    // and then level, and only entries with the same start and level (which are identical ranges)
    // come out in an order of its own making. Without such ties a sort gives the same order; with
    // them the pass runs as it is, on a compact copy of the keys, moving the entries once at the end.
    struct Key {
        double start;
        std::int32_t level;
        std::int32_t index;
    };
    const std::size_t count = entries.size();
    std::vector<Key> keys(count);
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = Key{entries[i].Start, entries[i].Level, static_cast<std::int32_t>(i)};
    const auto before = [](const Key& a, const Key& b) {
        return a.start < b.start || (a.start == b.start && a.level < b.level);
    };
    std::vector<Key> sorted = keys;
    std::sort(sorted.begin(), sorted.end(), before);
    const bool ties = std::adjacent_find(sorted.begin(), sorted.end(), [&](const Key& a, const Key& b) {
                          return !before(a, b);
                      }) != sorted.end();
    if (!ties) {
        keys = std::move(sorted);
    } else {
        for (std::size_t j = 0; j + 1 < count; ++j) {
            Key held = keys[j];
            for (std::size_t k = j + 1; k < count; ++k) {
                const Key other = keys[k];
                const bool byLevel = held.level > other.level;
                const Key first = byLevel ? other : held;
                const Key second = byLevel ? held : other;
                const bool byStart = first.start > second.start;
                held = byStart ? second : first;
                keys[k] = byStart ? first : second;
            }
            keys[j] = held;
        }
    }
    std::vector<PartitionEntry> ordered;
    ordered.reserve(count);
    for (const Key& key : keys)
        ordered.push_back(std::move(entries[static_cast<std::size_t>(key.index)]));
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
