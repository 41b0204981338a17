// A test main() for tests that need a QApplication: it defaults the platform to offscreen, because
// test discovery runs the binary at build time without the test's environment, and allows the router
// code loopback addresses only, whatever a test gets wrong.
#include "OffscreenEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    prepareOffscreenEnvironment();
    qputenv("FLINTOR_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
