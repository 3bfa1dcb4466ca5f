#pragma once

#include "common/SerialSettings.h"

#include <string>
#include <vector>

namespace relvane
{

// COM numbers. On Windows COMn is the device \\.\COMn (also for n of 10 and more) and there is
// no user map (PortMapDirectory is empty). On Linux a user map comes first:
// $XDG_CONFIG_HOME/relvane/ports/COMn (default ~/.config/relvane/ports/COMn), a symbolic link to
// any serial device. Without an entry, COM1..COM32 are /dev/ttyS0..31, COM33..COM64
// /dev/ttyUSB0..31 and COM65..COM96 /dev/ttyACM0..31. Numbers without an entry or default device
// give an empty path. The highest number is kMaxPortNumber.

std::string PortMapDirectory();
std::string PortDevicePath(int nPort);

// True when the device of COMn can be opened right now (exists, is a serial device and is
// not held by another program).
bool CheckPortAvailable(int nPort);

// "COM1", "COM3", ... for every n in 1..256 whose device opens now, ascending.
std::vector<std::string> ListAvailablePorts();

} // namespace relvane
