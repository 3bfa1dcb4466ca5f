#include "session/LogStamp.h"

#include <cstdio>
#include <ctime>

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
    const std::int64_t nSeconds = nWallUs >= 0 ? nWallUs / 1000000 : (nWallUs - 999999) / 1000000;
    const int nMs = static_cast<int>((nWallUs - nSeconds * 1000000) / 1000);
    const auto nTime = static_cast<std::time_t>(nSeconds);
    std::tm local{};
    localtime_r(&nTime, &local);
    char szText[48];
    if (bDate)
        std::snprintf(szText, sizeof szText, "[%04d-%02d-%02d %02d:%02d:%02d.%03d] ", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, nMs);
    else
        std::snprintf(szText, sizeof szText, "[%02d:%02d:%02d.%03d] ", local.tm_hour, local.tm_min,
                      local.tm_sec, nMs);
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
