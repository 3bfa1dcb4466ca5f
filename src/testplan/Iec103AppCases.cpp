// The application-layer cases of IEC 60870-5-103. Every case that waits for the relay's data
// polls for them until they come or its limit passes (Iec103Steps.h); a case that acts on the
// relay does so only on points the device options name, and puts back what it changed.
#include "session/SessionCommands.h"
#include "testplan/Iec103Cases.h"
#include "testplan/Iec103Steps.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

namespace relvane
{
namespace
{

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

// "兼容级别2, 制造厂"RELVANE "" from an ASDU 5.
std::string IdentificationText(const CFt12& ident)
{
    std::string strText;
    for (std::size_t i = 7; i < 15 && i < ident.abAsdu.size(); ++i)
    {
        const int c = ident.abAsdu[i];
        strText += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    return "兼容级别" + Num(ident.At(6)) + ", 制造厂\"" + strText + "\"";
}

void IdentificationAfterReset(CCaseContext& ctx, int nCommand, int nCot, const std::string& strWhat)
{
    StartLink(ctx);
    const CExchange reset = ctx.Command(nCommand);
    const CDrain drain = AwaitAsdu(ctx, 5);
    const std::vector<int> idents = WithType(ctx, drain.userData, 5);
    if (!ctx.Expect(!idents.empty(), strWhat + "后未取到标识报文(ASDU 5)", Join({reset.nRequest}, drain.frames)))
        return;
    const CFt12 ident = Parse(ctx, idents.front());
    const std::vector<int> proof = {reset.nRequest, idents.front()};
    if (!ctx.Expect(ident.Cot() != 5, strWhat + "后标识报文以COT 5(启动/重新启动)应答, 应为" + Num(nCot), proof))
        return;
    if (!ctx.Expect(ident.Cot() == nCot, strWhat + "后标识报文的传送原因为" + Num(ident.Cot()) + ", 应为" + Num(nCot), proof))
        return;
    if (!ctx.Expect(ident.abAsdu.size() >= 19, "标识报文ASDU 5不足19字节(兼容级别, 8字节制造厂, 4字节软件标识)", proof))
        return;
    ctx.Pass(strWhat + "后标识报文ASDU 5, COT " + Num(nCot) + ": " + IdentificationText(ident), proof);
}

// A general interrogation and what came for it.
struct CInterrogation
{
    CExchange command;
    int nScn = -1;
    std::vector<int> data; // ASDU 1 and 2 up to the end
    int nEnd = 0;          // ASDU 8
    std::vector<int> frames;
};

CInterrogation Interrogate(CCaseContext& ctx)
{
    CInterrogation gi;
    StartLink(ctx);
    gi.command = ctx.Command(ID_103_INTERROGATION);
    if (!gi.command.Sent())
        return gi;
    gi.nScn = Parse(ctx, gi.command.nRequest).At(6);
    const CDrain drain = AwaitAsdu(ctx, 8);
    gi.frames = Join({gi.command.nRequest, gi.command.nAnswer}, drain.frames);
    for (const int n : drain.userData)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Typ() == 8)
        {
            gi.nEnd = n;
            break;
        }
        if (ft.Typ() == 1 || ft.Typ() == 2)
            gi.data.push_back(n);
    }
    return gi;
}

// Milliseconds of the day of a four-octet time (CP32Time2a: ms, minute, hour).
std::int64_t Cp32DayMs(const CFt12& ft, std::size_t nAt)
{
    const int nMs = ft.At(nAt) + 256 * ft.At(nAt + 1);
    return (ft.At(nAt + 3) & 0x1F) * 3600000LL + (ft.At(nAt + 2) & 0x3F) * 60000LL + nMs;
}

// How far the event times of an interrogation are from a clock set at nSetMs (ms of the day) by
// frame nSync: fails the case on the first beyond the tolerance. The number of times checked.
// How the time tags after a synchronisation stand to the clock set.
struct CEventTimes
{
    int nChecked = 0;        // tags that follow the clock set
    int nUnrelated = 0;      // tags near neither clock: not the relay's clock at all
    std::int64_t nWorstMs = 0;
};

// How far a tag of frame n lies from a clock that was nBaseMs (time of day) at the
// synchronisation and ran on since: a tag made between the synchronisation and its arrival here
// is on time.
std::int64_t ClockDistanceMs(CCaseContext& ctx, int nSync, int n, std::int64_t nGotMs, std::int64_t nBaseMs)
{
    const std::int64_t nElapsedMs = (ctx.Frame(n).nWallUs - ctx.Frame(nSync).nWallUs) / 1000;
    std::int64_t nAheadMs = ((nGotMs - nBaseMs) % kDayMs + kDayMs) % kDayMs; // 0 .. one day
    if (nAheadMs > kDayMs / 2)
        nAheadMs -= kDayMs; // before the base
    return nAheadMs < 0 ? -nAheadMs : std::max<std::int64_t>(0, nAheadMs - nElapsedMs);
}

// The time tags of the answers against the clock set (nSetMs) and the clock before it (nSetMs -
// nShiftMs). A tag on the old clock fails: the relay did not take the time. A tag near neither is
// left unjudged: relays may stamp interrogation answers with the time of the last change of state
// rather than with their clock. Returns false when the case failed.
bool CheckEventTimes(CCaseContext& ctx, int nSync, std::int64_t nSetMs, std::int64_t nShiftMs,
                     const std::vector<int>& answers, CEventTimes& times)
{
    for (const int n : answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Typ() != 1 && ft.Typ() != 2)
            continue;
        // ASDU 1: DPI then the time; ASDU 2: DPI, relative time, FAN, then the time.
        const std::int64_t nGotMs = Cp32DayMs(ft, ft.Typ() == 1 ? 7 : 11);
        const std::int64_t nDiffMs = ClockDistanceMs(ctx, nSync, n, nGotMs, nSetMs);
        if (nDiffMs <= ctx.Options().nClockToleranceMs)
        {
            times.nWorstMs = std::max(times.nWorstMs, nDiffMs);
            ++times.nChecked;
            continue;
        }
        const std::int64_t nOldMs = ClockDistanceMs(ctx, nSync, n, nGotMs, nSetMs - nShiftMs);
        if (!ctx.Expect(nOldMs > ctx.Options().nClockToleranceMs,
                        "同步后事件时间仍是同步前的时钟, 与所设时钟相差" + Num(nDiffMs) + "ms, 超过容差" +
                            Num(ctx.Options().nClockToleranceMs) + "ms",
                        {nSync, n}))
            return false;
        ++times.nUnrelated;
    }
    return true;
}

