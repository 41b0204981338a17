#include "Tint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

Hsv RgbToHsv(ColourValue colour) {
    const auto v = static_cast<std::uint32_t>(colour);
    const int r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
    const int max = std::max(std::max(r, g), b);
    const int min = std::min(std::min(r, g), b);
    const int d = max - min;
    Hsv hsv;
    hsv.value = static_cast<float>(max) / 255.0f;
    hsv.saturation = max == 0 ? 0.0f : static_cast<float>(d) / static_cast<float>(max);
    if (max == 0 || d == 0)
        return hsv;
    const float span = static_cast<float>(d);
    float hue;
    if (r == max)
        hue = static_cast<float>(g - b) / span;
    else if (g == max)
        hue = static_cast<float>(b - r) / span + 2.0f;
    else
        hue = static_cast<float>(r - g) / span + 4.0f;
    hue *= 60.0f;
    if (hue < 0.0f)
        hue += 360.0f;
    hsv.hue = hue;
    return hsv;
}

int ClampByte(int value) {
    return std::clamp(value, 0, 255);
}

ColourValue HsvToRgb(double hue, double saturation, double value) {
    const double s = saturation / 100.0;
    const double v = value / 100.0;
    const double h = std::isfinite(hue) ? hue / 60.0 : 0.0;
    const double k = std::floor(h);
    const double f = h - k;
    const double p = v * (1.0 - s);
    const double q = v * (1.0 - s * f);
    const double t = v * (1.0 - s * (1.0 - f));
    // The six sectors of the hue circle, each giving red, green and blue.
    const double sectors[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    const auto& [red, green, blue] = sectors[k >= 0 && k < 6 ? static_cast<int>(k) : 5];
    // std::nearbyint rounds an exact half to the even neighbour (the default rounding mode).
    const auto byte = [](double fraction) {
        return ClampByte(static_cast<int>(std::nearbyint(fraction * 255.0)));
    };
    return byte(red) | byte(green) << 8 | byte(blue) << 16;
}

ColourValue TintColour(ColourValue colour) {
    float degrees = std::nearbyint(RgbToHsv(colour).hue);
    if (degrees >= 360.0f)
        degrees = 0.0f;
    return HsvToRgb(degrees, 10, 100);
}
