#pragma once

#include "GradientControl.h"

#include <QPoint>
#include <array>
#include <functional>
#include <optional>

class QTimer;

/// The access key of a caption: the character after the first "&" that is followed by neither
/// "&" nor a space, or none. "&Calculate MTD values" gives C; "&&Go" gives G; "Go&", "A & B" and
/// "&& b" give none.
std::optional<QChar> AccessKeyOf(const QString& caption);

/// A self-drawn push button: a gradient face whose colours follow the button's look (normal, hover,
/// pressed, disabled, focus), a black centred caption and a 2-pixel frame.
///
/// It raises Click() when clicked with the left button, when its access key (Alt + the letter that
/// AccessKeyOf() gives) is pressed, and when Enter or Space is released while it has the focus. The
/// hover look is taken back by `tmrRelease`, which polls the pointer every 100 ms while the hover
/// look is shown.
///
/// The caption, the gradient's colours and direction, the frame colour and the resolution are
/// those of every gradient control (GradientControl).
class OrvoSimpleButton : public GradientControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY propertyChanged)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled NOTIFY propertyChanged)
    Q_PROPERTY(int NormalColour READ NormalColour WRITE setNormalColour NOTIFY propertyChanged)
    Q_PROPERTY(int GradientDirection READ GradientDirection WRITE setGradientDirection NOTIFY propertyChanged)
    Q_PROPERTY(int HoverColour READ HoverColour WRITE setHoverColour NOTIFY propertyChanged)
    Q_PROPERTY(int PressedColour READ PressedColour WRITE setPressedColour NOTIFY propertyChanged)
    Q_PROPERTY(int DisabledColour READ DisabledColour WRITE setDisabledColour NOTIFY propertyChanged)
    Q_PROPERTY(int BorderColour READ BorderColour WRITE setBorderColour NOTIFY propertyChanged)
    Q_PROPERTY(qint16 Resolution READ Resolution WRITE setResolution NOTIFY propertyChanged)
    Q_PROPERTY(int LightColour READ LightColour WRITE setLightColour NOTIFY propertyChanged)
    Q_PROPERTY(int ShadeColour READ ShadeColour WRITE setShadeColour NOTIFY propertyChanged)
    Q_PROPERTY(int FocusColour READ FocusColour WRITE setFocusColour NOTIFY propertyChanged)

public:
    /// The button's looks, each with its own gradient.
    enum class Look : int { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3, Focus = 4 };
    Q_ENUM(Look)

    /// Where the pointer is, in global coordinates.
    using PointerSource = std::function<QPoint()>;

    explicit OrvoSimpleButton(QWidget* parent = nullptr);
    ~OrvoSimpleButton() override;

    bool Enabled() const { return m_enabled; }
    ColourValue HoverColour() const { return m_hoverColour; }
    ColourValue PressedColour() const { return m_pressedColour; }
    ColourValue DisabledColour() const { return m_disabledColour; }
    ColourValue FocusColour() const { return m_focusColour; }

    /// Shows the normal (true) or disabled (false) look; a disabled button gets neither mouse nor
    /// keyboard input nor the focus. Hides QWidget::setEnabled, and a call through a QWidget
    /// pointer reaches the same property.
    void setEnabled(bool enabled);
    /// Colour setters store plain colours: a system colour (0x80000000 + n) is resolved first.
    void setHoverColour(ColourValue colour);
    /// A new pressed colour shows from the next time the pressed look is drawn.
    void setPressedColour(ColourValue colour);
    void setDisabledColour(ColourValue colour);
    void setFocusColour(ColourValue colour);

    /// A newly placed instance: every property its default.
    void InitProperties();
    /// An instance loaded from a saved layout: the twelve properties as stored (colours not
    /// resolved), then the access key, the stop lists, the layout and the enabled state.
    void ReadProperties(const PropertyBag& bag);
    /// Saves the twelve properties; values equal to their defaults are left out of the bag.
    void WriteProperties(PropertyBag& bag) const;

    /// The look the button shows (or is about to show).
    Look look() const { return m_look; }
    /// `tmrRelease`, which runs while the hover look is shown.
    const QTimer* releaseTimer() const { return m_tmrRelease; }
    /// Replaces the source of the pointer position that `tmrRelease` polls (QCursor::pos by default).
    void setPointerSource(PointerSource source);

    QSize sizeHint() const override;

signals:
    void Click();
    /// The pointer moved over the button: buttons held (1 left, 2 right, 4 middle), modifiers held
    /// (1 Shift, 2 Ctrl, 4 Alt), and the position in twips.
    void MouseMove(int button, int shift, float x, float y);
    /// Every property write ends here, naming the property as it is stored ("HoverColour", ...).
    void propertyChanged(const QString& name);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void tmrRelease_Timer();
    void applyEnabled(bool enabled);
    void setAccessKey(const QString& caption);
    void changed(const char* name) override { emit propertyChanged(QString::fromLatin1(name)); }
    void captionChanged() override;
    void buildStopLists() override;
    bool lookChanged() const override { return m_look != m_drawnLook; }
    void paintPicture() override;
    const QString& stopsOf(Look look) const;

    bool m_enabled;
    ColourValue m_hoverColour;
    ColourValue m_pressedColour;
    ColourValue m_disabledColour;
    ColourValue m_focusColour;

    Look m_look = Look::Normal;
    Look m_drawnLook = Look::Normal;
    Look m_lookBeforeHover = Look::Normal;
    std::array<QString, 5> m_stops; // by Look
    QTimer* m_tmrRelease;
    PointerSource m_pointerSource;
    QPoint m_lastPointer;
    bool m_pointerInside = false;
    int m_accessKeyId = 0;
};
