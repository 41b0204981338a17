// Draws the main window's logo (137 x 41) and its link pointer (32 x 32, a pointing hand above the
// word LINK, fingertip at 6, 0) and writes them as PNG files into the folder given as argument.
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

QImage drawLogo() {
    QImage logo(137, 41, QImage::Format_RGB32);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 41);
    sky.setColorAt(0.0, QColor(0x23, 0x3A, 0x5E));
    sky.setColorAt(1.0, QColor(0x10, 0x1C, 0x30));
    p.fillRect(logo.rect(), sky);

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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-resources FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool ok = drawLogo().save(folder.filePath("logo.png")) &&
                    drawLinkCursor().save(folder.filePath("link-cursor.png"));
    if (!ok) {
        std::fprintf(stderr, "make-resources: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
