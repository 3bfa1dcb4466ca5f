#include "monitor/MonitorSettings.h"

#include "common/SerialSettings.h"

#include <cctype>

namespace relvane
{

std::string CheckMonitorSettings(const CMonitorSettings& settings)
{
    if (settings.nProtocol != MONITOR_94 && settings.nProtocol != MONITOR_103)
        return "the protocol is 94 or 103";
    auto bPort = [](int nPort) { return nPort >= 1 && nPort <= kMaxPortNumber; };
    const std::string strRange = "COM1 to COM" + std::to_string(kMaxPortNumber);
    if (settings.nBusPort != 0)
    {
        if (!bPort(settings.nBusPort) || settings.nMasterPort != 0 || settings.nRelayPort != 0)
            return "a bus is one port, " + strRange + ", without master and relay ports";
    }
    else if (!bPort(settings.nMasterPort) || !bPort(settings.nRelayPort))
        return "give both ports (master and relay, " + strRange + ") or one bus port";
    else if (settings.nMasterPort == settings.nRelayPort)
        return "the master and relay ports must differ (one port carrying both directions is a bus)";
    const int nResult = CheckLineSettings(settings.nBaud, settings.cParity);
    if (nResult == LINE_BAD_BAUD)
        return "the baud is 1 to 4000000";
    if (nResult == LINE_BAD_PARITY)
        return "the parity is None, Odd, Even, Mark or Space";
    if (settings.nResolutionUs < 0)
        return "the resolution is 0 or more";
    return std::string();
}

int ParsePortText(std::string_view strText)
{
    if (strText.size() > 3 && std::toupper(static_cast<unsigned char>(strText[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(strText[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(strText[2])) == 'M')
        strText.remove_prefix(3);
    if (strText.empty() || strText.size() > 4)
        return 0;
    int nPort = 0;
    for (const char c : strText)
    {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        nPort = nPort * 10 + (c - '0');
    }
    return nPort;
}

char ParseParityText(std::string_view strText)
{
    const int nNamed = FindParityName(strText, true);
    if (nNamed >= 0)
        return kParityNames[static_cast<std::size_t>(nNamed)][0];
    for (const char* pszName : kParityNames)
    {
        if (strText.size() == 1 && std::toupper(static_cast<unsigned char>(strText[0])) == pszName[0])
            return pszName[0];
    }
    return 0;
}

bool BuildMonitorSettings(const CMonitorFields& fields, CMonitorSettings& settings, std::string& strError)
{
    CMonitorSettings built;
    built.nProtocol = fields.nProtocol;
    if (fields.bBus)
        built.nBusPort = ParsePortText(fields.strBus);
    else
    {
        built.nMasterPort = ParsePortText(fields.strMaster);
        built.nRelayPort = ParsePortText(fields.strRelay);
    }
    if ((fields.bBus && built.nBusPort == 0) || (!fields.bBus && (built.nMasterPort == 0 || built.nRelayPort == 0)))
    {
        strError = "请选择端口(COMn)";
        return false;
    }
    const bool bDigits = !fields.strBaud.empty() && fields.strBaud.size() <= 7 &&
                         fields.strBaud.find_first_not_of("0123456789") == std::string::npos;
    built.nBaud = bDigits ? std::stoi(fields.strBaud) : 0;
    built.cParity = ParseParityText(fields.strParity);
    if (CheckMonitorSettings(built).empty())
    {
        settings = built;
        return true;
    }
    if (built.nBusPort == 0 && built.nMasterPort == built.nRelayPort)
        strError = "主站发送和装置发送须是两个不同的端口";
    else if (!bDigits || built.nBaud < 1 || built.nBaud > 4000000)
        strError = "波特率须是1到4000000之间的整数";
    else if (built.cParity == 0)
        strError = "请选择校验位";
    else
        strError = "端口须在COM1和COM" + std::to_string(kMaxPortNumber) + "之间";
    return false;
}

} // namespace relvane
