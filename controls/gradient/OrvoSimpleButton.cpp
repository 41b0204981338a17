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
#include <QShortcutEvent>
#include <QTimer>

namespace {

const QString kDefaultButtonCaption = QStringLiteral("Button");
constexpr bool kDefaultEnabled = true;
constexpr ColourValue kDefaultHoverColour = 0x59C4FA;
constexpr ColourValue kDefaultPressedColour = 0xD9E1E2;
constexpr ColourValue kDefaultDisabledColour = 0xC0C0C0;
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
    : GradientControl(parent, kDefaultButtonCaption), m_enabled(kDefaultEnabled),
      m_hoverColour(kDefaultHoverColour), m_pressedColour(kDefaultPressedColour),
      m_disabledColour(kDefaultDisabledColour), m_focusColour(kDefaultFocusColour),
      m_tmrRelease(new QTimer(this)), m_pointerSource([] { return QCursor::pos(); }) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(&OrvoSimpleButtonAccessible::create);
        return true;
    }();
    Q_UNUSED(accessibleFactoryInstalled);

    m_tmrRelease->setInterval(kReleaseInterval);
    connect(m_tmrRelease, &QTimer::timeout, this, &OrvoSimpleButton::tmrRelease_Timer);
    setFocusPolicy(Qt::StrongFocus);
    // Hover is noticed from pointer movement with no button held.
    setMouseTracking(true);
}

OrvoSimpleButton::~OrvoSimpleButton() = default;

void OrvoSimpleButton::setPointerSource(PointerSource source) {
    m_pointerSource = std::move(source);
}

void OrvoSimpleButton::captionChanged() {
    setAccessKey(Caption());
}

void OrvoSimpleButton::setEnabled(bool enabled) {
    m_enabled = enabled;
    m_look = enabled ? Look::Normal : Look::Disabled;
    Redraw();
    QWidget::setEnabled(enabled);
    changed("Enabled");
}

void OrvoSimpleButton::setHoverColour(ColourValue colour) {
    storeStopColour(m_hoverColour, colour, "HoverColour");
}
void OrvoSimpleButton::setDisabledColour(ColourValue colour) {
    storeStopColour(m_disabledColour, colour, "DisabledColour");
}
void OrvoSimpleButton::setFocusColour(ColourValue colour) {
    storeStopColour(m_focusColour, colour, "FocusColour");
}

void OrvoSimpleButton::setPressedColour(ColourValue colour) {
    m_pressedColour = ResolveColour(colour);
    markDirty();
    Redraw();
    BuildStops();
    changed("PressedColour");
}

void OrvoSimpleButton::InitProperties() {
    initCommon();
    m_enabled = kDefaultEnabled;
    m_hoverColour = kDefaultHoverColour;
    m_pressedColour = kDefaultPressedColour;
    m_disabledColour = kDefaultDisabledColour;
    m_focusColour = kDefaultFocusColour;
    // The default caption has no access key; one left from an earlier caption must not stay.
    setAccessKey(Caption());
}

void OrvoSimpleButton::ReadProperties(const PropertyBag& bag) {
    using namespace gradient::stored;
    readCommon(bag);
    m_enabled = readBool(bag, "Enabled", kDefaultEnabled);
    m_hoverColour = readColour(bag, "HoverColour", kDefaultHoverColour);
    m_pressedColour = readColour(bag, "PressedColour", kDefaultPressedColour);
    m_disabledColour = readColour(bag, "DisabledColour", kDefaultDisabledColour);
    m_focusColour = readColour(bag, "FocusColour", kDefaultFocusColour);
    if (!m_enabled)
        m_look = Look::Disabled;
    else if (m_look == Look::Disabled)
        m_look = Look::Normal;
    setAccessKey(Caption());
    BuildStops();
    Resize();
    QWidget::setEnabled(m_enabled);
}

void OrvoSimpleButton::WriteProperties(PropertyBag& bag) const {
    writeCommon(bag);
    bag.write("Enabled", m_enabled, kDefaultEnabled);
    bag.write("HoverColour", m_hoverColour, kDefaultHoverColour);
    bag.write("PressedColour", m_pressedColour, kDefaultPressedColour);
    bag.write("DisabledColour", m_disabledColour, kDefaultDisabledColour);
    bag.write("FocusColour", m_focusColour, kDefaultFocusColour);
}

QSize OrvoSimpleButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize text = metrics.size(Qt::TextShowMnemonic, Caption());
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
    return GradientControl::event(event);
}

void OrvoSimpleButton::changeEvent(QEvent* event) {
    // QWidget::setEnabled called through a base pointer: the property follows the widget's own state
    // (not a disabled parent's).
    if (event->type() == QEvent::EnabledChange) {
        const bool ownState = !testAttribute(Qt::WA_ForceDisabled);
        if (ownState != m_enabled)
            setEnabled(ownState);
    }
    GradientControl::changeEvent(event);
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

void OrvoSimpleButton::buildStopLists() {
    const ColourValue light = LightColour(), normal = NormalColour(), shade = ShadeColour();
    using gradient::ButtonStops;
    m_stops[int(Look::Normal)] = ButtonStops(light, normal, normal, shade);
    m_stops[int(Look::Hover)] = ButtonStops(light, m_hoverColour, normal, shade);
    m_stops[int(Look::Pressed)] = ButtonStops(light, m_pressedColour, normal, shade);
    m_stops[int(Look::Disabled)] = gradient::DisabledButtonStops(m_disabledColour, normal, shade);
    m_stops[int(Look::Focus)] = ButtonStops(light, m_focusColour, normal, shade);
}

const QString& OrvoSimpleButton::stopsOf(Look look) const {
    return m_stops[static_cast<std::size_t>(look)];
}

void OrvoSimpleButton::paintPicture() {
    if (m_look == Look::Hover) {
        // The look to take back when the pointer leaves. A hover look drawn again (a property
        // changed under the pointer) keeps it, or leaving would bring back the hover look itself;
        // after a release inside, the button shows its resting look again rather than staying pressed.
        if (m_drawnLook == Look::Pressed)
            m_lookBeforeHover = hasFocus() ? Look::Focus : Look::Normal;
        else if (m_drawnLook != Look::Hover)
            m_lookBeforeHover = m_drawnLook;
        if (!m_tmrRelease->isActive())
            m_tmrRelease->start();
    }
    m_drawnLook = m_look;
    paintWith([&stops = stopsOf(m_look), &font = font()](Canvas& canvas) {
        canvas.paintGradient(stops);
        canvas.drawCaption(font, gradient::kButtonCaptionFlags);
        canvas.drawFrame();
    });
}
