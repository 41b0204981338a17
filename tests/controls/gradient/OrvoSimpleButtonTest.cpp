#include "OrvoSimpleButton.h"

#include "PropertyBag.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Look = OrvoSimpleButton::Look;

ColourValue at(const QImage& image, int x, int y) {
    return toColourValue(QColor(image.pixel(x, y)));
}

/// The look's own colour: on the 12-row surface of a 25-pixel button the 10 % stop is row 1, which
/// control row 3 shows. The disabled look starts at its colour on row 0 (control row 1).
ColourValue bandOf(const OrvoSimpleButton& button) {
    return at(button.image(), 5, 3);
}
ColourValue topOf(const OrvoSimpleButton& button) {
    return at(button.image(), 5, 1);
}

constexpr ColourValue kNormal = 0xEFF3F3;
constexpr ColourValue kHover = 0x59C4FA;
constexpr ColourValue kPressed = 0xD9E1E2;
constexpr ColourValue kFocus = 0xFFFFC0; // the Calculate button's own

/// The Calculate button at the main window's size, in an active window, with a pointer the test
/// moves by hand for `tmrRelease` to find.
class OrvoSimpleButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCursor::setPos(790, 790);
        window = std::make_unique<QWidget>();
        window->setGeometry(100, 100, 300, 100);
        other = new QLineEdit(window.get());
        other->setGeometry(10, 50, 100, 20);
        button = new OrvoSimpleButton(window.get());
        button->InitProperties();
        button->setCaption("&Calculate MTD values");
        button->setFocusColour(kFocus);
        button->setGeometry(10, 10, 137, 25);
        button->setPointerSource([this] { return pointer; });
        pointerOutside();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        other->setFocus();
        QApplication::processEvents();
    }

    void pointerInside() { pointer = button->mapToGlobal(QPoint(60, 12)); }
    void pointerOutside() { pointer = button->mapToGlobal(QPoint(60, 60)); }

    /// Waits for the next tick of `tmrRelease`; its handler has run when this returns.
    bool nextTick() {
        QSignalSpy ticks(button->releaseTimer(), &QTimer::timeout);
        return ticks.wait(2000);
    }

    /// The pointer comes in over the button.
    void hover() {
        pointerInside();
        QTest::mouseMove(button, QPoint(60, 12));
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* other = nullptr;
    OrvoSimpleButton* button = nullptr;
    QPoint pointer;
};

} // namespace

