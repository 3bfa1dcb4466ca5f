#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace relvane
{

bool InstallQtChineseTranslations()
{
    // Qt's own dialogs, translated, where the desktop offers none of its own; on Windows the
    // system's dialogs, with Explorer's places, speak the system's language already.
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    auto* pTranslator = new QTranslator(QCoreApplication::instance());
    if (!pTranslator->load(QStringLiteral("qtbase_zh_CN"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    {
        delete pTranslator;
        return false;
    }
    QCoreApplication::installTranslator(pTranslator);
    return true;
}

} // namespace relvane
