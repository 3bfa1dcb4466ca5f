#include "app/LogFonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace relvane
{

void InstallLogFontFallbacks()
{
    // Fonts shipped in a folder beside the program (the Windows zip and installer carry a Chinese
    // one for systems without any); the Linux programs have no such folder.
    const QDir fonts(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    for (const QString& strFile :
         fonts.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.ttc"), QStringLiteral("*.otf")}, QDir::Files))
        QFontDatabase::addApplicationFont(fonts.filePath(strFile));
    // Outline faces first: WenQuanYi Zen Hei carries bitmaps that some renderers (Wine's) clip at
    // the log's size, so it comes after the system's YaHei and the Micro Hei shipped beside the
    // Windows program.
    const QStringList substitutes{QStringLiteral("SimSun"),
                                  QStringLiteral("NSimSun"),
                                  QStringLiteral("Noto Serif CJK SC"),
                                  QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("Microsoft YaHei"),
                                  QStringLiteral("WenQuanYi Micro Hei"),
                                  QStringLiteral("AR PL UMing CN"),
                                  QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("Droid Sans Fallback")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), substitutes);
}

} // namespace relvane
