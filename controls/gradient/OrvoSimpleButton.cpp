#include "OrvoSimpleButton.h"

#include "GradientPainter.h"
#include "OrvoSimpleButtonAccessible.h"
#include "PropertyBag.h"
#include "StoredValues.h"

#include <QAccessible>
#include <QCursor>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QTimer>

namespace {

const QString kDefaultCaption = QStringLiteral("Button");
constexpr bool kDefaultEnabled = true;
constexpr ColourValue kDefaultNormalColour = 0xEFF3F3;
constexpr int kDefaultGradientDirection = gradient::TopToBottom;
constexpr ColourValue kDefaultHoverColour = 0x59C4FA;
constexpr ColourValue kDefaultPressedColour = 0xD9E1E2;
constexpr ColourValue kDefaultDisabledColour = 0xC0C0C0;
constexpr ColourValue kDefaultBorderColour = 0x743C00;
constexpr std::int16_t kDefaultResolution = 50;
constexpr ColourValue kDefaultLightColour = 0xFFFFFF;
constexpr ColourValue kDefaultShadeColour = 0xC5D0D6;
constexpr ColourValue kDefaultFocusColour = 0x59C4FA;

constexpr int kReleaseInterval = 100; // ms

int buttonsOf(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int shiftOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

bool isClickKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

} // namespace

std::optional<QChar> AccessKeyOf(const QString& caption) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = caption.indexOf(u'&', from);
        if (at < 0 || at + 1 >= caption.size())
            return std::nullopt;
        const QChar next = caption.at(at + 1);
        if (next != u'&' && next != u' ')
            return next;
        from = at + 1;
    }
}

OrvoSimpleButton::OrvoSimpleButton(QWidget* parent)
    : QWidget(parent), m_caption(kDefaultCaption), m_enabled(kDefaultEnabled),
      m_normalColour(kDefaultNormalColour), m_gradientDirection(kDefaultGradientDirection),
      m_hoverColour(kDefaultHoverColour), m_pressedColour(kDefaultPressedColour),
      m_disabledColour(kDefaultDisabledColour), m_borderColour(kDefaultBorderColour),
      m_resolution(kDefaultResolution), m_lightColour(kDefaultLightColour),
      m_shadeColour(kDefaultShadeColour), m_focusColour(kDefaultFocusColour), m_tmrRelease(new QTimer(this)),
      m_pointerSource([] { return QCursor::pos(); }), m_savePic(1, 1, QImage::Format_RGB32) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(&OrvoSimpleButtonAccessible::create);
        return true;
    }();
    Q_UNUSED(accessibleFactoryInstalled);

    m_savePic.fill(toQColor(gradient::SurfaceBackground()));
    m_tmrRelease->setInterval(kReleaseInterval);
    connect(m_tmrRelease, &QTimer::timeout, this, &OrvoSimpleButton::tmrRelease_Timer);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Hover is noticed from pointer movement with no button held.
    setMouseTracking(true);
}

OrvoSimpleButton::~OrvoSimpleButton() = default;

void OrvoSimpleButton::setPointerSource(PointerSource source) {
    m_pointerSource = std::move(source);
}

void OrvoSimpleButton::changed(const char* name) {
    emit propertyChanged(QString::fromLatin1(name));
}

void OrvoSimpleButton::setCaption(const QString& caption) {
    m_caption = caption;
    setAccessKey(caption);
    m_dirty = true;
    Redraw();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    changed("Caption");
}

void OrvoSimpleButton::setEnabled(bool enabled) {
    m_enabled = enabled;
    m_look = enabled ? Look::Normal : Look::Disabled;
    Redraw();
    QWidget::setEnabled(enabled);
    changed("Enabled");
}

void OrvoSimpleButton::colourChanged(ColourValue& member, ColourValue colour, const char* name) {
    member = ResolveColour(colour);
    BuildStops();
    m_dirty = true;
    Redraw();
    changed(name);
}

