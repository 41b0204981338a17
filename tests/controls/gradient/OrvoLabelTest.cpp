#include "OrvoLabel.h"

#include "GradientPainter.h"
#include "PropertyBag.h"

#include <QApplication>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QSignalSpy>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

ColourValue at(const QImage& image, int x, int y) {
    return toColourValue(QColor(image.pixel(x, y)));
}

/// Whether any pixel of the columns [from, to) is dark enough to be caption text.
bool hasText(const QImage& image, int from, int to) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < to; ++x) {
            const auto c = gradient::SplitColour(at(image, x, y));
            if (c.R < 0x60 && c.G < 0x60 && c.B < 0x60)
                return true;
        }
    return false;
}

class OrvoLabelTest : public ::testing::Test {
protected:
    /// A label as the host places one: defaults, a step heading's size, shown.
    std::unique_ptr<OrvoLabel> shownLabel() {
        auto label = std::make_unique<OrvoLabel>();
        label->InitProperties();
        label->resize(537, 17);
        label->show();
        return label;
    }
};

} // namespace

TEST_F(OrvoLabelTest, NewInstanceHasTheDefaults) {
    OrvoLabel label;
    label.InitProperties();
    EXPECT_EQ(label.Caption(), "Orvo Label");
    EXPECT_EQ(label.NormalColour(), 0xEFF3F3);
    EXPECT_EQ(label.GradientDirection(), 1);
    EXPECT_EQ(label.BorderColour(), 0x743C00);
    EXPECT_EQ(label.Resolution(), 50);
    EXPECT_EQ(label.LightColour(), 0xFFFFFF);
    EXPECT_EQ(label.ShadeColour(), 0xC5D0D6);
    EXPECT_TRUE(label.hasLabelFont());
    EXPECT_EQ(label.LabelFont(), label.font());
    EXPECT_FALSE(label.DrawBorder());
    EXPECT_EQ(label.Alignment(), 0);
    EXPECT_FALSE(label.TriColour());
    EXPECT_EQ(label.OuterColour(), 0xFFFFFF);
    EXPECT_FALSE(label.DrawOuter());
    EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
}

TEST_F(OrvoLabelTest, NewInstanceDrawsTwoColoursLeftAlignedCaptionNoFrame) {
    const auto label = shownLabel();
    const QImage& image = label->image();
    EXPECT_EQ(at(image, 500, 0), 0xFFFFFF);
    EXPECT_NE(at(image, 500, 16), 0xFFFFFF);
    EXPECT_NE(at(image, 500, 16), 0x743C00);
    EXPECT_NE(at(image, 0, 8), 0x743C00);
    EXPECT_TRUE(hasText(image, 0, 100));
    EXPECT_FALSE(hasText(image, 150, 537));
}

TEST_F(OrvoLabelTest, TriColourShowsTheNormalBandAndTwoColoursIgnoreIt) {
    const auto label = shownLabel();
    // On the 8-row surface 33 % and 66 % fall on rows 3 and 5; control row 8 shows surface row 3.
    EXPECT_NE(at(label->image(), 500, 8), 0xEFF3F3);
    const QImage twoColours = label->image();
    label->setNormalColour(0x0000FF);
    EXPECT_EQ(label->image(), twoColours);

    label->setTriColour(true);
    EXPECT_EQ(at(label->image(), 500, 8), 0x0000FF);
    EXPECT_EQ(at(label->image(), 500, 0), 0xFFFFFF);
}

TEST_F(OrvoLabelTest, AlignmentPlacesOrDropsTheCaption) {
    const auto label = shownLabel();
    label->setAlignment(1);
    EXPECT_FALSE(hasText(label->image(), 0, 400));
    EXPECT_TRUE(hasText(label->image(), 450, 537));

    label->setCaption("");
    const QImage noCaption = label->image();
    label->setCaption("Orvo Label");
    label->setAlignment(3);
    EXPECT_EQ(label->image(), noCaption);

    // Without a font there is no caption either; the gradient is still drawn.
    label->setAlignment(0);
    label->clearLabelFont();
    EXPECT_EQ(label->image(), noCaption);
}

