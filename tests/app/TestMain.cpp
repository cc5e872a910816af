// Window tests need a QApplication; the rest do not mind one.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // test discovery runs without the test environment, so the platform is set here too
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // the players play into SDL's silent driver
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
