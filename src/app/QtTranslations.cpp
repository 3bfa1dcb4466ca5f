#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace relvane
{

bool InstallQtChineseTranslations()
{
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
