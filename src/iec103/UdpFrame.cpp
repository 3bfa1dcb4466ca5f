#include "iec103/UdpFrame.h"

#include <cstring>

namespace relvane
{

int BuildUdpFrame(std::uint8_t* pOut, bool bWithTime, const std::tm& localTime)
{
    std::memset(pOut, 0, kUdpFrameLength);
    pOut[0] = 0xFF;
    if (!bWithTime)
        return kUdpFrameLength;
    pOut[1] = 0x01;
    // The clock has one-second resolution; a leap second (60) is kept as 59.
    const int nSecond = localTime.tm_sec > 59 ? 59 : (localTime.tm_sec < 0 ? 0 : localTime.tm_sec);
    const int nMs = nSecond * 1000;
    const int nYear = localTime.tm_year + 1900;
    pOut[2] = static_cast<std::uint8_t>(nMs & 0xFF);
    pOut[3] = static_cast<std::uint8_t>(nMs >> 8);
    pOut[4] = static_cast<std::uint8_t>(localTime.tm_min);
    pOut[5] = static_cast<std::uint8_t>(localTime.tm_hour);
    pOut[6] = static_cast<std::uint8_t>(localTime.tm_mday);
    pOut[7] = static_cast<std::uint8_t>(localTime.tm_mon + 1);
    pOut[8] = static_cast<std::uint8_t>(nYear >= 2000 ? nYear - 2000 : nYear - 1900);
    return kUdpFrameLength;
}

} // namespace relvane