// The relay's clock back to the computer's time, whatever the case found.
void ResynchroniseClock(CCaseContext& ctx)
{
    ctx.Restore(
        [&]
        {
            // Send/confirm to the relay's own address, as every relay must take it; its ASDU 6
            // answer is collected here, so that no later case finds it.
            CClockFields clock = ClockNow();
            clock.bAnswer = true;
            const CExchange x = ctx.TimeSync(clock);
            if (x.Sent() && x.Answered())
                AwaitAsdu(ctx, 6, [](const CFt12& ft) { return ft.Cot() == 8; });
            if (x.Sent() && x.Answered())
                ctx.Restored("装置时钟已重新同步为计算机时间(帧" + Num(x.nRequest) + ")");
            else if (x.Sent())
                ctx.Restored("重新同步装置时钟的帧(帧" + Num(x.nRequest) + ")未得到确认, 请核对装置时钟");
            else
                ctx.Restored("未能重新同步装置时钟, 请手动对时");
        });
}

// A general command with answer, and the ASDU 1 that answers it (0: none).
std::pair<CExchange, int> CommandAndAnswer(CCaseContext& ctx, int nFun, int nInf, int nDco, std::vector<int>& frames)
{
    StartLink(ctx);
    const CExchange x = ctx.GeneralCommand(nFun, nInf, nDco, true);
    frames = {x.nRequest, x.nAnswer};
    if (!x.Answered())
        return {x, 0};
    const auto IsAnswer = [&](const CFt12& ft) { return (ft.Cot() == 20 || ft.Cot() == 21) && ft.Inf() == nInf; };
    const CDrain drain = AwaitAsdu(ctx, 1, IsAnswer);
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    for (const int n : WithType(ctx, drain.userData, 1))
    {
        if (IsAnswer(Parse(ctx, n)))
            return {x, n};
    }
    return {x, 0};
}


