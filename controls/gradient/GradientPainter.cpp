#include "GradientPainter.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace gradient {

namespace {

constexpr int kSaturation = 1 << 30;

/// A colour as it goes into a stop list: system colours resolved and only the three colour bytes
/// kept, so that the list always carries plain, unsigned decimal values.
QString stopColour(ColourValue value) {
    return QString::number(static_cast<std::uint32_t>(ResolveColour(value)) & 0xFFFFFFu);
}

ColourValue colourOf(long r, long g, long b) {
    return static_cast<ColourValue>(r + 256 * g + 65536 * b);
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

ColourTriple SplitColour(ColourValue value) {
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<std::int16_t>(v & 0xFF), static_cast<std::int16_t>((v >> 8) & 0xFF),
            static_cast<std::int16_t>((v >> 16) & 0xFF)};
}

QString GetField(const QString& text, const QString& delimiter, int n) {
    if (n < 1)
        return {};
    if (delimiter.isEmpty())
        return n == 1 ? text : QString();
    const QStringList fields = text.split(delimiter);
    return n <= fields.size() ? fields.at(n - 1) : QString();
}

double LeadingNumber(QStringView text) {
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < size && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < size && isDigit(text[i]))
        ++i, ++digits;
    if (i < size && text[i] == u'.') {
        ++i;
        while (i < size && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    qsizetype end = i;
    // An exponent counts only when digits follow it: "1e" reads as 1.
    if (i < size && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < size && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j < size && isDigit(text[j])) {
            while (j < size && isDigit(text[j]))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toString().toDouble(&ok);
    return ok ? value : 0;
}

int RoundHalfEvenToInt(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(std::clamp(value, double(-kSaturation), double(kSaturation)));
    return static_cast<int>(rounded);
}

QString LabelStops(ColourValue light, ColourValue shade) {
    return "0," + stopColour(light) + "#100," + stopColour(shade);
}

QString LabelTriColourStops(ColourValue light, ColourValue normal, ColourValue shade) {
    return "0," + stopColour(light) + "#33," + stopColour(normal) + "#66," + stopColour(normal) + "#100," +
           stopColour(shade);
}

QString ButtonStops(ColourValue light, ColourValue lookColour, ColourValue normal, ColourValue shade) {
    return "0," + stopColour(light) + "#10," + stopColour(lookColour) + "#90," + stopColour(normal) +
           "#100," + stopColour(shade);
}

QString DisabledButtonStops(ColourValue disabled, ColourValue normal, ColourValue shade) {
    return "0," + stopColour(disabled) + "#90," + stopColour(normal) + "#100," + stopColour(shade);
}

ColourValue SurfaceBackground() {
    return SystemColour(15);
}

QSize SurfaceSize(int resolution, QSize controlPixels, QSize current) {
    const double share = resolution / 100.0;
    const int width = std::max(1, RoundHalfEvenToInt(share * controlPixels.width()));
    const int height = std::max(1, RoundHalfEvenToInt(share * controlPixels.height()));
    if (static_cast<long long>(width) * height > kMaxSurfacePixels)
        return current;
    return {width, height};
}

void SizeSurface(QImage& savePic, int resolution, QSize controlPixels) {
    const QSize size = SurfaceSize(resolution, controlPixels, savePic.size());
    if (size == savePic.size() && !savePic.isNull())
        return;
    QImage resized(size, QImage::Format_RGB32);
    if (resized.isNull()) // the memory for it could not be had: keep drawing on the surface we have
        return;
    resized.fill(toQColor(SurfaceBackground()));
    savePic = std::move(resized);
}

int PaintGradient(QImage& savePic, QImage& image, const QString& stops, int direction, QSize controlPixels) {
    if (stops.isEmpty())
        return 0;
    const QStringList list = stops.split(u'#');
    savePic.fill(toQColor(SurfaceBackground()));

    const int width = savePic.width();
    const int height = savePic.height();
    int extent = 0;
    switch (direction) {
    case LeftToRight:
        extent = width;
        break;
    case TopToBottom:
        extent = height;
        break;
    case CentreOutwards:
        extent = std::min(width, height);
        break;
    default:
        break;
    }
    const int cx = RoundHalfEvenToInt(width / 2.0);
    const int cy = RoundHalfEvenToInt(height / 2.0);

    auto pixelOf = [&](const QString& stop) {
        return RoundHalfEvenToInt(LeadingNumber(GetField(stop, ",", 1)) * extent / 100.0);
    };
    auto colourAt = [&](const QString& stop) {
        return SplitColour(
            static_cast<ColourValue>(RoundHalfEvenToInt(LeadingNumber(GetField(stop, ",", 2)))));
    };
    auto drawStep = [&](int i, ColourValue colour) {
        switch (direction) {
        case LeftToRight:
            DrawLine(savePic, i, 0, i, height, colour);
            break;
        case TopToBottom:
            DrawLine(savePic, 0, i, width, i, colour);
            break;
        case CentreOutwards:
            DrawBox(savePic, cx - i, cy - i, cx + i, cy + i, 0xFFFFFF, colour, 1, true);
            break;
        default:
            break;
        }
    };

    // Steps beyond these bounds cannot touch the surface; a list with absurd positions is walked
    // only across them rather than across every pixel it names.
    const int firstUseful = -2;
    const int lastUseful = std::max(width, height) + 2;

    int steps = 0;
    int p = pixelOf(list.first());
    ColourTriple c = colourAt(list.first());
    for (qsizetype j = 1; j < list.size(); ++j) {
        const int q = pixelOf(list.at(j));
        const ColourTriple d = colourAt(list.at(j));
        // Positions saturate at ±2^30, so their distance needs more than an int.
        const long long span = static_cast<long long>(q) - p;
        if (span == 0) {
            // Both stops fall on one pixel: there is nothing to blend, the later colour wins.
            drawStep(q, colourOf(d.R, d.G, d.B));
            ++steps;
        } else if (span > 0) {
            const double dR = double(d.R - c.R) / span;
            const double dG = double(d.G - c.G) / span;
            const double dB = double(d.B - c.B) / span;
            const int from = std::max(p, firstUseful);
            const int to = std::min(q, lastUseful);
            double aR = c.R + dR * (from - p);
            double aG = c.G + dG * (from - p);
            double aB = c.B + dB * (from - p);
            for (int i = from; i <= to; ++i) {
                drawStep(i, colourOf(std::lrint(aR), std::lrint(aG), std::lrint(aB)));
                ++steps;
                aR += dR;
                aG += dG;
                aB += dB;
            }
        }
        p = q;
        c = d;
    }

    gdi::StretchBlt(image, 0, 0, controlPixels.width(), controlPixels.height(), savePic, 0, 0, width, height);
    return steps;
}

void DrawBox(QImage& dc, int left, int top, int right, int bottom, ColourValue fill, ColourValue pen,
             int penWidth, bool noFill) {
    gdi::Rectangle(dc, {left, top, right, bottom}, pen, penWidth,
                   noFill ? std::nullopt : std::optional<ColourValue>(fill));
}

void DrawLine(QImage& dc, int x1, int y1, int x2, int y2, ColourValue colour, int /*penStyle*/) {
    gdi::Line(dc, x1, y1, x2, y2, colour);
}

int MeasureCaption(const QFont& baseFont, const QString& caption, const WinRect& client) {
    QImage none;
    WinRect rect = client;
    return gdi::DrawText(none, baseFont, 0, caption, rect, kButtonCaptionFlags | gdi::DT_CALCRECT);
}

WinRect PlaceCaption(const WinRect& client, int captionHeight) {
    WinRect placed = client;
    placed.top = (client.height() - captionHeight) / 2; // integer division truncates toward zero
    return placed;
}

std::optional<unsigned> LabelAlignmentFlags(int alignment) {
    constexpr unsigned common = gdi::DT_WORDBREAK | gdi::DT_NOCLIP;
    switch (alignment) {
    case 0:
        return gdi::DT_LEFT | common;
    case 1:
        return gdi::DT_RIGHT | common;
    case 2:
        return gdi::DT_CENTER | common;
    default:
        return std::nullopt;
    }
}

QString ShownText(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // A mark stands for the character after it: "&C" shows C, "&&" shows "&".
        if (caption[i] == u'&' && ++i == caption.size())
            break;
        shown += caption[i];
    }
    return shown;
}

void DrawCaption(QImage& image, const QFont& font, const QString& caption, const WinRect& placed,
                 unsigned flags, std::optional<ColourValue> outer) {
    if (caption.isEmpty())
        return;
    if (outer) {
        const ColourValue halo = ResolveColour(*outer);
        constexpr int offsets[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
        for (const auto& offset : offsets) {
            WinRect moved{placed.left + offset[0], placed.top + offset[1], placed.right + offset[0],
                          placed.bottom + offset[1]};
            gdi::DrawText(image, font, halo, caption, moved, flags);
        }
    }
    WinRect main = placed;
    gdi::DrawText(image, font, 0, caption, main, flags);
}

void DrawFrame(QImage& image, QSize controlPixels, ColourValue border) {
    DrawBox(image, 0, 0, controlPixels.width(), controlPixels.height(), 0xFFFFFF, ResolveColour(border), 2,
            true);
}

void ResizeImage(QImage& image, QSize size, qreal ratio, const QColor& background) {
    if (gdi::SurfaceFits(image, size, ratio))
        return;
    QImage resized = gdi::Surface(size, ratio);
    resized.fill(background);
    if (!image.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, image);
    }
    image = std::move(resized);
}

} // namespace gradient
