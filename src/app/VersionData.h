#pragma once

#include <QString>
#include <optional>

namespace relvane
{

// The three lines of the about box, as read at start-up.
struct CVersionData
{
    QString strVersion;     // "Relvane %s 版" with the product version
    QString strBuild;       // "Build %s" with the special build
    QString strLegalNotice; // the legal notice as it is
};

// Forms the lines from the values found, in the order they are read: the legal notice, the
// product version, the special build. The first value missing ends the reading, so it and every
// value after it leave their lines empty.
CVersionData FormVersionData(const std::optional<QString>& legalNotice,
                             const std::optional<QString>& productVersion,
                             const std::optional<QString>& specialBuild);

// The program's own version data, read once: on Windows from the version resource of the
// running executable, elsewhere from the compiled-in values.
const CVersionData& ProgramVersionData();

} // namespace relvane
