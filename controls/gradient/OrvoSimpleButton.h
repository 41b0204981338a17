#pragma once

#include "Colour.h"
#include "Gdi.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class PropertyBag;
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
class OrvoSimpleButton : public QWidget {
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

    QString Caption() const { return m_caption; }
    bool Enabled() const { return m_enabled; }
    ColourValue NormalColour() const { return m_normalColour; }
    int GradientDirection() const { return m_gradientDirection; }
    ColourValue HoverColour() const { return m_hoverColour; }
    ColourValue PressedColour() const { return m_pressedColour; }
    ColourValue DisabledColour() const { return m_disabledColour; }
    ColourValue BorderColour() const { return m_borderColour; }
    std::int16_t Resolution() const { return m_resolution; }
    ColourValue LightColour() const { return m_lightColour; }
    ColourValue ShadeColour() const { return m_shadeColour; }
    ColourValue FocusColour() const { return m_focusColour; }

    void setCaption(const QString& caption);
    /// Shows the normal (true) or disabled (false) look; a disabled button gets neither mouse nor
    /// keyboard input nor the focus. Hides QWidget::setEnabled, and a call through a QWidget
    /// pointer reaches the same property.
    void setEnabled(bool enabled);
    /// Colour setters store plain colours: a system colour (0x80000000 + n) is resolved first.
    void setNormalColour(ColourValue colour);
    void setGradientDirection(int direction);
    void setHoverColour(ColourValue colour);
    /// A new pressed colour shows from the next time the pressed look is drawn.
    void setPressedColour(ColourValue colour);
    void setDisabledColour(ColourValue colour);
    void setBorderColour(ColourValue colour);
    void setResolution(std::int16_t resolution);
    void setLightColour(ColourValue colour);
    void setShadeColour(ColourValue colour);
    void setFocusColour(ColourValue colour);

    /// A newly placed instance: every property its default.
    void InitProperties();
    /// An instance loaded from a saved layout: the twelve properties as stored (colours not
    /// resolved), then the access key, the stop lists, the layout and the enabled state.
    void ReadProperties(const PropertyBag& bag);
    /// Saves the twelve properties; values equal to their defaults are left out of the bag.
    void WriteProperties(PropertyBag& bag) const;
    /// Takes the new size in; draws once the stop lists exist.
    void Resize();
    /// Draws the button as it is being shown.
    void Show();

    /// The look the button shows (or is about to show).
    Look look() const { return m_look; }
    /// The persistent image that paint events present.
    const QImage& image() const { return m_image; }
    /// How many times the button has been drawn, for diagnostics and tests.
    int drawCount() const { return m_drawCount; }
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
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
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
    void colourChanged(ColourValue& member, ColourValue colour, const char* name);
    void BuildStops();
    void SizeSurface();
    void Redraw();
    void changed(const char* name);
    const QString& stopsOf(Look look) const;

    QString m_caption;
    bool m_enabled;
    ColourValue m_normalColour;
    int m_gradientDirection;
    ColourValue m_hoverColour;
    ColourValue m_pressedColour;
    ColourValue m_disabledColour;
    ColourValue m_borderColour;
    std::int16_t m_resolution;
    ColourValue m_lightColour;
    ColourValue m_shadeColour;
    ColourValue m_focusColour;

    Look m_look = Look::Normal;
    Look m_drawnLook = Look::Normal;
    Look m_lookBeforeHover = Look::Normal;
    bool m_dirty = false;
    bool m_stopsBuilt = false;
    std::array<QString, 5> m_stops; // by Look
    QTimer* m_tmrRelease;
    PointerSource m_pointerSource;
    QPoint m_lastPointer;
    bool m_pointerInside = false;
    int m_accessKeyId = 0;

    int m_twipsPerPixel = 15;
    WinRect m_clientRect;
    int m_captionHeight = 0;
    QImage m_image;
    QImage m_savePic;
    int m_drawCount = 0;
};
