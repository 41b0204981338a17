#include "PartitionGeometry.h"

#include "Tint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Pixel coordinates are held far inside the int range, so that an absurd range can neither overflow
// the drawing arithmetic nor reach the screen.
constexpr double kCoordinateLimit = 1 << 24;

int toPixel(double value) {
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::nearbyint(std::clamp(value, -kCoordinateLimit, kCoordinateLimit)));
}

} // namespace

std::vector<BarGeometry> LayoutBars(const PartitionLayout& layout, const ColourTable& colours,
                                    const MapExtent& extent) {
    const int t = std::max(extent.twipsPerPixel, 1);
    const float w = extent.widthTwips;
    const float h = extent.heightTwips;
    const double minStart = layout.MinStart;
    double span = std::fabs(layout.MaxEnd - minStart);
    // Ranges far apart enough to overflow the span are scaled at half size; halving a double is exact.
    double scale = 1.0;
    if (!std::isfinite(span)) {
        scale = 0.5;
        span = std::fabs(layout.MaxEnd * 0.5 - minStart * 0.5);
    }
    const float rowHeight =
        layout.MaxLevel > 0 ? h / static_cast<float>(layout.MaxLevel + 1) / static_cast<float>(t) : 0.0f;
    const int bottom = toPixel(std::nearbyint(h / static_cast<float>(t)));

    std::vector<BarGeometry> bars;
    bars.reserve(layout.PartTable.size());
    for (std::size_t i = 0; i < layout.PartTable.size(); ++i) {
        const PartitionEntry& entry = layout.PartTable[i];
        double a = 0, b = w;
        if (span > 0) {
            a = std::nearbyint((entry.Start * scale - minStart * scale) / span * w);
            b = std::nearbyint((entry.End * scale - minStart * scale) / span * w);
        }
        BarGeometry bar;
        bar.rect.left = toPixel(a / t);
        bar.rect.right = toPixel(b / t);
        bar.rect.top =
            layout.MaxLevel > 0 ? toPixel(std::nearbyint(static_cast<float>(entry.Level) * rowHeight)) : 0;
        bar.rect.bottom = bottom;
        bar.colour = ColourAt(colours, i);
        bar.fill = TintColour(bar.colour);
        bar.label = entry.Label;
        bar.labelWidth = toPixel((b - a) / t);
        bars.push_back(std::move(bar));
    }
    return bars;
}

WinRect LabelArea(const BarGeometry& bar, int clientBottom) {
    return WinRect{bar.rect.left, bar.rect.top, bar.rect.left + bar.labelWidth, clientBottom};
}

bool LabelFits(long long baseWidthTwips, int labelWidth, int twipsPerPixel) {
    return baseWidthTwips < static_cast<long long>(labelWidth) * twipsPerPixel;
}

WinRect RotatedBounds(const WinRect& rect, int angle) {
    const float theta = static_cast<float>(-angle) * 0.0174532925199433f;
    const float sine = std::sin(theta);
    const float cosine = std::cos(theta);
    const int corners[4][2] = {
        {rect.left, rect.top}, {rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left, rect.bottom}};
    int minX = 1000, minY = 1000, maxX = 0, maxY = 0;
    for (const auto& corner : corners) {
        const auto x = static_cast<float>(corner[0]);
        const auto y = static_cast<float>(corner[1]);
        const int turnedX = toPixel(std::nearbyint(cosine * x - sine * y));
        const int turnedY = toPixel(std::nearbyint(cosine * y + sine * x));
        minX = std::min(minX, turnedX);
        maxX = std::max(maxX, turnedX);
        minY = std::min(minY, turnedY);
        maxY = std::max(maxY, turnedY);
    }
    return WinRect{minX, minY, maxX, maxY};
}

WinRect PlaceLabelBox(const WinRect& area, const WinRect& measured, int angle) {
    const int w = std::abs(measured.right - measured.left);
    const int h = std::abs(measured.bottom - measured.top);
    WinRect box = area;
    if (angle == 0) {
        box.right = box.left + w;
        box.bottom = box.top + h;
    } else {
        // Integer division truncates toward zero, as the placement asks.
        box.top = (area.bottom - area.top + w) / 2;
        box.right = box.left + w;
        box.bottom = box.top + h;
    }
    return box;
}
