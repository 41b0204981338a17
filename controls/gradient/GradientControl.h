#pragma once

#include "Colour.h"
#include "Gdi.h"

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
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
/// with the steps of its Canvas (paintGradient(), drawCaption(), drawFrame()), and presents the result.
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

    /// A picture of the control drawn away from it, and the state of the control it shows.
    struct Picture {
        QImage image;
        quint64 state = 0;
    };
    /// What draws the picture the control would draw now, on any thread: it holds copies of all the
    /// picture depends on (fonts of their own included), so the control may change meanwhile. Empty
    /// for a control that cannot be drawn away from itself.
    std::function<Picture()> pictureJob();
    /// Takes a picture drawn by a job in as if the control had drawn it, unless the control has been
    /// drawn or changed since the job was made; returns whether it did.
    bool adoptPicture(Picture picture);
    /// While held, a change marks the picture out of date without drawing it; the next show draws it
    /// (unless a picture was adopted meanwhile).
    void holdDrawing(bool hold) { m_held = hold; }

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
    /// What a picture is drawn on and from: the image, the reduced-resolution surface and the shared
    /// values the drawing steps read. A copy can be drawn on any thread.
    struct Canvas {
        QImage image;
        QImage savePic;
        WinRect clientRect;
        int captionHeight = 0;
        QString caption;
        int gradientDirection = 0;
        ColourValue borderColour = 0;

        /// Renders `stops` in the gradient direction and stretches them over the whole image.
        void paintGradient(const QString& stops);
        /// Draws the caption in `font` with `flags`, vertically centred on its measured height, with a
        /// halo of `outer` if given.
        void drawCaption(const QFont& font, unsigned flags, std::optional<ColourValue> outer = std::nullopt);
        /// The 2-pixel frame in the border colour round the whole control.
        void drawFrame();
    };
    using PictureSteps = std::function<void(Canvas&)>;

    /// Paints the picture into image(): a gradient, then the caption and the frame as the control
    /// shows them, through paintWith(). Runs from Redraw().
    virtual void paintPicture() = 0;
    /// The picture's steps as a function of copies of the control's own values, for a control that
    /// can be drawn away from itself; paintPicture() then runs them on the control's canvas.
    virtual PictureSteps pictureSteps() const { return {}; }
    /// Runs `steps` on the control's own image and surface, with the caption measured in the control's font.
    void paintWith(const PictureSteps& steps);
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
        markDirty();
        Redraw();
        changed(name);
    }
    /// A colour that the stop lists are built from: resolved, stored, the lists built again, redrawn.
    void storeStopColour(ColourValue& field, ColourValue colour, const char* name);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

    /// The picture is out of date: a change since it was drawn.
    void markDirty() {
        m_dirty = true;
        ++m_state;
    }

    bool m_dirty = true; // nothing drawn yet
    bool m_stopsBuilt = false;
    /// The screen's horizontal twips per pixel, read again at every resize.
    int m_twipsPerPixel = 15;

private:
    Canvas canvasOn(QImage image, QImage savePic) const;

    const QString m_defaultCaption;
    QString m_caption;
    ColourValue m_normalColour;
    int m_gradientDirection;
    ColourValue m_borderColour;
    std::int16_t m_resolution;
    ColourValue m_lightColour;
    ColourValue m_shadeColour;

    WinRect m_clientRect;
    QImage m_image;
    QImage m_savePic;
    int m_drawCount = 0;
    quint64 m_state = 0; // counts the changes, so that a picture drawn away knows whether it is current
    bool m_held = false;
};
