#pragma once

#include <cstdint>
#include <string>

namespace relvane
{

// Plain values that the session hands to a form and takes back when the form closes with "确定".
// Texts are UTF-8. Fields marked "in" are set by the session for the form; fields marked "out"
// are what the form yields; the others go both ways (the form opens showing them).

// Serial settings form ("串口设置"). List positions count from 0; -1 is no entry.
struct CSerialFields
{
    int nPortIndex = 0;
    int nBaudIndex = 4;
    int nDataBitsIndex = 4;
    int nStopBitsIndex = 0;
    int nParityIndex = 0;
    int nTimeoutMs = 1500;
    int nMode = 0;         // in: protocol mode, used only by "默认值"
    std::string strPort;   // out: text of the selected port entry ("" when none is selected)
    std::string strBaud;   // out: text of the selected baud-rate entry
    std::string strParity; // out: text of the selected parity entry
};

// Device-address form ("装置地址设置"), each 0 to 255.
struct CDeviceAddressFields
{
    int nDeviceAddress = 1;
    int nCpuNumber = 1;
    int nSettingGroup = 0;
};

// Clock form ("时间设置"). It fills the six fields from the local time itself; the session only
// says whether the "要求回答" box is shown.
struct CClockFields
{
    int nYear = 2000; // out: 2000 to 2050
    int nMonth = 1;   // out: 1 to 12
    int nDay = 1;     // out: 1 to 31
    int nHour = 0;    // out: 0 to 23
    int nMinute = 0;  // out: 0 to 59
    int nSecond = 0;  // out: 0 to 59
    // out: "与计算机时间同步": the frame carries the computer's time at the moment it is sent,
    // not the six fields (which then only show the time the form closed). Off unless a form says
    // so, so that a time given without the form goes out as given.
    bool bSynchronise = false;
    bool bShowAnswerBox = false; // in: shown for the 103 time synchronisation only
    bool bAnswer = false;        // out: "要求回答"
};

// Line-limit form ("显示行数限制").
struct CLineLimitFields
{
    bool bLineLimit = true;
    int nLineLimit = 2000; // any signed value
};

// Interval form: the polling interval, or under another title the UDP interval.
struct CIntervalFields
{
    std::string strTitle = "巡检时间设置"; // in
    int nIntervalMs = 1000;                // 0 to 65535
};

// General-command form ("一般命令"), kept by the session between uses.
struct CGeneralCommandFields
{
    int nFun = 255;       // 0 to 255
    int nInf = 19;        // 0 to 255
    int nDcoIndex = 0;    // 0 "分(1)", 1 "合(2)"
    bool bAnswer = false; // "要求装置回答本命令"
};

// Disturbance-data form ("扰动数据传输"), kept by the session between uses.
struct CDisturbanceFields
{
    int nAsdu = 24;      // in: 24 (order) or 25 (acknowledgement)
    int nFun = 0;        // 0 to 255
    int nTov = 1;        // 0 to 255
    int nFan = 0;        // 0 to 65535
    int nAcc = 0;        // 0 to 255
    int nTooIndex24 = 0; // remembered entry of the TOO list per mode
    int nTooIndex25 = 0;
    std::uint8_t nToo = 0; // out: leading number of the TOO text
};

// Custom-frame form ("自定义103报文"); the stored frame itself is the CCustomFrame handed beside.
struct CCustomFrameFields
{
    bool bHex = true;                // base of the frame text
    bool bShowChecksumButton = true; // in: "计算校验和" is hidden for the TCP send
};

// Generic-data form ("通用分类数据"); the list is the codec's CGenericList handed beside.
struct CGenericDataFields
{
    int nGroup = 5;
    int nEntry = 1;
    int nWidth = 2;
    int nNumber = 1;
    std::string strGid;
    bool bHex = false;     // base of the GID text
    std::uint8_t nInf = 0; // out: leading number of the chosen INF entry
};

// Generic-identification form ("通用分类标识"); the list is the codec's CGenericList.
struct CGenericIdentificationFields
{
    int nGroup = 1;
    int nEntry = 1;
    std::uint8_t nInf = 0; // out
};

// IP settings form ("IP设置").
struct CIpFields
{
    std::uint32_t nTargetAddress = 0; // host order, first octet most significant
    int nTargetUdpPort = 1032;        // 1 to 65535
    int nLocalTcpPort = 1048;         // 1 to 65535
};

} // namespace relvane
