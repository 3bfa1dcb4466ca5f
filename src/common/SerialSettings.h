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

// The position of the baud rate in kBaudRateTexts, or -1.
int FindBaudRate(std::string_view strText);
// The position of the parity's name in kParityNames (letter case as given, or any), or -1.
int FindParityName(std::string_view strText, bool bAnyCase = false);
// The number of a port named "COMn", n from 1 to 256 in at most three digits; 0 for any other text.
int ParseComPort(std::string_view strText);

} // namespace relvane
