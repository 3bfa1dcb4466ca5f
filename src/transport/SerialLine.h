#pragma once

#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace relvane
{

// The line settings both serial channels accept: a baud rate from 1 to 4000000 and a parity
// letter N, O, E, M or S (lower case too). The line is always 8 data bits and 1 stop bit.
enum LineCheck : int
{
    LINE_OK = 0,
    LINE_BAD_BAUD = -1,
    LINE_BAD_PARITY = -2,
};

constexpr int kMaxLineBaud = 4000000;

int CheckLineSettings(int nBaud, char cParity);

// The Win32 mode text of the line, "baud=9600 parity=E data=8 stop=1"; the parity letter in
// upper case.
std::string BuildModeText(int nBaud, char cParity, int nDataBits = 8, int nStopBits = 1);

#ifdef _WIN32
// Fills the device-control record from the mode text (BuildCommDCBA): baud, parity, 8 data bits,
// 1 stop bit, no software or hardware flow control, parity not checked on input (nothing
// replaced, no read ended). With bRtsOn RTS is held on; otherwise both modem lines stay as the port reported them.
// False when the settings are refused.
bool BuildLineDcb(int nBaud, char cParity, bool bRtsOn, DCB& dcb);
#endif

} // namespace relvane