CDisturbanceFields Order(CCaseContext& ctx, int nToo, int nFan = 0, int nAcc = 0)
{
    CDisturbanceFields fields;
    fields.nFun = ctx.Options().nCommandFun;
    fields.nToo = static_cast<std::uint8_t>(nToo);
    fields.nTov = 1;
    fields.nFan = nFan;
    fields.nAcc = nAcc;
    return fields;
}

int FindTyp(CCaseContext& ctx, const std::vector<int>& answers, int nTyp, int nToo = -1)
{
    for (const int n : answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Typ() == nTyp && (nToo < 0 || ft.At(6) == nToo))
            return n;
    }
    return 0;
}

// Sends an ASDU 24/25 and fetches class 1 until one of the ASDUs awaited ({type, TOO or -1}) came.
std::vector<int> DisturbanceStep(CCaseContext& ctx, int nAsdu, const CDisturbanceFields& fields,
                                 const std::vector<std::pair<int, int>>& awaited, std::vector<int>& frames)
{
    const CExchange x = ctx.Disturbance(nAsdu, fields);
    frames.insert(frames.end(), {x.nRequest, x.nAnswer});
    if (!x.Answered())
        return {};
    const CDrain drain = AwaitClass1(ctx,
                                     [&](const CDrain& d)
                                     {
                                         for (const auto& [nTyp, nToo] : awaited)
                                         {
                                             if (FindTyp(ctx, d.userData, nTyp, nToo) != 0)
                                                 return true;
                                         }
                                         return awaited.empty();
                                     });
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    return drain.userData;
}

} // namespace

void IdentificationAfterResetCu(CCaseContext& ctx)
{
    IdentificationAfterReset(ctx, ID_103_RESET_CU, 4, "复位通信单元");
}

void IdentificationAfterResetFcb(CCaseContext& ctx)
{
    IdentificationAfterReset(ctx, ID_103_RESET_FCB, 3, "复位帧计数位");
}

void InterrogationCot(CCaseContext& ctx)
{
    const CInterrogation gi = Interrogate(ctx);
    if (!ctx.Expect(gi.command.Answered(), "总查询命令无应答", {gi.command.nRequest}))
        return;
    std::vector<int> withNine;
    for (const int n : gi.data)
    {
        const int nCot = Parse(ctx, n).Cot();
        // Spontaneous events (COT 1) may come between; any other cause is wrong here.
        if (!ctx.Expect(nCot == 9 || nCot == 1, "总查询期间的ASDU传送原因为" + Num(nCot) + ", 应为9",
                        {gi.command.nRequest, n}))
            return;
        if (nCot == 9)
            withNine.push_back(n);
    }
    if (!ctx.Expect(!withNine.empty(), "总查询未得到传送原因为9的数据", Join({gi.command.nRequest}, gi.data)))
        return;
    ctx.Pass("总查询得到" + Num(static_cast<std::int64_t>(withNine.size())) + "个COT 9的ASDU",
             Join({gi.command.nRequest}, withNine));
}

void InterrogationTerminated(CCaseContext& ctx)
{
    const CInterrogation gi = Interrogate(ctx);
    if (!ctx.Expect(gi.command.Answered(), "总查询命令无应答", {gi.command.nRequest}))
        return;
    if (!ctx.Expect(gi.nEnd != 0, "总查询在" + Num(ctx.DataWaitMs()) + "ms内没有以ASDU 8(总查询终止)结束", gi.frames))
        return;
    const CFt12 end = Parse(ctx, gi.nEnd);
    if (!ctx.Expect(end.Cot() == 10, "总查询终止ASDU 8的传送原因为" + Num(end.Cot()) + ", 应为10",
                    {gi.command.nRequest, gi.nEnd}))
        return;
    ctx.Pass("总查询以ASDU 8(COT 10)终止", {gi.command.nRequest, gi.nEnd});
}

