#include "LineControl.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Assistive technology sees a separator, as it sees a horizontal QFrame line.
QAccessibleInterface* separatorFor(const QString& className, QObject* object) {
    if (className == QLatin1String("LineControl") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    return nullptr;
}

} // namespace

LineControl::LineControl(QWidget* parent) : QWidget(parent) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(&separatorFor);
        return true;
    }();
    Q_UNUSED(accessibleFactoryInstalled);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void LineControl::setColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void LineControl::place(int x1, int y1, int x2, int y2, int twipsPerPixel) {
    const double t = twipsPerPixel > 0 ? twipsPerPixel : 15;
    auto px = [t](int twips) { return static_cast<int>(std::lrint(twips / t)); };
    const int left = px(std::min(x1, x2)), right = px(std::max(x1, x2));
    const int top = px(std::min(y1, y2)), bottom = px(std::max(y1, y2));
    m_vertical = right - left < bottom - top;
    setGeometry(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_vertical)
        painter.fillRect(0, 0, 1, height(), m_colour);
    else
        painter.fillRect(0, 0, width(), 1, m_colour);
}