TEST_F(OrvoLabelTest, ResizeBeforeTheFirstShowDrawsNothing) {
    OrvoLabel label;
    label.InitProperties();
    label.resize(537, 17);
    QResizeEvent resize(QSize(537, 17), QSize());
    QApplication::sendEvent(&label, &resize);
    EXPECT_EQ(label.drawCount(), 0);
    label.show();
    EXPECT_EQ(label.drawCount(), 1);
    EXPECT_EQ(at(label.image(), 500, 0), 0xFFFFFF);
}

TEST_F(OrvoLabelTest, ALabelLoadedWhileHiddenIsShownAsDrawnUnlessItsFontChanged) {
    for (const bool fontChanged : {false, true}) {
        SCOPED_TRACE(fontChanged ? "font changed while hidden" : "nothing changed while hidden");
        PropertyBag bag;
        OrvoLabel label;
        label.resize(537, 17);
        label.ReadProperties(bag); // the stop lists are built, so the size is drawn
        EXPECT_EQ(label.drawCount(), 1);
        if (fontChanged)
            label.setFont(QFont("Arial", 12));
        label.show(); // the size arrives again with the show, and is no resize
        EXPECT_EQ(label.drawCount(), fontChanged ? 2 : 1);
        label.resize(300, 17);
        EXPECT_EQ(label.drawCount(), fontChanged ? 3 : 2);
        EXPECT_EQ(label.image().width(), 300);
    }
}

TEST_F(OrvoLabelTest, APictureDrawnOnAnotherThreadIsTheOneTheLabelDrawsUnlessTheLabelChangedMeanwhile) {
    PropertyBag bag;
    bag.write("Caption", QStringLiteral("2) Select the &size:"), QString());
    bag.write("TriColour", true, false);
    bag.write("DrawOuter", true, false);
    for (const bool changed : {false, true}) {
        SCOPED_TRACE(changed ? "caption changed after the job" : "nothing changed");
        OrvoLabel drawn, adopting;
        for (OrvoLabel* label : {&drawn, &adopting}) {
            label->resize(537, 17);
            label->holdDrawing(label == &adopting);
            label->ReadProperties(bag);
        }
        auto job = adopting.pictureJob();
        adopting.holdDrawing(false);
        if (changed)
            adopting.setCaption(QStringLiteral("other"));
        std::thread([&job] { job = [picture = job()] { return picture; }; }).join();
        EXPECT_EQ(adopting.adoptPicture(job()), !changed);
        EXPECT_EQ(adopting.drawCount(), 1);
        EXPECT_EQ(adopting.image() == drawn.image(), !changed);
    }
}

TEST_F(OrvoLabelTest, EverySetterReportsItsPropertyAndRedraws) {
    const auto label = shownLabel();
    const std::vector<std::pair<QString, std::function<void(OrvoLabel&)>>> setters = {
        {"Caption", [](OrvoLabel& l) { l.setCaption("x"); }},
        {"NormalColour", [](OrvoLabel& l) { l.setNormalColour(1); }},
        {"GradientDirection", [](OrvoLabel& l) { l.setGradientDirection(0); }},
        {"BorderColour", [](OrvoLabel& l) { l.setBorderColour(1); }},
        {"Resolution", [](OrvoLabel& l) { l.setResolution(25); }},
        {"LightColour", [](OrvoLabel& l) { l.setLightColour(1); }},
        {"ShadeColour", [](OrvoLabel& l) { l.setShadeColour(1); }},
        {"LabelFont", [](OrvoLabel& l) { l.setLabelFont(QFont("Arial")); }},
        {"DrawBorder", [](OrvoLabel& l) { l.setDrawBorder(true); }},
        {"Alignment", [](OrvoLabel& l) { l.setAlignment(2); }},
        {"TriColour", [](OrvoLabel& l) { l.setTriColour(true); }},
        {"OuterColour", [](OrvoLabel& l) { l.setOuterColour(1); }},
        {"DrawOuter", [](OrvoLabel& l) { l.setDrawOuter(true); }},
    };
    for (const auto& [name, set] : setters) {
        QSignalSpy spy(label.get(), &OrvoLabel::propertyChanged);
        const int draws = label->drawCount();
        set(*label);
        ASSERT_EQ(spy.count(), 1) << name.toStdString();
        EXPECT_EQ(spy.at(0).at(0).toString(), name);
        EXPECT_EQ(label->drawCount(), draws + 1) << name.toStdString();
    }
    // The frame is on now.
    EXPECT_EQ(at(label->image(), 0, 8), 0x000001);
}

