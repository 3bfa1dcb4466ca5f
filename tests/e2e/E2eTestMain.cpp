#include "app/LogFonts.h"

#include <QApplication>
#include <QStandardPaths>
#include <clocale>
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(FilterMessages);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    relvane::InstallLogFontFallbacks();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
