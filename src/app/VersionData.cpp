#include "app/VersionData.h"

namespace relvane
{

CVersionData FormVersionData(const std::optional<QString>& legalNotice,
                             const std::optional<QString>& productVersion,
                             const std::optional<QString>& specialBuild)
{
    CVersionData data;
    if (!legalNotice)
        return data;
    data.strLegalNotice = *legalNotice;
    if (!productVersion)
        return data;
    data.strVersion = QStringLiteral("Relvane %1 版").arg(*productVersion);
    if (!specialBuild)
        return data;
    data.strBuild = QStringLiteral("Build %1").arg(*specialBuild);
    return data;
}

} // namespace relvane