TEST_F(OrvoLabelTest, SystemColoursResolvedBySettersNotByReadProperties) {
    const auto systemFace = static_cast<ColourValue>(0x8000000Fu);
    OrvoLabel label;
    label.InitProperties();
    label.setShadeColour(systemFace);
    EXPECT_EQ(label.ShadeColour(), SystemColour(15));

    PropertyBag bag;
    bag.write("shadecolour", systemFace, 0);
    OrvoLabel loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.ShadeColour(), systemFace);
}

TEST_F(OrvoLabelTest, PropertiesSurviveTheBag) {
    OrvoLabel label;
    label.InitProperties();
    PropertyBag bag;
    label.WriteProperties(bag);
    EXPECT_EQ(bag.count(), 0); // defaults are not stored

    QFont arial("Arial");
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    label.setCaption("1) Select a firmware image file:");
    label.setNormalColour(0xC0E0FF);
    label.setLabelFont(arial);
    label.setTriColour(true);
    label.setDrawOuter(true);
    label.setResolution(30);
    label.WriteProperties(bag);
    EXPECT_EQ(bag.count(), 6);

    OrvoLabel loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.Caption(), label.Caption());
    EXPECT_EQ(loaded.NormalColour(), 0xC0E0FF);
    EXPECT_EQ(loaded.LabelFont(), arial);
    EXPECT_TRUE(loaded.TriColour());
    EXPECT_TRUE(loaded.DrawOuter());
    EXPECT_EQ(loaded.Resolution(), 30);
    EXPECT_EQ(loaded.Alignment(), 0);

    label.clearLabelFont();
    label.WriteProperties(bag);
    loaded.ReadProperties(bag);
    EXPECT_FALSE(loaded.hasLabelFont());
}

TEST_F(OrvoLabelTest, HiddenChangesRedrawToTheSamePicture) {
    const auto label = shownLabel();
    const QImage before = label->image();
    const int draws = label->drawCount();
    label->setOuterColour(0x0000FF); // no halo is drawn, so nothing shows
    EXPECT_EQ(label->drawCount(), draws + 1);
    EXPECT_EQ(label->image(), before);
}

TEST_F(OrvoLabelTest, ResolutionOfZeroOrLessGivesAFlatFace) {
    const auto label = shownLabel();
    for (std::int16_t resolution : {0, -50}) {
        label->setResolution(resolution);
        EXPECT_EQ(at(label->image(), 500, 0), 0xFFFFFF);
        EXPECT_EQ(at(label->image(), 500, 16), 0xFFFFFF);
    }
}

TEST_F(OrvoLabelTest, SizeHintFitsTheCaption) {
    OrvoLabel label;
    label.InitProperties();
    label.setCaption("2) Select the size of you router's Flash ROM size:");
    const QFontMetrics metrics(gdi::LogicalFont(label.LabelFont(), TwipsPerPixelY(&label)));
    EXPECT_GT(label.sizeHint().width(), metrics.horizontalAdvance(label.Caption()));
    EXPECT_GE(label.sizeHint().height(), 17);
}
