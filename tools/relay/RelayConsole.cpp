#include "RelayConsole.h"
#include "ConsoleText.h"

#include "common/CalendarTime.h"

#include <chrono>
#include <cstdio>

namespace relvane
{

std::atomic<bool> g_bStopRequested{false};

namespace
{

std::string TimeText(std::int64_t nMs)
{
    const CCalendarTime local = LocalCalendarTime(nMs);
    char szText[32];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d.%03d", local.nHour, local.nMinute, local.nSecond,
                  local.nMillisecond);
    return szText;
}

} // namespace

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void CRelayConsole::Frame(const char* pszDirection, const char* pszProtocol, const CRelayBytes& abBytes,
                          const std::string& strNote) const
{
    if (m_bQuiet)
        return;
    std::string strLine = TimeText(NowMs()) + " " + pszDirection + " " + pszProtocol;
    strLine.resize(strLine.size() < 20 ? 20 : strLine.size(), ' ');
    for (const std::uint8_t b : abBytes)
    {
        char szByte[4];
        std::snprintf(szByte, sizeof szByte, "%02X ", b);
        strLine += szByte;
    }
    if (!abBytes.empty())
        strLine.pop_back();
    if (!strNote.empty())
        strLine += "  (" + strNote + ")";
    PutText(stdout, strLine + "\n");
}

void CRelayConsole::Note(const std::string& strText) const
{
    if (!m_bQuiet)
        PutText(stdout, TimeText(NowMs()) + " " + strText + "\n");
}

} // namespace relvane
