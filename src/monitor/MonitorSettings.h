#pragma once

#include "monitor/MonitorFrame.h"
#include "proto94/DeviceModel.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace relvane
{

// What the user chose: the protocol, two receive-only ports or one shared bus, the line settings.
struct CMonitorSettings
{
    int nProtocol = MONITOR_103;
    int nMasterPort = 0; // hears the master's transmit line (two-port form)
    int nRelayPort = 0;  // hears the relay's transmit line (two-port form)
    int nBusPort = 0;    // both directions on one pair (bus form); 0 for the two-port form
    int nBaud = 9600;
    char cParity = 'N';
    DeviceModel eModel = KLR10;     // '94 setting names in the annotation
    std::int64_t nResolutionUs = 0; // how close two lines' times may be before their order is in doubt; 0: from the line
};

// The settings' plain checks: a protocol, the ports of one form (two different ones, or a bus),
// a baud and parity the serial line takes. Empty when they hold, else what is wrong.
std::string CheckMonitorSettings(const CMonitorSettings& settings);

// "COM5", "com5" or "5" as a port number; 0 when the text is none of these.
int ParsePortText(std::string_view strText);
// "None", "Odd", "Even", "Mark", "Space" (any case) or their first letter as the parity letter;
// 0 when the text is none of these.
char ParseParityText(std::string_view strText);

// The monitor window's fields as typed.
struct CMonitorFields
{
    int nProtocol = MONITOR_103;
    bool bBus = false;
    std::string strMaster;
    std::string strRelay;
    std::string strBus;
    std::string strBaud = "9600";
    std::string strParity = "None";
};

// The settings the fields give, or false with the message that says what to correct.
bool BuildMonitorSettings(const CMonitorFields& fields, CMonitorSettings& settings, std::string& strError);

} // namespace relvane
