#pragma once

// The line settings in the form the Win32 communications API takes them.
#include <windows.h>

namespace relvane
{

// Fills the device-control record from the mode text (BuildCommDCBA): baud, parity, 8 data bits,
// 1 stop bit, no software or hardware flow control, parity not checked on input (nothing
// replaced, no read ended). With bRtsOn RTS is held on; otherwise both modem lines stay as the port reported them.
// False when the settings are refused.
bool BuildLineDcb(int nBaud, char cParity, bool bRtsOn, DCB& dcb);

} // namespace relvane
