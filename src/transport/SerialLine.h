#pragma once

#include "common/SerialSettings.h"

#include <string>

namespace relvane
{

// The Win32 mode text of the line, "baud=9600 parity=E data=8 stop=1"; the parity letter in
// upper case.
std::string BuildModeText(int nBaud, char cParity, int nDataBits = 8, int nStopBits = 1);

} // namespace relvane
