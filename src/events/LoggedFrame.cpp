#include "events/LoggedFrame.h"

#include "events/FrameRecords.h"
#include "events/RecordRows.h"

#include <cstdio>

namespace relvane
{
namespace
{

constexpr std::string_view kReceived = "接收: ";
constexpr double kSecondsPerDay = 86400.0;

int Digit(char c, bool bHex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (bHex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (bHex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ReadBytes(const std::vector<std::string_view>& tokens, bool bHex, std::vector<std::uint8_t>& abBytes)
{
    abBytes.clear();
    for (const std::string_view token : tokens)
    {
        int nValue = 0;
        for (const char c : token)
        {
            const int nDigit = Digit(c, bHex);
            if (nDigit < 0)
                return false;
            nValue = nValue * (bHex ? 16 : 10) + nDigit;
        }
        if (nValue > 255 || (bHex && token.size() != 2))
            return false;
        abBytes.push_back(static_cast<std::uint8_t>(nValue));
    }
    return !abBytes.empty();
}

// "[12:34:56.789]", "[12.345s]" or "[+15ms]" at the paragraph's start.
void ReadStamp(std::string_view strStamp, CLoggedFrame& frame)
{
    const std::string strText(strStamp);
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMs = 0;
    long long nWhole = 0;
    char szUnit[4] = {};
    if (std::sscanf(strText.c_str(), "%d:%d:%d.%d", &nHour, &nMinute, &nSecond, &nMs) == 4)
    {
        frame.nStampForm = 1;
        frame.dStampSeconds = nHour * 3600.0 + nMinute * 60.0 + nSecond + nMs / 1000.0;
    }
    else if (!strText.empty() && strText[0] == '+' && std::sscanf(strText.c_str() + 1, "%lldm%1[s]", &nWhole, szUnit) == 2)
    {
        frame.nStampForm = 3;
        frame.dStampSeconds = static_cast<double>(nWhole) / 1000.0;
    }
    else if (std::sscanf(strText.c_str(), "%lld.%d%1[s]", &nWhole, &nMs, szUnit) == 3)
    {
        frame.nStampForm = 2;
        frame.dStampSeconds = static_cast<double>(nWhole) + (strText[0] == '-' ? -nMs : nMs) / 1000.0;
    }
    else
        return;
    frame.strStamp = strText;
}

} // namespace

bool ReadLoggedFrame(std::string_view strParagraph, CLoggedFrame& frame)
{
    frame = CLoggedFrame();
    std::string_view strRest = strParagraph;
    while (!strRest.empty() && (strRest.front() == '\r' || strRest.front() == '\n'))
        strRest.remove_prefix(1);
    if (!strRest.empty() && strRest.front() == '[')
    {
        const std::size_t nClose = strRest.find("] ");
        if (nClose == std::string_view::npos)
            return false;
        ReadStamp(strRest.substr(1, nClose - 1), frame);
        strRest.remove_prefix(nClose + 2);
    }
    if (strRest.substr(0, 3) == "TCP")
        strRest.remove_prefix(3);
    if (strRest.substr(0, kReceived.size()) != kReceived)
        return false;
    strRest.remove_prefix(kReceived.size());
    // The bytes end the paragraph's first line; an annotation follows on lines of its own.
    strRest = strRest.substr(0, strRest.find_first_of("\r\n"));
    std::vector<std::string_view> tokens;
    std::size_t nAt = 0;
    while (nAt < strRest.size())
    {
        const std::size_t nStart = strRest.find_first_not_of(' ', nAt);
        if (nStart == std::string_view::npos)
            break;
        std::size_t nEnd = strRest.find(' ', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = strRest.size();
        tokens.push_back(strRest.substr(nStart, nEnd - nStart));
        nAt = nEnd;
    }
    bool bMaybeHex = true;
    bool bMaybeDecimal = true;
    for (const std::string_view token : tokens)
    {
        bMaybeHex = bMaybeHex && token.size() == 2;
        for (const char c : token)
            bMaybeDecimal = bMaybeDecimal && Digit(c, false) >= 0;
    }
    std::vector<std::uint8_t> abHex;
    std::vector<std::uint8_t> abDecimal;
    const bool bHex = bMaybeHex && ReadBytes(tokens, true, abHex);
    const bool bDecimal = bMaybeDecimal && ReadBytes(tokens, false, abDecimal);
    if (!bHex && !bDecimal)
        return false;
    const int nHexProtocol = bHex ? DetectRecordProtocol(abHex.data(), static_cast<int>(abHex.size())) : -1;
    const int nDecimalProtocol =
        bDecimal ? DetectRecordProtocol(abDecimal.data(), static_cast<int>(abDecimal.size())) : -1;
    if (bHex && (nHexProtocol >= 0 || nDecimalProtocol < 0))
    {
        frame.abBytes = std::move(abHex);
        frame.nProtocol = nHexProtocol;
    }
    else
    {
        frame.abBytes = std::move(abDecimal);
        frame.nProtocol = nDecimalProtocol;
    }
    return true;
}

double CLoggedTimes::Next(const CLoggedFrame& frame, std::string& strText)
{
    ++m_nFrames;
    if (m_nTimeBase < 0)
    {
        switch (frame.nStampForm)
        {
        case 1:
            m_nTimeBase = TIME_OF_DAY;
            break;
        case 2:
        case 3:
            m_nTimeBase = TIME_RELATIVE;
            break;
        default:
            m_nTimeBase = TIME_ORDER;
            break;
        }
    }
    strText = frame.strStamp;
    double dTime = m_nFrames;
    if (m_nTimeBase == TIME_OF_DAY && frame.nStampForm == 1)
    {
        // A log that runs past midnight: a stamp far before the last is the next day.
        if (frame.dStampSeconds + m_dDayOffset < m_dLast - kSecondsPerDay / 2)
            m_dDayOffset += kSecondsPerDay;
        dTime = frame.dStampSeconds + m_dDayOffset;
    }
    else if (m_nTimeBase == TIME_RELATIVE && frame.nStampForm == 2)
        dTime = frame.dStampSeconds;
    else if (m_nTimeBase == TIME_RELATIVE && frame.nStampForm == 3)
        dTime = m_dLast + frame.dStampSeconds;
    else if (m_nTimeBase != TIME_ORDER)
        dTime = m_dLast; // a frame without the log's stamp: no later than the one before
    m_dLast = dTime;
    return dTime;
}

} // namespace relvane
