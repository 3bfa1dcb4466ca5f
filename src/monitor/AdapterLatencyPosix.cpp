#include "monitor/AdapterLatency.h"

#include "transport/SerialPortMap.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace relvane
{

// The adapter's driver publishes the timer in sysfs, beside the tty the port leads to.
std::int64_t AdapterLatencyUs(int nPort)
{
    char szResolved[4096];
    const std::string strPath = PortDevicePath(nPort);
    if (strPath.empty() || realpath(strPath.c_str(), szResolved) == nullptr)
        return 0;
    const std::string strDevice(szResolved);
    const std::size_t nSlash = strDevice.rfind('/');
    std::ifstream in("/sys/class/tty/" + strDevice.substr(nSlash + 1) + "/device/latency_timer");
    int nMs = 0;
    if (!(in >> nMs) || nMs < 0)
        return 0;
    return std::int64_t{nMs} * 1000;
}

} // namespace relvane
