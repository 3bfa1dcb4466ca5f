#pragma once

// What the Windows port listing and channel need beyond the common port functions.
#include "transport/SerialPortInfo.h"

#include <string>

namespace relvane
{

// The state a CreateFile failure (its GetLastError) stands for.
CPortDescription::EState StateOfWindowsError(unsigned long nError);

// Whether a failed read or write (its GetLastError) means the device is gone: removed, access
// lost, handle no longer valid. Any other failure, a time-out above all, is an empty transfer:
// some systems and drivers end a read that timed out with an error instead of with 0 bytes, and
// a relay that is silent for a few seconds has not gone away.
bool CheckDeviceGone(unsigned long nError);

// The COM number of a port name such as "COM12" (case ignored), 0 when it is none.
int PortNumberOfName(const std::string& strName);

// Some COM drivers (and Wine's) let a port be opened twice; a named object per port marks it as
// held by a channel, as flock does on Linux. ClaimPort returns the object's HANDLE (closed to
// release it), or nullptr when the port is held already.
void* ClaimPort(int nPort);
bool IsPortClaimed(int nPort);

} // namespace relvane
