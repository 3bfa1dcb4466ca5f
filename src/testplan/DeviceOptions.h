#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace relvane
{

// What the user declares about the device before a plan runs. Kept in our own settings file
// (~/.config/relvane/relvane.ini, group [testplan]); relvane-run reads the same keys from a file
// given with --options.
struct CDeviceOptions
{
    static constexpr int kNoPoint = -1; // a point (FUN, INF, entry, group) not named

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
    int nCommandInf = kNoPoint; // none until the user names a point that may be commanded
    bool bGenericServices = true;
    bool bDisturbanceData = true;
    bool bMeasurands = true;
    bool bSingleCharAck = false; // E5H instead of the fixed confirmation / "no data" frames
    // Timing of the application data: how long a case waits for data asked for after the link
    // confirmed the request, for the measurands of the relay's own cycle, for a spontaneous event.
    int nAnswerWaitMs = 5000;
    int nMeasurandWaitMs = 15000;
    int nEventWaitMs = 30000;
    bool bSpontaneousEvents = false; // the relay raises events on its own while the plan waits
    bool bBroadcastTimeSync = true;  // takes time synchronisation to link address 255
    // A FUN/INF the relay does not have, for the negative acknowledgement (none: not applicable).
    int nAbsentFun = kNoPoint;
    int nAbsentInf = kNoPoint;
    // A generic entry the plan may write (and writes back): none until named.
    int nWriteGroup = kNoPoint;
    int nWriteEntry = kNoPoint;
    // '94: a setting group the plan may switch to (and back to settingGroup): none until named.
    int nSwitchGroup = kNoPoint;


    // Whether every feature of the mask (DeviceFeature) is declared on.
    bool Has(unsigned nFeatures) const;
    bool operator==(const CDeviceOptions&) const = default;
};

// One declared option: its key in the settings file, its label, where it lives, its range
// (kNoPoint allowed where nMin is kNoPoint: "未指定") and the plans that use it.
using CDeviceOptionMember = std::variant<int CDeviceOptions::*, bool CDeviceOptions::*>;
enum : unsigned
{
    PLANS_103 = 1u << 0,
    PLANS_94 = 1u << 1,
    PLANS_ALL = PLANS_103 | PLANS_94,
};
struct CDeviceOptionField
{
    const char* pszKey;
    const char* pszLabel;
    CDeviceOptionMember member;
    int nMin = 0;
    int nMax = 0;
    unsigned nPlans = PLANS_ALL;
};
// Every option in form and report order.
const std::vector<CDeviceOptionField>& DeviceOptionFields();
// Which plans ("103", "94") use the field.
bool FieldUsedBy(const CDeviceOptionField& field, const std::string& strPlanId);

// The options with their Chinese labels, in form order, as the report and the form show them
// ("是"/"否" for the switches).
// With a plan id, only the options that plan uses.
std::vector<std::pair<std::string, std::string>> DescribeDeviceOptions(const CDeviceOptions& options,
                                                                       const std::string& strPlanId = {});

// Checks the ranges above; false with a message naming the first field out of range.
bool CheckDeviceOptions(const CDeviceOptions& options, std::string& strError);

// An INI file's [testplan] group. Keys absent keep their defaults; a file that cannot be read, one
// whose first line (after blank and comment lines) is not "[testplan]", a value that is not a number
// (or true/false) or out of range, or an unknown key gives false with a message naming it.
bool LoadDeviceOptions(const std::string& strFile, CDeviceOptions& options, std::string& strError);
bool SaveDeviceOptions(const std::string& strFile, const CDeviceOptions& options, std::string& strError);

// Our own settings file (~/.config/relvane/relvane.ini): the window's last declaration. A missing
// or broken group gives the defaults.
CDeviceOptions LoadOwnDeviceOptions();
void SaveOwnDeviceOptions(const CDeviceOptions& options);

} // namespace relvane