void OrvoSimpleButton::setNormalColour(ColourValue colour) {
    colourChanged(m_normalColour, colour, "NormalColour");
}
void OrvoSimpleButton::setHoverColour(ColourValue colour) {
    colourChanged(m_hoverColour, colour, "HoverColour");
}
void OrvoSimpleButton::setDisabledColour(ColourValue colour) {
    colourChanged(m_disabledColour, colour, "DisabledColour");
}
void OrvoSimpleButton::setBorderColour(ColourValue colour) {
    colourChanged(m_borderColour, colour, "BorderColour");
}
void OrvoSimpleButton::setLightColour(ColourValue colour) {
    colourChanged(m_lightColour, colour, "LightColour");
}
void OrvoSimpleButton::setShadeColour(ColourValue colour) {
    colourChanged(m_shadeColour, colour, "ShadeColour");
}
void OrvoSimpleButton::setFocusColour(ColourValue colour) {
    colourChanged(m_focusColour, colour, "FocusColour");
}

void OrvoSimpleButton::setPressedColour(ColourValue colour) {
    m_pressedColour = ResolveColour(colour);
    m_dirty = true;
    Redraw();
    BuildStops();
    changed("PressedColour");
}

void OrvoSimpleButton::setResolution(std::int16_t resolution) {
    m_resolution = resolution;
    SizeSurface();
    m_dirty = true;
    Redraw();
    changed("Resolution");
}

void OrvoSimpleButton::setGradientDirection(int direction) {
    m_gradientDirection = direction;
    m_dirty = true;
    Redraw();
    changed("GradientDirection");
}

void OrvoSimpleButton::InitProperties() {
    m_caption = kDefaultCaption;
    m_enabled = kDefaultEnabled;
    m_normalColour = kDefaultNormalColour;
    m_gradientDirection = kDefaultGradientDirection;
    m_hoverColour = kDefaultHoverColour;
    m_pressedColour = kDefaultPressedColour;
    m_disabledColour = kDefaultDisabledColour;
    m_borderColour = kDefaultBorderColour;
    m_resolution = kDefaultResolution;
    m_lightColour = kDefaultLightColour;
    m_shadeColour = kDefaultShadeColour;
    m_focusColour = kDefaultFocusColour;
    // The default caption has no access key; one left from an earlier caption must not stay.
    setAccessKey(m_caption);
}

void OrvoSimpleButton::ReadProperties(const PropertyBag& bag) {
    using namespace gradient::stored;
    m_caption = readText(bag, "Caption", kDefaultCaption);
    m_enabled = readBool(bag, "Enabled", kDefaultEnabled);
    m_normalColour = readColour(bag, "NormalColour", kDefaultNormalColour);
    m_gradientDirection = readInt(bag, "GradientDirection", kDefaultGradientDirection);
    m_hoverColour = readColour(bag, "HoverColour", kDefaultHoverColour);
    m_pressedColour = readColour(bag, "PressedColour", kDefaultPressedColour);
    m_disabledColour = readColour(bag, "DisabledColour", kDefaultDisabledColour);
    m_borderColour = readColour(bag, "BorderColour", kDefaultBorderColour);
    m_resolution = readShort(bag, "Resolution", kDefaultResolution);
    m_lightColour = readColour(bag, "LightColour", kDefaultLightColour);
    m_shadeColour = readColour(bag, "ShadeColour", kDefaultShadeColour);
    m_focusColour = readColour(bag, "FocusColour", kDefaultFocusColour);
    if (!m_enabled)
        m_look = Look::Disabled;
    else if (m_look == Look::Disabled)
        m_look = Look::Normal;
    setAccessKey(m_caption);
    BuildStops();
    Resize();
    QWidget::setEnabled(m_enabled);
}

