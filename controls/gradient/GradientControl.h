#pragma once

#include "Colour.h"
#include "Gdi.h"

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <utility>

class PropertyBag;

/// What the gradient label and the gradient button have in common: the caption and the six design
/// values of the gradient and its frame, the reduced-resolution surface (`SavePic`) and the
/// persistent image that paint events present, and the host's resize and show steps. The image has
/// the screen's device pixels: on a high-resolution screen the gradient and the frame keep their
/// logical-pixel shapes while the caption is drawn at the screen's resolution.
///
/// The host calls InitProperties() for a new instance or ReadProperties() for one loaded from a
/// saved layout; Resize() and Show() run from the widget's resize and show events. A control draws
/// only when something changed: Redraw() measures the caption, has the subclass paint its picture
/// with paintGradient(), drawCaption() and drawFrame(), and presents the result.
///
/// Each control declares its properties itself, in its own stored order, with the change signal
/// they notify: the shared ones read and write through the accessors here.
class GradientControl : public QWidget {
    Q_OBJECT

public:
    ~GradientControl() override;

    QString Caption() const { return m_caption; }
    ColourValue NormalColour() const { return m_normalColour; }
    int GradientDirection() const { return m_gradientDirection; }
    ColourValue BorderColour() const { return m_borderColour; }
    std::int16_t Resolution() const { return m_resolution; }
    ColourValue LightColour() const { return m_lightColour; }
    ColourValue ShadeColour() const { return m_shadeColour; }

    void setCaption(const QString& caption);
    /// Colour setters store plain colours: a system colour (0x80000000 + n) is resolved first.
    void setNormalColour(ColourValue colour);
    void setGradientDirection(int direction);
    void setBorderColour(ColourValue colour);
    void setResolution(std::int16_t resolution);
    void setLightColour(ColourValue colour);
    void setShadeColour(ColourValue colour);

    /// Takes the new size in; draws once the stop lists exist.
    void Resize();
    /// Draws the control as it is being shown.
    void Show();

    /// The persistent image that paint events present.
    const QImage& image() const { return m_image; }
    /// How many times the control has been drawn, for diagnostics and tests.
    int drawCount() const { return m_drawCount; }

protected:
    GradientControl(QWidget* parent, const QString& defaultCaption);

    /// The caption and the six shared values their defaults.
    void initCommon();
    /// The caption and the six shared values as stored (colours not resolved).
    void readCommon(const PropertyBag& bag);
    /// Saves the caption and the six shared values; defaults are left out of the bag.
    void writeCommon(PropertyBag& bag) const;

    /// Builds the control's stop lists from its colours; BuildStops() then counts them as built.
    virtual void buildStopLists() = 0;
    /// Whether a redraw is due although nothing is dirty (the button's look changed).
    virtual bool lookChanged() const { return false; }
    /// Paints the picture into image(): a gradient, then the caption and the frame as the control
    /// shows them. Runs from Redraw() with the caption measured.
    virtual void paintPicture() = 0;
    /// Runs when the caption has been stored, before it is drawn.
    virtual void captionChanged() {}

    void BuildStops();
    void SizeSurface();
    /// Draws when something is dirty or the look changed, then presents the image.
    void Redraw();
    /// Reports a property write to the host under the property's stored name.
    virtual void changed(const char* name) = 0;
    /// The common setter: store, mark the picture dirty, redraw, report the change.
    template <typename T, typename V> void storeAndRedraw(T& field, V&& value, const char* name) {
        field = std::forward<V>(value);
        m_dirty = true;
        Redraw();
        changed(name);
    }
    /// A colour that the stop lists are built from: resolved, stored, the lists built again, redrawn.
    void storeStopColour(ColourValue& field, ColourValue colour, const char* name);

    /// Renders `stops` in GradientDirection and stretches them over the whole image.
    void paintGradient(const QString& stops);
    /// Draws the caption in `font` with `flags`, vertically centred on its measured height, with a
    /// halo of `outer` if given.
    void drawCaption(const QFont& font, unsigned flags, std::optional<ColourValue> outer = std::nullopt);
    /// The 2-pixel frame in BorderColour round the whole control.
    void drawFrame();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

    bool m_dirty = true; // nothing drawn yet
    bool m_stopsBuilt = false;
    /// The screen's horizontal twips per pixel, read again at every resize.
    int m_twipsPerPixel = 15;

private:
    QSize controlPixels() const { return {m_clientRect.width(), m_clientRect.height()}; }

    const QString m_defaultCaption;
    QString m_caption;
    ColourValue m_normalColour;
    int m_gradientDirection;
    ColourValue m_borderColour;
    std::int16_t m_resolution;
    ColourValue m_lightColour;
    ColourValue m_shadeColour;

    WinRect m_clientRect;
    int m_captionHeight = 0;
    QImage m_image;
    QImage m_savePic;
    int m_drawCount = 0;
};
