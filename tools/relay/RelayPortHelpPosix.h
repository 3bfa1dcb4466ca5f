#pragma once

// The serial port's line of relvane-relay's usage: a pseudo-terminal registered as a COM number.
#define RELVANE_RELAY_PORT_HELP "  --com N               serial: the pseudo-terminal is registered as COMN (default 200)\n"
