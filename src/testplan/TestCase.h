#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

class CCaseContext;
struct CDeviceOptions;
struct CPlanFrame;

// The outcome of one case.
enum Verdict : int
{
    VERDICT_PASS,           // "通过"
    VERDICT_FAIL,           // "不通过"
    VERDICT_NOT_APPLICABLE, // "不适用": the device was declared without what the case needs
    VERDICT_UNFINISHED,     // "未完成": stopped, or the link broke before the case could decide
};

// "通过", "不通过", "不适用", "未完成".
const char* VerdictText(Verdict eVerdict);

// What a device may be declared to do or not; a case needing a feature declared off is 不适用.
enum DeviceFeature : unsigned
{
    FEATURE_NONE = 0,
    FEATURE_GENERAL_INTERROGATION = 1u << 0,
    FEATURE_CLOCK_ANSWER = 1u << 1, // time synchronisation with an answer
    FEATURE_GENERAL_COMMAND = 1u << 2,
    FEATURE_GENERIC_SERVICES = 1u << 3,
    FEATURE_DISTURBANCE_DATA = 1u << 4,
    FEATURE_MEASURANDS = 1u << 5,
    FEATURE_SINGLE_CHAR_ACK = 1u << 6, // E5H for confirmations and "no data"
    FEATURE_SPONTANEOUS_EVENTS = 1u << 7, // events come on their own while a case waits
    FEATURE_BROADCAST_TIME_SYNC = 1u << 8,
};

// One named conformance case. fnRun drives the session through the context and decides with
// ctx.Pass / ctx.Fail (or ctx.NotApplicable); returning without a verdict leaves it 未完成.
struct CTestCase
{
    std::string strId;    // "103-LNK-03"
    std::string strTitle; // Chinese, one line
    std::string strGroup; // layer the window groups by: "链路层", "应用层", ...
    unsigned nFeatures = FEATURE_NONE;
    std::function<void(CCaseContext&)> fnRun;
    // The case acts on the relay ("操作": a command, a write, a clock or setting-group change):
    // it runs only on points the device options name and leaves the relay as it found it.
    bool bActs = false;
};

// A plan: the cases for one protocol, in the order they run.
struct CTestPlan
{
    std::string strId;    // "103", "94"
    std::string strTitle; // "IEC 60870-5-103 (FT1.2) 一致性测试"
    int nMode = 0;        // the session's protocol mode the plan runs in (MODE_94, MODE_103)
    std::vector<CTestCase> cases;
    // A rule every received frame of the run must keep, whatever case it arrives in: empty when
    // the frame keeps it, else why not. A frame that breaks it fails the case it arrived in.
    std::function<std::string(const CPlanFrame&, const CDeviceOptions&)> fnCheckReceived;
};

// What a run of one case yields.
struct CCaseResult
{
    std::string strId;
    std::string strTitle;
    std::string strGroup;
    Verdict eVerdict = VERDICT_UNFINISHED;
    std::string strReason;         // one line, Chinese
    std::vector<int> proofFrames;  // numbers of the frames that prove the verdict, ascending
    int nFirstFrame = 0;           // frames the case exchanged: nFirstFrame..nLastFrame (0: none)
    int nLastFrame = 0;
    std::int64_t nStartWallUs = 0; // when it started and how long it took
    std::int64_t nDurationUs = 0;
    bool bActs = false;      // "操作": the case acts on the relay
    std::string strRestored; // what the case put back after acting ("" when nothing)
};

} // namespace relvane
