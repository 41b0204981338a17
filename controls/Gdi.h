#pragma once

#include "Colour.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <optional>

/// A rectangle as the drawing calls take it: (left, top) is its first pixel, right and bottom are
/// its edges (the first column and row past its interior).
struct WinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const WinRect&, const WinRect&) = default;
};

/// The pixel rules of the controls' drawing, on a QImage: shapes are never antialiased, a line
/// leaves out its end point, an outline of more than one pixel is centred on the rectangle's edge,
/// stretching is nearest-neighbour, and text honours "&" as the underline mark of the next
/// character ("&&" shows one "&").
///
/// Coordinates are logical pixels. On a surface with a device pixel ratio above 1 (a high-resolution
/// screen) shapes are the picture of a 1:1 surface with each pixel drawn as a block of device
/// pixels, while text is drawn at the device's resolution.
namespace gdi {

/// The device pixel where logical coordinate `logical` begins at `ratio` device pixels per logical
/// pixel, rounded to the nearest; the identity at a ratio of 1.
int DevicePixel(int logical, qreal ratio);

/// A surface for `size` logical pixels at `ratio` (device pixels per logical pixel), not cleared;
/// a ratio that is not a positive number counts as 1.
QImage Surface(QSize size, qreal ratio);

/// Whether `surface` is what Surface() makes for `size` and `ratio`.
bool SurfaceFits(const QImage& surface, QSize size, qreal ratio);

enum DrawTextFlag : unsigned {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_WORDBREAK = 0x10,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
};

/// A rectangle outlined with a solid pen `penWidth` pixels wide and, unless `fill` is empty, its
/// interior filled. A one-pixel outline covers the columns `left` and `right` and the rows `top`
/// and `bottom`; a two-pixel outline covers left − 1 and left, right − 1 and right (and so on for
/// the rows). The fill covers left to right − 1 and top to bottom − 1, under the outline.
void Rectangle(QImage& surface, const WinRect& rect, ColourValue pen, int penWidth,
               std::optional<ColourValue> fill);

/// A one-pixel solid line from (x1, y1) towards (x2, y2); the end point itself is not drawn.
void Line(QImage& surface, int x1, int y1, int x2, int y2, ColourValue colour);

/// Copies the source area onto the destination area, scaling by nearest neighbour: destination
/// pixel (x, y) takes source pixel (sx + floor((x − dx) × sw / dw), sy + floor((y − dy) × sh / dh)).
/// Pixels outside either image are skipped.
void StretchBlt(QImage& destination, int dx, int dy, int dw, int dh, const QImage& source, int sx, int sy,
                int sw, int sh);

/// The font a control draws its labels with, built from a font description: a character height
/// of round(points × 20 / twips per pixel) pixels, weight 700 when bold else 400, italic,
/// underline and strike-out copied, antialiased, the face name cut to 31 characters.
QFont LogicalFont(const QFont& description, int twipsPerPixelY);

/// Draws `text` into `rect` in `font` and `colour`, transparently, top-aligned, with the horizontal
/// alignment and word-break of `flags`; without DT_NOCLIP the text is clipped to `rect`. With
/// DT_CALCRECT nothing is drawn: `rect` keeps its left and top and its right and bottom become
/// left + text width and top + text height (wrapped to the width of `rect` with DT_WORDBREAK).
/// `escapement` (tenths of a degree, counter-clockwise) turns the text about the top-left corner of
/// `rect`; the measurement is always that of the unturned text. Returns the height of the text in
/// pixels as measured, or as laid out when drawn (for turned text, along the turn), 0 for an empty
/// text.
int DrawText(QImage& surface, const QFont& font, ColourValue colour, const QString& text, WinRect& rect,
             unsigned flags, int escapement = 0);

} // namespace gdi
