#pragma once

#include "relay/RelaySession.h"

#include <string>

namespace relvane
{

enum class RelayMode
{
    Serial,   // '94, 103 or both on a pseudo-terminal
    Ethernet, // Ethernet 103 on loopback
};

struct CRelayOptions
{
    RelayMode eMode = RelayMode::Serial;
    CRelaySettings settings;
    int nCom = 200;
    int nTcpPort = 1048;
    int nUdpPort = 1032;
    bool bQuiet = false;
};

enum class OptionsResult
{
    Run,
    Help,
    Version,
    ListDefects, // --defect list: print the names
    Error, // strError says why
};

// The command line of relvane-relay ("--name value" or "--name=value").
OptionsResult ParseRelayOptions(int argc, const char* const* argv, CRelayOptions& options,
                                std::string& strError);

extern const char* const kRelayUsage;

} // namespace relvane
