#pragma once

#include "PartitionGeometry.h"
#include "PartitionModel.h"
#include "PropertyBag.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

/// The partition map: labelled address ranges drawn as coloured bars across the control's width,
/// nested ranges stepped down one row per level, each label written from its bar's left edge,
/// horizontally when it fits and upright when it does not.
///
/// The map draws into a persistent image only when a property is written, stored values are loaded
/// or the control is resized; paint events present that image. The image has the screen's device
/// pixels: bars keep their logical-pixel shapes, labels are drawn at the screen's resolution.
///
/// Writing Colours or Partitions can fail when the text lies outside what the map can hold (a
/// number beyond the range of a double, more than 32767 entries or colours, a colour of more than
/// 8 hexadecimal digits). The setter then returns false and parseError() says why; the new text
/// stays stored, the tables keep their previous contents, and there is neither a redraw nor a
/// change notice. (A write through QObject::setProperty() cannot see that result; call the
/// setter or check parseError() instead.)
class OrvoPartitions : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Colours READ colours WRITE setColours NOTIFY coloursChanged)
    Q_PROPERTY(QString Partitions READ partitions WRITE setPartitions NOTIFY partitionsChanged)
    Q_PROPERTY(QFont LabelFont READ labelFont WRITE setLabelFont RESET clearLabelFont NOTIFY labelFontChanged)
    Q_PROPERTY(int BackColour READ backColour WRITE setBackColour NOTIFY backColourChanged)
    Q_PROPERTY(bool FillParts READ fillParts WRITE setFillParts NOTIFY fillPartsChanged)

public:
    explicit OrvoPartitions(QWidget* parent = nullptr);

    /// The Colours text as last stored.
    QString colours() const { return m_coloursText; }
    /// Stores the Colours text (an empty text stands for the default colours), parses and redraws.
    /// False when the text cannot be parsed (see the class description).
    bool setColours(const QString& text);

    /// The Partitions text as last stored.
    QString partitions() const { return m_partitionsText; }
    /// Stores the Partitions text (an empty text stands for "0,1;1,2"), parses and redraws.
    /// False when the text cannot be parsed (see the class description).
    bool setPartitions(const QString& text);

    /// The font of the labels; the control's own font when the map has none (see hasLabelFont()).
    QFont labelFont() const { return m_labelFont.value_or(font()); }
    /// Whether the map has a label font; without one it draws no labels.
    bool hasLabelFont() const { return m_labelFont.has_value(); }
    void setLabelFont(const QFont& font);
    /// Takes the label font away: the map draws no labels until a font is set again.
    void clearLabelFont();

    /// The background colour, 0x00BBGGRR; a system colour reference (0x80000000 + n) is kept as
    /// such and resolved at each drawing.
    ColourValue backColour() const { return m_backColour; }
    void setBackColour(ColourValue colour);

    /// Whether bars are filled with a pale tint of their colour.
    bool fillParts() const { return m_fillParts; }
    void setFillParts(bool fill);

    /// Why the last write of Colours or Partitions, or the last load, failed; empty after success.
    QString parseError() const { return m_parseError; }

    // Host notifications.

    /// Creation: the screen's twips per pixel, one black bar from 0 to 1, empty texts, no label
    /// font, no fill. Run by the constructor.
    void Initialize();
    /// First placement in a designer: default texts (not parsed yet), the control's own font as
    /// label font, a white background, no fill.
    void InitProperties();
    /// Loads the five stored values (an empty stored text stays empty), then parses and redraws.
    /// False when a text cannot be parsed: the texts are stored, the tables and picture are kept.
    bool ReadProperties(const PropertyBag& bag);
    /// Saves the five values; values equal to their defaults are not stored.
    void WriteProperties(PropertyBag& bag) const;
    /// Size changed: records the client rectangle and redraws.
    void Resize();
    /// One full drawing pass into the persistent image.
    void Redraw();

    /// The persistent picture of the map, as the last drawing pass left it.
    const QImage& image() const { return m_image; }
    /// The parsed Partitions text, in drawing order.
    const PartitionLayout& layout() const { return m_layout; }
    /// The parsed Colours text.
    const ColourTable& colourTable() const { return m_colourTable; }
    /// The client rectangle recorded at the last resize; all 0 before the first.
    WinRect clientRect() const { return m_clientRect; }
    /// The screen's twips per pixel, read at creation.
    int twipsPerPixel() const { return m_twipsPerPixel; }

    /// The size of the main window's map at this screen's resolution (537 × 41 at 96 dpi).
    QSize sizeHint() const override;

    /// Puts one range into words for its bar's tooltip and the map's accessible description.
    using BarTextFunction = std::function<QString(const PartitionEntry& entry)>;
    /// Sets how ranges are put into words; an empty function restores the plain form, "label: start
    /// to end, size" in the map's own numbers.
    void setBarText(BarTextFunction barText);
    /// The words for entry `index` of layout(); empty past its end.
    QString barText(std::size_t index) const;
    /// Every bar's words in drawing order, joined by "; ".
    QString barsDescription() const;
    /// The entry whose bar shows at `point` (the last drawn where bars overlap); nullopt between bars.
    std::optional<std::size_t> barAt(QPoint point) const;

signals:
    void coloursChanged();
    void partitionsChanged();
    void labelFontChanged();
    void backColourChanged();
    void fillPartsChanged();
    /// The change notice that ends every property write, naming the property ("Colours",
    /// "Partitions", "LabelFont", "BackColour", "FillParts").
    void propertyChanged(const QString& name);

protected:
    /// A tooltip over a bar names its range; between bars the map's own tooltip shows. Moved to a
    /// screen of another resolution, the map is drawn again for it.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void notify(void (OrvoPartitions::*changed)(), const QString& name);
    /// The common path of the two texts: store (an empty text stands for the default), parse into
    /// the table, then redraw and notify; on a parse failure, false with parseError() set.
    bool storeAndParse(QString& field, const QString& text, const QString& defaultText,
                       const std::function<void(const QString&)>& parse, void (OrvoPartitions::*changed)(),
                       const QString& name);
    void announceBars();

    QString m_coloursText;
    QString m_partitionsText;
    ColourTable m_colourTable;
    PartitionLayout m_layout;
    std::optional<QFont> m_labelFont;
    ColourValue m_backColour = 0xFFFFFF;
    bool m_fillParts = false;
    int m_twipsPerPixel = 15;
    int m_twipsPerPixelY = 15;
    WinRect m_clientRect;
    QString m_parseError;
    QImage m_image;
    BarTextFunction m_barText;
};
