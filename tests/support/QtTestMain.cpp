#include "QtTestMain.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace
{
// The offscreen platform reports window features it lacks; those notes are noise here.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& strMessage)
{
    if (strMessage.startsWith(QStringLiteral("This plugin does not support")))
        return;
    qt_message_output(type, context, strMessage);
}
} // namespace

int main(int argc, char** argv)
{
    // The windows are driven without a screen, unless a test of the display's own behaviour
    // names a platform (the X11 selection tests run on a private Xvfb display).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    relvane::test::PrepareTestApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
