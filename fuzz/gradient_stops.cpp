// The gradient painter's stop list: the first two bytes choose the direction and the surface, the rest
// is the stop text, painted onto a small image.

#include "FuzzSupport.h"
#include "GradientPainter.h"
#include "QtFuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // Direction -1..4 takes in the unknown ones on both sides; sizes stay small so runs stay fast.
    const int direction = static_cast<int>(data[0] % 6) - 1;
    const QSize control(1 + data[1] % 48, 1 + (data[1] / 48) % 6 * 8);
    const int resolution = 1 + data[0] / 6 % 120;
    const QString stops =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    QImage savePic;
    gradient::SizeSurface(savePic, resolution, control);
    fuzz::check(!savePic.isNull(), "no surface");
    QImage image(control, QImage::Format_RGB32);
    image.fill(Qt::black);
    const int steps = gradient::PaintGradient(savePic, image, stops, direction, control);
    fuzz::check(steps >= 0, "negative step count");
    if (stops.isEmpty())
        fuzz::check(steps == 0, "steps for an empty list");
    return 0;
}
