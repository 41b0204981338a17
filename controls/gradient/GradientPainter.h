#pragma once

#include "Colour.h"
#include "Gdi.h"

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

/// The drawing machinery that the gradient label and the gradient button share. Nothing here knows
/// a widget: every routine works on plain images, sizes and values, so each control applies it to
/// its own persistent image (`image`) and its own reduced-resolution surface (`SavePic`).
///
/// A gradient stop list is text: stops joined by "#", each stop a position in per cent of the
/// gradient's extent, ",", and a colour written as a plain decimal 0x00BBGGRR value, for example
/// "0,16777215#33,15725555#66,15725555#100,12964054".
namespace gradient {

/// The direction in which a gradient's colour changes.
enum Direction : int {
    LeftToRight = 0,
    TopToBottom = 1,
    CentreOutwards = 2,
};

/// A colour taken apart.
struct ColourTriple {
    std::int16_t R = 0;
    std::int16_t G = 0;
    std::int16_t B = 0;
    friend bool operator==(const ColourTriple&, const ColourTriple&) = default;
};

/// The red, green and blue bytes of a colour value; the top byte is ignored.
ColourTriple SplitColour(ColourValue value);

/// Field `n` (from 1) of `text` split at `delimiter`, the text read as though one delimiter followed
/// it; an empty text when the text has fewer fields or `n` is below 1.
QString GetField(const QString& text, const QString& delimiter, int n);

/// The value of the longest leading decimal number of `text` (blanks before it skipped; optional
/// sign, digits, optional "." and fraction, optional exponent); 0 when the text starts with none.
double LeadingNumber(QStringView text);

/// Nearest integer, an exact half going to the even neighbour; saturated at ±2^30 so that callers
/// may add to it freely; NaN gives 0.
int RoundHalfEvenToInt(double value);

/// The two-colour list of the label: light at 0 %, shade at 100 %.
QString LabelStops(ColourValue light, ColourValue shade);
/// The three-colour list of the label: light at 0 %, normal from 33 % to 66 %, shade at 100 %.
QString LabelTriColourStops(ColourValue light, ColourValue normal, ColourValue shade);
/// A button look: light at 0 %, the look's own colour at 10 %, normal at 90 %, shade at 100 %.
QString ButtonStops(ColourValue light, ColourValue lookColour, ColourValue normal, ColourValue shade);
/// The disabled button: no light band, the disabled colour at 0 %, normal at 90 %, shade at 100 %.
QString DisabledButtonStops(ColourValue disabled, ColourValue normal, ColourValue shade);

/// The colour to which `SavePic` is cleared before every paint: the 3-D face system colour. It shows
/// only where a centre-outwards gradient does not reach the ends of a long surface.
ColourValue SurfaceBackground();

/// The surface size for `resolution` per cent of a control of `controlPixels` pixels, each side
/// rounded half to even. A side below one pixel (a zero-sized control, or a resolution of 0 or
/// less) becomes one pixel, so that a gradient always has a surface to be drawn on. A surface of
/// more than kMaxSurfacePixels pixels cannot be made: then `current` is returned unchanged.
QSize SurfaceSize(int resolution, QSize controlPixels, QSize current);
inline constexpr long long kMaxSurfacePixels = 1LL << 24;

/// Gives a control's persistent image a new size of `size` logical pixels at `ratio` device pixels
/// each, keeping what it shows in the part both sizes share and filling the rest with `background`
/// until the next redraw.
void ResizeImage(QImage& image, QSize size, qreal ratio, const QColor& background);

/// Resizes `savePic` to SurfaceSize(); a size that cannot be made leaves the surface as it is.
void SizeSurface(QImage& savePic, int resolution, QSize controlPixels);

/// Renders `stops` into `savePic` in `direction` and stretches the surface, nearest neighbour,
/// over the first `controlPixels` of `image`. An empty list does nothing at all. Returns the number
/// of steps taken (lines, or square outlines for the centre-outwards direction), counting those
/// that fall just outside the surface.
///
/// Each segment between two stops interpolates from the first stop's pixel to the second's, both
/// inclusive: the boundary pixel is drawn again, with the same colour, as the first step of the
/// next segment, so that segments join. A segment whose stops round to the same pixel is drawn as
/// a single step in its end colour; a segment whose end lies before its start draws nothing, and
/// painting goes on from the later stop. An unknown direction has no extent and draws no steps:
/// the control shows the cleared surface.
int PaintGradient(QImage& savePic, QImage& image, const QString& stops, int direction, QSize controlPixels);

/// One rectangle: an outline `penWidth` pixels wide in `pen` centred on the edges, and unless
/// `noFill` the interior filled with `fill`.
void DrawBox(QImage& dc, int left, int top, int right, int bottom, ColourValue fill, ColourValue pen,
             int penWidth, bool noFill);

/// A one-pixel line from (x1, y1) up to, but not including, (x2, y2). Every pen style is drawn
/// solid: the controls use only style 0.
void DrawLine(QImage& dc, int x1, int y1, int x2, int y2, ColourValue colour, int penStyle = 0);

/// The height of `caption` centred and wrapped to the width of `client` in `baseFont`; 0 when empty.
int MeasureCaption(const QFont& baseFont, const QString& caption, const WinRect& client);

/// The caption's rectangle: `client` with its top moved down by (client height − caption height) / 2,
/// truncated toward zero. A caption taller than the control gets a negative top.
WinRect PlaceCaption(const WinRect& client, int captionHeight);

/// The drawing flags for the label's Alignment (0 left, 1 right, 2 centred), or none for any other
/// value, which draws no caption.
std::optional<unsigned> LabelAlignmentFlags(int alignment);

/// The caption as it shows: each "&" mark removed, "&&" shown as one "&".
QString ShownText(const QString& caption);

/// The button's caption flags: centred, wrapped, not clipped.
inline constexpr unsigned kButtonCaptionFlags = gdi::DT_CENTER | gdi::DT_WORDBREAK | gdi::DT_NOCLIP;

/// Draws `caption` in black into `placed`; with `outer`, a one-pixel halo of that colour first, the
/// caption drawn in it at the four diagonal offsets (−1, −1), (−1, +1), (+1, −1), (+1, +1). "&" marks
/// the next character as the access key (underlined); "&&" shows one "&". An empty caption draws
/// nothing.
void DrawCaption(QImage& image, const QFont& font, const QString& caption, const WinRect& placed,
                 unsigned flags, std::optional<ColourValue> outer = std::nullopt);

/// The frame round a whole control: a 2-pixel outline in `border` along the edges, the half that
/// falls outside the control clipped.
void DrawFrame(QImage& image, QSize controlPixels, ColourValue border);

} // namespace gradient
