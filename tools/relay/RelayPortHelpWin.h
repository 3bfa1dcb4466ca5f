#pragma once

// The serial port's line of relvane-relay's usage: one end of a COM port pair.
#define RELVANE_RELAY_PORT_HELP "  --com N               serial: the relay's port COMN, one end of a COM port pair (default 200)\n"
