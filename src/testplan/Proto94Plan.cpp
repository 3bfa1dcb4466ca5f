// The '94 cases. Each judges one property from the frames it exchanged, and only that one (a
// case timing the poll does not judge its CRC, and the other way round), so that a relay with
// one fault fails the cases of that fault. Automatic processing is off during a run: a case sends
// every follow-up itself.
#include "common/CalendarTime.h"
#include "proto94/Crc16.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/CaseContext.h"
#include "testplan/TestPlans.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace relvane
{
namespace
{

// Commands of the '94 menu "命令(&M)".
constexpr int ID_94_REPEAT = 32793;        // 84H
constexpr int ID_94_FETCH_REPORT = 32794;  // 8AH
constexpr int ID_94_EVENT_REPORT = 32796;  // 87H
constexpr int ID_94_SWITCHES = 32798;      // 86H
constexpr int ID_94_SET_CLOCK = 32800;     // 81H
constexpr int ID_94_READ_CLOCK = 32801;    // 82H
constexpr int ID_94_SETTINGS = 32802;      // 85H
constexpr int ID_94_SETTING_GROUP = 32805; // 90H

constexpr std::uint8_t kAnswerEvent = 0xB0;
constexpr std::uint8_t kAnswerClock = 0xB7;
constexpr std::uint8_t kAnswerRequest = 0xBA;
constexpr std::uint8_t kAnswerSettings = 0xBD;
constexpr std::uint8_t kAnswerSwitches = 0xBE;
constexpr std::uint8_t kAnswerExtended = 0xCA;
constexpr std::uint8_t kFlagSettingsChanged = 0x02;
constexpr std::uint8_t kFlagsReports = 0x0C; // event reports, extended reports
// More than a relay can hold (256 reports of each kind): a flag still set after this is stuck.
constexpr int kMaxReports = 600;

const char* const kLink = "链路层";
const char* const kApplication = "应用层";

// A received '94 frame taken apart (nothing is read past its bytes).
struct CFrame94
{
    bool bWhole = false; // at least 5 bytes and as long as its length byte says
    bool bCrcOk = false;
    int nAddress = -1;
    int nCode = -1;
    std::vector<std::uint8_t> abData;
};

CFrame94 Parse(const CPlanFrame& frame)
{
    CFrame94 f;
    const std::vector<std::uint8_t>& ab = frame.abBytes;
    if (ab.size() < 5)
        return f;
    f.nAddress = ab[0];
    f.nCode = ab[1];
    f.bWhole = ab.size() == static_cast<std::size_t>(ab[2]) + 5;
    if (!f.bWhole)
        return f;
    const std::uint16_t nCrc = Crc16Arc(ab.data(), ab.size() - 2);
    f.bCrcOk = ab[ab.size() - 2] == (nCrc & 0xFF) && ab.back() == (nCrc >> 8);
    f.abData.assign(ab.begin() + 3, ab.end() - 2);
    return f;
}

CFrame94 Parse(CCaseContext& ctx, int nFrame)
{
    return Parse(ctx.Frame(nFrame));
}

std::string Num(std::int64_t n)
{
    return std::to_string(n);
}

std::string Hex(int nByte)
{
    char sz[8];
    std::snprintf(sz, sizeof sz, "%02XH", nByte & 0xFF);
    return sz;
}

// The request went out and an answer came: the case goes on with it; otherwise it fails.
bool Answered(CCaseContext& ctx, const CExchange& x, const std::string& strWhat)
{
    if (!ctx.Expect(x.Sent(), strWhat + "未能发出"))
        return false;
    return ctx.Expect(x.Answered(), strWhat + "无应答", {x.nRequest});
}

// An answer that is whole and has the code expected (its CRC is judged by the cases about it).
bool AnswerIs(CCaseContext& ctx, const CExchange& x, int nCode, const std::string& strWhat)
{
    if (!Answered(ctx, x, strWhat))
        return false;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.bWhole, strWhat + "的应答长度与长度字节不符", {x.nRequest, x.nAnswer}))
        return false;
    return ctx.Expect(answer.nCode == nCode, strWhat + "的应答是" + Hex(answer.nCode) + ", 应为" + Hex(nCode),
                      {x.nRequest, x.nAnswer});
}

