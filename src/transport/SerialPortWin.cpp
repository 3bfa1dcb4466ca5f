// COM ports on Windows: COMn opens as \\.\COMn (the form that also reaches COM10 and above), the
// kernel's device names come from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM and the friendly names
// ("USB Serial Port (COM5)") from the Ports device class through SetupAPI.
#include "transport/SerialPortInfo.h"
#include "transport/SerialPortMap.h"
#include "transport/SerialPortWin.h"

#include <cctype>
#include <map>
#include <windows.h>
#include <setupapi.h>

namespace relvane
{
namespace
{

// The Ports (COM and LPT) device setup class.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::string Utf8(const wchar_t* pszText)
{
    const int nLength = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nLength <= 1)
        return {};
    std::string strText(static_cast<std::size_t>(nLength), '\0');
    WideCharToMultiByte(CP_UTF8, 0, pszText, -1, strText.data(), nLength, nullptr, nullptr);
    strText.resize(static_cast<std::size_t>(nLength - 1));
    return strText;
}

// COM number -> the kernel's device (\Device\Serial0), from the registry's serial device map.
std::map<int, std::string> SerialDeviceMap()
{
    std::map<int, std::string> devices;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return devices;
    for (DWORD nIndex = 0;; ++nIndex)
    {
        wchar_t szName[256];
        wchar_t szData[64];
        DWORD nNameLength = 256;
        DWORD nDataBytes = sizeof szData - sizeof(wchar_t);
        DWORD nType = 0;
        const LONG nResult = RegEnumValueW(hKey, nIndex, szName, &nNameLength, nullptr, &nType,
                                           reinterpret_cast<BYTE*>(szData), &nDataBytes);
        if (nResult == ERROR_NO_MORE_ITEMS)
            break;
        if (nResult != ERROR_SUCCESS || nType != REG_SZ)
            continue;
        szData[nDataBytes / sizeof(wchar_t)] = L'\0';
        const int nPort = PortNumberOfName(Utf8(szData));
        if (nPort != 0)
            devices[nPort] = Utf8(szName);
    }
    RegCloseKey(hKey);
    return devices;
}

// COM number -> the friendly name of the device that is present with that port name.
std::map<int, std::string> FriendlyNames()
{
    std::map<int, std::string> names;
    HDEVINFO hDevices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (hDevices == INVALID_HANDLE_VALUE)
        return names;
    for (DWORD nIndex = 0;; ++nIndex)
    {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(hDevices, nIndex, &device))
            break;
        HKEY hKey = SetupDiOpenDevRegKey(hDevices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (hKey == INVALID_HANDLE_VALUE)
            continue;
        wchar_t szPortName[64] = {};
        DWORD nBytes = sizeof szPortName - sizeof(wchar_t);
        DWORD nType = 0;
        const bool bNamed = RegQueryValueExW(hKey, L"PortName", nullptr, &nType, reinterpret_cast<BYTE*>(szPortName),
                                             &nBytes) == ERROR_SUCCESS &&
                            nType == REG_SZ;
        RegCloseKey(hKey);
        const int nPort = bNamed ? PortNumberOfName(Utf8(szPortName)) : 0;
        if (nPort == 0)
            continue;
        wchar_t szFriendly[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(hDevices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(szFriendly), sizeof szFriendly - sizeof(wchar_t),
                                              nullptr))
            names[nPort] = Utf8(szFriendly);
    }
    SetupDiDestroyDeviceInfoList(hDevices);
    return names;
}

std::string ClaimName(int nPort)
{
    return "Local\\Relvane.COM" + std::to_string(nPort);
}

// Opens COMn for a moment; INVALID_HANDLE_VALUE with the error kept when it does not open.
HANDLE OpenPort(int nPort, DWORD& nError)
{
    if (IsPortClaimed(nPort))
    {
        nError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    const std::string strPath = PortDevicePath(nPort);
    HANDLE hPort = strPath.empty() ? INVALID_HANDLE_VALUE
                                   : CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    nError = hPort == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return hPort;
}

} // namespace

std::string PortMapDirectory()
{
    return {};
}

std::string PortDevicePath(int nPort)
{
    if (nPort < 1 || nPort > kMaxPortNumber)
        return {};
    return "\\\\.\\COM" + std::to_string(nPort);
}

void* ClaimPort(int nPort)
{
    HANDLE hClaim = CreateEventA(nullptr, TRUE, FALSE, ClaimName(nPort).c_str());
    if (hClaim != nullptr && GetLastError() == ERROR_ALREADY_EXISTS)
    {
        CloseHandle(hClaim);
        return nullptr;
    }
    return hClaim;
}

bool IsPortClaimed(int nPort)
{
    HANDLE hClaim = OpenEventA(SYNCHRONIZE, FALSE, ClaimName(nPort).c_str());
    if (hClaim == nullptr)
        return false;
    CloseHandle(hClaim);
    return true;
}

int PortNumberOfName(const std::string& strName)
{
    if (strName.size() < 4 || strName.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i)
    {
        if (std::toupper(static_cast<unsigned char>(strName[static_cast<std::size_t>(i)])) != "COM"[i])
            return 0;
    }
    int nPort = 0;
    for (std::size_t i = 3; i < strName.size(); ++i)
    {
        if (!std::isdigit(static_cast<unsigned char>(strName[i])))
            return 0;
        nPort = nPort * 10 + (strName[i] - '0');
    }
    return nPort >= 1 && nPort <= kMaxPortNumber ? nPort : 0;
}

CPortDescription::EState StateOfWindowsError(unsigned long nError)
{
    switch (nError)
    {
    case ERROR_SUCCESS:
        return CPortDescription::EState::Available;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port another program has open refuses every other opening with access denied.
        return CPortDescription::EState::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        return CPortDescription::EState::Missing;
    default:
        return CPortDescription::EState::Failed;
    }
}

bool CheckDeviceGone(unsigned long nError)
{
    switch (nError)
    {
    case ERROR_INVALID_HANDLE:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_BAD_COMMAND:   // what USB serial adapters report once unplugged
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_BROKEN_PIPE:
    case ERROR_HANDLE_EOF:
        return true;
    default:
        return false;
    }
}

bool CheckPortAvailable(int nPort)
{
    DWORD nError = 0;
    HANDLE hPort = OpenPort(nPort, nError);
    if (hPort == INVALID_HANDLE_VALUE)
        return false;
    const bool bSerial = GetFileType(hPort) == FILE_TYPE_CHAR;
    CloseHandle(hPort);
    return bSerial;
}

std::vector<CPortDescription> DescribePorts(const CPortInfoRoots&)
{
    const std::map<int, std::string> devices = SerialDeviceMap();
    const std::map<int, std::string> friendly = FriendlyNames();
    std::vector<CPortDescription> ports;
    for (int nPort = 1; nPort <= kMaxPortNumber; ++nPort)
    {
        CPortDescription port;
        port.nPort = nPort;
        port.strDevice = PortDevicePath(nPort);
        const auto device = devices.find(nPort);
        const bool bRegistered = device != devices.end();
        if (bRegistered)
            port.strTarget = device->second;
        const auto name = friendly.find(nPort);
        if (name != friendly.end())
            port.strAdapter = name->second;
        DWORD nError = 0;
        HANDLE hPort = OpenPort(nPort, nError);
        if (hPort != INVALID_HANDLE_VALUE)
        {
            if (GetFileType(hPort) != FILE_TYPE_CHAR)
                port.eState = CPortDescription::EState::NotSerial;
            CloseHandle(hPort);
        }
        else
        {
            port.eState = StateOfWindowsError(nError);
            // A name nothing answers to is no port, unless the system still lists it; other
            // failures are told only for ports the system knows of.
            if (port.eState != CPortDescription::EState::Busy && !bRegistered && name == friendly.end())
                continue;
        }
        ports.push_back(port);
    }
    return ports;
}

} // namespace relvane
