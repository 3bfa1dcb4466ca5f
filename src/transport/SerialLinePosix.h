#pragma once

#include <termios.h>

namespace relvane
{

// Line settings of the serial channel: raw bytes, 8 data bits, 1 stop bit, no flow control,
// receiver on, modem lines ignored, the given baud and parity. Rates without a termios
// constant (14400 is one the relay tools offer) travel as nCustomBaud and are set through the
// kernel's arbitrary-rate interface.
struct CTermiosSettings
{
    termios tio{};
    int nCustomBaud = 0; // 0: the speed is in tio
};

enum TermiosResult : int
{
    TERMIOS_OK = 0,
    TERMIOS_BAD_BAUD = -1,
    TERMIOS_BAD_PARITY = -2,
};

// Parity letters: N none, O odd, E even, M mark, S space (mark and space through CMSPAR);
// lower case is accepted. Parity errors are not checked on input: bytes arrive as they came.
int BuildTermios(int nBaud, char cParity, CTermiosSettings& settings);

// The same settings with parity off; applied first because pseudo-terminals refuse parity.
termios BuildTermiosWithoutParity(const termios& tio);

// Sets an arbitrary rate on an open terminal; false when the driver refuses it.
bool WriteCustomBaud(int nFd, int nBaud);

} // namespace relvane
