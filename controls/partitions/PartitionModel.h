#pragma once

#include "Colour.h"

#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

/// One range of the partition map. Values are plain numbers in the caller's unit; nothing requires
/// `Start` to be below `End`.
struct PartitionEntry {
    QString Label; ///< may be empty
    double Start = 0;
    double End = 0;
    std::int16_t Level = 0; ///< how many other entries contain this one's range

    friend bool operator==(const PartitionEntry&, const PartitionEntry&) = default;
};

/// The parsed Partitions text: the entries in drawing order and the extent of the map.
struct PartitionLayout {
    std::vector<PartitionEntry> PartTable;
    double MinStart = 0;       ///< smallest Start
    double MaxEnd = 1;         ///< largest End, never below 0
    std::int16_t MaxLevel = 0; ///< largest Level

    /// What a map shows before its texts are first parsed: one unlabelled range from 0 to 1.
    static PartitionLayout unparsed();
};

/// The Colours text parsed: one plain colour per drawing position.
using ColourTable = std::vector<ColourValue>;

/// Thrown by ParsePartitions and ParseColours for a text outside the model: a number beyond the
/// range of a double, more than 32767 entries or pieces, or a colour piece of more than 8 digits.
class PartitionParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxPartitionPieces = 32767;

/// The Partitions text that an empty text stands for.
inline const QString kDefaultPartitions = QStringLiteral("0,1;1,2");
/// The Colours text that an empty text stands for: black, red, green, blue, yellow, cyan, magenta.
inline const QString kDefaultColours = QStringLiteral("0,00FF,00FF00,00FF0000,00FFFF,00FFFF00,00FF00FF");

/// Parses a Partitions text ("label:start,end" entries joined by ";"): reads every entry, counts
/// nesting levels and puts the entries in drawing order. Throws PartitionParseError.
PartitionLayout ParsePartitions(const QString& text);

/// Sets each entry's Level to the number of other entries whose range contains it (bounds
/// inclusive, so equal ranges contain each other) and returns the largest level.
std::int16_t AssignNestingLevels(std::vector<PartitionEntry>& entries);

/// The drawing order: one pass over every pair (j, k ≥ j) that swaps on a higher level and then on
/// a higher start. It orders by start and then level (so a containing range comes before the ranges
/// it contains), and leaves identical ranges in the order the pass's exchanges give them.
void ArrangeDrawingOrder(std::vector<PartitionEntry>& entries);

/// Parses a Colours text (bare hexadecimal 0x00BBGGRR values joined by ","), resolving system
/// colour references at once. Throws PartitionParseError.
ColourTable ParseColours(const QString& text);

/// The colour of drawing position `position`: its own entry, or entry 0 beyond the table's end.
ColourValue ColourAt(const ColourTable& table, std::size_t position);
