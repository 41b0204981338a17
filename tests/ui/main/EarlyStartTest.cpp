// The window of a process that starts reading the fonts and connecting to the session bus before it makes
// its application object, as the program does: Qt's font database takes the configuration read then, and
// the window's texts find their faces.
#include "OffscreenEnvironment.h"
#include "frmMain.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(EarlyStart, WindowFindsTheFacesOfTheConfigurationReadBeforeTheApplication) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    frmMain window(nullptr, tmp.filePath("settings.ini"));
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("Liberation Sans")));
    EXPECT_EQ(QFontInfo(window.txtMB->font()).family(), QStringLiteral("Liberation Sans"));
}

int main(int argc, char** argv) {
    prepareOffscreenEnvironment();
    frmMain::beginStartUp();
    frmMain::beginStartUp(); // a second call changes nothing
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
