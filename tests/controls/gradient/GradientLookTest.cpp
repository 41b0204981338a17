// Renders the Calculate button in each of its looks and the three step headings, with the main
// window's properties, into PNG files for a person to look at. Runs only when FLINTOR_LOOK_DIR names
// the folder for the pictures, e.g.
//   FLINTOR_LOOK_DIR=/tmp/flintor-look gradient_tests --gtest_filter='GradientLook.*'
#include "OrvoLabel.h"
#include "OrvoSimpleButton.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString lookDir() {
    return qEnvironmentVariable("FLINTOR_LOOK_DIR");
}

bool save(const QImage& image, const QString& name) {
    return image.save(QDir(lookDir()).filePath(name + ".png"), "PNG");
}

} // namespace

TEST(GradientLook, CalculateButtonInEachLook) {
    if (lookDir().isEmpty())
        GTEST_SKIP() << "set FLINTOR_LOOK_DIR to write the pictures";
    ASSERT_TRUE(QDir().mkpath(lookDir()));

    QWidget window;
    window.setGeometry(100, 100, 300, 60);
    auto* other = new QLineEdit(&window); // holds the focus, as the folder list does in the window
    other->setGeometry(160, 10, 100, 20);
    auto* button = new OrvoSimpleButton(&window);
    button->InitProperties();
    button->setCaption("&Calculate MTD values");
    button->setFocusColour(0xFFFFC0);
    button->setGeometry(10, 10, 137, 25);
    button->setPointerSource([&] { return button->mapToGlobal(QPoint(60, 12)); });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();

    ASSERT_EQ(button->look(), OrvoSimpleButton::Look::Normal);
    EXPECT_TRUE(save(button->image(), "button-normal"));
    QTest::mouseMove(button, QPoint(60, 12));
    ASSERT_EQ(button->look(), OrvoSimpleButton::Look::Hover);
    EXPECT_TRUE(save(button->image(), "button-hover"));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    ASSERT_EQ(button->look(), OrvoSimpleButton::Look::Pressed);
    EXPECT_TRUE(save(button->image(), "button-pressed"));
    // Released outside, the clicked button keeps the focus but shows the normal look; the focus look
    // comes with the next focus change.
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 12));
    button->clearFocus();
    button->setFocus();
    ASSERT_EQ(button->look(), OrvoSimpleButton::Look::Focus);
    EXPECT_TRUE(save(button->image(), "button-focus"));
    button->setEnabled(false);
    EXPECT_TRUE(save(button->image(), "button-disabled"));
}

TEST(GradientLook, StepHeadings) {
    if (lookDir().isEmpty())
        GTEST_SKIP() << "set FLINTOR_LOOK_DIR to write the pictures";
    ASSERT_TRUE(QDir().mkpath(lookDir()));

    const char* captions[] = {
        "1) Select a firmware image file:", "2) Select the size of you router's Flash ROM size:",
        "3) Select you router's bootloader type:"};
    QFont arial("Arial");
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    int index = 0;
    for (const char* caption : captions) {
        OrvoLabel label;
        label.InitProperties();
        label.setCaption(caption);
        label.setNormalColour(0xC0E0FF);
        label.setLabelFont(arial);
        label.setTriColour(true);
        label.setDrawOuter(true);
        label.resize(537, 17);
        label.show();
        EXPECT_TRUE(save(label.image(), QString("heading-%1").arg(index++)));
    }
}
