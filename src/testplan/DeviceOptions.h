#pragma once

#include <string>
#include <utility>
#include <vector>

namespace relvane
{

// What the user declares about the device before a plan runs. Kept in our own settings file
// (~/.config/relvane/relvane.ini, group [testplan]); relvane-run reads the same keys from a file
// given with --options.
struct CDeviceOptions
{
    int nDeviceAddress = 1;       // 103 link address; '94 device address (0 to 255)
    int nCommonAddress = 1;       // 103 common address of ASDU; '94 CPU number (0 to 255)
    int nSettingGroup = 0;        // '94 setting group (0 to 255)
    int nModel = 0;               // '94 relay model: 0 KLR10, 1 KTR20
    int nResponseLimitMs = 500;   // an answer must begin within this (10 to 60000)
    int nClockToleranceMs = 2000; // clock read back or event times against the time set
    bool bGeneralInterrogation = true;
    bool bClockAnswer = true; // time synchronisation with answer (ASDU 6 COT 8)
    bool bGeneralCommand = true;
    int nCommandFun = 128; // FUN/INF of a general command the device accepts
    int nCommandInf = 16;
    bool bGenericServices = true;
    bool bDisturbanceData = true;
    bool bMeasurands = true;
    bool bSingleCharAck = false; // E5H instead of the fixed confirmation / "no data" frames

    // Whether every feature of the mask (DeviceFeature) is declared on.
    bool Has(unsigned nFeatures) const;
    bool operator==(const CDeviceOptions&) const = default;
};

// The options with their Chinese labels, in form order, as the report and the form show them
// ("是"/"否" for the switches).
std::vector<std::pair<std::string, std::string>> DescribeDeviceOptions(const CDeviceOptions& options);

// Checks the ranges above; false with a message naming the first field out of range.
bool CheckDeviceOptions(const CDeviceOptions& options, std::string& strError);

// An INI file's [testplan] group. Keys absent keep their defaults; a file that cannot be read, a
// value that is not a number (or true/false) or out of range, or an unknown key gives false with
// a message.
bool LoadDeviceOptions(const std::string& strFile, CDeviceOptions& options, std::string& strError);
bool SaveDeviceOptions(const std::string& strFile, const CDeviceOptions& options, std::string& strError);

// Our own settings file (~/.config/relvane/relvane.ini): the window's last declaration. A missing
// or broken group gives the defaults.
CDeviceOptions LoadOwnDeviceOptions();
void SaveOwnDeviceOptions(const CDeviceOptions& options);

} // namespace relvane
