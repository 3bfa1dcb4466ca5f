#include "transport/SerialPortMap.h"

#include "transport/SerialPortPosix.h"

#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace relvane
{
namespace
{

constexpr int kPortsPerFamily = 32;

std::string HomeDirectory()
{
    const char* pszHome = std::getenv("HOME");
    if (pszHome != nullptr && pszHome[0] == '/')
        return pszHome;
    const passwd* pEntry = getpwuid(getuid());
    if (pEntry != nullptr && pEntry->pw_dir != nullptr)
        return pEntry->pw_dir;
    return {};
}

} // namespace

std::string PortMapDirectory()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    const char* pszConfig = std::getenv("XDG_CONFIG_HOME");
    std::string strBase;
    if (pszConfig != nullptr && pszConfig[0] == '/')
        strBase = pszConfig;
    else
    {
        std::string strHome = HomeDirectory();
        if (strHome.empty())
            return {};
        strBase = strHome + "/.config";
    }
    return strBase + "/relvane/ports";
}

std::string PortDevicePath(int nPort)
{
    if (nPort < 1 || nPort > kMaxPortNumber)
        return {};

    std::string strDirectory = PortMapDirectory();
    if (!strDirectory.empty())
    {
        std::string strEntry = strDirectory + "/COM" + std::to_string(nPort);
        struct stat info;
        // An entry that exists wins even when its target is gone: falling back to a built-in
        // device would talk to a line the user did not choose.
        if (lstat(strEntry.c_str(), &info) == 0)
            return strEntry;
    }

    int nIndex = nPort - 1;
    if (nIndex < kPortsPerFamily)
        return "/dev/ttyS" + std::to_string(nIndex);
    nIndex -= kPortsPerFamily;
    if (nIndex < kPortsPerFamily)
        return "/dev/ttyUSB" + std::to_string(nIndex);
    nIndex -= kPortsPerFamily;
    if (nIndex < kPortsPerFamily)
        return "/dev/ttyACM" + std::to_string(nIndex);
    return {};
}

bool CheckSerialDevice(int nFd)
{
    termios tio;
    if (tcgetattr(nFd, &tio) != 0)
        return false;
    serial_struct serial{};
    if (ioctl(nFd, TIOCGSERIAL, &serial) == 0 && serial.type == PORT_UNKNOWN)
    {
        // ttyS nodes exist for every possible UART; only those the kernel found are ports.
        // Other drivers (USB adapters) may also answer with PORT_UNKNOWN, so only the
        // 8250-family nodes are judged by it.
        char szName[64] = {};
        if (ttyname_r(nFd, szName, sizeof szName) == 0 && std::string(szName).rfind("/dev/ttyS", 0) == 0)
            return false;
    }
    return true;
}

bool CheckPortAvailable(int nPort)
{
    std::string strPath = PortDevicePath(nPort);
    if (strPath.empty())
        return false;
    int nFd = open(strPath.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0)
        return false;
    // A port another program holds is not offered; flock is what serial tools use to claim a
    // line, and the lock is dropped again with the descriptor.
    bool bAvailable = CheckSerialDevice(nFd) && flock(nFd, LOCK_EX | LOCK_NB) == 0;
    close(nFd);
    return bAvailable;
}

} // namespace relvane
