#include "OrvoLabel.h"

#include "GradientPainter.h"
#include "OrvoLabelAccessible.h"
#include "PropertyBag.h"
#include "StoredValues.h"

#include <QAccessible>
#include <QFontMetrics>

namespace {

const QString kDefaultLabelCaption = QStringLiteral("Orvo Label");
constexpr bool kDefaultDrawBorder = false;
constexpr int kDefaultAlignment = 0;
constexpr bool kDefaultTriColour = false;
constexpr ColourValue kDefaultOuterColour = 0xFFFFFF;
constexpr bool kDefaultDrawOuter = false;

} // namespace

OrvoLabel::OrvoLabel(QWidget* parent)
    : GradientControl(parent, kDefaultLabelCaption), m_labelFont(font()), m_drawBorder(kDefaultDrawBorder),
      m_alignment(kDefaultAlignment), m_triColour(kDefaultTriColour), m_outerColour(kDefaultOuterColour),
      m_drawOuter(kDefaultDrawOuter) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(&OrvoLabelAccessible::create);
        return true;
    }();
    Q_UNUSED(accessibleFactoryInstalled);
    setFocusPolicy(Qt::NoFocus);
}

OrvoLabel::~OrvoLabel() = default;

void OrvoLabel::setOuterColour(ColourValue colour) {
    storeAndRedraw(m_outerColour, ResolveColour(colour), "OuterColour");
}

void OrvoLabel::setDrawBorder(bool draw) {
    storeAndRedraw(m_drawBorder, draw, "DrawBorder");
}

void OrvoLabel::setAlignment(int alignment) {
    storeAndRedraw(m_alignment, alignment, "Alignment");
}

void OrvoLabel::setTriColour(bool triColour) {
    storeAndRedraw(m_triColour, triColour, "TriColour");
}

void OrvoLabel::setDrawOuter(bool draw) {
    storeAndRedraw(m_drawOuter, draw, "DrawOuter");
}

void OrvoLabel::setLabelFont(const QFont& font) {
    m_hasLabelFont = true;
    storeAndRedraw(m_labelFont, font, "LabelFont");
}

void OrvoLabel::clearLabelFont() {
    m_hasLabelFont = false;
    storeAndRedraw(m_labelFont, QFont(), "LabelFont");
}

void OrvoLabel::InitProperties() {
    initCommon();
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
    readCommon(bag);
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
}

void OrvoLabel::WriteProperties(PropertyBag& bag) const {
    writeCommon(bag);
    bag.write("LabelFont", m_hasLabelFont ? QVariant(m_labelFont) : QVariant(), QVariant(font()));
    bag.write("DrawBorder", m_drawBorder, kDefaultDrawBorder);
    bag.write("Alignment", m_alignment, kDefaultAlignment);
    bag.write("TriColour", m_triColour, kDefaultTriColour);
    bag.write("OuterColour", m_outerColour, kDefaultOuterColour);
    bag.write("DrawOuter", m_drawOuter, kDefaultDrawOuter);
}

QSize OrvoLabel::sizeHint() const {
    // Room for the caption on one line in the font it is drawn in, with a few pixels for the halo
    // and the frame; never lower than the step headings' 17 pixels.
    const QFont captionFont = m_hasLabelFont ? gdi::LogicalFont(m_labelFont, TwipsPerPixelY(this)) : font();
    const QFontMetrics metrics(captionFont);
    return {metrics.horizontalAdvance(gradient::ShownText(Caption())) + 8,
            std::max(metrics.height() + 4, 17)};
}

void OrvoLabel::buildStopLists() {
    m_twoColourStops = gradient::LabelStops(LightColour(), ShadeColour());
    m_threeColourStops = gradient::LabelTriColourStops(LightColour(), NormalColour(), ShadeColour());
}

void OrvoLabel::paintPicture() {
    paintWith(pictureSteps());
}

GradientControl::PictureSteps OrvoLabel::pictureSteps() const {
    const std::optional<unsigned> flags = gradient::LabelAlignmentFlags(m_alignment);
    std::optional<QFont> captionFont;
    if (flags && !Caption().isEmpty() && m_hasLabelFont)
        captionFont = gdi::LogicalFont(m_labelFont, TwipsPerPixelY(this)); // a font of its own
    const std::optional<ColourValue> outer =
        m_drawOuter ? std::optional<ColourValue>(m_outerColour) : std::nullopt;
    return [stops = m_triColour ? m_threeColourStops : m_twoColourStops, flags, captionFont, outer,
            border = m_drawBorder](Canvas& canvas) {
        canvas.paintGradient(stops);
        if (captionFont)
            canvas.drawCaption(*captionFont, *flags, outer);
        if (border)
            canvas.drawFrame();
    };
}
