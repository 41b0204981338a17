#pragma once

#include <QColor>
#include <QWidget>

/// A line control: a one-pixel line in its colour from (X1, Y1) to (X2, Y2), in twips relative to
/// its container. The widget covers the line's bounding box; the container places it.
class LineControl : public QWidget {
    Q_OBJECT

public:
    explicit LineControl(QWidget* parent = nullptr);

    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }

    /// Places the widget over the line from (x1, y1) to (x2, y2) twips at `twipsPerPixel`.
    void place(int x1, int y1, int x2, int y2, int twipsPerPixel);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour = QColor(0x80, 0x80, 0x80);
    bool m_vertical = false;
};
