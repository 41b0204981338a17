#include "OrvoLabel.h"

#include "GradientPainter.h"
#include "PropertyBag.h"
#include "StoredValues.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>

namespace {

const QString kDefaultCaption = QStringLiteral("Orvo Label");
constexpr ColourValue kDefaultNormalColour = 0xEFF3F3;
constexpr int kDefaultGradientDirection = gradient::TopToBottom;
constexpr ColourValue kDefaultBorderColour = 0x743C00;
constexpr std::int16_t kDefaultResolution = 50;
constexpr ColourValue kDefaultLightColour = 0xFFFFFF;
constexpr ColourValue kDefaultShadeColour = 0xC5D0D6;
constexpr bool kDefaultDrawBorder = false;
constexpr int kDefaultAlignment = 0;
constexpr bool kDefaultTriColour = false;
constexpr ColourValue kDefaultOuterColour = 0xFFFFFF;
constexpr bool kDefaultDrawOuter = false;

} // namespace

OrvoLabel::OrvoLabel(QWidget* parent)
    : QWidget(parent), m_caption(kDefaultCaption), m_normalColour(kDefaultNormalColour),
      m_gradientDirection(kDefaultGradientDirection), m_borderColour(kDefaultBorderColour),
      m_resolution(kDefaultResolution), m_lightColour(kDefaultLightColour),
      m_shadeColour(kDefaultShadeColour), m_labelFont(font()), m_drawBorder(kDefaultDrawBorder),
      m_alignment(kDefaultAlignment), m_triColour(kDefaultTriColour), m_outerColour(kDefaultOuterColour),
      m_drawOuter(kDefaultDrawOuter), m_savePic(1, 1, QImage::Format_RGB32) {
    m_savePic.fill(toQColor(gradient::SurfaceBackground()));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

OrvoLabel::~OrvoLabel() = default;

void OrvoLabel::changed(const char* name) {
    emit propertyChanged(QString::fromLatin1(name));
}

void OrvoLabel::setCaption(const QString& caption) { storeAndRedraw(m_caption, caption, "Caption"); }

void OrvoLabel::setNormalColour(ColourValue colour) {
    m_normalColour = ResolveColour(colour);
    BuildStops();
    m_dirty = true;
    Redraw();
    changed("NormalColour");
}

void OrvoLabel::setLightColour(ColourValue colour) {
    m_lightColour = ResolveColour(colour);
    BuildStops();
    m_dirty = true;
    Redraw();
    changed("LightColour");
}

void OrvoLabel::setShadeColour(ColourValue colour) {
    m_shadeColour = ResolveColour(colour);
    BuildStops();
    m_dirty = true;
    Redraw();
    changed("ShadeColour");
}

void OrvoLabel::setBorderColour(ColourValue colour) {
    m_borderColour = ResolveColour(colour);
    BuildStops();
    m_dirty = true;
    Redraw();
    changed("BorderColour");
}

void OrvoLabel::setOuterColour(ColourValue colour) {
    storeAndRedraw(m_outerColour, ResolveColour(colour), "OuterColour");
}

void OrvoLabel::setResolution(std::int16_t resolution) {
    m_resolution = resolution;
    SizeSurface();
    m_dirty = true;
    Redraw();
    changed("Resolution");
}

void OrvoLabel::setGradientDirection(int direction) { storeAndRedraw(m_gradientDirection, direction, "GradientDirection"); }

void OrvoLabel::setDrawBorder(bool draw) { storeAndRedraw(m_drawBorder, draw, "DrawBorder"); }

void OrvoLabel::setAlignment(int alignment) { storeAndRedraw(m_alignment, alignment, "Alignment"); }

void OrvoLabel::setTriColour(bool triColour) { storeAndRedraw(m_triColour, triColour, "TriColour"); }

void OrvoLabel::setDrawOuter(bool draw) { storeAndRedraw(m_drawOuter, draw, "DrawOuter"); }

void OrvoLabel::setLabelFont(const QFont& font) {
    m_labelFont = font;
    m_hasLabelFont = true;
    m_dirty = true;
    Redraw();
    changed("LabelFont");
}

void OrvoLabel::clearLabelFont() {
    m_labelFont = QFont();
    m_hasLabelFont = false;
    m_dirty = true;
    Redraw();
    changed("LabelFont");
}

void OrvoLabel::InitProperties() {
    m_caption = kDefaultCaption;
    m_normalColour = kDefaultNormalColour;
    m_gradientDirection = kDefaultGradientDirection;
    m_borderColour = kDefaultBorderColour;
    m_resolution = kDefaultResolution;
    m_lightColour = kDefaultLightColour;
    m_shadeColour = kDefaultShadeColour;
    m_labelFont = font();
    m_hasLabelFont = true;
    m_drawBorder = kDefaultDrawBorder;
    m_alignment = kDefaultAlignment;
    m_triColour = kDefaultTriColour;
    m_outerColour = kDefaultOuterColour;
    m_drawOuter = kDefaultDrawOuter;
}

void OrvoLabel::ReadProperties(const PropertyBag& bag) {
    using namespace gradient::stored;
    m_caption = readText(bag, "Caption", kDefaultCaption);
    m_normalColour = readColour(bag, "NormalColour", kDefaultNormalColour);
    m_gradientDirection = readInt(bag, "GradientDirection", kDefaultGradientDirection);
    m_borderColour = readColour(bag, "BorderColour", kDefaultBorderColour);
    m_resolution = readShort(bag, "Resolution", kDefaultResolution);
    m_lightColour = readColour(bag, "LightColour", kDefaultLightColour);
    m_shadeColour = readColour(bag, "ShadeColour", kDefaultShadeColour);
    // A layout that saved a label without a font holds an empty value under the key.
    const QVariant storedFont = bag.read("LabelFont", font());
    m_hasLabelFont = storedFont.isValid() && storedFont.canConvert<QFont>();
    m_labelFont = m_hasLabelFont ? storedFont.value<QFont>() : QFont();
    m_drawBorder = readBool(bag, "DrawBorder", kDefaultDrawBorder);
    m_alignment = readInt(bag, "Alignment", kDefaultAlignment);
    m_triColour = readBool(bag, "TriColour", kDefaultTriColour);
    m_outerColour = readColour(bag, "OuterColour", kDefaultOuterColour);
    m_drawOuter = readBool(bag, "DrawOuter", kDefaultDrawOuter);
    BuildStops();
    Resize();
    SizeSurface();
}

void OrvoLabel::WriteProperties(PropertyBag& bag) const {
    bag.write("Caption", m_caption, kDefaultCaption);
    bag.write("NormalColour", m_normalColour, kDefaultNormalColour);
    bag.write("GradientDirection", m_gradientDirection, kDefaultGradientDirection);
    bag.write("BorderColour", m_borderColour, kDefaultBorderColour);
    bag.write("Resolution", QVariant::fromValue(m_resolution), QVariant::fromValue(kDefaultResolution));
    bag.write("LightColour", m_lightColour, kDefaultLightColour);
    bag.write("ShadeColour", m_shadeColour, kDefaultShadeColour);
    bag.write("LabelFont", m_hasLabelFont ? QVariant(m_labelFont) : QVariant(), QVariant(font()));
    bag.write("DrawBorder", m_drawBorder, kDefaultDrawBorder);
    bag.write("Alignment", m_alignment, kDefaultAlignment);
    bag.write("TriColour", m_triColour, kDefaultTriColour);
    bag.write("OuterColour", m_outerColour, kDefaultOuterColour);
    bag.write("DrawOuter", m_drawOuter, kDefaultDrawOuter);
}

void OrvoLabel::Resize() {
    m_clientRect = {0, 0, width(), height()};
    gradient::ResizeImage(m_image, size(), palette().color(QPalette::Window));
    SizeSurface();
    if (m_stopsBuilt) {
        m_dirty = true;
        Redraw();
    }
}

void OrvoLabel::Show() {
    if (!m_stopsBuilt)
        BuildStops();
    m_dirty = true;
    Redraw();
}

QSize OrvoLabel::sizeHint() const {
    // Room for the caption on one line in the font it is drawn in, with a few pixels for the halo
    // and the frame; never lower than the step headings' 17 pixels.
    const QFont captionFont = m_hasLabelFont ? gdi::LogicalFont(m_labelFont, TwipsPerPixelY(this)) : font();
    const QFontMetrics metrics(captionFont);
    return {metrics.horizontalAdvance(gradient::ShownText(m_caption)) + 8,
            std::max(metrics.height() + 4, 17)};
}

void OrvoLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    else
        painter.drawImage(0, 0, m_image);
}