void InterrogationScanNumber(CCaseContext& ctx)
{
    const CInterrogation gi = Interrogate(ctx);
    if (!ctx.Expect(gi.command.Answered(), "总查询命令无应答", {gi.command.nRequest}))
        return;
    // ASDU 1 and 2 of the interrogation carry the scan number as SIN, the end as its own field.
    std::vector<int> proof = {gi.command.nRequest};
    for (const int n : gi.data)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Cot() != 9)
            continue;
        const int nSin = ft.At(ft.abAsdu.size() - 1);
        if (!ctx.Expect(nSin == gi.nScn, "总查询数据的附加信息(SIN)为" + Num(nSin) + ", 与扫描序号" + Num(gi.nScn) + "不同",
                        {gi.command.nRequest, n}))
            return;
        proof.push_back(n);
    }
    if (gi.nEnd != 0)
    {
        const int nScn = Parse(ctx, gi.nEnd).At(6);
        if (!ctx.Expect(nScn == gi.nScn, "总查询终止的扫描序号为" + Num(nScn) + ", 启动时为" + Num(gi.nScn),
                        {gi.command.nRequest, gi.nEnd}))
            return;
        proof.push_back(gi.nEnd);
    }
    if (!ctx.Expect(proof.size() > 1, "总查询没有可判断扫描序号的应答", gi.frames))
        return;
    ctx.Pass("总查询的应答与终止带相同的扫描序号" + Num(gi.nScn), proof);
}

void ClockWithAnswer(CCaseContext& ctx)
{
    StartLink(ctx);
    CClockFields clock = ClockNow();
    clock.bAnswer = true;
    const CExchange x = ctx.TimeSync(clock);
    if (!ctx.Expect(x.Answered() && Parse(ctx, x.nAnswer).IsAck(), "时间同步(带回答)未得到链路确认",
                    {x.nRequest, x.nAnswer}))
        return;
    const CDrain drain = AwaitAsdu(ctx, 6, [](const CFt12& ft) { return ft.Cot() == 8; });
    int nAnswer = 0;
    for (const int n : WithType(ctx, drain.userData, 6))
    {
        if (Parse(ctx, n).Cot() == 8)
        {
            nAnswer = n;
            break;
        }
    }
    if (!ctx.Expect(nAnswer != 0, "时间同步(带回答)后" + Num(ctx.DataWaitMs()) + "ms内未取到ASDU 6, COT 8",
                    Join({x.nRequest, x.nAnswer}, drain.frames)))
        return;
    // The answer carries the time set, or the relay's clock since: between the two, within the
    // tolerance.
    const CFt12 sent = Parse(ctx, x.nRequest);
    const std::int64_t nSentMs = Cp56Ms(sent, 6);
    const std::int64_t nGotMs = Cp56Ms(Parse(ctx, nAnswer), 6);
    const std::vector<int> proof = {x.nRequest, x.nAnswer, nAnswer};
    if (!ctx.Expect(nGotMs >= 0, "ASDU 6回答中的时间不是有效的CP56Time2a", proof))
        return;
    const std::int64_t nElapsedMs = (ctx.Frame(nAnswer).nWallUs - ctx.Frame(x.nRequest).nWallUs) / 1000;
    const std::int64_t nAheadMs = nGotMs - nSentMs;
    const std::int64_t nDiffMs = nAheadMs < 0 ? -nAheadMs : std::max<std::int64_t>(0, nAheadMs - nElapsedMs);
    if (!ctx.Expect(nDiffMs <= ctx.Options().nClockToleranceMs,
                    "ASDU 6回答的时间与所发送的时间相差" + Num(nDiffMs) + "ms, 超过容差" +
                        Num(ctx.Options().nClockToleranceMs) + "ms",
                    proof))
        return;
    ctx.Pass("时间同步得到ASDU 6, COT 8的回答, 时间与所发送的相差" + Num(nDiffMs) + "ms", proof);
}