// A '94 time stamp (BCD: year, century, month, day, hour, minute, second[, ms % 100, ms / 100]) as
// milliseconds since the epoch in local time; -1 when a digit or a field is out of range.
std::int64_t StampMs(const std::uint8_t* pStamp, bool bLong)
{
    int anValue[9] = {};
    const int nCount = bLong ? 9 : 7;
    for (int i = 0; i < nCount; ++i)
    {
        if ((pStamp[i] >> 4) > 9 || (pStamp[i] & 0x0F) > 9)
            return -1;
        anValue[i] = (pStamp[i] >> 4) * 10 + (pStamp[i] & 0x0F);
    }
    const CCalendarTime local{anValue[1] * 100 + anValue[0], anValue[2], anValue[3], anValue[4], anValue[5],
                              anValue[6], anValue[8] * 100 + anValue[7]};
    if (local.nMonth < 1 || local.nMonth > 12 || local.nDay < 1 || local.nDay > 31 || local.nHour > 23 ||
        local.nMinute > 59 || local.nSecond > 59 || anValue[8] > 9)
        return -1;
    return LocalCalendarTimeToMs(local).value_or(-1);
}

// The clock form's fields for a moment nSecondsFromNow away, and that moment in ms.
CClockFields ClockAt(std::int64_t nSecondsFromNow, std::int64_t& nMs)
{
    const std::int64_t nWhen = static_cast<std::int64_t>(std::time(nullptr)) + nSecondsFromNow;
    const CCalendarTime local = LocalCalendarTime(nWhen * 1000);
    CClockFields clock;
    clock.nYear = std::clamp(local.nYear, 2000, 2050);
    clock.nMonth = local.nMonth;
    clock.nDay = local.nDay;
    clock.nHour = local.nHour;
    clock.nMinute = local.nMinute;
    clock.nSecond = std::min(local.nSecond, 59);
    nMs = LocalCalendarTimeToMs({clock.nYear, clock.nMonth, clock.nDay, clock.nHour, clock.nMinute, clock.nSecond, 0})
              .value_or(-1000);
    return clock;
}

// ---------------------------------------------------------------------------------------------
// Link