TEST(AccessKeyOf, FindsTheLetterAfterTheFirstUsableMark) {
    const struct {
        const char* caption;
        char key; // 0: none
    } cases[] = {
        {"&Calculate MTD values", 'C'},
        {"&&Go", 'G'}, // the second mark of the pair is found by the next search
        {"Save && E&xit", 'x'},
        {"& &Run", 'R'}, // a mark before a space is passed over
        {"Go&", 0},      // the only mark is the last character
        {"A & B", 0},
        {"A && B", 0}, // a doubled mark before a space and no other
        {"Button", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        const std::optional<QChar> key = AccessKeyOf(QString::fromLatin1(c.caption));
        if (c.key == 0)
            EXPECT_FALSE(key.has_value()) << c.caption;
        else
            EXPECT_EQ(key, QChar::fromLatin1(c.key)) << c.caption;
    }
}

TEST(OrvoSimpleButtonDefaults, NewInstanceShowsTheNormalLook) {
    OrvoSimpleButton button;
    button.InitProperties();
    EXPECT_EQ(button.Caption(), "Button");
    EXPECT_TRUE(button.Enabled());
    EXPECT_EQ(button.NormalColour(), kNormal);
    EXPECT_EQ(button.GradientDirection(), 1);
    EXPECT_EQ(button.HoverColour(), kHover);
    EXPECT_EQ(button.PressedColour(), kPressed);
    EXPECT_EQ(button.DisabledColour(), 0xC0C0C0);
    EXPECT_EQ(button.BorderColour(), 0x743C00);
    EXPECT_EQ(button.Resolution(), 50);
    EXPECT_EQ(button.LightColour(), 0xFFFFFF);
    EXPECT_EQ(button.ShadeColour(), 0xC5D0D6);
    EXPECT_EQ(button.FocusColour(), 0x59C4FA);
    EXPECT_FALSE(button.releaseTimer()->isActive());
    EXPECT_EQ(button.releaseTimer()->interval(), 100);

    button.resize(137, 25);
    button.show();
    EXPECT_EQ(button.look(), Look::Normal);
    EXPECT_EQ(topOf(button), 0xFFFFFF);
    EXPECT_EQ(bandOf(button), kNormal);
    EXPECT_EQ(at(button.image(), 0, 12), 0x743C00);
    EXPECT_EQ(at(button.image(), 136, 12), 0x743C00);
}

TEST_F(OrvoSimpleButtonTest, StreamOfMovesDrawsTheHoverLookOnce) {
    QSignalSpy moves(button, &OrvoSimpleButton::MouseMove);
    const int draws = button->drawCount();
    pointerInside();
    for (int i = 0; i < 1000; ++i)
        QTest::mouseMove(button, QPoint(5 + i % 100, 12));
    EXPECT_EQ(button->drawCount(), draws + 1);
    EXPECT_EQ(button->look(), Look::Hover);
    EXPECT_EQ(bandOf(*button), kHover);
    EXPECT_TRUE(button->releaseTimer()->isActive());
    ASSERT_EQ(moves.count(), 1000);
    // Button, Shift and the position in twips, 15 to the pixel.
    EXPECT_EQ(moves.at(7).at(0).toInt(), 0);
    EXPECT_FLOAT_EQ(moves.at(7).at(2).toFloat(), 12 * 15);
    EXPECT_FLOAT_EQ(moves.at(7).at(3).toFloat(), 12 * 15);
}

TEST_F(OrvoSimpleButtonTest, LeavingBringsTheLookBackAndTheNextTickStopsTheTimer) {
    hover();
    const int hoverDraws = button->drawCount();
    ASSERT_TRUE(nextTick()); // pointer still inside: nothing to draw
    EXPECT_EQ(button->look(), Look::Hover);
    EXPECT_EQ(button->drawCount(), hoverDraws);

    pointerOutside();
    ASSERT_TRUE(nextTick());
    EXPECT_EQ(button->look(), Look::Normal);
    EXPECT_EQ(bandOf(*button), kNormal);
    EXPECT_EQ(button->drawCount(), hoverDraws + 1);
    EXPECT_TRUE(button->releaseTimer()->isActive());

    ASSERT_TRUE(nextTick());
    EXPECT_FALSE(button->releaseTimer()->isActive());
    EXPECT_EQ(button->drawCount(), hoverDraws + 1);
}

TEST_F(OrvoSimpleButtonTest, HoverDrawnAgainStillGivesWayWhenThePointerLeaves) {
    hover();
    button->setHoverColour(0x00FF00); // redraws the hover look over the hover look
    EXPECT_EQ(bandOf(*button), 0x00FF00);
    pointerOutside();
    ASSERT_TRUE(nextTick());
    EXPECT_EQ(button->look(), Look::Normal);
    ASSERT_TRUE(nextTick());
    EXPECT_FALSE(button->releaseTimer()->isActive());
}

TEST_F(OrvoSimpleButtonTest, LeftPressAndRelease) {
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    hover();
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    EXPECT_EQ(button->look(), Look::Pressed);
    EXPECT_EQ(bandOf(*button), kPressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 12));
    EXPECT_EQ(button->look(), Look::Hover);
    EXPECT_EQ(clicks.count(), 1);

    // Once the pointer leaves, the released button rests in its focus look, not pressed.
    pointerOutside();
    ASSERT_TRUE(nextTick());
    EXPECT_EQ(button->look(), Look::Focus);
    EXPECT_EQ(bandOf(*button), kFocus);

    // Released outside: the normal look, though the button keeps the focus, and no click.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 12));
    EXPECT_EQ(button->look(), Look::Normal);
    EXPECT_TRUE(button->hasFocus());
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(OrvoSimpleButtonTest, RightButtonChangesNothing) {
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    button->setFocus();
    const int draws = button->drawCount();
    const Look look = button->look();
    QTest::mousePress(button, Qt::RightButton, {}, QPoint(60, 12));
    QTest::mouseRelease(button, Qt::RightButton, {}, QPoint(60, 12));
    EXPECT_EQ(button->look(), look);
    EXPECT_EQ(button->drawCount(), draws);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(OrvoSimpleButtonTest, EnterAndSpaceClickOnReleaseOnly) {
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    button->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        clicks.clear();
        QTest::keyPress(button, key);
        EXPECT_EQ(clicks.count(), 0) << key;
        EXPECT_EQ(button->look(), Look::Focus) << key;
        QKeyEvent repeated(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(button, &repeated);
        EXPECT_EQ(clicks.count(), 0) << key;
        QTest::keyRelease(button, key);
        EXPECT_EQ(clicks.count(), 1) << key;
    }
    clicks.clear();
    QTest::keyClick(button, Qt::Key_A);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(OrvoSimpleButtonTest, FocusLookFollowsTheFocus) {
    button->setFocus();
    EXPECT_EQ(button->look(), Look::Focus);
    EXPECT_EQ(bandOf(*button), kFocus);
    other->setFocus();
    EXPECT_EQ(button->look(), Look::Normal);
    EXPECT_EQ(bandOf(*button), kNormal);
}

TEST_F(OrvoSimpleButtonTest, DisabledButtonTakesNoInputAndNoFocus) {
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    button->setFocus();
    button->setEnabled(true); // the normal look, even with the focus
    EXPECT_EQ(button->look(), Look::Normal);

    button->setEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(button->hasFocus());
    EXPECT_EQ(button->look(), Look::Disabled);
    EXPECT_EQ(topOf(*button), 0xC0C0C0); // no light band
    const int draws = button->drawCount();

    QTest::mouseMove(button, QPoint(60, 12));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(60, 12));
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    button->setFocus();
    EXPECT_FALSE(button->hasFocus());
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(button->look(), Look::Disabled);
    EXPECT_EQ(button->drawCount(), draws);

    // Through a QWidget pointer the property follows as well.
    QSignalSpy notices(button, &OrvoSimpleButton::propertyChanged);
    static_cast<QWidget*>(button)->setEnabled(true);
    EXPECT_TRUE(button->Enabled());
    EXPECT_EQ(button->look(), Look::Normal);
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices.at(0).at(0).toString(), "Enabled");
}

TEST_F(OrvoSimpleButtonTest, AccessKeyFollowsTheCaption) {
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->look(), Look::Normal); // no redraw, no focus taken

    button->setCaption("&Go");
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyClick(window.get(), Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(OrvoSimpleButtonTest, NewPressedColourShowsFromTheNextPressedRedraw) {
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    button->setPressedColour(0x0000FF);
    EXPECT_EQ(bandOf(*button), kPressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 12));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    EXPECT_EQ(bandOf(*button), 0x0000FF);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 12)); // Qt Test remembers held buttons
}

