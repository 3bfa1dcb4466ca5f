#include "app/LogFonts.h"
#include "app/QtTranslations.h"

#include <QApplication>
#include <QStandardPaths>
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
    // The window is driven without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(FilterMessages);
    // Recent-file lists and other settings go to a throw-away test location.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    relvane::InstallQtChineseTranslations();
    relvane::InstallLogFontFallbacks();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
