#pragma once

#include <string>
#include <vector>

namespace relvane
{

// What the system knows of each COM number that has a device: the device its map entry or
// default name leads to, the adapter behind it (udev's vendor and model, or the stable name under
// /dev/serial/by-id; on Windows the device's friendly name, "USB Serial Port (COM5)") with its
// serial number, and whether it can be opened now and, if not, why.
struct CPortDescription
{
    enum class EState
    {
        Available,
        Busy,         // another program holds it
        NoPermission, // the user may not open it (not in the dialout group)
        Missing,      // a map entry whose target is gone
        NotSerial,    // opens, but is no serial line
        Failed,       // any other failure to open
    };

    int nPort = 0;
    std::string strDevice; // the path COMn opens (a map entry or /dev/ttyS0 ..., \\.\COMn)
    std::string strTarget; // where that path leads (a map entry's target; Windows: the kernel's
                           // device, \Device\Serial0), empty when the same
    std::string strAdapter;
    std::string strSerialNumber;
    EState eState = EState::Available;
};

// Where the system's device names and properties are read; tests point them elsewhere.
struct CPortInfoRoots
{
    std::string strById = "/dev/serial/by-id";
    std::string strUdevData = "/run/udev/data";
    std::string strSysTty = "/sys/class/tty";
};

// Every COM number from 1 to 256 with a device that exists (a built-in ttyS node only when the
// kernel found a UART for it), ascending. A map entry whose target is gone is listed as Missing.
// On Windows the roots are not used; a port the registry names whose device is gone is Missing.
std::vector<CPortDescription> DescribePorts(const CPortInfoRoots& roots = CPortInfoRoots());

} // namespace relvane
