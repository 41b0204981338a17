#include "GradientControl.h"

#include "GradientPainter.h"
#include "PropertyBag.h"
#include "StoredValues.h"

#include <QAccessible>
#include <QPainter>

namespace {

constexpr ColourValue kDefaultNormalColour = 0xEFF3F3;
constexpr int kDefaultGradientDirection = gradient::TopToBottom;
constexpr ColourValue kDefaultBorderColour = 0x743C00;
constexpr std::int16_t kDefaultResolution = 50;
constexpr ColourValue kDefaultLightColour = 0xFFFFFF;
constexpr ColourValue kDefaultShadeColour = 0xC5D0D6;

} // namespace

GradientControl::GradientControl(QWidget* parent, const QString& defaultCaption)
    : QWidget(parent), m_defaultCaption(defaultCaption), m_caption(defaultCaption),
      m_normalColour(kDefaultNormalColour), m_gradientDirection(kDefaultGradientDirection),
      m_borderColour(kDefaultBorderColour), m_resolution(kDefaultResolution),
      m_lightColour(kDefaultLightColour), m_shadeColour(kDefaultShadeColour),
      m_savePic(1, 1, QImage::Format_RGB32) {
    m_savePic.fill(toQColor(gradient::SurfaceBackground()));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

GradientControl::~GradientControl() = default;

void GradientControl::setCaption(const QString& caption) {
    m_caption = caption;
    captionChanged();
    markDirty();
    Redraw();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    changed("Caption");
}

void GradientControl::storeStopColour(ColourValue& field, ColourValue colour, const char* name) {
    field = ResolveColour(colour);
    BuildStops();
    markDirty();
    Redraw();
    changed(name);
}

void GradientControl::setNormalColour(ColourValue colour) {
    storeStopColour(m_normalColour, colour, "NormalColour");
}

void GradientControl::setBorderColour(ColourValue colour) {
    storeStopColour(m_borderColour, colour, "BorderColour");
}

void GradientControl::setLightColour(ColourValue colour) {
    storeStopColour(m_lightColour, colour, "LightColour");
}

void GradientControl::setShadeColour(ColourValue colour) {
    storeStopColour(m_shadeColour, colour, "ShadeColour");
}

void GradientControl::setGradientDirection(int direction) {
    storeAndRedraw(m_gradientDirection, direction, "GradientDirection");
}

void GradientControl::setResolution(std::int16_t resolution) {
    m_resolution = resolution;
    SizeSurface();
    markDirty();
    Redraw();
    changed("Resolution");
}

void GradientControl::initCommon() {
    m_caption = m_defaultCaption;
    m_normalColour = kDefaultNormalColour;
    m_gradientDirection = kDefaultGradientDirection;
    m_borderColour = kDefaultBorderColour;
    m_resolution = kDefaultResolution;
    m_lightColour = kDefaultLightColour;
    m_shadeColour = kDefaultShadeColour;
}

void GradientControl::readCommon(const PropertyBag& bag) {
    using namespace gradient::stored;
    m_caption = readText(bag, "Caption", m_defaultCaption);
    m_normalColour = readColour(bag, "NormalColour", kDefaultNormalColour);
    m_gradientDirection = readInt(bag, "GradientDirection", kDefaultGradientDirection);
    m_borderColour = readColour(bag, "BorderColour", kDefaultBorderColour);
    m_resolution = readShort(bag, "Resolution", kDefaultResolution);
    m_lightColour = readColour(bag, "LightColour", kDefaultLightColour);
    m_shadeColour = readColour(bag, "ShadeColour", kDefaultShadeColour);
}

void GradientControl::writeCommon(PropertyBag& bag) const {
    bag.write("Caption", m_caption, m_defaultCaption);
    bag.write("NormalColour", m_normalColour, kDefaultNormalColour);
    bag.write("GradientDirection", m_gradientDirection, kDefaultGradientDirection);
    bag.write("BorderColour", m_borderColour, kDefaultBorderColour);
    bag.write("Resolution", QVariant::fromValue(m_resolution), QVariant::fromValue(kDefaultResolution));
    bag.write("LightColour", m_lightColour, kDefaultLightColour);
    bag.write("ShadeColour", m_shadeColour, kDefaultShadeColour);
}

void GradientControl::Resize() {
    m_twipsPerPixel = TwipsPerPixelX(this);
    m_clientRect = {0, 0, width(), height()};
    gradient::ResizeImage(m_image, size(), devicePixelRatioF(), palette().color(QPalette::Window));
    SizeSurface();
    // Without its stop lists the control draws the new size when it is shown.
    markDirty();
    if (m_stopsBuilt)
        Redraw();
}

void GradientControl::Show() {
    if (!m_stopsBuilt)
        BuildStops();
    // A picture drawn while the control was hidden, and not out of date since, is shown as it is.
    Redraw();
}

void GradientControl::BuildStops() {
    buildStopLists();
    m_stopsBuilt = true;
}

void GradientControl::SizeSurface() {
    gradient::SizeSurface(m_savePic, m_resolution, size());
}

void GradientControl::Redraw() {
    if (m_held || (!m_dirty && !lookChanged()))
        return;
    paintPicture();
    m_dirty = false;
    ++m_drawCount;
    update();
}

void GradientControl::Canvas::paintGradient(const QString& stops) {
    gradient::PaintGradient(savePic, image, stops, gradientDirection,
                            {clientRect.width(), clientRect.height()});
}

void GradientControl::Canvas::drawCaption(const QFont& font, unsigned flags,
                                          std::optional<ColourValue> outer) {
    gradient::DrawCaption(image, font, caption, gradient::PlaceCaption(clientRect, captionHeight), flags,
                          outer);
}

void GradientControl::Canvas::drawFrame() {
    gradient::DrawFrame(image, {clientRect.width(), clientRect.height()}, borderColour);
}

GradientControl::Canvas GradientControl::canvasOn(QImage image, QImage savePic) const {
    // The caption's height is measured where the picture is drawn.
    return {std::move(image), std::move(savePic),  m_clientRect,  0,
            m_caption,        m_gradientDirection, m_borderColour};
}

void GradientControl::paintWith(const PictureSteps& steps) {
    Canvas canvas = canvasOn(std::move(m_image), std::move(m_savePic));
    // The caption is centred on its height in the widget's own font, whatever font it is drawn in.
    canvas.captionHeight = gradient::MeasureCaption(font(), canvas.caption, canvas.clientRect);
    steps(canvas);
    m_image = std::move(canvas.image);
    m_savePic = std::move(canvas.savePic);
}

std::function<GradientControl::Picture()> GradientControl::pictureJob() {
    if (!m_stopsBuilt)
        BuildStops();
    PictureSteps steps = pictureSteps();
    if (!steps)
        return {};
    // The caption is measured in the widget's font: the job measures in a font of its own, as a font
    // shared with the widgets would have its text engines set up by two threads at once.
    QFont measuring;
    measuring.fromString(font().toString());
    Canvas canvas = canvasOn(m_image, m_savePic);
    return [canvas = std::move(canvas), steps = std::move(steps), measuring, state = m_state]() mutable {
        canvas.captionHeight = gradient::MeasureCaption(measuring, canvas.caption, canvas.clientRect);
        steps(canvas);
        return Picture{std::move(canvas.image), state};
    };
}

bool GradientControl::adoptPicture(Picture picture) {
    if (!m_dirty || picture.state != m_state || picture.image.isNull())
        return false;
    m_image = std::move(picture.image);
    m_dirty = false;
    ++m_drawCount;
    update();
    return true;
}

bool GradientControl::event(QEvent* event) {
    // The caption is placed by the widget's font and sized for its screen: a picture drawn before either
    // changed is out of date, and the next show draws it again.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ScreenChangeInternal)
        markDirty();
    // Moved to a screen of another resolution: the image follows it.
    if (event->type() == QEvent::ScreenChangeInternal && !m_image.isNull() &&
        !gdi::SurfaceFits(m_image, size(), devicePixelRatioF()))
        Resize();
    return QWidget::event(event);
}

void GradientControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    else
        painter.drawImage(0, 0, m_image);
}

void GradientControl::resizeEvent(QResizeEvent*) {
    // A control placed while hidden hears of its size once more when it is shown: only a new size
    // (or a new pixel ratio) is a resize.
    if (m_clientRect == WinRect{0, 0, width(), height()} &&
        gdi::SurfaceFits(m_image, size(), devicePixelRatioF()))
        return;
    Resize();
}

void GradientControl::showEvent(QShowEvent*) {
    Show();
}
