#pragma once

#include <QColor>

#include <cstdint>

class QWidget;

/// A colour value as the controls store it: 0x00BBGGRR, red in the low byte. A value from
/// 0x80000000 to 0x80FFFFFF names the platform's system colour number (value & 0xFFFFFF).
using ColourValue = std::int32_t;

/// The red, green and blue bytes of a plain colour value (the top byte is ignored).
QColor toQColor(ColourValue value);
/// The plain colour value of a QColor.
ColourValue toColourValue(const QColor& colour);

/// The platform's current colour for system colour number `index` (5 window background, 8 window
/// text, 15 3-D face, ...), taken from the application palette; 0 (black) for a number it lacks.
ColourValue SystemColour(int index);

/// A system colour reference (0x80000000 to 0x80FFFFFF) replaced by the system colour's current
/// value; every other value, negative ones included, is returned unchanged.
ColourValue ResolveColour(ColourValue value);

/// The screen's twips (1/1440 inch) per pixel, rounded to a whole number (15 at 96 dots per inch).
/// Taken from the widget's screen, or the primary screen when there is no widget.
int TwipsPerPixelX(const QWidget* widget = nullptr);
int TwipsPerPixelY(const QWidget* widget = nullptr);
