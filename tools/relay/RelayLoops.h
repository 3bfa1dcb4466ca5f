#pragma once

#include "RelayConsole.h"
#include "RelayOptions.h"

namespace relvane
{

// The relay on a pseudo-terminal registered as COMn, until a stop signal. Returns the exit
// status: 0, or 1 when the terminal cannot be opened or COMn is taken.
int RunSerialRelay(const CRelayOptions& options, const CRelayConsole& console);
// The Ethernet-103 relay on loopback: connects to the workbench's TCP listener (and again after
// each disconnection, once a second) and receives its UDP frames. Returns 0, or 1 when the UDP
// port is taken.
int RunEthernetRelay(const CRelayOptions& options, const CRelayConsole& console);

} // namespace relvane
