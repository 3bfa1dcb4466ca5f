#include "iec103/AsduFields.h"

namespace relvane
{

const char* DoublePointText(int nDpi)
{
    switch (nDpi)
    {
    case 1:
        return "分(OFF)";
    case 2:
        return "合(ON)";
    default:
        return "未用";
    }
}

CMeasurandValue DecodeMeasurand(int nWord)
{
    CMeasurandValue value;
    value.nRaw = nWord & 0xFFFF;
    const auto nSigned = static_cast<std::int16_t>(static_cast<std::uint16_t>(value.nRaw & 0xFFF8));
    value.dFraction = nSigned / 32768.0;
    value.bOverflow = (nWord & 1) != 0;
    value.bError = (nWord & 2) != 0;
    return value;
}

CShortTime DecodeTime32(const std::uint8_t* pTime)
{
    CShortTime time;
    const int nMs = pTime[0] | pTime[1] << 8;
    time.nSecond = nMs / 1000;
    time.nMillisecond = nMs % 1000;
    time.nMinute = pTime[2] & 0x3F;
    time.bInvalid = (pTime[2] & 0x80) != 0;
    time.nHour = pTime[3] & 0x1F;
    time.bSummer = (pTime[3] & 0x80) != 0;
    return time;
}

} // namespace relvane
