// relvane-relay: plays one protection relay ('94, 103 on FT1.2, Ethernet 103) towards the workbench.
#include "RelayConsole.h"
#include "RelayLoops.h"
#include "RelayOptions.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    relvane::CRelayOptions options;
    std::string strError;
    switch (relvane::ParseRelayOptions(argc, argv, options, strError))
    {
    case relvane::OptionsResult::Help:
        std::fputs(relvane::kRelayUsage, stdout);
        return 0;
    case relvane::OptionsResult::ListDefects:
        for (int i = 0; i < relvane::DEFECT_COUNT; ++i)
            std::puts(relvane::DefectName(static_cast<relvane::RelayDefect>(i)));
        return 0;
    case relvane::OptionsResult::Version:
        std::printf("relvane-relay %s\n", RELVANE_VERSION);
        return 0;
    case relvane::OptionsResult::Error:
        std::fprintf(stderr, "relvane-relay: %s\n%s", strError.c_str(), relvane::kRelayUsage);
        return 2;
    case relvane::OptionsResult::Run:
        break;
    }
    relvane::SendEachLineAtOnce();
    relvane::InstallStopHandlers();
    const relvane::CRelayConsole console(options.bQuiet);
    if (options.eMode == relvane::RelayMode::Ethernet)
        return relvane::RunEthernetRelay(options, console);
    return relvane::RunSerialRelay(options, console);
}
