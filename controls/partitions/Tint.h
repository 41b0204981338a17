#pragma once

#include "Colour.h"

/// Hue, saturation and value of a colour: hue in degrees from 0 up to below 360 (0 for greys),
/// saturation and value as fractions.
struct Hsv {
    float hue = 0;
    float saturation = 0;
    float value = 0;
};

/// The hue (with saturation and value) of a 0x00BBGGRR colour value.
Hsv RgbToHsv(ColourValue colour);

/// The colour of `hue` degrees at `saturation` and `value` percent (0 to 100), each channel
/// rounded to the nearest byte, halves to even.
ColourValue HsvToRgb(double hue, double saturation, double value);

/// `value` held to 0..255.
int ClampByte(int value);

/// The pale colour of the same hue that fills a bar: the hue in whole degrees (halves to even,
/// 360 taken as 0) at 10 % saturation and full value. Greys, black and white tint like red.
ColourValue TintColour(ColourValue colour);
