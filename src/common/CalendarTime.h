#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace relvane
{

// A calendar time to the millisecond, without a zone: what a clock form shows, what a relay's
// time fields carry, what a log line prints.
struct CCalendarTime
{
    int nYear = 2000;
    int nMonth = 1;
    int nDay = 1;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMillisecond = 0;

    bool operator==(const CCalendarTime&) const = default;
};

// The machine's local calendar time of a moment given as milliseconds since 1970-01-01 UTC
// (times before it round towards the earlier second, so the milliseconds are never negative).
CCalendarTime LocalCalendarTime(std::int64_t nEpochMs);
CCalendarTime LocalCalendarTime(std::chrono::system_clock::time_point when);
// The moment of a local calendar time, in milliseconds since the epoch (the system's daylight
// saving rules decide an ambiguous hour); nothing when the system cannot represent it.
std::optional<std::int64_t> LocalCalendarTimeToMs(const CCalendarTime& time);

} // namespace relvane