namespace
{

// After a synchronisation (frame nSync, clock set to `clock`, nShiftHours from the computer's
// time): an interrogation whose time tags must be the clock set, no ASDU 6 where none was asked
// for, and the clock back to the computer's time whatever came of it.
void JudgeClockTaken(CCaseContext& ctx, int nSync, const CClockFields& clock, int nShiftHours, bool bNoReply,
                     const std::string& strWhat)
{
    const std::int64_t nSetMs = clock.nHour * 3600000LL + clock.nMinute * 60000LL + clock.nSecond * 1000LL;
    const CExchange gi = ctx.Command(ID_103_INTERROGATION);
    const CDrain drain = AwaitAsdu(ctx, 8);
    ResynchroniseClock(ctx);
    const std::vector<int> answers = WithType(ctx, drain.userData, 6);
    if (bNoReply && !ctx.Expect(answers.empty(), "不要求回答的时间同步却产生了ASDU 6", Join({nSync}, answers)))
        return;
    CEventTimes times;
    if (!CheckEventTimes(ctx, nSync, nSetMs, nShiftHours * 3600000LL, drain.userData, times))
        return;
    if (times.nChecked == 0 && times.nUnrelated > 0)
    {
        ctx.NotApplicable("总查询应答的时标既不是所设时钟也不是同步前的时钟(装置可能以状态最后变化的时间为时标), 无法判断");
        return;
    }
    if (!ctx.Expect(times.nChecked > 0, strWhat + "后未取到带时标的报文(ASDU 1/2)", Join({nSync, gi.nRequest}, drain.frames)))
        return;
    ctx.Pass(strWhat + "后" + Num(times.nChecked) + "个报文的时标与所设时钟一致, 最大偏差" + Num(times.nWorstMs) + "ms",
             Join({nSync}, WithType(ctx, drain.userData, 1)));
}

} // namespace

void ClockThenEventTimes(CCaseContext& ctx)
{
    StartLink(ctx);
    // Twelve hours away from any clock the relay may have had, so that a clock left alone shows;
    // send/confirm to the relay's own address, the synchronisation every relay must take.
    constexpr int kShiftHours = 12;
    CClockFields clock = ClockNow(kShiftHours);
    clock.bAnswer = true;
    const CExchange sync = ctx.TimeSync(clock);
    if (!ctx.Expect(sync.Sent(), "时间同步帧未能发出", {}))
        return;
    JudgeClockTaken(ctx, sync.nRequest, clock, kShiftHours, false, "同步");
}

void BroadcastClockSync(CCaseContext& ctx)
{
    StartLink(ctx);
    // Six hours away from the computer's time, to the broadcast address as send/no reply.
    constexpr int kShiftHours = 6;
    const CClockFields clock = ClockNow(kShiftHours);
    const auto nBroadcast = std::uint8_t{255};
    std::vector<std::uint8_t> abFrame = {0x68, 15, 15, 0x68, 0x44, nBroadcast, 6, 0x81, 8, nBroadcast, 255, 0};
    const int nMs = clock.nSecond * 1000;
    abFrame.insert(abFrame.end(), {static_cast<std::uint8_t>(nMs & 0xFF), static_cast<std::uint8_t>(nMs >> 8),
                                   static_cast<std::uint8_t>(clock.nMinute), static_cast<std::uint8_t>(clock.nHour),
                                   static_cast<std::uint8_t>(clock.nDay), static_cast<std::uint8_t>(clock.nMonth),
                                   static_cast<std::uint8_t>(clock.nYear % 100)});
    std::uint8_t nSum = 0;
    for (std::size_t i = 4; i < abFrame.size(); ++i)
        nSum = static_cast<std::uint8_t>(nSum + abFrame[i]);
    abFrame.insert(abFrame.end(), {nSum, 0x16});
    const CExchange sync = ctx.SendCustom(abFrame, ctx.SilenceWaitMs());
    if (!ctx.Expect(sync.Sent(), "广播时间同步帧未能发出", {}))
        return;
    if (!ctx.Expect(!sync.Answered(), "广播(链路地址255)的时间同步得到了应答", {sync.nRequest, sync.nAnswer}))
    {
        ResynchroniseClock(ctx);
        return;
    }
    JudgeClockTaken(ctx, sync.nRequest, clock, kShiftHours, true, "广播对时(无应答)");
}

