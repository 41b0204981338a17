// The main window on a 192-dots-per-inch screen, offscreen. Built twice: as Qt runs by default, where
// the screen is scaled by 2 and a logical pixel stays 15 twips; and with Qt's scaling turned off
// (FLINTOR_UNSCALED), where the window reads 1440 / 192 = 7.5 twips per pixel, rounded to 8. Either
// way the window and its self-drawn controls keep their designed proportions.
#include "DirList.h"
#include "FileList.h"
#include "Gdi.h"
#include "OffscreenEnvironment.h"
#include "OrvoLabel.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "QtPrinters.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

#ifdef FLINTOR_UNSCALED
constexpr int kTwipsPerPixel = 8; // 7.5, the half rounded to the even neighbour
constexpr double kDevicePixelRatio = 1.0;
#else
constexpr int kTwipsPerPixel = 15;
constexpr double kDevicePixelRatio = 2.0;
#endif

int px(int twips) {
    return static_cast<int>(std::lrint(double(twips) / kTwipsPerPixel));
}

QRect pxRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

class HighDpi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_window = std::make_unique<frmMain>(nullptr, m_tmp.filePath("settings.ini"));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void TearDown() override {
        m_window->close();
        m_window.reset();
    }
    frmMain& w() { return *m_window; }

    QTemporaryDir m_tmp;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(HighDpi, ScreenHas192DotsPerInch) {
    const QScreen* screen = w().screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_DOUBLE_EQ(screen->logicalDotsPerInch() * screen->devicePixelRatio(), 192.0);
    EXPECT_DOUBLE_EQ(w().devicePixelRatioF(), kDevicePixelRatio);
}

TEST_F(HighDpi, WindowAndSelfDrawnControlsReadTheScreensTwipsPerPixel) {
    EXPECT_EQ(w().twipsPerPixel(), kTwipsPerPixel);
    EXPECT_EQ(w().OrvoPartitions->twipsPerPixel(), kTwipsPerPixel);
}

TEST_F(HighDpi, WindowAndControlsKeepTheirDesignedPlacesInTwips) {
    EXPECT_EQ(w().size(), QSize(px(8280), px(8940)));
    EXPECT_EQ(w().fraFooter->geometry(), pxRect(120, 3285, 8040, 5535));
    EXPECT_EQ(w().Dir1->geometry(), pxRect(120, 720, 8040, 1282));
    EXPECT_EQ(w().File1->geometry().top(), px(2002));
    EXPECT_EQ(w().optMem[3]->geometry(), pxRect(3960, 300, 1095, 255));
    EXPECT_EQ(w().cmdRead->geometry(), pxRect(0, 0, 2055, 375));
    EXPECT_EQ(w().OrvoPartitions->width(), w().fraFooter->width());

    // On the screen, the whole window is as many device pixels as its twips at 192 dots per inch,
    // within the rounding of the twips per pixel.
    const double devicePixels = w().width() * w().devicePixelRatioF();
    const double designed = 8280.0 * 192 / 1440;
    EXPECT_NEAR(devicePixels / designed, 1.0, kTwipsPerPixel == 15 ? 0.001 : 0.07);
}

TEST_F(HighDpi, CaptionsStillFitTheirBoxes) {
    // The standard controls' text follows the screen's true 192 dots per inch while the boxes follow
    // the rounded twips per pixel, so unscaled the text is 1/15 larger than its box was designed
    // for: "Size in Hex" then asks for one pixel more than its box has, which its margin absorbs.
    for (QAbstractButton* choice : w().findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QRadioButton*>(choice) && !qobject_cast<QCheckBox*>(choice))
            continue;
        EXPECT_LE(choice->sizeHint().width(), choice->width() + 1) << choice->text().toStdString();
    }
    for (OrvoLabel* heading : w().lblOrvo) {
        const QFontMetrics metrics(gdi::LogicalFont(heading->LabelFont(), kTwipsPerPixel));
        EXPECT_LE(metrics.height(), heading->height()) << heading->Caption().toStdString();
        EXPECT_LT(metrics.horizontalAdvance(heading->Caption()), heading->width());
    }
}

TEST_F(HighDpi, CompareCommandAndTheNoteBelowItFitBetweenTheOptionsAndTheLogo) {
    const QPushButton* command = w().cmdCompare;
    EXPECT_LE(command->sizeHint().width(), command->width());
    EXPECT_LE(command->fontMetrics().height(), command->height());
    EXPECT_GE(command->y(), w().chkIncFilename->geometry().bottom());
    EXPECT_LE(command->geometry().bottom(), w().lblInfo->y());
    EXPECT_LE(w().lblInfo->heightForWidth(w().lblInfo->width()), w().lblInfo->height());
    EXPECT_LT(w().lblInfo->geometry().bottom(), w().imgLogo->y());
}

TEST_F(HighDpi, LogoHasTheScreensResolutionInItsDesignedPlace) {
    const QPixmap logo = w().imgLogo->pixmap();
    EXPECT_EQ(logo.devicePixelRatio(), kDevicePixelRatio);
    EXPECT_EQ(logo.deviceIndependentSize().toSize(), QSize(137, 41));
}

TEST_F(HighDpi, DrawnWindowCoversAllItsDevicePixels) {
    const QImage shot = w().grab().toImage();
    EXPECT_EQ(shot.size(), w().size() * kDevicePixelRatio);
    // The step headings' orange fills their strips at the same place as at 96 dots per inch.
    const QPoint heading = w().lblOrvo[0]->geometry().center() * kDevicePixelRatio;
    const QColor colour = shot.pixelColor(heading.x(), heading.y() + int(2 * kDevicePixelRatio));
    EXPECT_GT(colour.red(), 200);
    EXPECT_GT(colour.green(), 150);
    EXPECT_LT(colour.blue(), colour.green());
}

} // namespace

int main(int argc, char** argv) {
    prepareOffscreenEnvironment();
    qputenv("QT_FONT_DPI", "192");
#ifdef FLINTOR_UNSCALED
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
