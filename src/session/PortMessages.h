#pragma once

#include "transport/SerialPortInfo.h"

#include <string>

namespace relvane
{

// Why a port cannot be opened, in the user's words ("" for a port that can be): another program
// holds it, no permission (the dialout group), no device, no serial line.
std::string PortStateText(CPortDescription::EState eState);

// "无法打开串口" with the port, the device it leads to (when known) and the system's reason:
// "无法打开串口 COM3 (/dev/ttyUSB0): 被其他程序占用".
std::string PortOpenFailedText(int nPort, const std::string& strDevice, CPortDescription::EState eState);

} // namespace relvane
