// Draws the main window's logo (137 x 41, and 274 x 82 for screens scaled by 2), its link pointer
// (32 x 32, a pointing hand above the word LINK, fingertip at 6, 0) and the program's icon for the
// desktop (the flint and its spark on a rounded tile, 128 x 128 and 48 x 48) and writes them as PNG
// files into the folder given as argument.
//   make-resources resources/
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cstdio>

namespace {

// A flint: a faceted stone of six corners, lit from its top left, its ridges running from `ridge` to
// the second, fourth and sixth corners.
void drawStone(QPainter& p, const std::array<QPointF, 6>& corners, QPointF ridge, const QColor& light,
               const QPen& outline, const QPen& ridges) {
    QPainterPath stone;
    stone.moveTo(corners[0]);
    for (std::size_t i = 1; i < corners.size(); ++i)
        stone.lineTo(corners[i]);
    stone.closeSubpath();
    const QRectF bounds = stone.boundingRect();
    QLinearGradient face(bounds.topLeft(), bounds.bottomRight());
    face.setColorAt(0.0, light);
    face.setColorAt(1.0, QColor(0x5C, 0x66, 0x72));
    p.setPen(outline);
    p.setBrush(face);
    p.drawPath(stone);
    p.setPen(ridges);
    p.drawLine(corners[1], ridge);
    p.drawLine(ridge, corners[3]);
    p.drawLine(ridge, corners[5]);
}

// The spark's eight rays, `length` along the axes and `diagonal` along each axis on the diagonals.
void drawRays(QPainter& p, QPointF spark, double length, double diagonal, const QPen& pen) {
    p.setPen(pen);
    for (const QPointF& ray :
         {QPointF(length, 0), QPointF(-length, 0), QPointF(0, length), QPointF(0, -length),
          QPointF(diagonal, diagonal), QPointF(-diagonal, -diagonal), QPointF(diagonal, -diagonal),
          QPointF(-diagonal, diagonal)})
        p.drawLine(spark, spark + ray);
}

// The logo is drawn in its 137 x 41 units at `scale` device pixels per unit, so that a screen scaled
// by 2 shows it as sharp as its text.
QImage drawLogo(int scale) {
    QImage logo(137 * scale, 41 * scale, QImage::Format_RGB32);
    logo.setDevicePixelRatio(scale);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 41);
    sky.setColorAt(0.0, QColor(0x23, 0x3A, 0x5E));
    sky.setColorAt(1.0, QColor(0x10, 0x1C, 0x30));
    p.fillRect(QRect(0, 0, 137, 41), sky);

    // A flint with a spark flying off its edge.
    drawStone(
        p,
        {QPointF(6, 30), QPointF(12, 14), QPointF(24, 9), QPointF(32, 19), QPointF(27, 33), QPointF(14, 36)},
        QPointF(19, 24), QColor(0xB8, 0xC2, 0xCC), QPen(QColor(0x1A, 0x20, 0x28), 1.2),
        QPen(QColor(0xE8, 0xEE, 0xF4, 160), 1.0));
    const QPointF spark(33, 8);
    drawRays(p, spark, 5, 3.5, QPen(QColor(0xFF, 0xC0, 0x40), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xFF, 0xF4, 0xC0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(spark, 2.0, 2.0);

    QFont title("DejaVu Sans");
    title.setPixelSize(17);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xFF, 0xE0, 0xC0));
    p.drawText(QRect(41, 3, 94, 22), Qt::AlignLeft | Qt::AlignVCenter, "Flintor");

    QFont subtitle("DejaVu Sans");
    subtitle.setPixelSize(9);
    p.setFont(subtitle);
    p.setPen(QColor(0xC8, 0xD4, 0xE4));
    p.drawText(QRect(42, 24, 94, 13), Qt::AlignLeft | Qt::AlignVCenter, "mtd values, exact");

    p.setPen(QColor(0x40, 0x58, 0x80));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 136, 40));
    return logo;
}

QImage drawLinkCursor() {
    QImage cursor(32, 32, QImage::Format_ARGB32);
    cursor.fill(Qt::transparent);
    QPainter p(&cursor);
    p.setRenderHint(QPainter::Antialiasing, false);

    // A hand with its index finger pointing up; the fingertip's top-left pixel is at (6, 0).
    QPainterPath hand;
    hand.moveTo(6, 1);
    hand.lineTo(7, 0);
    hand.lineTo(9, 0);
    hand.lineTo(10, 1);
    hand.lineTo(10, 8);
    hand.lineTo(13, 8);
    hand.lineTo(14, 9);
    hand.lineTo(17, 9);
    hand.lineTo(18, 10);
    hand.lineTo(20, 10);
    hand.lineTo(21, 11);
    hand.lineTo(21, 17);
    hand.lineTo(19, 20);
    hand.lineTo(8, 20);
    hand.lineTo(3, 14);
    hand.lineTo(3, 12);
    hand.lineTo(4, 11);
    hand.lineTo(6, 13);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.drawLine(13, 9, 13, 12);
    p.drawLine(17, 10, 17, 12);

    QFont font("DejaVu Sans");
    font.setPixelSize(8);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    const QRect label(0, 22, 28, 10);
    p.setPen(Qt::white);
    for (const QPoint& offset : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
        p.drawText(label.translated(offset), Qt::AlignCenter, "LINK");
    p.setPen(Qt::black);
    p.drawText(label, Qt::AlignCenter, "LINK");
    return cursor;
}

// The icon is drawn on a 128-unit grid and scaled, so both sizes show the same picture; the small
// one gets thicker outlines so that the facets still read at 48 pixels.
QImage drawIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    const double line = size < 64 ? 2.0 * 128.0 / size : 2.5;

    QLinearGradient sky(0, 4, 0, 124);
    sky.setColorAt(0.0, QColor(0x2C, 0x48, 0x74));
    sky.setColorAt(1.0, QColor(0x10, 0x1C, 0x30));
    p.setPen(QPen(QColor(0x40, 0x58, 0x80), line));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 22, 22);

    drawStone(p,
              {QPointF(18, 96), QPointF(34, 48), QPointF(70, 32), QPointF(96, 62), QPointF(82, 104),
               QPointF(42, 114)},
              QPointF(56, 78), QColor(0xC8, 0xD2, 0xDC),
              QPen(QColor(0x1A, 0x20, 0x28), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin),
              QPen(QColor(0xE8, 0xEE, 0xF4, 170), line * 0.8));

    const QPointF spark(96, 30);
    QRadialGradient glow(spark, 24);
    glow.setColorAt(0.0, QColor(0xFF, 0xE0, 0x80, 220));
    glow.setColorAt(1.0, QColor(0xFF, 0xA0, 0x20, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(spark, 24, 24);
    drawRays(p, spark, 18, 12, QPen(QColor(0xFF, 0xC0, 0x40), line * 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xFF, 0xF8, 0xD8));
    p.setPen(Qt::NoPen);
    p.drawEllipse(spark, 6, 6);
    return icon;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-resources FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool ok = drawLogo(1).save(folder.filePath("logo.png")) &&
                    drawLogo(2).save(folder.filePath("logo@2x.png")) &&
                    drawLinkCursor().save(folder.filePath("link-cursor.png")) &&
                    drawIcon(128).save(folder.filePath("flintor-128.png")) &&
                    drawIcon(48).save(folder.filePath("flintor-48.png"));
    if (!ok) {
        std::fprintf(stderr, "make-resources: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
