#include "proto94/Bcd.h"

namespace relvane
{

std::uint8_t EncodeBcd(int nValue)
{
    const int nByte = nValue & 0xFF;
    return static_cast<std::uint8_t>((((nByte / 10) << 4) | (nByte % 10)) & 0xFF);
}

int DecodeBcd(std::uint8_t nByte)
{
    return (nByte / 16) * 10 + (nByte % 16);
}

void BuildClockBytes(std::uint8_t* pFrame, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                     int nSecond)
{
    pFrame[3] = EncodeBcd(nYear % 100);
    pFrame[4] = EncodeBcd(nYear / 100);
    pFrame[5] = EncodeBcd(nMonth);
    pFrame[6] = EncodeBcd(nDay);
    pFrame[7] = EncodeBcd(nHour);
    pFrame[8] = EncodeBcd(nMinute);
    pFrame[9] = EncodeBcd(nSecond);
}

} // namespace relvane
