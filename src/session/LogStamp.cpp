#include "session/LogStamp.h"

#include "common/CalendarTime.h"

#include <cstdio>

namespace relvane
{
namespace
{

std::string InsertAtLineStart(std::string_view strText, const std::string& strStamp)
{
    const std::size_t nAt = strText.rfind("\r\n", 0) == 0 ? 2 : 0;
    std::string strOut;
    strOut.reserve(strText.size() + strStamp.size());
    strOut.append(strText.substr(0, nAt)).append(strStamp).append(strText.substr(nAt));
    return strOut;
}

} // namespace

std::string CLogStamp::TimeOfDay(std::int64_t nWallUs, bool bDate)
{
    // Whole milliseconds, rounded towards the earlier one like the seconds.
    const std::int64_t nMs = nWallUs >= 0 ? nWallUs / 1000 : (nWallUs - 999) / 1000;
    const CCalendarTime local = LocalCalendarTime(nMs);
    char szText[48];
    if (bDate)
        std::snprintf(szText, sizeof szText, "[%04d-%02d-%02d %02d:%02d:%02d.%03d] ", local.nYear, local.nMonth,
                      local.nDay, local.nHour, local.nMinute, local.nSecond, local.nMillisecond);
    else
        std::snprintf(szText, sizeof szText, "[%02d:%02d:%02d.%03d] ", local.nHour, local.nMinute, local.nSecond,
                      local.nMillisecond);
    return szText;
}

std::string CLogStamp::Stamp(std::string_view strText, const CChannelTime& time, bool bFrame)
{
    if (m_nForm == STAMP_OFF)
        return std::string(strText);
    char szStamp[48];
    switch (m_nForm)
    {
    case STAMP_TIME_OF_DAY:
        std::snprintf(szStamp, sizeof szStamp, "%s", TimeOfDay(time.nWallUs, false).c_str());
        break;
    case STAMP_SINCE_CONNECT:
    {
        // Before any connection: counted from the first stamped entry.
        if (!m_connected.IsSet())
            m_connected = time;
        const long long nMs = (time.nSteadyUs - m_connected.nSteadyUs) / 1000;
        std::snprintf(szStamp, sizeof szStamp, "[%lld.%03llds] ", nMs / 1000, (nMs < 0 ? -nMs : nMs) % 1000);
        break;
    }
    default:
    {
        const long long nMs =
            m_previousFrame.IsSet() ? (time.nSteadyUs - m_previousFrame.nSteadyUs) / 1000 : 0;
        std::snprintf(szStamp, sizeof szStamp, "[+%lldms] ", nMs);
        break;
    }
    }
    if (bFrame)
        m_previousFrame = time;
    return InsertAtLineStart(strText, szStamp);
}

std::string CLogStamp::StampWithDate(std::string_view strText, const CChannelTime& time)
{
    return InsertAtLineStart(strText, TimeOfDay(time.nWallUs, true));
}

} // namespace relvane
