#pragma once

#include "Colour.h"
#include "Gdi.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <utility>

class PropertyBag;

/// A passive, self-drawn label: a two- or three-colour gradient, an optional frame, and a black
/// caption in its own font with an optional one-pixel halo. It takes no input and never the focus.
///
/// The host calls InitProperties() for a new instance or ReadProperties() for one loaded from a
/// saved layout; Resize() and Show() run from the widget's resize and show events. The label draws
/// only when something changed, into a persistent image that paint events present.
class OrvoLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY propertyChanged)
    Q_PROPERTY(int NormalColour READ NormalColour WRITE setNormalColour NOTIFY propertyChanged)
    Q_PROPERTY(int GradientDirection READ GradientDirection WRITE setGradientDirection NOTIFY propertyChanged)
    Q_PROPERTY(int BorderColour READ BorderColour WRITE setBorderColour NOTIFY propertyChanged)
    Q_PROPERTY(qint16 Resolution READ Resolution WRITE setResolution NOTIFY propertyChanged)
    Q_PROPERTY(int LightColour READ LightColour WRITE setLightColour NOTIFY propertyChanged)
    Q_PROPERTY(int ShadeColour READ ShadeColour WRITE setShadeColour NOTIFY propertyChanged)
    Q_PROPERTY(QFont LabelFont READ LabelFont WRITE setLabelFont RESET clearLabelFont NOTIFY propertyChanged)
    Q_PROPERTY(bool DrawBorder READ DrawBorder WRITE setDrawBorder NOTIFY propertyChanged)
    Q_PROPERTY(int Alignment READ Alignment WRITE setAlignment NOTIFY propertyChanged)
    Q_PROPERTY(bool TriColour READ TriColour WRITE setTriColour NOTIFY propertyChanged)
    Q_PROPERTY(int OuterColour READ OuterColour WRITE setOuterColour NOTIFY propertyChanged)
    Q_PROPERTY(bool DrawOuter READ DrawOuter WRITE setDrawOuter NOTIFY propertyChanged)

public:
    explicit OrvoLabel(QWidget* parent = nullptr);
    ~OrvoLabel() override;

    QString Caption() const { return m_caption; }
    ColourValue NormalColour() const { return m_normalColour; }
    int GradientDirection() const { return m_gradientDirection; }
    ColourValue BorderColour() const { return m_borderColour; }
    std::int16_t Resolution() const { return m_resolution; }
    ColourValue LightColour() const { return m_lightColour; }
    ColourValue ShadeColour() const { return m_shadeColour; }
    /// The caption's font; meaningful only while hasLabelFont().
    QFont LabelFont() const { return m_labelFont; }
    /// False once the font has been cleared: the caption is then not drawn.
    bool hasLabelFont() const { return m_hasLabelFont; }
    bool DrawBorder() const { return m_drawBorder; }
    int Alignment() const { return m_alignment; }
    bool TriColour() const { return m_triColour; }
    ColourValue OuterColour() const { return m_outerColour; }
    bool DrawOuter() const { return m_drawOuter; }

    void setCaption(const QString& caption);
    /// Colour setters store plain colours: a system colour (0x80000000 + n) is resolved first.
    void setNormalColour(ColourValue colour);
    void setGradientDirection(int direction);
    void setBorderColour(ColourValue colour);
    void setResolution(std::int16_t resolution);
    void setLightColour(ColourValue colour);
    void setShadeColour(ColourValue colour);
    void setLabelFont(const QFont& font);
    /// Leaves the label without a caption font, so that no caption is drawn.
    void clearLabelFont();
    void setDrawBorder(bool draw);
    void setAlignment(int alignment);
    void setTriColour(bool triColour);
    void setOuterColour(ColourValue colour);
    void setDrawOuter(bool draw);

    /// A newly placed instance: every property its default, the caption font the widget's own font.
    void InitProperties();
    /// An instance loaded from a saved layout: the thirteen properties as stored (colours not
    /// resolved), then the stop lists are built and the label is laid out and drawn.
    void ReadProperties(const PropertyBag& bag);
    /// Saves the thirteen properties; values equal to their defaults are left out of the bag.
    void WriteProperties(PropertyBag& bag) const;
    /// Takes the new size in; draws once the stop lists exist.
    void Resize();
    /// Draws the label as it is being shown.
    void Show();

    /// The persistent image that paint events present.
    const QImage& image() const { return m_image; }
    /// How many times the label has been drawn, for diagnostics and tests.
    int drawCount() const { return m_drawCount; }

    QSize sizeHint() const override;

signals:
    /// Every property write ends here, naming the property as it is stored ("NormalColour", ...).
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildStops();
    void SizeSurface();
    void Redraw();
    void changed(const char* name);
    /// The common setter: store, mark the picture dirty, redraw, report the change.
    template <typename T, typename V> void storeAndRedraw(T& field, V&& value, const char* name) {
        field = std::forward<V>(value);
        m_dirty = true;
        Redraw();
        changed(name);
    }

    QString m_caption;
    ColourValue m_normalColour;
    int m_gradientDirection;
    ColourValue m_borderColour;
    std::int16_t m_resolution;
    ColourValue m_lightColour;
    ColourValue m_shadeColour;
    QFont m_labelFont;
    bool m_hasLabelFont = true;
    bool m_drawBorder;
    int m_alignment;
    bool m_triColour;
    ColourValue m_outerColour;
    bool m_drawOuter;

    QString m_twoColourStops;
    QString m_threeColourStops;
    bool m_stopsBuilt = false;
    bool m_dirty = false;

    WinRect m_clientRect;
    int m_captionHeight = 0;
    QImage m_image;
    QImage m_savePic;
    int m_drawCount = 0;
};