void OrvoLabel::resizeEvent(QResizeEvent*) {
    Resize();
}

void OrvoLabel::showEvent(QShowEvent*) {
    Show();
}

void OrvoLabel::BuildStops() {
    m_twoColourStops = gradient::LabelStops(m_lightColour, m_shadeColour);
    m_threeColourStops = gradient::LabelTriColourStops(m_lightColour, m_normalColour, m_shadeColour);
    m_stopsBuilt = true;
}

void OrvoLabel::SizeSurface() {
    gradient::SizeSurface(m_savePic, m_resolution, size());
}

void OrvoLabel::Redraw() {
    if (!m_dirty)
        return;
    const QSize controlPixels(m_clientRect.width(), m_clientRect.height());
    // The caption is centred on its height in the widget's own font, whatever font it is drawn in.
    m_captionHeight = gradient::MeasureCaption(font(), m_caption, m_clientRect);
    gradient::PaintGradient(m_savePic, m_image, m_triColour ? m_threeColourStops : m_twoColourStops,
                            m_gradientDirection, controlPixels);
    m_dirty = false;

    const std::optional<unsigned> flags = gradient::LabelAlignmentFlags(m_alignment);
    if (flags && !m_caption.isEmpty() && m_hasLabelFont) {
        const QFont captionFont = gdi::LogicalFont(m_labelFont, TwipsPerPixelY(this));
        gradient::DrawCaption(m_image, captionFont, m_caption,
                              gradient::PlaceCaption(m_clientRect, m_captionHeight), *flags,
                              m_drawOuter ? std::optional<ColourValue>(m_outerColour) : std::nullopt);
    }
    if (m_drawBorder)
        gradient::DrawFrame(m_image, controlPixels, m_borderColour);
    ++m_drawCount;
    update();
}
