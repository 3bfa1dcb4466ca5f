#pragma once

#include <string>

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

} // namespace relvane
