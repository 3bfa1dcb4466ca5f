#include "QtTestMain.h"
#include "app/LogFonts.h"

#include <QApplication>
#include <QStandardPaths>
#include <clocale>

void relvane::test::PrepareTestApplication()
{
    // Settings and recent files go to a throw-away test location.
    QStandardPaths::setTestModeEnabled(true);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    relvane::InstallLogFontFallbacks();
}
