#include "Colour.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <cmath>

QColor toQColor(ColourValue value) {
    const auto v = static_cast<std::uint32_t>(value);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

ColourValue toColourValue(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

ColourValue SystemColour(int index) {
    const QPalette palette = QGuiApplication::palette();
    auto role = [&](QPalette::ColorRole r, QPalette::ColorGroup g = QPalette::Active) {
        return toColourValue(palette.color(g, r));
    };
    // The platform's numbering of its system colours, mapped onto the palette roles that play
    // the same part on this desktop.
    switch (index) {
    case 0: return role(QPalette::Button);           // scroll bar
    case 1: return role(QPalette::Dark);             // desktop
    case 2: return role(QPalette::Highlight);        // active caption
    case 3: return role(QPalette::Mid);              // inactive caption
    case 4: return role(QPalette::Window);           // menu
    case 5: return role(QPalette::Base);             // window background
    case 6: return role(QPalette::Shadow);           // window frame
    case 7: return role(QPalette::WindowText);       // menu text
    case 8: return role(QPalette::Text);             // window text
    case 9: return role(QPalette::HighlightedText);  // caption text
    case 10: return role(QPalette::Button);          // active border
    case 11: return role(QPalette::Button);          // inactive border
    case 12: return role(QPalette::Mid);             // application workspace
    case 13: return role(QPalette::Highlight);       // highlight
    case 14: return role(QPalette::HighlightedText); // highlighted text
    case 15: return role(QPalette::Button);          // 3-D face
    case 16: return role(QPalette::Dark);            // 3-D shadow
    case 17: return role(QPalette::Text, QPalette::Disabled);       // grey text
    case 18: return role(QPalette::ButtonText);                     // button text
    case 19: return role(QPalette::WindowText, QPalette::Disabled); // inactive caption text
    case 20: return role(QPalette::Light);           // 3-D highlight
    case 21: return role(QPalette::Shadow);          // 3-D dark shadow
    case 22: return role(QPalette::Midlight);        // 3-D light
    case 23: return role(QPalette::ToolTipText);     // tooltip text
    case 24: return role(QPalette::ToolTipBase);     // tooltip background
    case 26: return role(QPalette::Link);            // hot-tracked item
    case 27: return role(QPalette::Highlight);       // active caption gradient
    case 28: return role(QPalette::Mid);             // inactive caption gradient
    case 29: return role(QPalette::Highlight);       // menu highlight
    case 30: return role(QPalette::Window);          // menu bar
    default: return 0;
    }
}

ColourValue ResolveColour(ColourValue value) {
    const auto v = static_cast<std::uint32_t>(value);
    if ((v & 0xFF000000u) == 0x80000000u)
        return SystemColour(static_cast<int>(v & 0x00FFFFFFu));
    return value;
}

namespace {
int twipsPerPixel(qreal dotsPerInch) {
    if (dotsPerInch <= 0)
        return 15;
    return static_cast<int>(std::lrint(1440.0 / dotsPerInch)); // an exact half goes to the even neighbour
}

const QScreen* screenOf(const QWidget* widget) {
    if (widget && widget->screen())
        return widget->screen();
    return QGuiApplication::primaryScreen();
}
} // namespace

int TwipsPerPixelX(const QWidget* widget) {
    const QScreen* screen = screenOf(widget);
    return twipsPerPixel(screen ? screen->logicalDotsPerInchX() : 96.0);
}

int TwipsPerPixelY(const QWidget* widget) {
    const QScreen* screen = screenOf(widget);
    return twipsPerPixel(screen ? screen->logicalDotsPerInchY() : 96.0);
}