void OrvoSimpleButton::WriteProperties(PropertyBag& bag) const {
    bag.write("Caption", m_caption, kDefaultCaption);
    bag.write("Enabled", m_enabled, kDefaultEnabled);
    bag.write("NormalColour", m_normalColour, kDefaultNormalColour);
    bag.write("GradientDirection", m_gradientDirection, kDefaultGradientDirection);
    bag.write("HoverColour", m_hoverColour, kDefaultHoverColour);
    bag.write("PressedColour", m_pressedColour, kDefaultPressedColour);
    bag.write("DisabledColour", m_disabledColour, kDefaultDisabledColour);
    bag.write("BorderColour", m_borderColour, kDefaultBorderColour);
    bag.write("Resolution", QVariant::fromValue(m_resolution), QVariant::fromValue(kDefaultResolution));
    bag.write("LightColour", m_lightColour, kDefaultLightColour);
    bag.write("ShadeColour", m_shadeColour, kDefaultShadeColour);
    bag.write("FocusColour", m_focusColour, kDefaultFocusColour);
}

void OrvoSimpleButton::Resize() {
    m_twipsPerPixel = TwipsPerPixelX(this);
    m_clientRect = {0, 0, width(), height()};
    gradient::ResizeImage(m_image, size(), palette().color(QPalette::Window));
    SizeSurface();
    if (m_stopsBuilt) {
        m_dirty = true;
        Redraw();
    }
}

void OrvoSimpleButton::Show() {
    if (!m_stopsBuilt)
        BuildStops();
    m_dirty = true;
    Redraw();
}

QSize OrvoSimpleButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize text = metrics.size(Qt::TextShowMnemonic, m_caption);
    return {std::max(text.width() + 24, 75), std::max(text.height() + 10, 23)};
}

bool OrvoSimpleButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == m_accessKeyId && m_accessKeyId != 0) {
            // Another control sharing the key: take the focus and let the user press again.
            if (shortcut->isAmbiguous())
                setFocus(Qt::ShortcutFocusReason);
            else
                emit Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void OrvoSimpleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    else
        painter.drawImage(0, 0, m_image);
}

void OrvoSimpleButton::resizeEvent(QResizeEvent*) {
    Resize();
}

void OrvoSimpleButton::showEvent(QShowEvent*) {
    Show();
}

void OrvoSimpleButton::changeEvent(QEvent* event) {
    // QWidget::setEnabled called through a base pointer: the property follows the widget's own state
    // (not a disabled parent's).
    if (event->type() == QEvent::EnabledChange) {
        const bool ownState = !testAttribute(Qt::WA_ForceDisabled);
        if (ownState != m_enabled)
            setEnabled(ownState);
    }
    QWidget::changeEvent(event);
}

void OrvoSimpleButton::focusInEvent(QFocusEvent* event) {
    if (m_enabled) {
        m_look = Look::Focus;
        Redraw();
    }
    QWidget::focusInEvent(event);
}

void OrvoSimpleButton::focusOutEvent(QFocusEvent* event) {
    // Switching to another window or opening a menu leaves the focus where it is.
    const bool focusStays =
        event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
    if (m_enabled && !focusStays) {
        m_look = Look::Normal;
        Redraw();
    }
    QWidget::focusOutEvent(event);
}

