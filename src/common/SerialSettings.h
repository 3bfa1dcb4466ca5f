#pragma once

#include <array>
#include <string_view>

namespace relvane
{

// The serial line's settings as every form, command line and script offers them.

// The baud rates of the serial form's list, in its order.
inline constexpr std::array<const char*, 10> kBaudRateTexts = {"300",   "1200",  "2400",  "4800",  "9600",
                                                               "14400", "19200", "38400", "57600", "115200"};
// The parities by name, in the serial form's order.
inline constexpr std::array<const char*, 5> kParityNames = {"None", "Odd", "Even", "Mark", "Space"};
// Said once when the open port's device goes away.
inline constexpr const char* kPortLostText = "串口已断开";
// The highest COM number a form, a command line or a channel takes.
constexpr int kMaxPortNumber = 256;

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

// The position of the baud rate in kBaudRateTexts, or -1.
int FindBaudRate(std::string_view strText);
// The position of the parity's name in kParityNames (letter case as given, or any), or -1.
int FindParityName(std::string_view strText, bool bAnyCase = false);
// The number of a port named "COMn", n from 1 to 256 in at most three digits; 0 for any other text.
int ParseComPort(std::string_view strText);

} // namespace relvane
