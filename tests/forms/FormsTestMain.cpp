#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The forms are driven without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
