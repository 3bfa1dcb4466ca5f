#include "app/LogFonts.h"

#include <QFont>
#include <QStringList>

namespace relvane
{

void InstallLogFontFallbacks()
{
    const QStringList substitutes{QStringLiteral("SimSun"),
                                  QStringLiteral("NSimSun"),
                                  QStringLiteral("Noto Serif CJK SC"),
                                  QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("AR PL UMing CN"),
                                  QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("WenQuanYi Micro Hei"),
                                  QStringLiteral("Droid Sans Fallback")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), substitutes);
}

} // namespace relvane
