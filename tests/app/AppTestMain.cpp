#include "QtTestMain.h"
#include "app/LogFonts.h"
#include "app/QtTranslations.h"

#include <QApplication>
#include <QStandardPaths>

void relvane::test::PrepareTestApplication()
{
    // Recent-file lists and other settings go to a throw-away test location.
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    relvane::InstallQtChineseTranslations();
    relvane::InstallLogFontFallbacks();
}
