#include "common/CalendarTime.h"

#include "common/LocalTimeParts.h"

#include <ctime>

namespace relvane
{

CCalendarTime LocalCalendarTime(std::int64_t nEpochMs)
{
    std::int64_t nSeconds = nEpochMs / 1000;
    std::int64_t nMs = nEpochMs % 1000;
    if (nMs < 0)
    {
        nMs += 1000;
        --nSeconds;
    }
    std::tm parts{};
    CCalendarTime time;
    if (!LocalTimeParts(static_cast<std::time_t>(nSeconds), parts))
        return time;
    time.nYear = parts.tm_year + 1900;
    time.nMonth = parts.tm_mon + 1;
    time.nDay = parts.tm_mday;
    time.nHour = parts.tm_hour;
    time.nMinute = parts.tm_min;
    time.nSecond = parts.tm_sec;
    time.nMillisecond = static_cast<int>(nMs);
    return time;
}

CCalendarTime LocalCalendarTime(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    return LocalCalendarTime(duration_cast<milliseconds>(when.time_since_epoch()).count());
}

std::optional<std::int64_t> LocalCalendarTimeToMs(const CCalendarTime& time)
{
    std::tm parts{};
    parts.tm_year = time.nYear - 1900;
    parts.tm_mon = time.nMonth - 1;
    parts.tm_mday = time.nDay;
    parts.tm_hour = time.nHour;
    parts.tm_min = time.nMinute;
    parts.tm_sec = time.nSecond;
    parts.tm_isdst = -1;
    const std::time_t nSeconds = std::mktime(&parts);
    if (nSeconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<std::int64_t>(nSeconds) * 1000 + time.nMillisecond;
}

} // namespace relvane
