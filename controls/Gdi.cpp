#include "Gdi.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace gdi {

namespace {

int qtTextFlags(unsigned flags) {
    int result = Qt::AlignTop | Qt::TextShowMnemonic;
    if (flags & DT_RIGHT)
        result |= Qt::AlignRight;
    else if (flags & DT_CENTER)
        result |= Qt::AlignHCenter;
    else
        result |= Qt::AlignLeft;
    if (flags & DT_WORDBREAK)
        result |= Qt::TextWordWrap;
    if (flags & DT_NOCLIP)
        result |= Qt::TextDontClip;
    return result;
}

/// Fills device pixels [left, right) × [top, bottom), clipped to the surface.
void fillDevice(QImage& surface, int left, int top, int right, int bottom, QRgb rgb) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, surface.width());
    bottom = std::min(bottom, surface.height());
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(surface.scanLine(y));
        std::fill(line + left, line + std::max(left, right), rgb);
    }
}

/// Fills logical pixels [left, right) × [top, bottom): on a high-resolution surface each logical
/// pixel is a block of device pixels.
void fillSpan(QImage& surface, int left, int top, int right, int bottom, QRgb rgb) {
    const qreal ratio = surface.devicePixelRatio();
    if (ratio == 1.0)
        fillDevice(surface, left, top, right, bottom, rgb);
    else
        fillDevice(surface, DevicePixel(left, ratio), DevicePixel(top, ratio), DevicePixel(right, ratio),
                   DevicePixel(bottom, ratio), rgb);
}

void setPixel(QImage& surface, int x, int y, QRgb rgb) {
    if (surface.devicePixelRatio() != 1.0)
        fillSpan(surface, x, y, x + 1, y + 1, rgb);
    else if (x >= 0 && y >= 0 && x < surface.width() && y < surface.height())
        reinterpret_cast<QRgb*>(surface.scanLine(y))[x] = rgb;
}

/// For each device pixel along one axis of the destination area [from, from + length) (logical),
/// the logical offset into the area it shows, or -1 outside the area or the surface.
std::vector<int> logicalOffsets(int from, int length, int deviceSize, qreal ratio) {
    std::vector<int> offsets(static_cast<std::size_t>(std::max(deviceSize, 0)), -1);
    const int first = std::max(0, -from);
    for (int i = first; i < length; ++i) {
        const int begin = std::max(DevicePixel(from + i, ratio), 0);
        const int end = std::min(DevicePixel(from + i + 1, ratio), deviceSize);
        if (begin >= deviceSize)
            break;
        for (int d = begin; d < end; ++d)
            offsets[static_cast<std::size_t>(d)] = i;
    }
    return offsets;
}

} // namespace

int DevicePixel(int logical, qreal ratio) {
    return static_cast<int>(std::lround(logical * ratio));
}

QImage Surface(QSize size, qreal ratio) {
    if (ratio <= 0 || !std::isfinite(ratio))
        ratio = 1;
    QImage surface(DevicePixel(size.width(), ratio), DevicePixel(size.height(), ratio), QImage::Format_RGB32);
    surface.setDevicePixelRatio(ratio);
    return surface;
}

bool SurfaceFits(const QImage& surface, QSize size, qreal ratio) {
    return surface.devicePixelRatio() == ratio &&
           surface.size() == QSize(DevicePixel(size.width(), ratio), DevicePixel(size.height(), ratio));
}

void Rectangle(QImage& surface, const WinRect& rect, ColourValue pen, int penWidth,
               std::optional<ColourValue> fill) {
    if (surface.isNull())
        return;
    if (fill)
        fillSpan(surface, rect.left, rect.top, rect.right, rect.bottom, toQColor(*fill).rgb());
    if (penWidth <= 0)
        return;
    const QRgb rgb = toQColor(pen).rgb();
    // The pen straddles each edge: of a w-pixel pen, w / 2 pixels lie before the edge's own
    // pixel column (or row) and the rest on and after it.
    const int before = penWidth / 2;
    const int after = penWidth - before;
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    fillSpan(surface, l - before, t - before, r + after, t + after, rgb); // top
    fillSpan(surface, l - before, b - before, r + after, b + after, rgb); // bottom
    fillSpan(surface, l - before, t - before, l + after, b + after, rgb); // left
    fillSpan(surface, r - before, t - before, r + after, b + after, rgb); // right
}

