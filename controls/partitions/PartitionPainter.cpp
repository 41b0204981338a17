#include "PartitionPainter.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

constexpr int kOutlineWidth = 2;

void drawLabelText(QImage& surface, const MapStyle& style, ColourValue colour, const WinRect& area,
                   unsigned flags, const QString& label, int angle) {
    if (label.isEmpty() || !style.labelFont)
        return;
    const QFont font = gdi::LogicalFont(*style.labelFont, style.twipsPerPixelY);
    WinRect measured = area;
    gdi::DrawText(surface, font, colour, label, measured, flags | gdi::DT_CALCRECT, angle * 10);
    if (angle != 0)
        measured = RotatedBounds(measured, angle);
    WinRect box = PlaceLabelBox(area, measured, angle);
    gdi::DrawText(surface, font, colour, label, box, flags, angle * 10);
}

void drawLabel(QImage& surface, const MapStyle& style, const BarGeometry& bar) {
    const WinRect area = LabelArea(bar, style.clientBottom);
    const long long baseWidth =
        static_cast<long long>(QFontMetrics(style.baseFont).horizontalAdvance(bar.label)) *
        style.twipsPerPixelX;
    if (LabelFits(baseWidth, bar.labelWidth, style.twipsPerPixelX))
        drawLabelText(surface, style, bar.colour, area, gdi::DT_WORDBREAK | gdi::DT_NOCLIP, bar.label, 0);
    else
        drawLabelText(surface, style, bar.colour, area, gdi::DT_NOCLIP, bar.label, 90);
}

} // namespace

void PaintPartitionMap(QImage& surface, const std::vector<BarGeometry>& bars, const MapStyle& style) {
    if (surface.isNull())
        return;
    surface.fill(toQColor(ResolveColour(style.backColour)));
    for (const BarGeometry& bar : bars) {
        // A range written end first is drawn as the box between its ends.
        WinRect rect = bar.rect;
        if (rect.right < rect.left)
            std::swap(rect.left, rect.right);
        if (rect.bottom < rect.top)
            std::swap(rect.top, rect.bottom);
        gdi::Rectangle(surface, rect, bar.colour, kOutlineWidth,
                       style.fillParts ? std::optional<ColourValue>(bar.fill) : std::nullopt);
        if (!bar.label.isEmpty())
            drawLabel(surface, style, bar);
    }
}
