#include "RunnerUserInterface.h"

#include "PrintableText.h"
#include "RunScript.h"
#include "common/SerialSettings.h"
#include "iec103/CustomFrame.h"

#include <cstdio>

namespace relvane
{
namespace
{

long Number(const std::string& text, long nMin, long nMax, long nFallback)
{
    long nValue = 0;
    return ParseScriptNumber(text, nMin, nMax, nValue) ? nValue : nFallback;
}

// Every word after the first, joined by blanks: the typed frame text of "answer custom".
std::string JoinFrom(const std::vector<std::string>& values, std::size_t nFirst)
{
    std::string text;
    for (std::size_t i = nFirst; i < values.size(); ++i)
    {
        if (!text.empty())
            text += ' ';
        text += values[i];
    }
    return text;
}

} // namespace

bool ParseIpv4(const std::string& text, std::uint32_t& nAddress)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    char cTail = 0;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &cTail) != 4)
        return false;
    if (a > 255 || b > 255 || c > 255 || d > 255)
        return false;
    nAddress = (a << 24) | (b << 16) | (c << 8) | d;
    return true;
}

void CRunnerUserInterface::QueueAnswer(const std::string& strForm, std::vector<std::string> values)
{
    m_answers[strForm].push_back(std::move(values));
}

bool CRunnerUserInterface::TakeAnswer(const std::string& strForm, std::vector<std::string>& values)
{
    auto& queue = m_answers[strForm];
    if (queue.empty())
    {
        m_err << "form " << strForm << ": no answer queued, cancelled\n";
        return false;
    }
    values = std::move(queue.front());
    queue.pop_front();
    return !(values.size() == 1 && values[0] == "cancel");
}

void CRunnerUserInterface::ShowMessage(const std::string& strText)
{
    m_err << "message: " << strText << '\n';
    // The session's own words for a frame it did not send.
    if (strText == "串口尚未打开,不能发送报文.")
        ++m_nRefusedSends;
}

void CRunnerUserInterface::ShowStatusHint(const std::string& strText)
{
    if (!strText.empty())
        m_err << "status: " << strText << '\n';
}

bool CRunnerUserInterface::ShowSerialForm(CSerialFields& fields)
{
    // "set port|baud|parity|timeout" queue: the setting name and its value.
    std::vector<std::string> values;
    if (!TakeAnswer("serial", values) || values.size() != 2)
        return false;
    const std::string& name = values[0];
    const std::string& value = values[1];
    if (name == "port")
        fields.strPort = value;
    else if (name == "baud")
    {
        fields.strBaud = value;
        fields.nBaudIndex = FindBaudRate(value);
    }
    else if (name == "parity")
    {
        fields.strParity = value;
        if (const int nParity = FindParityName(value); nParity >= 0)
            fields.nParityIndex = nParity;
    }
    else if (name == "timeout")
        fields.nTimeoutMs = static_cast<int>(Number(value, 0, 65535, fields.nTimeoutMs));
    return true;
}

bool CRunnerUserInterface::ShowDeviceAddressForm(CDeviceAddressFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("address", values) || values.size() != 3)
        return false;
    fields.nDeviceAddress = static_cast<int>(Number(values[0], 0, 255, fields.nDeviceAddress));
    fields.nCpuNumber = static_cast<int>(Number(values[1], 0, 255, fields.nCpuNumber));
    fields.nSettingGroup = static_cast<int>(Number(values[2], 0, 255, fields.nSettingGroup));
    return true;
}

bool CRunnerUserInterface::ShowClockForm(CClockFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("clock", values) || values.size() < 2)
        return false;
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0;
    if (std::sscanf(values[0].c_str(), "%4d-%2d-%2d", &nYear, &nMonth, &nDay) != 3 ||
        std::sscanf(values[1].c_str(), "%2d:%2d:%2d", &nHour, &nMinute, &nSecond) != 3)
    {
        m_err << "form clock: bad date or time, cancelled\n";
        return false;
    }
    fields.nYear = nYear;
    fields.nMonth = nMonth;
    fields.nDay = nDay;
    fields.nHour = nHour;
    fields.nMinute = nMinute;
    fields.nSecond = nSecond;
    fields.bAnswer = values.size() > 2 && values[2] == "reply";
    return true;
}

bool CRunnerUserInterface::ShowLineLimitForm(CLineLimitFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("limit", values) || values.size() != 2)
        return false;
    fields.bLineLimit = values[0] == "on";
    fields.nLineLimit = static_cast<int>(Number(values[1], 0, 2147483647, fields.nLineLimit));
    return true;
}

bool CRunnerUserInterface::ShowIntervalForm(CIntervalFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("interval", values) || values.size() != 1)
        return false;
    fields.nIntervalMs = static_cast<int>(Number(values[0], 0, 65535, fields.nIntervalMs));
    return true;
}

bool CRunnerUserInterface::ShowGeneralCommandForm(CGeneralCommandFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("generalcommand", values) || values.size() < 3)
        return false;
    fields.nFun = static_cast<int>(Number(values[0], 0, 255, fields.nFun));
    fields.nInf = static_cast<int>(Number(values[1], 0, 255, fields.nInf));
    // DCO as the relay sees it: 1 off ("分(1)"), 2 on ("合(2)").
    fields.nDcoIndex = Number(values[2], 1, 2, 1) == 2 ? 1 : 0;
    fields.bAnswer = values.size() > 3 && values[3] == "reply";
    return true;
}

bool CRunnerUserInterface::ShowDisturbanceForm(CDisturbanceFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("disturbance", values) || values.size() != 5)
        return false;
    fields.nFun = static_cast<int>(Number(values[0], 0, 255, fields.nFun));
    fields.nToo = static_cast<std::uint8_t>(Number(values[1], 0, 255, fields.nToo));
    fields.nTov = static_cast<int>(Number(values[2], 0, 255, fields.nTov));
    fields.nFan = static_cast<int>(Number(values[3], 0, 65535, fields.nFan));
    fields.nAcc = static_cast<int>(Number(values[4], 0, 255, fields.nAcc));
    return true;
}

bool CRunnerUserInterface::ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("custom", values) || values.empty())
        return false;
    fields.bHex = values[0] == "hex";
    frame.StoreText(JoinFrom(values, 1), fields.bHex);
    return true;
}

bool CRunnerUserInterface::ShowGenericDataForm(CGenericList&, CGenericDataFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("genericdata", values) || values.size() != 1)
        return false;
    fields.nInf = static_cast<std::uint8_t>(Number(values[0], 0, 255, 249));
    return true;
}

bool CRunnerUserInterface::ShowGenericIdentificationForm(CGenericList&, CGenericIdentificationFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("genericid", values) || values.size() != 1)
        return false;
    fields.nInf = static_cast<std::uint8_t>(Number(values[0], 0, 255, 241));
    return true;
}

bool CRunnerUserInterface::ShowIpForm(CIpFields& fields)
{
    std::vector<std::string> values;
    if (!TakeAnswer("ip", values) || values.size() != 3)
        return false;
    std::uint32_t nAddress = 0;
    if (!ParseIpv4(values[0], nAddress))
    {
        m_err << "form ip: bad address \"" << PrintableText(values[0]) << "\", cancelled\n";
        return false;
    }
    fields.nTargetAddress = nAddress;
    fields.nTargetUdpPort = static_cast<int>(Number(values[1], 1, 65535, fields.nTargetUdpPort));
    fields.nLocalTcpPort = static_cast<int>(Number(values[2], 1, 65535, fields.nLocalTcpPort));
    return true;
}

} // namespace relvane
