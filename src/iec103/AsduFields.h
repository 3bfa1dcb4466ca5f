#pragma once

#include <cstdint>

namespace relvane
{

// Fields of 103 ASDU bodies read the same way wherever they are shown: the full explanation in the
// log, the event list and the measurand trends.

// "分(OFF)", "合(ON)" or "未用" for the two bits of a DPI.
const char* DoublePointText(int nDpi);

// One MEA: OV in bit 0, ER in bit 1, a reserved bit, then a 13-bit two's-complement fraction of
// full scale (which the relay sets at 1.2 or 2.4 times the rated value).
struct CMeasurandValue
{
    double dFraction = 0.0; // -1 to just under +1
    int nRaw = 0;           // the word as received
    bool bOverflow = false;
    bool bError = false;
};
CMeasurandValue DecodeMeasurand(int nWord);

// CP32Time2a: milliseconds (two octets), IV and minutes, SU and hours.
struct CShortTime
{
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMillisecond = 0;
    bool bInvalid = false;
    bool bSummer = false;
};
// pTime must hold four bytes.
CShortTime DecodeTime32(const std::uint8_t* pTime);

} // namespace relvane
