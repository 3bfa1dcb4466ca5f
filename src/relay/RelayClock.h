#pragma once

#include "common/CalendarTime.h"

#include <cstdint>

namespace relvane
{

// A calendar time as the relay keeps it (local time of the machine plus the offset the master set).
using CRelayTime = CCalendarTime;

// The relay's clock. Time comes in as milliseconds since the epoch (the caller's "now"), so the
// models stay deterministic under test; setting the clock only stores an offset.
class CRelayClock
{
public:
    CRelayTime Now(std::int64_t nNowMs) const;
    // From now on Now() reads `time` at nNowMs and runs on from there.
    void SetTime(const CRelayTime& time, std::int64_t nNowMs);
    std::int64_t OffsetMs() const { return m_nOffsetMs; }

private:
    std::int64_t m_nOffsetMs = 0;
};

// Local calendar time of nMs since the epoch, and back.
CRelayTime LocalTime(std::int64_t nMs);
std::int64_t LocalTimeToMs(const CRelayTime& time);

// '94 long time stamp: nine BCD bytes (year % 100, century, month, day, hour, minute, second,
// milliseconds % 100, milliseconds / 100).
void BuildBcdStamp(const CRelayTime& time, std::uint8_t* pOut);
// '94 short stamp of the 81H command (seven BCD bytes, no milliseconds).
CRelayTime DecodeBcdShortStamp(const std::uint8_t* pStamp);
// Seven-octet binary time (CP56Time2a): ms of the minute, minute, hour, day, month, year % 100.
void BuildCp56(const CRelayTime& time, std::uint8_t* pOut);
CRelayTime DecodeCp56(const std::uint8_t* pTime);
// Four-octet binary time (CP32Time2a): ms of the minute, minute, hour.
void BuildCp32(const CRelayTime& time, std::uint8_t* pOut);

} // namespace relvane
