#pragma once

#include "GradientControl.h"

#include <QFont>

/// A passive, self-drawn label: a two- or three-colour gradient, an optional frame, and a black
/// caption in its own font with an optional one-pixel halo. It takes no input and never the focus.
///
/// The caption, the gradient's colours and direction, the frame colour and the resolution are
/// those of every gradient control (GradientControl); what the label adds is its font, its
/// alignment, the three-colour gradient and the halo.
class OrvoLabel : public GradientControl {
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

    /// The caption's font; meaningful only while hasLabelFont().
    QFont LabelFont() const { return m_labelFont; }
    /// False once the font has been cleared: the caption is then not drawn.
    bool hasLabelFont() const { return m_hasLabelFont; }
    bool DrawBorder() const { return m_drawBorder; }
    int Alignment() const { return m_alignment; }
    bool TriColour() const { return m_triColour; }
    ColourValue OuterColour() const { return m_outerColour; }
    bool DrawOuter() const { return m_drawOuter; }

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

    QSize sizeHint() const override;

signals:
    /// Every property write ends here, naming the property as it is stored ("NormalColour", ...).
    void propertyChanged(const QString& name);

private:
    void changed(const char* name) override { emit propertyChanged(QString::fromLatin1(name)); }
    void buildStopLists() override;
    void paintPicture() override;
    PictureSteps pictureSteps() const override;

    QFont m_labelFont;
    bool m_hasLabelFont = true;
    bool m_drawBorder;
    int m_alignment;
    bool m_triColour;
    ColourValue m_outerColour;
    bool m_drawOuter;

    QString m_twoColourStops;
    QString m_threeColourStops;
};