void GeneralCommandPositive(CCaseContext& ctx)
{
    const int nFun = ctx.Options().nCommandFun;
    const int nInf = ctx.Options().nCommandInf;
    if (nInf == CDeviceOptions::kNoPoint)
    {
        ctx.NotApplicable("未指定可以操作的一般命令点(commandInf)");
        return;
    }
    // The point is commanded to the state it has, when an interrogation tells it: nothing switches.
    int nDco = 2;
    int nState = 0;
    if (ctx.Options().bGeneralInterrogation)
    {
        const CInterrogation gi = Interrogate(ctx);
        for (const int n : gi.data)
        {
            const CFt12 ft = Parse(ctx, n);
            if (ft.Cot() == 9 && ft.Fun() == nFun && ft.Inf() == nInf && (ft.At(6) & 3) >= 1 && (ft.At(6) & 3) <= 2)
            {
                nDco = ft.At(6) & 3;
                nState = n;
            }
        }
    }
    // A point whose state no interrogation tells cannot be left as it was found: not commanded.
    if (nState == 0)
    {
        ctx.NotApplicable("总查询未报告该点(FUN " + Num(nFun) + ", INF " + Num(nInf) +
                          ")的状态, 无法保证命令后装置状态不变, 未发命令");
        return;
    }
    std::vector<int> frames;
    const auto [x, nAnswer] = CommandAndAnswer(ctx, nFun, nInf, nDco, frames);
    ctx.Restored("命令为该点现有状态(DPI " + Num(nDco) + ", 见帧" + Num(nState) + "), 装置状态未改变");
    if (!ctx.Expect(x.Answered(), "一般命令无链路应答", {x.nRequest}))
        return;
    if (!ctx.Expect(nAnswer != 0, "一般命令(FUN " + Num(nFun) + ", INF " + Num(nInf) + ")在" + Num(ctx.DataWaitMs()) +
                                      "ms内未得到COT 20/21的回答",
                    frames))
        return;
    const CFt12 answer = Parse(ctx, nAnswer);
    if (!ctx.Expect(answer.Cot() == 20, "一般命令得到否定认可(COT " + Num(answer.Cot()) + "), 应为肯定认可COT 20",
                    {x.nRequest, nAnswer}))
        return;
    const int nRii = Parse(ctx, x.nRequest).At(7);
    if (!ctx.Expect(answer.At(11) == nRii, "肯定认可的附加信息(SIN)" + Num(answer.At(11)) + "与命令的返回信息标识" +
                                               Num(nRii) + "不同",
                    {x.nRequest, nAnswer}))
        return;
    ctx.Pass("一般命令得到肯定认可(ASDU 1, COT 20, SIN=RII)", {x.nRequest, nAnswer});
}

void GeneralCommandNegative(CCaseContext& ctx)
{
    const int nFun = ctx.Options().nAbsentFun;
    const int nInf = ctx.Options().nAbsentInf;
    if (nFun == CDeviceOptions::kNoPoint || nInf == CDeviceOptions::kNoPoint)
    {
        ctx.NotApplicable("未指定装置没有的功能类型与信息序号(absentFun, absentInf)");
        return;
    }
    std::vector<int> frames;
    const auto [x, nAnswer] = CommandAndAnswer(ctx, nFun, nInf, 2, frames);
    if (!ctx.Expect(x.Answered(), "一般命令无链路应答", {x.nRequest}))
        return;
    const std::string strPoint = "(FUN " + Num(nFun) + ", INF " + Num(nInf) + ")";
    if (!ctx.Expect(nAnswer != 0, "装置没有的点" + strPoint + "的一般命令未得到回答", frames))
        return;
    const CFt12 answer = Parse(ctx, nAnswer);
    if (!ctx.Expect(answer.Cot() == 21, "装置没有的点" + strPoint + "的一般命令得到COT " + Num(answer.Cot()) + ", 应为否定认可COT 21",
                    {x.nRequest, nAnswer}))
        return;
    ctx.Pass("装置没有的点" + strPoint + "的一般命令得到否定认可(COT 21)", {x.nRequest, nAnswer});
}

