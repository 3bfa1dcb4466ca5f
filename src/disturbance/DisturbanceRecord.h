#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// A calendar time to the microsecond, as the relay's time fields and COMTRADE's need it.
struct CRecordTime
{
    int nYear = 2000;
    int nMonth = 1;
    int nDay = 1;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMicrosecond = 0;

    // Microseconds since 1 January 1970 of this calendar time (no time zone: as the relay says).
    std::int64_t ToMicroseconds() const;
    static CRecordTime FromMicroseconds(std::int64_t nUs);
};

// One entry of the relay's list of recorded disturbances (ASDU 23).
struct CDisturbanceListEntry
{
    std::uint16_t nFan = 0;
    std::uint8_t nSof = 0;
    CRecordTime time; // the fault's time, from the seven-octet time
};

// One analogue channel as transferred: its actual channel number, the rated and reference values
// of its ASDU 27, and its values (SDV) in sample order.
struct CDisturbanceChannel
{
    std::uint8_t nAcc = 0;
    float fRatedPrimary = 0.0f;
    float fRatedSecondary = 0.0f;
    float fReferenceFactor = 0.0f;
    std::vector<std::int16_t> values;
};

// One tag (ASDU 29): the state of a binary signal from a sample on.
struct CDisturbanceTag
{
    int nPosition = 0; // sample number (TAP)
    std::uint8_t nFun = 0;
    std::uint8_t nInf = 0;
    std::uint8_t nDpi = 0;
};

// A whole disturbance record as the master assembled it.
struct CDisturbanceRecord
{
    std::string strStation; // from the relay's identification (ASDU 5)
    std::string strDevice;
    std::uint8_t nFun = 0;
    std::uint16_t nFan = 0;
    std::uint16_t nNof = 0;
    std::uint8_t nSof = 0;
    int nIntervalUs = 0;
    int nElements = 0;
    CRecordTime faultTime; // ASDU 23: the fault (COMTRADE's trigger)
    CRecordTime startTime; // ASDU 26: the first sample
    std::vector<CDisturbanceChannel> channels;
    std::vector<CDisturbanceTag> tags;
};

} // namespace relvane
