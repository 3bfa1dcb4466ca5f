#pragma once

// What the POSIX port listing and channel need beyond the common port functions.
#include "transport/SerialPortInfo.h"

#include <string>

namespace relvane
{

// The state an open(2) failure stands for.
CPortDescription::EState StateOfOpenError(int nErrno);

// Adapter name and serial number from a udev database record ("E:KEY=value" lines); the names
// udev found in its hardware database win over the ones the device reports.
void ReadUdevProperties(const std::string& strRecord, std::string& strAdapter, std::string& strSerialNumber);

// True when the open descriptor is a terminal with hardware behind it: a ttyS node whose
// UART the kernel does not know is refused, like a COM port that does not exist.
bool CheckSerialDevice(int nFd);

} // namespace relvane
