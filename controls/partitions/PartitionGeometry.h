#pragma once

#include "Gdi.h"
#include "PartitionModel.h"

#include <QString>
#include <vector>

/// One bar of the map as it is drawn: its rectangle in pixels, colours and label.
struct BarGeometry {
    WinRect rect;           ///< left, top, right, bottom; bottom is the control's bottom edge
    ColourValue colour = 0; ///< outline and label colour
    ColourValue fill = 0;   ///< TintColour(colour)
    QString label;
    int labelWidth = 0; ///< the room along the bar for the label, pixels
};

/// The size of the map: width and height in twips and the screen's twips per pixel.
struct MapExtent {
    float widthTwips = 0;
    float heightTwips = 0;
    int twipsPerPixel = 15;
};

/// The bars of `layout` in drawing order, scaled across the width and stepped down one row per
/// nesting level; every bar reaches the bottom edge. The position past the last colour takes
/// colour 0. When all ranges coincide (a span of 0) every bar covers the whole width.
std::vector<BarGeometry> LayoutBars(const PartitionLayout& layout, const ColourTable& colours,
                                    const MapExtent& extent);

/// The area a label may use: from the bar's top-left corner across `labelWidth` pixels down to
/// `clientBottom`.
WinRect LabelArea(const BarGeometry& bar, int clientBottom);

/// Whether a label `baseWidthTwips` wide (measured in the control's base font) fits across a
/// label area `labelWidth` pixels wide; a label exactly as wide as the area does not.
bool LabelFits(long long baseWidthTwips, int labelWidth, int twipsPerPixel);

/// The bounding box of `rect` turned by −`angle` degrees about the origin, each corner rounded;
/// the running minimum starts at 1000 and the running maximum at 0 (for 90°, (x, y) → (y, −x)).
WinRect RotatedBounds(const WinRect& rect, int angle);

/// Where a label goes in its `area`, given its `measured` box (for an upright label, already passed
/// through RotatedBounds). Horizontal labels sit at the area's top-left corner; upright ones start
/// at the area's left edge, half a line below the middle of the area's height counted from the
/// control's top edge.
WinRect PlaceLabelBox(const WinRect& area, const WinRect& measured, int angle);
