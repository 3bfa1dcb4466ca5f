#include "transport/SerialPortInfo.h"

#include "transport/SerialPortMap.h"
#include "transport/SerialPortPosix.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace relvane
{
namespace
{

std::string RealPath(const std::string& strPath)
{
    char szReal[PATH_MAX];
    if (realpath(strPath.c_str(), szReal) == nullptr)
        return {};
    return szReal;
}

std::string ReadWholeFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Real device path -> its name under /dev/serial/by-id (the adapter's stable name).
std::map<std::string, std::string> StableNames(const std::string& strById)
{
    std::map<std::string, std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(strById, error))
    {
        const std::string strTarget = RealPath(entry.path().string());
        if (!strTarget.empty())
            names.emplace(strTarget, entry.path().filename().string());
    }
    return names;
}

// A ttyS node whose UART the kernel did not find (its type is 0) is no port, even when it cannot
// be opened to ask.
bool IsEmptyUartSlot(const std::string& strReal, const std::string& strSysTty)
{
    const std::string strName = std::filesystem::path(strReal).filename().string();
    if (strName.rfind("ttyS", 0) != 0)
        return false;
    const std::string strType = ReadWholeFile(strSysTty + "/" + strName + "/type");
    return strType.empty() || std::atoi(strType.c_str()) == 0;
}

} // namespace

CPortDescription::EState StateOfOpenError(int nErrno)
{
    switch (nErrno)
    {
    case EACCES:
    case EPERM:
        return CPortDescription::EState::NoPermission;
    case EBUSY:
        return CPortDescription::EState::Busy;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return CPortDescription::EState::Missing;
    default:
        return CPortDescription::EState::Failed;
    }
}

void ReadUdevProperties(const std::string& strRecord, std::string& strAdapter, std::string& strSerialNumber)
{
    std::map<std::string, std::string> properties;
    std::istringstream lines(strRecord);
    std::string strLine;
    while (std::getline(lines, strLine))
    {
        if (strLine.rfind("E:", 0) != 0)
            continue;
        const std::size_t nEquals = strLine.find('=');
        if (nEquals != std::string::npos)
            properties[strLine.substr(2, nEquals - 2)] = strLine.substr(nEquals + 1);
    }
    auto value = [&properties](const char* pszDatabase, const char* pszDevice)
    {
        std::string strValue = properties[pszDatabase];
        if (strValue.empty())
        {
            strValue = properties[pszDevice];
            std::replace(strValue.begin(), strValue.end(), '_', ' ');
        }
        return strValue;
    };
    const std::string strVendor = value("ID_VENDOR_FROM_DATABASE", "ID_VENDOR");
    const std::string strModel = value("ID_MODEL_FROM_DATABASE", "ID_MODEL");
    strAdapter = strVendor.empty() || strModel.empty() ? strVendor + strModel : strVendor + " " + strModel;
    strSerialNumber = properties["ID_SERIAL_SHORT"];
}

std::vector<CPortDescription> DescribePorts(const CPortInfoRoots& roots)
{
    std::vector<CPortDescription> ports;
    const std::map<std::string, std::string> stableNames = StableNames(roots.strById);
    const std::string strMapDirectory = PortMapDirectory();
    for (int nPort = 1; nPort <= kMaxPortNumber; ++nPort)
    {
        CPortDescription port;
        port.nPort = nPort;
        port.strDevice = PortDevicePath(nPort);
        if (port.strDevice.empty())
            continue;
        const bool bMapped = !strMapDirectory.empty() && port.strDevice.rfind(strMapDirectory + "/", 0) == 0;
        struct stat info = {};
        if (stat(port.strDevice.c_str(), &info) != 0)
        {
            // Only the user's own entries are worth naming when their device is gone.
            if (!bMapped)
                continue;
            std::error_code error;
            port.strTarget = std::filesystem::read_symlink(port.strDevice, error).string();
            port.eState = CPortDescription::EState::Missing;
            ports.push_back(port);
            continue;
        }
        const std::string strReal = RealPath(port.strDevice);
        if (strReal != port.strDevice)
            port.strTarget = strReal;
        const int nFd = open(port.strDevice.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (nFd < 0)
        {
            const int nError = errno;
            if (IsEmptyUartSlot(strReal, roots.strSysTty))
                continue;
            port.eState = StateOfOpenError(nError);
        }
        else
        {
            const bool bSerial = CheckSerialDevice(nFd);
            if (!bSerial && !bMapped)
            {
                close(nFd);
                continue;
            }
            if (!bSerial)
                port.eState = CPortDescription::EState::NotSerial;
            else if (flock(nFd, LOCK_EX | LOCK_NB) != 0)
                port.eState = CPortDescription::EState::Busy;
            close(nFd);
        }
        if (S_ISCHR(info.st_mode))
        {
            const std::string strRecord =
                ReadWholeFile(roots.strUdevData + "/c" + std::to_string(major(info.st_rdev)) + ":" +
                              std::to_string(minor(info.st_rdev)));
            ReadUdevProperties(strRecord, port.strAdapter, port.strSerialNumber);
        }
        const auto it = stableNames.find(strReal);
        if (port.strAdapter.empty() && it != stableNames.end())
            port.strAdapter = it->second;
        ports.push_back(port);
    }
    return ports;
}

} // namespace relvane
