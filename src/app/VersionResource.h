#pragma once

#include "app/VersionData.h"

namespace relvane
{

// Windows: the about box's lines from the version resource of an executable (string block
// "080404b0"); a file without one gives empty lines.
CVersionData ReadVersionResource(const QString& strFile);

} // namespace relvane