void DisturbanceList(CCaseContext& ctx)
{
    StartLink(ctx);
    std::vector<int> frames;
    const std::vector<int> answers = DisturbanceStep(ctx, 24, Order(ctx, 24), {{23, -1}}, frames);
    const int nList = FindTyp(ctx, answers, 23);
    if (!ctx.Expect(nList != 0, "请求被记录的扰动表(ASDU 24, TOO 24)未得到ASDU 23", frames))
        return;
    ctx.Pass("得到扰动表ASDU 23, " + Num(Parse(ctx, nList).At(1) & 0x7F) + "个录波", {frames.front(), nList});
}

void DisturbanceTransfer(CCaseContext& ctx)
{
    StartLink(ctx);
    std::vector<int> frames;
    const int nList = FindTyp(ctx, DisturbanceStep(ctx, 24, Order(ctx, 24), {{23, -1}}, frames), 23);
    if (!ctx.Expect(nList != 0 && Parse(ctx, nList).abAsdu.size() >= 16, "未得到含录波的扰动表", frames))
        return;
    const CFt12 list = Parse(ctx, nList);
    const int nFan = list.At(6) + 256 * list.At(7);
    std::vector<int> proof = {nList};
    const auto Step = [&](int nAsdu, int nToo, int nAcc, int nTyp, int nTypToo, const std::string& strWhat)
    {
        const int nAt = static_cast<int>(frames.size());
        const int nFound =
            FindTyp(ctx, DisturbanceStep(ctx, nAsdu, Order(ctx, nToo, nFan, nAcc), {{nTyp, nTypToo}}, frames), nTyp, nTypToo);
        proof.push_back(frames[static_cast<std::size_t>(nAt)]);
        if (nFound != 0)
            proof.push_back(nFound);
        else
            ctx.Fail("录波" + Num(nFan) + "的传输中断: " + strWhat, proof);
        return nFound;
    };
    if (Step(24, 1, 0, 26, -1, "选择录波后未得到ASDU 26") == 0 || Step(24, 2, 0, 28, -1, "请求扰动数据后未得到ASDU 28") == 0 ||
        Step(24, 16, 0, 31, 38, "请求标志后未得到ASDU 31(TOO 38)") == 0)
        return;
    int nReady = Step(25, 68, 0, 27, -1, "认可标志后未得到第一个通道的ASDU 27");
    int nChannels = 0;
    for (int i = 0; nReady != 0 && i < 16; ++i)
    {
        const int nAcc = Parse(ctx, nReady).At(10);
        if (Step(24, 8, nAcc, 31, 35, "通道" + Num(nAcc) + "的数据未以ASDU 31(TOO 35)结束") == 0)
            return;
        ++nChannels;
        const int nAt = static_cast<int>(frames.size());
        const std::vector<int> answers =
            DisturbanceStep(ctx, 25, Order(ctx, 66, nFan, nAcc), {{31, 32}, {27, -1}}, frames);
        proof.push_back(frames[static_cast<std::size_t>(nAt)]);
        if (const int nEnd = FindTyp(ctx, answers, 31, 32); nEnd != 0)
        {
            proof.push_back(nEnd);
            std::vector<int> last;
            DisturbanceStep(ctx, 25, Order(ctx, 64, nFan), {}, last);
            ctx.Pass("录波" + Num(nFan) + "传输完成: " + Num(nChannels) + "个通道, 以ASDU 31(TOO 32)结束", proof);
            return;
        }
        nReady = FindTyp(ctx, answers, 27);
        if (nReady != 0)
            proof.push_back(nReady);
    }
    ctx.Fail("录波" + Num(nFan) + "的传输中断: 认可通道后既无下一通道(ASDU 27)也无结束(ASDU 31, TOO 32)", proof);
}

