// The port list is the same on every system: each COM number whose device opens now.
#include "transport/SerialPortMap.h"

namespace relvane
{

std::vector<std::string> ListAvailablePorts()
{
    std::vector<std::string> astrPorts;
    for (int nPort = 1; nPort <= kMaxPortNumber; ++nPort)
    {
        if (CheckPortAvailable(nPort))
            astrPorts.push_back("COM" + std::to_string(nPort));
    }
    return astrPorts;
}

} // namespace relvane
