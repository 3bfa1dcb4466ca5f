#pragma once

#include <cstdint>

namespace relvane
{

// BCD of the '94 protocol. Only the low 8 bits of nValue are used: the high nibble is
// value / 10, the low nibble value % 10 (the result is truncated to a byte).
std::uint8_t EncodeBcd(int nValue);
// (b / 16) * 10 + (b % 16); nibbles above 9 are not rejected.
int DecodeBcd(std::uint8_t nByte);

// Writes the seven clock bytes of an 81H frame into pFrame[3] to pFrame[9], as the '94 command
// handler does before BuildFrame(0x81, ...): year % 100, year / 100, month, day, hour, minute,
// second, each as two BCD digits (2004 gives 04H then 20H). pFrame must hold at least 10 bytes.
void BuildClockBytes(std::uint8_t* pFrame, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                     int nSecond);

} // namespace relvane
