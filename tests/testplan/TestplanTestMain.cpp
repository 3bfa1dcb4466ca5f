#include <QGuiApplication>
#include <gtest/gtest.h>

// Plans run on the session engine, which needs an event loop and a GUI application (the log is a
// text document) but shows no window.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