void Line(QImage& surface, int x1, int y1, int x2, int y2, ColourValue colour) {
    const QRgb rgb = toQColor(colour).rgb();
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {
        setPixel(surface, x, y, rgb);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

void StretchBlt(QImage& destination, int dx, int dy, int dw, int dh, const QImage& source, int sx, int sy,
                int sw, int sh) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || destination.isNull() || source.isNull())
        return;
    const QImage src = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
                           ? source
                           : source.convertToFormat(QImage::Format_RGB32);
    const qreal ratio = destination.devicePixelRatio();
    if (ratio != 1.0) {
        // Each logical destination pixel takes its source pixel as at one device pixel per
        // logical pixel, and shows it as a block.
        const std::vector<int> rows = logicalOffsets(dy, dh, destination.height(), ratio);
        const std::vector<int> columns = logicalOffsets(dx, dw, destination.width(), ratio);
        for (int y = 0; y < destination.height(); ++y) {
            const int row = rows[static_cast<std::size_t>(y)];
            const int srcY = row < 0 ? -1 : sy + static_cast<int>(static_cast<long long>(row) * sh / dh);
            if (srcY < 0 || srcY >= src.height())
                continue;
            const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(srcY));
            auto* to = reinterpret_cast<QRgb*>(destination.scanLine(y));
            for (int x = 0; x < destination.width(); ++x) {
                const int column = columns[static_cast<std::size_t>(x)];
                const int srcX =
                    column < 0 ? -1 : sx + static_cast<int>(static_cast<long long>(column) * sw / dw);
                if (srcX >= 0 && srcX < src.width())
                    to[x] = from[srcX];
            }
        }
        return;
    }
    const int top = std::max(dy, 0), bottom = std::min(dy + dh, destination.height());
    const int left = std::max(dx, 0), right = std::min(dx + dw, destination.width());
    for (int y = top; y < bottom; ++y) {
        const int srcY = sy + static_cast<int>(static_cast<long long>(y - dy) * sh / dh);
        if (srcY < 0 || srcY >= src.height())
            continue;
        const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(srcY));
        auto* to = reinterpret_cast<QRgb*>(destination.scanLine(y));
        for (int x = left; x < right; ++x) {
            const int srcX = sx + static_cast<int>(static_cast<long long>(x - dx) * sw / dw);
            if (srcX >= 0 && srcX < src.width())
                to[x] = from[srcX];
        }
    }
}

QFont LogicalFont(const QFont& description, int twipsPerPixelY) {
    QFont font(description.family().left(31));
    const double points =
        description.pointSizeF() > 0 ? description.pointSizeF() : description.pixelSize() * 72.0 / 96.0;
    const int perPixel = twipsPerPixelY > 0 ? twipsPerPixelY : 15;
    font.setPixelSize(std::max(1, static_cast<int>(std::lrint(points * 20.0 / perPixel))));
    font.setWeight(description.bold() ? QFont::Bold : QFont::Normal);
    font.setItalic(description.italic());
    font.setUnderline(description.underline());
    font.setStrikeOut(description.strikeOut());
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

int DrawText(QImage& surface, const QFont& font, ColourValue colour, const QString& text, WinRect& rect,
             unsigned flags, int escapement) {
    if (text.isEmpty()) {
        if (flags & DT_CALCRECT) {
            rect.right = rect.left;
            rect.bottom = rect.top;
        }
        return 0;
    }
    const int qtFlags = qtTextFlags(flags);
    const QRect area(rect.left, rect.top, std::max(rect.width(), 0), std::max(rect.height(), 0));
    if ((flags & DT_CALCRECT) || surface.isNull()) {
        // Measuring takes the width of the area for wrapping; an area with no width wraps at every word.
        const QRect measured = QFontMetrics(font).boundingRect(
            QRect(area.left(), area.top(), area.width(), 1 << 20), qtFlags & ~Qt::TextDontClip, text);
        if (flags & DT_CALCRECT) {
            rect.right = rect.left + measured.width();
            rect.bottom = rect.top + measured.height();
        }
        return measured.height();
    }
    // Drawing lays the text out once and reports the height of what it drew.
    QPainter painter(&surface);
    painter.setFont(font);
    painter.setPen(toQColor(colour));
    painter.setRenderHint(QPainter::TextAntialiasing, font.styleStrategy() != QFont::NoAntialias);
    QRect drawn;
    if (escapement != 0) {
        painter.translate(rect.left, rect.top);
        painter.rotate(-escapement / 10.0);
        // Turned by a quarter, the area's height is the room along the line.
        painter.drawText(QRect(0, 0, std::max(rect.height(), 0), std::max(rect.width(), 0)), qtFlags, text,
                         &drawn);
    } else {
        painter.drawText(area, qtFlags, text, &drawn);
    }
    return drawn.height();
}

} // namespace gdi