void OrvoSimpleButton::keyPressEvent(QKeyEvent* event) {
    // Enter and Space act on release; their presses are the button's, not the window's.
    if (isClickKey(event->key()) && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OrvoSimpleButton::keyReleaseEvent(QKeyEvent* event) {
    if (isClickKey(event->key()) && event->modifiers() == Qt::NoModifier) {
        // A key held down repeats its press and, on some systems, its release: one click per stroke.
        if (!event->isAutoRepeat())
            emit Click();
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void OrvoSimpleButton::mousePressEvent(QMouseEvent* event) {
    if (m_enabled && event->button() == Qt::LeftButton) {
        m_look = Look::Pressed;
        Redraw();
    }
}

void OrvoSimpleButton::mouseMoveEvent(QMouseEvent* event) {
    const int buttons = buttonsOf(event->buttons());
    const QPointF at = event->position();
    emit MouseMove(buttons, shiftOf(event->modifiers()), float(at.x() * m_twipsPerPixel),
                   float(at.y() * m_twipsPerPixel));
    if (!m_enabled)
        return;
    if (buttons == 0)
        m_look = Look::Hover;
    Redraw();
}

void OrvoSimpleButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_enabled)
        return;
    if (event->button() != Qt::LeftButton) {
        Redraw();
        return;
    }
    const QPointF at = event->position();
    const double x = at.x() * m_twipsPerPixel;
    const double y = at.y() * m_twipsPerPixel;
    const bool inside = x > 0 && x < width() * m_twipsPerPixel && y > 0 && y < height() * m_twipsPerPixel;
    m_look = inside ? Look::Hover : Look::Normal;
    Redraw();
    if (rect().contains(at.toPoint()))
        emit Click();
}

void OrvoSimpleButton::tmrRelease_Timer() {
    if (m_look != Look::Hover) {
        m_tmrRelease->stop();
        return;
    }
    const QPoint client = mapFromGlobal(m_pointerSource());
    const int twipsX = TwipsPerPixelX(this);
    const int twipsY = TwipsPerPixelY(this);
    m_lastPointer = {client.x() * twipsX, client.y() * twipsY};
    m_pointerInside = m_lastPointer.x() >= 0 && m_lastPointer.x() <= width() * twipsX &&
                      m_lastPointer.y() >= 0 && m_lastPointer.y() <= height() * twipsY;
    if (!m_pointerInside) {
        m_look = m_lookBeforeHover;
        Redraw();
    }
}

void OrvoSimpleButton::setAccessKey(const QString& caption) {
    if (m_accessKeyId != 0) {
        releaseShortcut(m_accessKeyId);
        m_accessKeyId = 0;
    }
    if (const std::optional<QChar> key = AccessKeyOf(caption))
        m_accessKeyId =
            grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key->toUpper().unicode()))));
}

void OrvoSimpleButton::BuildStops() {
    using gradient::ButtonStops;
    m_stops[int(Look::Normal)] = ButtonStops(m_lightColour, m_normalColour, m_normalColour, m_shadeColour);
    m_stops[int(Look::Hover)] = ButtonStops(m_lightColour, m_hoverColour, m_normalColour, m_shadeColour);
    m_stops[int(Look::Pressed)] = ButtonStops(m_lightColour, m_pressedColour, m_normalColour, m_shadeColour);
    m_stops[int(Look::Disabled)] =
        gradient::DisabledButtonStops(m_disabledColour, m_normalColour, m_shadeColour);
    m_stops[int(Look::Focus)] = ButtonStops(m_lightColour, m_focusColour, m_normalColour, m_shadeColour);
    m_stopsBuilt = true;
}

const QString& OrvoSimpleButton::stopsOf(Look look) const {
    return m_stops[static_cast<std::size_t>(look)];
}

void OrvoSimpleButton::SizeSurface() {
    gradient::SizeSurface(m_savePic, m_resolution, size());
}

void OrvoSimpleButton::Redraw() {
    if (m_look == m_drawnLook && !m_dirty)
        return;
    const QSize controlPixels(m_clientRect.width(), m_clientRect.height());
    m_captionHeight = gradient::MeasureCaption(font(), m_caption, m_clientRect);
    if (m_look == Look::Hover) {
        // The look to take back when the pointer leaves. A hover look drawn again (a property
        // changed under the pointer) keeps it, or leaving would bring back the hover look itself;
        // after a release inside, the button shows its resting look again rather than staying pressed.
        if (m_drawnLook == Look::Pressed)
            m_lookBeforeHover = hasFocus() ? Look::Focus : Look::Normal;
        else if (m_drawnLook != Look::Hover)
            m_lookBeforeHover = m_drawnLook;
        gradient::PaintGradient(m_savePic, m_image, stopsOf(Look::Hover), m_gradientDirection, controlPixels);
        if (!m_tmrRelease->isActive())
            m_tmrRelease->start();
    } else {
        gradient::PaintGradient(m_savePic, m_image, stopsOf(m_look), m_gradientDirection, controlPixels);
    }
    m_drawnLook = m_look;
    m_dirty = false;

    gradient::DrawCaption(m_image, font(), m_caption, gradient::PlaceCaption(m_clientRect, m_captionHeight),
                          gradient::kButtonCaptionFlags);
    gradient::DrawFrame(m_image, controlPixels, m_borderColour);
    ++m_drawCount;
    update();
}
