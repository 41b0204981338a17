#include "OrvoPartitions.h"

#include "Colour.h"
#include "OrvoPartitionsAccessible.h"
#include "PartitionPainter.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

const QString kColoursKey = QStringLiteral("Colours");
const QString kPartitionsKey = QStringLiteral("Partitions");
const QString kLabelFontKey = QStringLiteral("LabelFont");
const QString kBackColourKey = QStringLiteral("BackColour");
const QString kFillPartsKey = QStringLiteral("FillParts");

constexpr ColourValue kWhite = 0xFFFFFF;

// The main window's map is 8055 × 615 twips.
constexpr double kHintWidthTwips = 8055;
constexpr double kHintHeightTwips = 615;

} // namespace

OrvoPartitions::OrvoPartitions(QWidget* parent) : QWidget(parent) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(&OrvoPartitionsAccessible::create);
        return true;
    }();
    Q_UNUSED(accessibleFactoryInstalled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Initialize();
    connect(this, &OrvoPartitions::partitionsChanged, this, &OrvoPartitions::announceBars);
}

void OrvoPartitions::Initialize() {
    m_twipsPerPixel = std::max(1, TwipsPerPixelX(this));
    m_twipsPerPixelY = std::max(1, TwipsPerPixelY(this));
    m_colourTable = ColourTable{0};
    m_layout = PartitionLayout::unparsed();
    m_coloursText.clear();
    m_partitionsText.clear();
    m_labelFont.reset();
    m_backColour = kWhite;
    m_fillParts = false;
    m_clientRect = WinRect{};
    m_parseError.clear();
}

bool OrvoPartitions::setColours(const QString& text) {
    return storeAndParse(
        m_coloursText, text, kDefaultColours,
        [this](const QString& stored) { m_colourTable = ParseColours(stored); },
        &OrvoPartitions::coloursChanged, kColoursKey);
}

bool OrvoPartitions::setPartitions(const QString& text) {
    return storeAndParse(
        m_partitionsText, text, kDefaultPartitions,
        [this](const QString& stored) { m_layout = ParsePartitions(stored); },
        &OrvoPartitions::partitionsChanged, kPartitionsKey);
}

bool OrvoPartitions::storeAndParse(QString& field, const QString& text, const QString& defaultText,
                                   const std::function<void(const QString&)>& parse,
                                   void (OrvoPartitions::*changed)(), const QString& name) {
    field = text.isEmpty() ? defaultText : text;
    try {
        parse(field);
    } catch (const PartitionParseError& error) {
        m_parseError = QString::fromUtf8(error.what());
        return false;
    }
    m_parseError.clear();
    Redraw();
    notify(changed, name);
    return true;
}

void OrvoPartitions::setLabelFont(const QFont& font) {
    m_labelFont = font;
    Redraw();
    notify(&OrvoPartitions::labelFontChanged, kLabelFontKey);
}

void OrvoPartitions::clearLabelFont() {
    m_labelFont.reset();
    Redraw();
    notify(&OrvoPartitions::labelFontChanged, kLabelFontKey);
}

void OrvoPartitions::setBackColour(ColourValue colour) {
    m_backColour = colour;
    Redraw();
    notify(&OrvoPartitions::backColourChanged, kBackColourKey);
}

void OrvoPartitions::setFillParts(bool fill) {
    m_fillParts = fill;
    Redraw();
    notify(&OrvoPartitions::fillPartsChanged, kFillPartsKey);
}

void OrvoPartitions::notify(void (OrvoPartitions::*changed)(), const QString& name) {
    emit(this->*changed)();
    emit propertyChanged(name);
}

void OrvoPartitions::InitProperties() {
    // The texts wait for a write or a load before they are parsed: until then the map keeps
    // showing what it was created with.
    m_coloursText = kDefaultColours;
    m_partitionsText = kDefaultPartitions;
    m_labelFont = font();
    m_backColour = kWhite;
    m_fillParts = false;
}

bool OrvoPartitions::ReadProperties(const PropertyBag& bag) {
    // Stored values are taken as they are: an empty stored text is not replaced by the default.
    m_coloursText = bag.read(kColoursKey, kDefaultColours).toString();
    m_partitionsText = bag.read(kPartitionsKey, kDefaultPartitions).toString();
    const QVariant storedFont = bag.read(kLabelFontKey, font());
    if (storedFont.canConvert<QFont>() && !storedFont.isNull())
        m_labelFont = storedFont.value<QFont>();
    else
        m_labelFont.reset();
    m_backColour = bag.read(kBackColourKey, kWhite).toInt();
    m_fillParts = bag.read(kFillPartsKey, false).toBool();

    // Both texts are parsed before either table changes, so a failed load leaves the map whole.
    ColourTable colours;
    PartitionLayout layout;
    try {
        colours = ParseColours(m_coloursText);
        layout = ParsePartitions(m_partitionsText);
    } catch (const PartitionParseError& error) {
        m_parseError = QString::fromUtf8(error.what());
        return false;
    }
    m_parseError.clear();
    m_colourTable = std::move(colours);
    m_layout = std::move(layout);
    Redraw();
    return true;
}

