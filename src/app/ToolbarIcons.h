#pragma once

#include <QIcon>

namespace relvane
{

// The 16-pixel toolbar image of a command, drawn in code: simple pictures for the file, edit and
// print commands, lettered badges for the protocol commands. A null icon for unknown ids.
QIcon CommandIcon(int nId);

// The window's icon: a relay-green "R" badge at 16 and 32 pixels.
QIcon ApplicationIcon();

} // namespace relvane
