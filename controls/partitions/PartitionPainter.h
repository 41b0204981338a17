#pragma once

#include "PartitionGeometry.h"

#include <QFont>
#include <QImage>
#include <optional>
#include <vector>

/// How a map is painted, besides its bars.
struct MapStyle {
    ColourValue backColour = 0xFFFFFF; ///< may be a system colour reference
    bool fillParts = false;            ///< fill bars with their tint; otherwise outlines only
    std::optional<QFont> labelFont;    ///< no font, no labels
    QFont baseFont;                    ///< the control's own font, used only to decide whether a label fits
    int twipsPerPixelX = 15;
    int twipsPerPixelY = 15;
    int clientBottom = 0; ///< bottom of the client rectangle at the last resize
};

/// Clears `surface` to the background and draws the bars in order, each followed by its label, so
/// that a later bar paints over earlier bars and their labels. Never fails: a step that cannot be
/// drawn is skipped.
void PaintPartitionMap(QImage& surface, const std::vector<BarGeometry>& bars, const MapStyle& style);