void MeasurandsInClass2(CCaseContext& ctx)
{
    StartLink(ctx);
    // The relay sends them on its own cycle: class 2 is polled until they come.
    const auto IsMeasurand = [&](int n, bool)
    {
        const CFt12 ft = Parse(ctx, n);
        return ft.IsUserData() && (ft.Typ() == 3 || ft.Typ() == 9);
    };
    const CWatch watch = WatchClass2(ctx, IsMeasurand, ctx.MeasurandWaitMs());
    if (!ctx.Expect(watch.nFound != 0,
                    Num(ctx.MeasurandWaitMs()) + "ms内二级数据请求未得到测量值(ASDU 3/9)", watch.frames))
        return;
    const int nTyp = Parse(ctx, watch.nFound).Typ();
    if (!ctx.Expect(std::find(watch.class1.begin(), watch.class1.end(), watch.nFound) == watch.class1.end(),
                    "测量值ASDU " + Num(nTyp) + "作为一级数据上送, 应为二级数据", {watch.nFound - 1, watch.nFound}))
        return;
    ctx.Pass("测量值ASDU " + Num(nTyp) + "以二级数据上送", {watch.nFound - 1, watch.nFound});
}

void EveryCotAllowed(CCaseContext& ctx)
{
    const int nFirst = ctx.LastFrame() + 1;
    StartLink(ctx);
    if (ctx.Options().bGeneralInterrogation)
    {
        ctx.Command(ID_103_INTERROGATION);
        AwaitAsdu(ctx, 8);
    }
    // Each reset lets the relay's measurands due at once; two in a row show both kinds.
    for (int i = 0; i < 2; ++i)
    {
        ctx.Command(ID_103_RESET_CU);
        AwaitAsdu(ctx, 5);
        ctx.Command(ID_103_CLASS2);
    }
    DrainClass1(ctx);
    std::vector<int> checked;
    std::set<int> types;
    for (const int n : ctx.ReceivedAfter(nFirst - 1))
    {
        const CFt12 ft = Parse(ctx, n);
        if (!ft.IsUserData())
            continue;
        if (!ctx.Expect(CotAllowed(ft.Typ(), ft.Cot()),
                        "ASDU " + Num(ft.Typ()) + "的传送原因" + Num(ft.Cot()) + "不是标准允许的", {n}))
            return;
        checked.push_back(n);
        types.insert(ft.Typ());
    }
    if (!ctx.Expect(!checked.empty(), "未收到任何ASDU", {}))
        return;
    std::string strTypes;
    for (const int nTyp : types)
        strTypes += (strTypes.empty() ? "" : ",") + Num(nTyp);
    ctx.Pass(Num(static_cast<std::int64_t>(checked.size())) + "个ASDU(类型" + strTypes + ")的传送原因均为标准允许", checked);
}

void SpontaneousEventCot(CCaseContext& ctx)
{
    StartLink(ctx);
    // Nothing is asked for: an ASDU 1 or 2 that comes is an event of the relay's own. Local and
    // remote operations (COT 11, 12) are events too, of another kind: the case waits on.
    const auto IsEvent = [&](int n, bool)
    {
        const CFt12 ft = Parse(ctx, n);
        return ft.IsUserData() && (ft.Typ() == 1 || ft.Typ() == 2) && ft.Cot() != 11 && ft.Cot() != 12;
    };
    const CWatch watch = WatchClass2(ctx, IsEvent, ctx.EventWaitMs());
    if (!ctx.Expect(watch.nFound != 0, Num(ctx.EventWaitMs()) + "ms内未收到自发事件(ASDU 1/2)", watch.frames))
        return;
    const CFt12 event = Parse(ctx, watch.nFound);
    if (!ctx.Expect(event.Cot() == 1,
                    "自发事件ASDU " + Num(event.Typ()) + "(INF " + Num(event.Inf()) + ")的传送原因为" + Num(event.Cot()) +
                        ", 应为1(自发)",
                    {watch.nFound - 1, watch.nFound}))
        return;
    ctx.Pass("自发事件ASDU " + Num(event.Typ()) + "(INF " + Num(event.Inf()) + ")以COT 1上送", {watch.nFound - 1, watch.nFound});
}

} // namespace relvane
