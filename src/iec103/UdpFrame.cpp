#include "iec103/UdpFrame.h"

#include <cstring>

namespace relvane
{

int BuildUdpFrame(std::uint8_t* pOut, bool bWithTime, const CCalendarTime& localTime)
{
    std::memset(pOut, 0, kUdpFrameLength);
    pOut[0] = 0xFF;
    if (!bWithTime)
        return kUdpFrameLength;
    pOut[1] = 0x01;
    // The clock has one-second resolution; a leap second (60) is kept as 59.
    const int nSecond = localTime.nSecond > 59 ? 59 : (localTime.nSecond < 0 ? 0 : localTime.nSecond);
    const int nMs = nSecond * 1000;
    const int nYear = localTime.nYear;
    pOut[2] = static_cast<std::uint8_t>(nMs & 0xFF);
    pOut[3] = static_cast<std::uint8_t>(nMs >> 8);
    pOut[4] = static_cast<std::uint8_t>(localTime.nMinute);
    pOut[5] = static_cast<std::uint8_t>(localTime.nHour);
    pOut[6] = static_cast<std::uint8_t>(localTime.nDay);
    pOut[7] = static_cast<std::uint8_t>(localTime.nMonth);
    pOut[8] = static_cast<std::uint8_t>(nYear >= 2000 ? nYear - 2000 : nYear - 1900);
    return kUdpFrameLength;
}

} // namespace relvane