TEST_F(OrvoSimpleButtonTest, EverySetterReportsItsProperty) {
    const std::vector<std::pair<QString, std::function<void(OrvoSimpleButton&)>>> setters = {
        {"Caption", [](OrvoSimpleButton& b) { b.setCaption("x"); }},
        {"Enabled", [](OrvoSimpleButton& b) { b.setEnabled(true); }},
        {"NormalColour", [](OrvoSimpleButton& b) { b.setNormalColour(1); }},
        {"GradientDirection", [](OrvoSimpleButton& b) { b.setGradientDirection(0); }},
        {"HoverColour", [](OrvoSimpleButton& b) { b.setHoverColour(1); }},
        {"PressedColour", [](OrvoSimpleButton& b) { b.setPressedColour(1); }},
        {"DisabledColour", [](OrvoSimpleButton& b) { b.setDisabledColour(1); }},
        {"BorderColour", [](OrvoSimpleButton& b) { b.setBorderColour(1); }},
        {"Resolution", [](OrvoSimpleButton& b) { b.setResolution(0); }},
        {"LightColour", [](OrvoSimpleButton& b) { b.setLightColour(1); }},
        {"ShadeColour", [](OrvoSimpleButton& b) { b.setShadeColour(1); }},
        {"FocusColour", [](OrvoSimpleButton& b) { b.setFocusColour(1); }},
    };
    for (const auto& [name, set] : setters) {
        QSignalSpy spy(button, &OrvoSimpleButton::propertyChanged);
        set(*button);
        ASSERT_EQ(spy.count(), 1) << name.toStdString();
        EXPECT_EQ(spy.at(0).at(0).toString(), name);
    }
}

TEST_F(OrvoSimpleButtonTest, PropertiesSurviveTheBagAndKeepRawSystemColours) {
    const auto systemFace = static_cast<ColourValue>(0x8000000Fu);
    button->setNormalColour(systemFace);
    EXPECT_EQ(button->NormalColour(), SystemColour(15));

    PropertyBag bag;
    button->WriteProperties(bag);
    EXPECT_EQ(bag.count(), 3); // caption, normal and focus colours differ from the defaults
    bag.write("normalcolour", systemFace, 0);
    bag.write("enabled", false, true);

    OrvoSimpleButton loaded;
    loaded.resize(137, 25);
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.Caption(), "&Calculate MTD values");
    EXPECT_EQ(loaded.FocusColour(), kFocus);
    EXPECT_EQ(loaded.NormalColour(), systemFace);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_FALSE(loaded.isEnabled());
    EXPECT_EQ(loaded.look(), Look::Disabled);
}

TEST_F(OrvoSimpleButtonTest, AssistiveTechnologySeesAPushButton) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Calculate MTD values");
    EXPECT_FALSE(accessible->text(QAccessible::Accelerator).isEmpty());
    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    QSignalSpy clicks(button, &OrvoSimpleButton::Click);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(OrvoSimpleButtonTest, SizeHintFitsTheCaption) {
    const QFontMetrics metrics(button->font());
    EXPECT_GT(button->sizeHint().width(), metrics.horizontalAdvance("Calculate MTD values"));
    EXPECT_GT(button->sizeHint().height(), metrics.height());
}