void PollAnswerWellFormed(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_94_POLL);
    if (!AnswerIs(ctx, x, kAnswerRequest, "巡检(83H)"))
        return;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.bCrcOk, "巡检应答的CRC错误", {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(answer.nAddress == ctx.Options().nDeviceAddress,
                    "巡检应答的装置地址为" + Num(answer.nAddress) + ", 应为" +
                        Num(ctx.Options().nDeviceAddress),
                    {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(answer.abData.size() == 2, "巡检应答(BAH)的数据应为CPU号与请求标志两个字节",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("巡检得到BAH应答, 地址与CRC正确", {x.nRequest, x.nAnswer});
}

void PollAnswerInTime(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_94_POLL);
    if (!Answered(ctx, x, "巡检(83H)"))
        return;
    const std::int64_t nMs = x.nResponseUs / 1000;
    if (!ctx.Expect(x.nResponseUs <= ctx.ResponseLimitMs() * 1000LL,
                    "巡检应答用时" + Num(nMs) + "ms, 超过应答时限" + Num(ctx.ResponseLimitMs()) + "ms",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("巡检应答用时" + Num(nMs) + "ms, 在应答时限内", {x.nRequest, x.nAnswer});
}

void RepeatGivesSameAnswer(CCaseContext& ctx)
{
    // The clock's answer changes from one request to the next: a relay that answers 84H anew
    // cannot pass by chance.
    const CExchange first = ctx.Command(ID_94_READ_CLOCK);
    if (!AnswerIs(ctx, first, kAnswerClock, "召唤保护时钟(82H)"))
        return;
    const CExchange repeat = ctx.Command(ID_94_REPEAT);
    if (!Answered(ctx, repeat, "重复询问(84H)"))
        return;
    const std::vector<int> proof{first.nRequest, first.nAnswer, repeat.nRequest, repeat.nAnswer};
    if (!ctx.Expect(Parse(ctx, repeat.nAnswer).bCrcOk, "重复询问的应答CRC错误", proof) ||
        !ctx.Expect(ctx.Frame(repeat.nAnswer).abBytes == ctx.Frame(first.nAnswer).abBytes,
                    "重复询问的应答与上一应答不同", proof))
        return;
    ctx.Pass("重复询问得到与上一应答逐字节相同的帧", proof);
}

void OtherAddressIgnored(CCaseContext& ctx)
{
    const CDeviceOptions& options = ctx.Options();
    const int nOther = (options.nDeviceAddress + 1) % 256;
    ctx.SetDeviceAddress(nOther, options.nCommonAddress, options.nSettingGroup);
    const CExchange x = ctx.Command(ID_94_POLL, ctx.SilenceWaitMs());
    ctx.SetDeviceAddress(options.nDeviceAddress, options.nCommonAddress, options.nSettingGroup);
    if (!ctx.Expect(x.Sent(), "巡检(83H)未能发出"))
        return;
    if (!ctx.Expect(!x.Answered(), "发往装置地址" + Num(nOther) + "的巡检得到了应答",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("发往装置地址" + Num(nOther) + "的巡检无应答", {x.nRequest});
}

// ---------------------------------------------------------------------------------------------
// Application

void ClockSetAndReadBack(CCaseContext& ctx)
{
    // A day ahead, so that a clock left as it was shows.
    std::int64_t nSetMs = 0;
    const CExchange set = ctx.Proto94Clock(ID_94_SET_CLOCK, ClockAt(24 * 3600, nSetMs));
    if (!Answered(ctx, set, "设置时钟(81H)"))
        return;
    const CExchange read = ctx.Command(ID_94_READ_CLOCK);
    // The relay's clock is the PC's again, whatever the verdict.
    std::int64_t nNowMs = 0;
    ctx.Restore(
        [&]
        {
            const CExchange back = ctx.Proto94Clock(ID_94_SET_CLOCK, ClockAt(0, nNowMs));
            ctx.Restored(back.Answered() ? "装置时钟已设回计算机时间(帧" + Num(back.nRequest) + ")"
                                         : "设回计算机时间无应答, 请手动对时");
        });
    if (!AnswerIs(ctx, read, kAnswerClock, "召唤保护时钟(82H)"))
        return;
    const std::vector<int> proof{set.nRequest, set.nAnswer, read.nRequest, read.nAnswer};
    const CFrame94 answer = Parse(ctx, read.nAnswer);
    const std::int64_t nReadMs = answer.abData.size() >= 9 ? StampMs(answer.abData.data(), true) : -1;
    if (!ctx.Expect(nReadMs >= 0, "时钟应答(B7H)的时间不是有效的BCD时间", proof))
        return;
    // The clock ran on from the moment it was set to the moment it was read.
    const std::int64_t nExpectedMs =
        nSetMs + (ctx.Frame(read.nAnswer).nWallUs - ctx.Frame(set.nRequest).nWallUs) / 1000;
    const std::int64_t nDiffMs = std::llabs(nReadMs - nExpectedMs);
    if (!ctx.Expect(nDiffMs <= ctx.Options().nClockToleranceMs,
                    "读回的时钟与所设时间相差" + Num(nDiffMs) + "ms, 超过容差" +
                        Num(ctx.Options().nClockToleranceMs) + "ms",
                    proof))
        return;
    ctx.Pass("读回的时钟与所设时间相差" + Num(nDiffMs) + "ms, 在容差内", proof);
}

void ReportsFetchedUntilNoneFlagged(CCaseContext& ctx)
{
    std::vector<int> proof;
    int nReports = 0;
    for (int i = 0; i < kMaxReports && !ctx.Stopped(); ++i)
    {
        const CExchange x = ctx.Command(ID_94_FETCH_REPORT);
        if (!Answered(ctx, x, "发现现有报告(8AH)"))
            return;
        const CFrame94 answer = Parse(ctx, x.nAnswer);
        proof.insert(proof.end(), {x.nRequest, x.nAnswer});
        if (answer.nCode == kAnswerEvent || answer.nCode == kAnswerExtended)
        {
            ++nReports;
            continue;
        }
        if (!ctx.Expect(answer.nCode == kAnswerRequest && answer.abData.size() == 2,
                        "8AH的应答是" + Hex(answer.nCode) + ", 应为报告(B0H/CAH)或BAH", proof))
            return;
        if (!ctx.Expect((answer.abData[1] & kFlagsReports) == 0,
                        "8AH未送报告而应答BAH, 但其报告标志仍置位(" + Hex(answer.abData[1]) + ")", proof))
            return;
        ctx.Pass("取出" + Num(nReports) + "条报告后报告标志已清除", proof);
        return;
    }
    ctx.Fail("取出" + Num(kMaxReports) + "条报告后报告标志仍未清除", proof);
}

void GroupChangeFlagsSettings(CCaseContext& ctx)
{
    const CDeviceOptions& options = ctx.Options();
    if (options.nSwitchGroup == CDeviceOptions::kNoPoint)
    {
        ctx.NotApplicable("未指定可以切换到的定值区(switchGroup)");
        return;
    }
    // To the group the user named, then back to the declared active group, whatever the verdict.
    ctx.SetDeviceAddress(options.nDeviceAddress, options.nCommonAddress, options.nSwitchGroup);
    const CExchange x = ctx.Command(ID_94_SETTING_GROUP);
    ctx.Restore(
        [&]
        {
            ctx.SetDeviceAddress(options.nDeviceAddress, options.nCommonAddress, options.nSettingGroup);
            const CExchange back = ctx.Command(ID_94_SETTING_GROUP);
            ctx.Restored(back.Answered() ? "定值区已切回" + Num(options.nSettingGroup) + "(帧" + Num(back.nRequest) + ")"
                                         : "切回定值区" + Num(options.nSettingGroup) + "无应答, 请检查装置的定值区");
            // The flag the return raised is the master's to clear: it reads the settings.
            ctx.Command(ID_94_SETTINGS);
        });
    if (!AnswerIs(ctx, x, kAnswerRequest, "执行定值区(90H)"))
        return;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.abData.size() == 2 && (answer.abData[1] & kFlagSettingsChanged) != 0,
                    "切换定值区后BAH未置\"定值改变\"标志", {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("切换到定值区" + Num(options.nSwitchGroup) + "后BAH置\"定值改变\"标志(" + Hex(answer.abData[1]) + ")", {x.nRequest, x.nAnswer});
}

void CpuAndGroupHonoured(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_94_SETTINGS);
    if (!AnswerIs(ctx, x, kAnswerSettings, "召唤定值(85H)"))
        return;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    const CDeviceOptions& options = ctx.Options();
    if (!ctx.Expect(answer.abData.size() >= 3, "定值应答(BDH)不足CPU号、定值区号与个数三个字节",
                    {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(answer.abData[0] == options.nCommonAddress,
                    "定值应答的CPU号为" + Num(answer.abData[0]) + ", 应为" + Num(options.nCommonAddress),
                    {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(answer.abData[1] == options.nSettingGroup,
                    "定值应答的定值区号为" + Num(answer.abData[1]) + ", 应为" + Num(options.nSettingGroup),
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("定值应答的CPU号与定值区号与命令一致", {x.nRequest, x.nAnswer});
}

void EventReportValid(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_94_EVENT_REPORT);
    if (!AnswerIs(ctx, x, kAnswerEvent, "召唤事件报告(87H)"))
        return;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.abData.size() == 12,
                    "事件报告(B0H)应有12个数据字节, 实有" +
                        Num(static_cast<std::int64_t>(answer.abData.size())),
                    {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(StampMs(answer.abData.data() + 1, true) >= 0, "事件报告的时间不是有效的BCD时间",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("事件报告(B0H)格式与时间有效", {x.nRequest, x.nAnswer});
}

void SwitchInputsComplete(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_94_SWITCHES);
    if (!AnswerIs(ctx, x, kAnswerSwitches, "召唤开入量(86H)"))
        return;
    const CFrame94 answer = Parse(ctx, x.nAnswer);
    const std::size_t nSize = answer.abData.size();
    // CPU, a long time stamp, then (number, initial state, current state) per input.
    bool bRecords = nSize > 10 && (nSize - 10) % 3 == 0;
    for (std::size_t i = 10; bRecords && i + 2 < nSize; i += 3)
        bRecords = answer.abData[i + 1] <= 1 && answer.abData[i + 2] <= 1;
    if (!ctx.Expect(bRecords, "开入量应答(BEH)的记录不完整或状态不是0/1", {x.nRequest, x.nAnswer}) ||
        !ctx.Expect(StampMs(answer.abData.data() + 1, true) >= 0, "开入量应答的时间不是有效的BCD时间",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("开入量应答(BEH)有" + Num(static_cast<std::int64_t>((nSize - 10) / 3)) + "个完整记录",
             {x.nRequest, x.nAnswer});
}

} // namespace

CTestPlan BuildProto94Plan()
{
    CTestPlan plan;
    plan.strId = "94";
    plan.strTitle = "'94规约一致性测试";
    plan.nMode = MODE_94;
    plan.cases = {
        {"94-LNK-01", "巡检(83H)得到BAH应答, 地址与CRC正确", kLink, FEATURE_NONE, PollAnswerWellFormed},
        {"94-LNK-02", "巡检应答在应答时限内", kLink, FEATURE_NONE, PollAnswerInTime},
        {"94-LNK-03", "重复询问(84H)得到与上一应答相同的帧", kLink, FEATURE_NONE, RepeatGivesSameAnswer},
        {"94-LNK-04", "发往其他装置地址的报文无应答", kLink, FEATURE_NONE, OtherAddressIgnored},
        {"94-APP-01", "设置时钟(81H)后读回(82H), 误差在容差内", kApplication, FEATURE_NONE,
         ClockSetAndReadBack, true},
        {"94-APP-02", "用8AH取出全部报告, 直至无报告标志", kApplication, FEATURE_NONE,
         ReportsFetchedUntilNoneFlagged},
        {"94-APP-03", "切换定值区(90H)后置\"定值改变\"标志", kApplication, FEATURE_NONE,
         GroupChangeFlagsSettings, true},
        {"94-APP-04", "定值应答(BDH)的CPU号与定值区号与命令一致", kApplication, FEATURE_NONE,
         CpuAndGroupHonoured},
        {"94-APP-05", "召唤事件报告(87H)得到格式与时间有效的B0H", kApplication, FEATURE_NONE,
         EventReportValid},
        {"94-APP-06", "召唤开入量(86H)得到完整的BEH记录", kApplication, FEATURE_NONE, SwitchInputsComplete},
    };
    return plan;
}

} // namespace relvane
