// Runs the scheduler tests with one QApplication on the offscreen platform. The power-off
// stays a dry run whatever the caller's environment says.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CHIMECAST_POWEROFF", "dry-run");
    qputenv("CHIMECAST_TEST_HARNESS", "1");
    qputenv("SONVOX_ALSA_DEVICE", "null");
    QApplication app(argc, argv);
    // Tests close main windows; that must not end the application under later tests.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
