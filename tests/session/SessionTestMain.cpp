#include <QGuiApplication>
#include <gtest/gtest.h>

// The session needs an event loop and a GUI application (the log is a text document) but shows
// no window, so the offscreen platform serves when no other one is chosen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