void OrvoPartitions::WriteProperties(PropertyBag& bag) const {
    bag.write(kColoursKey, m_coloursText, kDefaultColours);
    bag.write(kPartitionsKey, m_partitionsText, kDefaultPartitions);
    // A map without a label font is saved as an empty value, which loads back as no font.
    bag.write(kLabelFontKey, m_labelFont ? QVariant(*m_labelFont) : QVariant(), QVariant(font()));
    bag.write(kBackColourKey, m_backColour, kWhite);
    bag.write(kFillPartsKey, m_fillParts, false);
}

void OrvoPartitions::Resize() {
    m_clientRect = WinRect{0, 0, width(), height()};
    Redraw();
}

void OrvoPartitions::Redraw() {
    if (!gdi::SurfaceFits(m_image, size(), devicePixelRatioF()))
        m_image = gdi::Surface(size(), devicePixelRatioF());
    if (m_image.isNull()) {
        update();
        return;
    }
    const MapExtent extent{static_cast<float>(width()) * static_cast<float>(m_twipsPerPixel),
                           static_cast<float>(height()) * static_cast<float>(m_twipsPerPixel),
                           m_twipsPerPixel};
    MapStyle style;
    style.backColour = m_backColour;
    style.fillParts = m_fillParts;
    style.labelFont = m_labelFont;
    style.baseFont = font();
    style.twipsPerPixelX = m_twipsPerPixel;
    style.twipsPerPixelY = m_twipsPerPixelY;
    style.clientBottom = m_clientRect.bottom;
    PaintPartitionMap(m_image, LayoutBars(m_layout, m_colourTable, extent), style);
    update();
}

QSize OrvoPartitions::sizeHint() const {
    return QSize(static_cast<int>(std::nearbyint(kHintWidthTwips / m_twipsPerPixel)),
                 static_cast<int>(std::nearbyint(kHintHeightTwips / m_twipsPerPixel)));
}

void OrvoPartitions::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(event->rect(), toQColor(ResolveColour(m_backColour)));
        return;
    }
    const qreal ratio = m_image.devicePixelRatio();
    const QRectF area(event->rect());
    painter.drawImage(area, m_image, QRectF(area.topLeft() * ratio, area.size() * ratio));
}

void OrvoPartitions::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Resize();
}

void OrvoPartitions::setBarText(BarTextFunction barText) {
    m_barText = std::move(barText);
    announceBars();
}

QString OrvoPartitions::barText(std::size_t index) const {
    if (index >= m_layout.PartTable.size())
        return {};
    const PartitionEntry& entry = m_layout.PartTable[index];
    if (m_barText)
        return m_barText(entry);
    const auto number = [](double value) { return QString::number(value, 'g', 15); };
    QString text = entry.Label.isEmpty() ? QString() : entry.Label + QStringLiteral(": ");
    return text + number(entry.Start) + QStringLiteral(" to ") + number(entry.End) + QStringLiteral(", ") +
           number(entry.End - entry.Start);
}

QString OrvoPartitions::barsDescription() const {
    QStringList texts;
    for (std::size_t i = 0; i < m_layout.PartTable.size(); ++i)
        texts << barText(i);
    return texts.join(QStringLiteral("; "));
}

std::optional<std::size_t> OrvoPartitions::barAt(QPoint point) const {
    // The bars as the last drawing pass placed them, in pixels of the control.
    const MapExtent extent{static_cast<float>(width()) * static_cast<float>(m_twipsPerPixel),
                           static_cast<float>(height()) * static_cast<float>(m_twipsPerPixel),
                           m_twipsPerPixel};
    const std::vector<BarGeometry> bars = LayoutBars(m_layout, m_colourTable, extent);
    for (std::size_t i = bars.size(); i-- > 0;) {
        // A range written end first covers the box between its ends, as it is drawn.
        const WinRect& r = bars[i].rect;
        const auto [left, right] = std::minmax(r.left, r.right);
        const auto [top, bottom] = std::minmax(r.top, r.bottom);
        if (point.x() >= left && point.x() < right && point.y() >= top && point.y() < bottom)
            return i;
    }
    return std::nullopt;
}

bool OrvoPartitions::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<std::size_t> bar = barAt(help->pos())) {
            QToolTip::showText(help->globalPos(), barText(*bar), this);
            return true;
        }
    } else if (event->type() == QEvent::ToolTipChange && QAccessible::isActive()) {
        // The map's own tooltip names it for assistive technology.
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    } else if (event->type() == QEvent::ScreenChangeInternal && !m_image.isNull() &&
               !gdi::SurfaceFits(m_image, size(), devicePixelRatioF())) {
        // Moved to a screen of another resolution: the picture is drawn again for it.
        Redraw();
    }
    return QWidget::event(event);
}

// A screen reader learns of a new layout as soon as the map shows it.
void OrvoPartitions::announceBars() {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}
