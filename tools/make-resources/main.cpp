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

#include <cstdio>

namespace {

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

    // A flint: a faceted stone with a spark flying off its edge.
    QPainterPath stone;
    stone.moveTo(6, 30);
    stone.lineTo(12, 14);
    stone.lineTo(24, 9);
    stone.lineTo(32, 19);
    stone.lineTo(27, 33);
    stone.lineTo(14, 36);
    stone.closeSubpath();
    QLinearGradient face(6, 9, 32, 36);
    face.setColorAt(0.0, QColor(0xB8, 0xC2, 0xCC));
    face.setColorAt(1.0, QColor(0x5C, 0x66, 0x72));
    p.setPen(QPen(QColor(0x1A, 0x20, 0x28), 1.2));
    p.setBrush(face);
    p.drawPath(stone);
    p.setPen(QPen(QColor(0xE8, 0xEE, 0xF4, 160), 1.0));
    p.drawLine(QPointF(12, 14), QPointF(19, 24));
    p.drawLine(QPointF(19, 24), QPointF(32, 19));
    p.drawLine(QPointF(19, 24), QPointF(14, 36));

    const QPointF spark(33, 8);
    p.setPen(QPen(QColor(0xFF, 0xC0, 0x40), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (const auto& ray : {QPointF(5, 0), QPointF(-5, 0), QPointF(0, 5), QPointF(0, -5), QPointF(3.5, 3.5),
                            QPointF(-3.5, -3.5), QPointF(3.5, -3.5), QPointF(-3.5, 3.5)})
        p.drawLine(spark, spark + ray);
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

    QPainterPath stone;
    stone.moveTo(18, 96);
    stone.lineTo(34, 48);
    stone.lineTo(70, 32);
    stone.lineTo(96, 62);
    stone.lineTo(82, 104);
    stone.lineTo(42, 114);
    stone.closeSubpath();
    QLinearGradient face(18, 32, 96, 114);
    face.setColorAt(0.0, QColor(0xC8, 0xD2, 0xDC));
    face.setColorAt(1.0, QColor(0x5C, 0x66, 0x72));
    p.setPen(QPen(QColor(0x1A, 0x20, 0x28), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(face);
    p.drawPath(stone);
    p.setPen(QPen(QColor(0xE8, 0xEE, 0xF4, 170), line * 0.8));
    const QPointF ridge(56, 78);
    p.drawLine(QPointF(34, 48), ridge);
    p.drawLine(ridge, QPointF(96, 62));
    p.drawLine(ridge, QPointF(42, 114));

    const QPointF spark(96, 30);
    QRadialGradient glow(spark, 24);
    glow.setColorAt(0.0, QColor(0xFF, 0xE0, 0x80, 220));
    glow.setColorAt(1.0, QColor(0xFF, 0xA0, 0x20, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(spark, 24, 24);
    p.setPen(QPen(QColor(0xFF, 0xC0, 0x40), line * 1.6, Qt::SolidLine, Qt::RoundCap));
    for (const auto& ray : {QPointF(18, 0), QPointF(-18, 0), QPointF(0, 18), QPointF(0, -18), QPointF(12, 12),
                            QPointF(-12, -12), QPointF(12, -12), QPointF(-12, 12)})
        p.drawLine(spark, spark + ray);
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
