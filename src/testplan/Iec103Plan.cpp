// The IEC 60870-5-103 cases over FT1.2. Each case starts from a known link: reset of the
// communication unit, then class 1 fetched until the relay has nothing (ACD is not trusted for
// that, so that a wrong ACD fails only the ACD cases). A case looks for what it expects among the
// ASDUs it fetched, since other data (events) may come in between.
#include "iec103/Iec103Codec.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/CaseContext.h"
#include "testplan/TestPlans.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <set>

namespace relvane
{
namespace
{

constexpr std::uint8_t kSingleAck = 0xE5;
constexpr int kFunctionAck = 0;
constexpr int kFunctionNoData = 9;
constexpr int kFunctionLinkStatus = 11;
constexpr int kMaxDrain = 60;
constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

const char* const kLink = "链路层";
const char* const kApplication = "应用层";

// A received FT1.2 frame taken apart (nothing is read past its bytes).
struct CFt12
{
    enum Kind
    {
        NONE,
        SINGLE, // E5H
        FIXED,
        VARIABLE,
    };
    Kind eKind = NONE;
    bool bValid = false; // checksum, lengths and end character right
    std::uint8_t nControl = 0;
    std::uint8_t nAddress = 0;
    std::vector<std::uint8_t> abAsdu;

    int Function() const { return nControl & 0x0F; }
    bool Acd() const { return eKind != SINGLE && (nControl & 0x20) != 0; }
    bool Dfc() const { return eKind != SINGLE && (nControl & 0x10) != 0; }
    int At(std::size_t i) const { return i < abAsdu.size() ? abAsdu[i] : -1; }
    int Typ() const { return At(0); }
    int Cot() const { return At(2); }
    int Fun() const { return At(4); }
    int Inf() const { return At(5); }
    bool IsUserData() const { return eKind == VARIABLE && bValid && abAsdu.size() >= 6; }
    // A positive confirmation: E5H or the fixed frame with function 0.
    bool IsAck() const { return eKind == SINGLE || (eKind == FIXED && bValid && Function() == kFunctionAck); }
    // "No data": E5H or the fixed frame with function 9.
    bool IsNoData() const { return eKind == SINGLE || (eKind == FIXED && bValid && Function() == kFunctionNoData); }
};

CFt12 Parse(const CPlanFrame& frame)
{
    CFt12 ft;
    const std::vector<std::uint8_t>& ab = frame.abBytes;
    const int n = static_cast<int>(ab.size());
    if (n == 1 && ab[0] == kSingleAck)
    {
        ft.eKind = CFt12::SINGLE;
        ft.bValid = true;
    }
    else if (n == 5 && ab[0] == 0x10)
    {
        ft.eKind = CFt12::FIXED;
        ft.nControl = ab[1];
        ft.nAddress = ab[2];
        ft.bValid = ab[3] == static_cast<std::uint8_t>(ab[1] + ab[2]) && ab[4] == 0x16;
    }
    else if (n >= 8 && ab[0] == 0x68)
    {
        ft.eKind = CFt12::VARIABLE;
        const int nL = ab[1];
        ft.nControl = ab[4];
        ft.nAddress = ab[5];
        ft.bValid = n == nL + 6 && ab[2] == ab[1] && ab[3] == 0x68 && ab[static_cast<std::size_t>(n - 1)] == 0x16 &&
                    Iec103Codec::Checksum(ab.data() + 4, nL) == ab[static_cast<std::size_t>(n - 2)];
        if (ft.bValid)
            ft.abAsdu.assign(ab.begin() + 6, ab.end() - 2);
    }
    return ft;
}

CFt12 Parse(CCaseContext& ctx, int nFrame)
{
    return Parse(ctx.Frame(nFrame));
}

std::string Num(std::int64_t n)
{
    return std::to_string(n);
}

std::string Ms(std::int64_t nUs)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.1fms", static_cast<double>(nUs) / 1000.0);
    return szText;
}

// What fetching class 1 brought.
struct CDrain
{
    std::vector<int> userData; // answers with an ASDU
    std::vector<int> frames;   // every request and answer
    int nEnd = 0;              // the "no data" answer that ended it (0: it did not end so)
};

CDrain DrainClass1(CCaseContext& ctx, int nMax = kMaxDrain)
{
    CDrain drain;
    for (int i = 0; i < nMax && !ctx.Stopped(); ++i)
    {
        const CExchange x = ctx.Command(ID_103_CLASS1);
        drain.frames.insert(drain.frames.end(), {x.nRequest, x.nAnswer});
        if (!x.Answered())
            break;
        const CFt12 answer = Parse(ctx, x.nAnswer);
        if (answer.IsUserData())
            drain.userData.push_back(x.nAnswer);
        else
        {
            if (answer.IsNoData())
                drain.nEnd = x.nAnswer;
            break;
        }
    }
    return drain;
}

// A known link: the communication unit reset, class 1 empty.
void StartLink(CCaseContext& ctx)
{
    ctx.Command(ID_103_RESET_CU);
    DrainClass1(ctx);
}

// Answers among the frames whose ASDU type is nTyp (any type for -1).
std::vector<int> WithType(CCaseContext& ctx, const std::vector<int>& frames, int nTyp)
{
    std::vector<int> found;
    for (const int n : frames)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.IsUserData() && (nTyp < 0 || ft.Typ() == nTyp))
            found.push_back(n);
    }
    return found;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The local time now, for the clock form (which has whole seconds).
CClockFields ClockNow(int nHourShift = 0)
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    CClockFields clock;
    clock.nYear = std::clamp(parts.tm_year + 1900, 2000, 2050);
    clock.nMonth = parts.tm_mon + 1;
    clock.nDay = parts.tm_mday;
    clock.nHour = (parts.tm_hour + nHourShift) % 24;
    clock.nMinute = parts.tm_min;
    clock.nSecond = std::min(parts.tm_sec, 59);
    return clock;
}

// ---------------------------------------------------------------------------------------------
// Link layer

void ResetCuConfirmed(CCaseContext& ctx)
{
    const CExchange x = ctx.Command(ID_103_RESET_CU);
    if (!ctx.Expect(x.Answered(), "复位通信单元无应答", {x.nRequest}))
        return;
    const CFt12 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.IsAck(), "复位通信单元的应答不是确认(功能码0或E5)", {x.nRequest, x.nAnswer}))
        return;
    if (answer.eKind == CFt12::FIXED &&
        !ctx.Expect(answer.nAddress == ctx.Options().nDeviceAddress, "确认帧的链路地址与装置地址不符",
                    {x.nRequest, x.nAnswer}))
        return;
    DrainClass1(ctx);
    ctx.Pass("复位通信单元得到确认", {x.nRequest, x.nAnswer});
}

void ResetFcbConfirmed(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange x = ctx.Command(ID_103_RESET_FCB);
    if (!ctx.Expect(x.Answered(), "复位帧计数位无应答", {x.nRequest}))
        return;
    const CFt12 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.IsAck(), "复位帧计数位的应答不是确认(功能码0或E5)", {x.nRequest, x.nAnswer}))
        return;
    DrainClass1(ctx);
    ctx.Pass("复位帧计数位得到确认", {x.nRequest, x.nAnswer});
}

void LinkStatusAnswered(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange x = ctx.Command(ID_103_LINK_STATUS);
    if (!ctx.Expect(x.Answered(), "请求链路状态无应答", {x.nRequest}))
        return;
    const CFt12 answer = Parse(ctx, x.nAnswer);
    if (!ctx.Expect(answer.eKind == CFt12::FIXED && answer.bValid && answer.Function() == kFunctionLinkStatus,
                    "请求链路状态的应答不是链路状态帧(功能码11)", {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("请求链路状态得到链路状态帧(功能码11)", {x.nRequest, x.nAnswer});
}

void FcbRepeatSameAnswer(CCaseContext& ctx)
{
    ctx.Command(ID_103_RESET_CU);
    // The identification waits in class 1: a new frame would get other data than a repeated one.
    const CExchange first = ctx.Command(ID_103_CLASS1);
    if (!ctx.Expect(first.Answered(), "一级数据请求无应答", {first.nRequest}))
        return;
    const CExchange repeat = ctx.SendCustom(ctx.Frame(first.nRequest).abBytes);
    if (!ctx.Expect(repeat.Answered(), "FCB未翻转的重复请求无应答", {first.nRequest, first.nAnswer, repeat.nRequest}))
        return;
    const std::vector<int> proof = {first.nRequest, first.nAnswer, repeat.nRequest, repeat.nAnswer};
    if (!ctx.Expect(ctx.Frame(repeat.nAnswer).abBytes == ctx.Frame(first.nAnswer).abBytes,
                    "FCB未翻转的重复请求得到的应答与上次不同", proof))
        return;
    DrainClass1(ctx);
    ctx.Pass("重复请求(FCB未翻转)得到与上次完全相同的应答", proof);
}

// A frame the relay must not answer: sent as a custom frame after a known start.
void ExpectSilence(CCaseContext& ctx, const std::function<std::vector<std::uint8_t>()>& fnBuild,
                   const std::string& strWhat)
{
    StartLink(ctx);
    const CExchange x = ctx.SendCustom(fnBuild(), ctx.SilenceWaitMs());
    if (!ctx.Expect(x.Sent(), "帧未能发出", {}))
        return;
    if (!ctx.Expect(!x.Answered(), strWhat + "得到了应答", {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass(strWhat + "在" + Num(ctx.SilenceWaitMs()) + "ms内无应答", {x.nRequest});
}

// The class 2 request the session would send next (its FCB), to the given address.
std::vector<std::uint8_t> NextClass2(CCaseContext& ctx, std::uint8_t nAddress)
{
    const auto nControl = static_cast<std::uint8_t>(ctx.View().Iec103().FcbFlag() ? 0x7B : 0x5B);
    return {0x10, nControl, nAddress, static_cast<std::uint8_t>(nControl + nAddress), 0x16};
}

void BadChecksumIgnored(CCaseContext& ctx)
{
    ExpectSilence(
        ctx,
        [&]
        {
            std::vector<std::uint8_t> abFrame =
                NextClass2(ctx, static_cast<std::uint8_t>(ctx.Options().nDeviceAddress));
            abFrame[3] = static_cast<std::uint8_t>(abFrame[3] + 1);
            return abFrame;
        },
        "校验和错误的二级数据请求");
}

void WrongAddressIgnored(CCaseContext& ctx)
{
    const int nAddress = ctx.Options().nDeviceAddress;
    // Another address that is not the broadcast 255.
    const auto nOther = static_cast<std::uint8_t>(nAddress >= 254 ? nAddress - 1 : nAddress + 1);
    ExpectSilence(
        ctx, [&] { return NextClass2(ctx, nOther); }, "发往其他链路地址(" + Num(nOther) + ")的二级数据请求");
}

void BadLengthIgnored(CCaseContext& ctx)
{
    // Reading the group headings (ASDU 21, INF 240, NOG 0) as send/confirm, whose two length
    // bytes differ; checksum and end character are right for the first length.
    const auto fnBuild = [&]
    {
        const auto nAddress = static_cast<std::uint8_t>(ctx.Options().nDeviceAddress);
        const auto nCommon = static_cast<std::uint8_t>(ctx.Options().nCommonAddress);
        const auto nControl = static_cast<std::uint8_t>(ctx.View().Iec103().FcbFlag() ? 0x73 : 0x53);
        // L counts C, A and the ASDU: 10 bytes; the repeated length says 11.
        std::vector<std::uint8_t> abFrame = {0x68, 10, 11, 0x68, nControl, nAddress, 21, 0x81, 42, nCommon, 254, 240, 0, 0};
        abFrame.push_back(Iec103Codec::Checksum(abFrame.data() + 4, 10));
        abFrame.push_back(0x16);
        return abFrame;
    };
    ExpectSilence(ctx, fnBuild, "两个长度字节不一致的可变帧");
}

void AcdSetWhileClass1Waits(CCaseContext& ctx)
{
    const CExchange reset = ctx.Command(ID_103_RESET_CU);
    // The identification (ASDU 5) now waits in class 1: the next answer must say so.
    const CExchange poll = ctx.Command(ID_103_CLASS2);
    if (!ctx.Expect(poll.Answered(), "二级数据请求无应答", {reset.nRequest, reset.nAnswer, poll.nRequest}))
        return;
    const std::vector<int> proof = {reset.nRequest, reset.nAnswer, poll.nRequest, poll.nAnswer};
    if (!ctx.Expect(Parse(ctx, poll.nAnswer).Acd(), "复位后有一级数据(标识)等待, 应答未置ACD", proof))
        return;
    const CDrain drain = DrainClass1(ctx);
    if (!ctx.Expect(!WithType(ctx, drain.userData, -1).empty(), "ACD置位但一级数据请求未取到数据",
                    Join(proof, drain.frames)))
        return;
    ctx.Pass("一级数据等待时应答置ACD, 一级数据请求取到数据", Join(proof, {drain.frames[0], drain.frames[1]}));
}

void AcdClearedWhenDrained(CCaseContext& ctx)
{
    ctx.Command(ID_103_RESET_CU);
    const CDrain drain = DrainClass1(ctx);
    if (!ctx.Expect(drain.nEnd != 0, "一级数据未能取完(没有\"无所请求的数据\"应答)", drain.frames))
        return;
    if (!ctx.Expect(!Parse(ctx, drain.nEnd).Acd(), "一级数据已取完, 应答仍置ACD", {drain.nEnd - 1, drain.nEnd}))
        return;
    const CExchange poll = ctx.Command(ID_103_CLASS2);
    if (!ctx.Expect(poll.Answered(), "二级数据请求无应答", {poll.nRequest}))
        return;
    if (Parse(ctx, poll.nAnswer).Acd())
    {
        // Class 1 data may have arisen since (an event, data the poll brought about): then the
        // ACD is right, and a class 1 request gets them.
        const CExchange fetch = ctx.Command(ID_103_CLASS1);
        if (!ctx.Expect(fetch.Answered() && Parse(ctx, fetch.nAnswer).IsUserData(), "应答置ACD, 但并无一级数据",
                        {drain.nEnd, poll.nRequest, poll.nAnswer, fetch.nRequest, fetch.nAnswer}))
            return;
        DrainClass1(ctx);
    }
    ctx.Pass("一级数据取完后ACD清除", {drain.nEnd - 1, drain.nEnd, poll.nRequest, poll.nAnswer});
}

void DfcClear(CCaseContext& ctx)
{
    std::vector<int> answers;
    const CExchange reset = ctx.Command(ID_103_RESET_CU);
    answers.push_back(reset.nAnswer);
    const CDrain drain = DrainClass1(ctx);
    answers.insert(answers.end(), drain.userData.begin(), drain.userData.end());
    answers.push_back(drain.nEnd);
    for (int i = 0; i < 2; ++i)
        answers.push_back(ctx.Command(ID_103_CLASS2).nAnswer);
    std::vector<int> withDfc;
    int nFrames = 0;
    for (const int n : answers)
    {
        if (n == 0 || Parse(ctx, n).eKind == CFt12::SINGLE)
            continue;
        ++nFrames;
        if (Parse(ctx, n).Dfc())
            withDfc.push_back(n);
    }
    if (!ctx.Expect(nFrames > 0, "没有可判断DFC的应答", {}))
        return;
    // DFC may be set for a while when the relay's buffer fills; set in every answer of an idle
    // link it stops the master for good.
    if (!ctx.Expect(withDfc.size() < static_cast<std::size_t>(nFrames), "DFC在所有应答中置位(装置始终不能接收)",
                    withDfc))
        return;
    std::vector<int> proof;
    for (const int n : answers)
    {
        if (n != 0)
            proof.push_back(n);
    }
    ctx.Pass("空闲链路上的应答DFC为0", proof);
}

void AnswersWithinLimit(CCaseContext& ctx)
{
    std::vector<CExchange> exchanges;
    exchanges.push_back(ctx.Command(ID_103_RESET_CU));
    exchanges.push_back(ctx.Command(ID_103_CLASS1));
    exchanges.push_back(ctx.Command(ID_103_CLASS2));
    exchanges.push_back(ctx.Command(ID_103_LINK_STATUS));
    DrainClass1(ctx);
    const std::int64_t nLimitUs = ctx.ResponseLimitMs() * 1000LL;
    std::int64_t nWorstUs = 0;
    std::vector<int> proof;
    for (const CExchange& x : exchanges)
    {
        // A request left unanswered is judged by the case of that request; here only times count.
        if (!x.Answered())
            continue;
        if (!ctx.Expect(x.nResponseUs <= nLimitUs,
                        "应答用时" + Ms(x.nResponseUs) + ", 超过时限" + Num(ctx.ResponseLimitMs()) + "ms",
                        {x.nRequest, x.nAnswer}))
            return;
        nWorstUs = std::max(nWorstUs, x.nResponseUs);
        proof.insert(proof.end(), {x.nRequest, x.nAnswer});
    }
    if (!ctx.Expect(!proof.empty(), "没有任何应答", {}))
        return;
    ctx.Pass("全部应答在时限内, 最长" + Ms(nWorstUs) + "(时限" + Num(ctx.ResponseLimitMs()) + "ms)", proof);
}

void SingleCharacterWhereDeclared(CCaseContext& ctx)
{
    ctx.Command(ID_103_RESET_CU);
    const CDrain drain = DrainClass1(ctx);
    if (!ctx.Expect(drain.nEnd != 0, "一级数据未能取完", drain.frames))
        return;
    if (!ctx.Expect(Parse(ctx, drain.nEnd).eKind == CFt12::SINGLE, "装置声明使用单字符E5, \"无所请求的数据\"却以固定帧应答",
                    {drain.nEnd - 1, drain.nEnd}))
        return;
    // Where a frame with content is due, E5 is no answer.
    const CExchange status = ctx.Command(ID_103_LINK_STATUS);
    if (!ctx.Expect(status.Answered() && Parse(ctx, status.nAnswer).eKind == CFt12::FIXED,
                    "请求链路状态应得到链路状态帧, 却得到单字符E5或无应答", {status.nRequest, status.nAnswer}))
        return;
    ctx.Pass("\"无所请求的数据\"以E5应答, 链路状态仍以帧应答",
             {drain.nEnd - 1, drain.nEnd, status.nRequest, status.nAnswer});
}

void NoDataAnswered(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange x = ctx.Command(ID_103_CLASS1);
    if (!ctx.Expect(x.Answered(), "一级数据请求无应答", {x.nRequest}))
        return;
    if (!ctx.Expect(Parse(ctx, x.nAnswer).IsNoData(), "无一级数据时的应答不是\"无所请求的数据\"(功能码9或E5)",
                    {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("无一级数据时应答\"无所请求的数据\"", {x.nRequest, x.nAnswer});
}

void SendConfirmAcknowledged(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange x = ctx.Command(ID_103_INTERROGATION);
    if (!ctx.Expect(x.Answered(), "发送/确认帧(总查询)无应答", {x.nRequest}))
        return;
    if (!ctx.Expect(Parse(ctx, x.nAnswer).IsAck(), "发送/确认帧(总查询)的应答不是确认(功能码0或E5)",
                    {x.nRequest, x.nAnswer}))
        return;
    DrainClass1(ctx);
    ctx.Pass("发送/确认帧得到确认", {x.nRequest, x.nAnswer});
}

void SendNoReplySilent(CCaseContext& ctx)
{
    StartLink(ctx);
    CClockFields clock = ClockNow();
    clock.bAnswer = false;
    const CExchange x = ctx.TimeSync(clock, ctx.SilenceWaitMs());
    if (!ctx.Expect(x.Sent(), "时间同步帧未能发出", {}))
        return;
    if (!ctx.Expect(!x.Answered(), "发送/无回答帧(时间同步, 控制域44H)得到了应答", {x.nRequest, x.nAnswer}))
        return;
    ctx.Pass("发送/无回答帧无应答", {x.nRequest});
}

// ---------------------------------------------------------------------------------------------
// Application layer

void IdentificationAfterResetCu(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange reset = ctx.Command(ID_103_RESET_CU);
    const CDrain drain = DrainClass1(ctx);
    const std::vector<int> idents = WithType(ctx, drain.userData, 5);
    if (!ctx.Expect(!idents.empty(), "复位通信单元后未取到标识报文(ASDU 5)", Join({reset.nRequest}, drain.frames)))
        return;
    const CFt12 ident = Parse(ctx, idents.front());
    if (!ctx.Expect(ident.Cot() == 4, "复位通信单元后标识报文的传送原因为" + Num(ident.Cot()) + ", 应为4",
                    {reset.nRequest, idents.front()}))
        return;
    ctx.Pass("复位通信单元后标识报文ASDU 5, COT 4", {reset.nRequest, idents.front()});
}

void IdentificationAfterResetFcb(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange reset = ctx.Command(ID_103_RESET_FCB);
    const CDrain drain = DrainClass1(ctx);
    const std::vector<int> idents = WithType(ctx, drain.userData, 5);
    if (!ctx.Expect(!idents.empty(), "复位帧计数位后未取到标识报文(ASDU 5)", Join({reset.nRequest}, drain.frames)))
        return;
    const CFt12 ident = Parse(ctx, idents.front());
    if (!ctx.Expect(ident.Cot() == 3, "复位帧计数位后标识报文的传送原因为" + Num(ident.Cot()) + ", 应为3",
                    {reset.nRequest, idents.front()}))
        return;
    ctx.Pass("复位帧计数位后标识报文ASDU 5, COT 3", {reset.nRequest, idents.front()});
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
    const CFt12 sent = Parse(ctx, gi.command.nRequest);
    gi.nScn = sent.At(6);
    const CDrain drain = DrainClass1(ctx);
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
    if (!ctx.Expect(gi.nEnd != 0, "总查询没有以ASDU 8(总查询终止)结束", gi.frames))
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
    const CDrain drain = DrainClass1(ctx);
    for (const int n : WithType(ctx, drain.userData, 6))
    {
        if (Parse(ctx, n).Cot() == 8)
        {
            ctx.Pass("时间同步得到ASDU 6, COT 8的回答", {x.nRequest, x.nAnswer, n});
            return;
        }
    }
    ctx.Fail("时间同步(带回答)后未取到ASDU 6, COT 8", Join({x.nRequest, x.nAnswer}, drain.frames));
}

// Milliseconds of the day of a four-octet time (CP32Time2a: ms, minute, hour).
std::int64_t Cp32DayMs(const CFt12& ft, std::size_t nAt)
{
    const int nMs = ft.At(nAt) + 256 * ft.At(nAt + 1);
    return (ft.At(nAt + 3) & 0x1F) * 3600000LL + (ft.At(nAt + 2) & 0x3F) * 60000LL + nMs;
}

void ClockThenEventTimes(CCaseContext& ctx)
{
    StartLink(ctx);
    // Twelve hours away from any clock the relay may have had, so that a clock left alone shows.
    CClockFields clock = ClockNow(12);
    clock.bAnswer = false;
    const CExchange sync = ctx.TimeSync(clock, 50);
    if (!ctx.Expect(sync.Sent(), "时间同步帧未能发出", {}))
        return;
    const std::int64_t nSetMs = clock.nHour * 3600000LL + clock.nMinute * 60000LL + clock.nSecond * 1000LL;
    const CExchange gi = ctx.Command(ID_103_INTERROGATION);
    const CDrain drain = DrainClass1(ctx);
    int nChecked = 0;
    std::int64_t nWorstMs = 0;
    for (const int n : drain.userData)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Typ() != 1 && ft.Typ() != 2)
            continue;
        // ASDU 1: DPI then the time; ASDU 2: DPI, relative time, FAN, then the time.
        const std::int64_t nGotMs = Cp32DayMs(ft, ft.Typ() == 1 ? 7 : 11);
        // Made between the synchronisation and its arrival here, as the clock set counts.
        const std::int64_t nElapsedMs = (ctx.Frame(n).nWallUs - ctx.Frame(sync.nRequest).nWallUs) / 1000;
        std::int64_t nAheadMs = ((nGotMs - nSetMs) % kDayMs + kDayMs) % kDayMs; // 0 .. one day
        if (nAheadMs > kDayMs / 2)
            nAheadMs -= kDayMs; // before the time set
        const std::int64_t nDiffMs = nAheadMs < 0 ? -nAheadMs : std::max<std::int64_t>(0, nAheadMs - nElapsedMs);
        if (!ctx.Expect(nDiffMs <= ctx.Options().nClockToleranceMs,
                        "同步后事件时间与所设时钟相差" + Num(nDiffMs) + "ms, 超过容差" +
                            Num(ctx.Options().nClockToleranceMs) + "ms",
                        {sync.nRequest, n}))
            return;
        nWorstMs = std::max(nWorstMs, nDiffMs);
        ++nChecked;
    }
    if (!ctx.Expect(nChecked > 0, "同步后未取到带时标的报文(ASDU 1/2)", Join({sync.nRequest, gi.nRequest}, drain.frames)))
        return;
    ctx.Pass("同步后" + Num(nChecked) + "个报文的时标与所设时钟一致, 最大偏差" + Num(nWorstMs) + "ms",
             Join({sync.nRequest}, WithType(ctx, drain.userData, 1)));
}

// A general command with answer, and the ASDU 1 that answers it (0: none).
std::pair<CExchange, int> CommandAndAnswer(CCaseContext& ctx, int nInf, std::vector<int>& frames)
{
    StartLink(ctx);
    const CExchange x = ctx.GeneralCommand(ctx.Options().nCommandFun, nInf, 2, true);
    frames = {x.nRequest, x.nAnswer};
    if (!x.Answered())
        return {x, 0};
    const CDrain drain = DrainClass1(ctx);
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    for (const int n : WithType(ctx, drain.userData, 1))
    {
        const CFt12 ft = Parse(ctx, n);
        if ((ft.Cot() == 20 || ft.Cot() == 21) && ft.Inf() == nInf)
            return {x, n};
    }
    return {x, 0};
}

void GeneralCommandPositive(CCaseContext& ctx)
{
    std::vector<int> frames;
    const auto [x, nAnswer] = CommandAndAnswer(ctx, ctx.Options().nCommandInf, frames);
    if (!ctx.Expect(x.Answered(), "一般命令无链路应答", {x.nRequest}))
        return;
    if (!ctx.Expect(nAnswer != 0, "一般命令(FUN " + Num(ctx.Options().nCommandFun) + ", INF " +
                                      Num(ctx.Options().nCommandInf) + ")未得到COT 20/21的回答",
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
    // An information number no relay commands: 250 within the private range of the device's FUN.
    constexpr int kBadInf = 250;
    std::vector<int> frames;
    const auto [x, nAnswer] = CommandAndAnswer(ctx, kBadInf, frames);
    if (!ctx.Expect(x.Answered(), "一般命令无链路应答", {x.nRequest}))
        return;
    if (!ctx.Expect(nAnswer != 0, "错误INF(" + Num(kBadInf) + ")的一般命令未得到回答", frames))
        return;
    const CFt12 answer = Parse(ctx, nAnswer);
    if (!ctx.Expect(answer.Cot() == 21, "错误INF的一般命令得到COT " + Num(answer.Cot()) + ", 应为否定认可COT 21",
                    {x.nRequest, nAnswer}))
        return;
    ctx.Pass("错误INF的一般命令得到否定认可(COT 21)", {x.nRequest, nAnswer});
}

// A generic data set of an ASDU 10.
struct CDataSet
{
    int nGroup = 0;
    int nEntry = 0;
    int nKod = 0;
    int nType = 0;
    int nSize = 0;
    int nNumber = 0;
    std::vector<std::uint8_t> abData;
};

// The data sets of an ASDU 10; false when they do not fill the ASDU exactly as NGD says.
bool ParseDataSets(const CFt12& ft, std::vector<CDataSet>& sets)
{
    sets.clear();
    if (ft.abAsdu.size() < 8)
        return false;
    const int nCount = ft.At(7) & 0x3F;
    std::size_t nAt = 8;
    for (int i = 0; i < nCount; ++i)
    {
        if (nAt + 6 > ft.abAsdu.size())
            return false;
        CDataSet set;
        set.nGroup = ft.At(nAt);
        set.nEntry = ft.At(nAt + 1);
        set.nKod = ft.At(nAt + 2);
        set.nType = ft.At(nAt + 3);
        set.nSize = ft.At(nAt + 4);
        set.nNumber = ft.At(nAt + 5) & 0x7F;
        const std::size_t nBytes = static_cast<std::size_t>(set.nSize * set.nNumber);
        nAt += 6;
        if (nAt + nBytes > ft.abAsdu.size())
            return false;
        set.abData.assign(ft.abAsdu.begin() + static_cast<std::ptrdiff_t>(nAt),
                          ft.abAsdu.begin() + static_cast<std::ptrdiff_t>(nAt + nBytes));
        nAt += nBytes;
        sets.push_back(std::move(set));
    }
    return nAt == ft.abAsdu.size();
}

// A generic read and the ASDU 10 answers of the same INF and RII, followed while the
// continuation bit (NGD bit 7) says more come.
struct CGenericRead
{
    CExchange command;
    std::vector<int> answers;
    std::vector<int> frames;
    bool bOpen = false; // the last answer promised more
};

CGenericRead GenericRead(CCaseContext& ctx, std::uint8_t nInf, const std::vector<CGenericId>& ids, bool bStart = true)
{
    CGenericRead read;
    if (bStart)
        StartLink(ctx);
    read.command = ctx.GenericCommand(nInf, ids);
    read.frames = {read.command.nRequest, read.command.nAnswer};
    if (!read.command.Answered())
        return read;
    const int nRii = Parse(ctx, read.command.nRequest).At(6);
    // One more round of fetching after an answer that promised more.
    for (int nRound = 0; nRound < 2; ++nRound)
    {
        const CDrain drain = DrainClass1(ctx);
        read.frames.insert(read.frames.end(), drain.frames.begin(), drain.frames.end());
        for (const int n : WithType(ctx, drain.userData, 10))
        {
            const CFt12 ft = Parse(ctx, n);
            if (ft.Inf() == nInf && ft.At(6) == nRii)
            {
                read.answers.push_back(n);
                read.bOpen = (ft.At(7) & 0x80) != 0;
            }
        }
        if (!read.bOpen)
            break;
    }
    return read;
}

void GenericReadHeadings(CCaseContext& ctx)
{
    const CGenericRead read = GenericRead(ctx, 240, {});
    if (!ctx.Expect(read.command.Answered(), "通用分类读命令无链路应答", {read.command.nRequest}))
        return;
    if (!ctx.Expect(!read.answers.empty(), "读全部组标题(INF 240)未得到ASDU 10", read.frames))
        return;
    for (const int n : read.answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (!ctx.Expect(ft.Cot() == 42, "读组标题的应答传送原因为" + Num(ft.Cot()) + ", 应为42",
                        {read.command.nRequest, n}))
            return;
    }
    ctx.Pass("读全部组标题得到ASDU 10, COT 42", Join({read.command.nRequest}, read.answers));
}

void GenericReadGroup(CCaseContext& ctx)
{
    constexpr int kGroup = 2;
    const CGenericRead read = GenericRead(ctx, 241, {{kGroup, 0, 1}});
    if (!ctx.Expect(read.command.Answered(), "通用分类读命令无链路应答", {read.command.nRequest}))
        return;
    if (!ctx.Expect(!read.answers.empty(), "读一个组的全部条目(INF 241)未得到ASDU 10", read.frames))
        return;
    int nSets = 0;
    for (const int n : read.answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (!ctx.Expect(ft.Cot() == 42, "读组的应答传送原因为" + Num(ft.Cot()) + ", 应为42", {read.command.nRequest, n}))
            return;
        std::vector<CDataSet> sets;
        if (!ctx.Expect(ParseDataSets(ft, sets), "ASDU 10的数据集与NGD及报文长度不符", {n}))
            return;
        for (const CDataSet& set : sets)
        {
            if (!ctx.Expect(set.nGroup == kGroup, "读组" + Num(kGroup) + "得到组" + Num(set.nGroup) + "的条目", {n}))
                return;
        }
        nSets += static_cast<int>(sets.size());
    }
    if (!ctx.Expect(!read.bOpen, "多帧应答未结束: 最后的ASDU 10后续位置位, 但再无后续帧", read.frames))
        return;
    if (!ctx.Expect(nSets > 0, "读组" + Num(kGroup) + "未得到任何条目", read.answers))
        return;
    ctx.Pass("读组" + Num(kGroup) + "得到" + Num(nSets) + "个条目, 共" + Num(static_cast<std::int64_t>(read.answers.size())) +
                 "帧, 已至结束",
             Join({read.command.nRequest}, read.answers));
}

void GenericInterrogation(CCaseContext& ctx)
{
    const CGenericRead read = GenericRead(ctx, 245, {});
    if (!ctx.Expect(read.command.Answered(), "通用分类总查询无链路应答", {read.command.nRequest}))
        return;
    int nData = 0;
    int nEnd = 0;
    for (const int n : read.answers)
    {
        const int nCot = Parse(ctx, n).Cot();
        if (nCot == 9)
            ++nData;
        else if (nCot == 10)
            nEnd = n;
    }
    if (!ctx.Expect(nData > 0, "通用分类总查询未得到COT 9的ASDU 10", read.frames))
        return;
    if (!ctx.Expect(nEnd != 0, "通用分类总查询没有以COT 10的ASDU 10结束", read.frames))
        return;
    ctx.Pass("通用分类总查询得到" + Num(nData) + "帧数据并以COT 10结束", Join({read.command.nRequest}, read.answers));
}

// The value bytes of group 5 entry 1 as read now (empty when not read).
std::vector<std::uint8_t> ReadEntry(CCaseContext& ctx, std::uint8_t nGroup, std::uint8_t nEntry, int& nFrame)
{
    const CGenericRead read = GenericRead(ctx, 244, {{nGroup, nEntry, 1}}, false);
    nFrame = 0;
    for (const int n : read.answers)
    {
        std::vector<CDataSet> sets;
        ParseDataSets(Parse(ctx, n), sets);
        for (const CDataSet& set : sets)
        {
            if (set.nGroup == nGroup && set.nEntry == nEntry && set.nKod == 1)
            {
                nFrame = n;
                return set.abData;
            }
        }
    }
    return {};
}

// A generic write (INF 249 or 250) and its ASDU 10 answer (0: none).
int WriteEntry(CCaseContext& ctx, std::uint8_t nInf, const CGenericValue& value, std::vector<int>& frames)
{
    const CExchange x = ctx.GenericData(nInf, {value});
    frames.insert(frames.end(), {x.nRequest, x.nAnswer});
    if (!x.Answered())
        return 0;
    const int nRii = Parse(ctx, x.nRequest).At(6);
    const CDrain drain = DrainClass1(ctx);
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    for (const int n : WithType(ctx, drain.userData, 10))
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.Inf() == nInf && ft.At(6) == nRii)
            return n;
    }
    return 0;
}

void GenericWriteReadBack(CCaseContext& ctx)
{
    // User parameter 1 (group 5, entry 1), an unsigned of two bytes.
    constexpr std::uint8_t kGroup = 5;
    constexpr std::uint8_t kEntry = 1;
    StartLink(ctx);
    int nBefore = 0;
    const std::vector<std::uint8_t> abOld = ReadEntry(ctx, kGroup, kEntry, nBefore);
    if (!ctx.Expect(abOld.size() == 2, "读条目(组5, 条目1)未得到两字节的值", {nBefore}))
        return;
    const int nOld = abOld[0] + 256 * abOld[1];
    const int nNew = nOld == 321 ? 123 : 321;
    const CGenericValue value{kGroup, kEntry, 3, 2, 1, std::to_string(nNew)};
    std::vector<int> frames;
    const int nConfirm = WriteEntry(ctx, 249, value, frames);
    if (!ctx.Expect(nConfirm != 0 && Parse(ctx, nConfirm).Cot() == 40, "带确认的写条目(INF 249)未得到COT 40的肯定认可",
                    Join(frames, {nConfirm})))
        return;
    const int nExecute = WriteEntry(ctx, 250, value, frames);
    if (!ctx.Expect(nExecute != 0 && Parse(ctx, nExecute).Cot() == 40, "带执行的写条目(INF 250)未得到COT 40的肯定认可",
                    Join(frames, {nExecute})))
        return;
    int nAfter = 0;
    const std::vector<std::uint8_t> abNew = ReadEntry(ctx, kGroup, kEntry, nAfter);
    const int nRead = abNew.size() == 2 ? abNew[0] + 256 * abNew[1] : -1;
    const std::vector<int> proof = {nBefore, frames.front(), nConfirm, nExecute, nAfter};
    if (!ctx.Expect(nRead == nNew, "写入" + Num(nNew) + "后读回" + (nRead < 0 ? std::string("无值") : Num(nRead)), proof))
        return;
    ctx.Pass("组5条目1由" + Num(nOld) + "写为" + Num(nNew) + "(确认+执行), 读回一致", proof);
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

// Sends an ASDU 24/25 and fetches class 1: the ASDUs that came.
std::vector<int> DisturbanceStep(CCaseContext& ctx, int nAsdu, const CDisturbanceFields& fields,
                                 std::vector<int>& frames)
{
    const CExchange x = ctx.Disturbance(nAsdu, fields);
    frames.insert(frames.end(), {x.nRequest, x.nAnswer});
    if (!x.Answered())
        return {};
    const CDrain drain = DrainClass1(ctx);
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    return drain.userData;
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

void DisturbanceList(CCaseContext& ctx)
{
    StartLink(ctx);
    std::vector<int> frames;
    const std::vector<int> answers = DisturbanceStep(ctx, 24, Order(ctx, 24), frames);
    const int nList = FindTyp(ctx, answers, 23);
    if (!ctx.Expect(nList != 0, "请求被记录的扰动表(ASDU 24, TOO 24)未得到ASDU 23", frames))
        return;
    ctx.Pass("得到扰动表ASDU 23, " + Num(Parse(ctx, nList).At(1) & 0x7F) + "个录波", {frames.front(), nList});
}

void DisturbanceTransfer(CCaseContext& ctx)
{
    StartLink(ctx);
    std::vector<int> frames;
    const int nList = FindTyp(ctx, DisturbanceStep(ctx, 24, Order(ctx, 24), frames), 23);
    if (!ctx.Expect(nList != 0 && Parse(ctx, nList).abAsdu.size() >= 16, "未得到含录波的扰动表", frames))
        return;
    const CFt12 list = Parse(ctx, nList);
    const int nFan = list.At(6) + 256 * list.At(7);
    std::vector<int> proof = {nList};
    const auto Step = [&](int nAsdu, int nToo, int nAcc, int nTyp, int nTypToo, const std::string& strWhat)
    {
        const int nAt = static_cast<int>(frames.size());
        const int nFound = FindTyp(ctx, DisturbanceStep(ctx, nAsdu, Order(ctx, nToo, nFan, nAcc), frames), nTyp, nTypToo);
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
        const std::vector<int> answers = DisturbanceStep(ctx, 25, Order(ctx, 66, nFan, nAcc), frames);
        proof.push_back(frames[static_cast<std::size_t>(nAt)]);
        if (const int nEnd = FindTyp(ctx, answers, 31, 32); nEnd != 0)
        {
            proof.push_back(nEnd);
            std::vector<int> last;
            DisturbanceStep(ctx, 25, Order(ctx, 64, nFan), last);
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
    ctx.Command(ID_103_RESET_CU);
    const CDrain drain = DrainClass1(ctx);
    std::vector<int> frames = drain.frames;
    for (int i = 0; i < 2; ++i)
    {
        const CExchange x = ctx.Command(ID_103_CLASS2);
        frames.insert(frames.end(), {x.nRequest, x.nAnswer});
        const CFt12 ft = Parse(ctx, x.nAnswer);
        if (ft.IsUserData() && (ft.Typ() == 3 || ft.Typ() == 9))
        {
            ctx.Pass("测量值ASDU " + Num(ft.Typ()) + "以二级数据上送", {x.nRequest, x.nAnswer});
            DrainClass1(ctx);
            return;
        }
    }
    const CDrain after = DrainClass1(ctx);
    frames.insert(frames.end(), after.frames.begin(), after.frames.end());
    for (const int n : Join(drain.userData, after.userData))
    {
        const int nTyp = Parse(ctx, n).Typ();
        if (nTyp == 3 || nTyp == 9)
        {
            ctx.Fail("测量值ASDU " + Num(nTyp) + "作为一级数据上送, 应为二级数据", {n - 1, n});
            return;
        }
    }
    ctx.Fail("二级数据请求未得到测量值(ASDU 3/9)", frames);
}

// Causes of transmission IEC 60870-5-103 allows for each ASDU type in the monitor direction.
bool CotAllowed(int nTyp, int nCot)
{
    static const std::vector<std::pair<int, std::set<int>>> s_allowed = {
        {1, {1, 7, 9, 11, 12, 20, 21}},
        {2, {1, 7, 9, 11, 12}},
        {3, {2, 7}},
        {4, {1, 7}},
        {5, {3, 4, 5}},
        {6, {8}},
        {8, {10}},
        {9, {2, 7}},
        {10, {1, 2, 7, 9, 10, 11, 12, 40, 41, 42, 43, 44}},
        {11, {1, 2, 7, 9, 10, 11, 12, 42, 43}},
        {23, {31}},
        {26, {31}},
        {27, {31}},
        {28, {31}},
        {29, {31}},
        {30, {31}},
        {31, {31}},
    };
    for (const auto& [nType, causes] : s_allowed)
    {
        if (nType == nTyp)
            return causes.count(nCot) != 0;
    }
    return true; // private types: nothing to judge by
}

void EveryCotAllowed(CCaseContext& ctx)
{
    const int nFirst = ctx.LastFrame() + 1;
    ctx.Command(ID_103_RESET_CU);
    DrainClass1(ctx);
    if (ctx.Options().bGeneralInterrogation)
    {
        ctx.Command(ID_103_INTERROGATION);
        DrainClass1(ctx);
    }
    // Each reset lets the relay's measurands due at once; two in a row show both kinds.
    for (int i = 0; i < 2; ++i)
    {
        ctx.Command(ID_103_RESET_CU);
        DrainClass1(ctx);
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

} // namespace

CTestPlan BuildIec103Plan()
{
    CTestPlan plan;
    plan.strId = "103";
    plan.strTitle = "IEC 60870-5-103 (FT1.2串行链路) 一致性测试";
    plan.nMode = MODE_103;
    plan.cases = {
        {"103-LNK-01", "复位通信单元得到确认", kLink, FEATURE_NONE, ResetCuConfirmed},
        {"103-LNK-02", "复位帧计数位得到确认", kLink, FEATURE_NONE, ResetFcbConfirmed},
        {"103-LNK-03", "请求链路状态得到链路状态帧", kLink, FEATURE_NONE, LinkStatusAnswered},
        {"103-LNK-04", "FCB未翻转的重复请求得到相同应答", kLink, FEATURE_NONE, FcbRepeatSameAnswer},
        {"103-LNK-05", "校验和错误的帧不应答", kLink, FEATURE_NONE, BadChecksumIgnored},
        {"103-LNK-06", "链路地址不符的帧不应答", kLink, FEATURE_NONE, WrongAddressIgnored},
        {"103-LNK-07", "长度错误的帧不应答", kLink, FEATURE_NONE, BadLengthIgnored},
        {"103-LNK-08", "一级数据等待时置ACD", kLink, FEATURE_NONE, AcdSetWhileClass1Waits},
        {"103-LNK-09", "一级数据取完后清除ACD", kLink, FEATURE_NONE, AcdClearedWhenDrained},
        {"103-LNK-10", "空闲链路上DFC不持续置位", kLink, FEATURE_NONE, DfcClear},
        {"103-LNK-11", "应答在响应时限内", kLink, FEATURE_NONE, AnswersWithinLimit},
        {"103-LNK-12", "声明时以单字符E5应答, 应有帧处不用E5", kLink, FEATURE_SINGLE_CHAR_ACK, SingleCharacterWhereDeclared},
        {"103-LNK-13", "无一级数据时应答\"无所请求的数据\"", kLink, FEATURE_NONE, NoDataAnswered},
        {"103-LNK-14", "发送/确认帧得到确认", kLink, FEATURE_GENERAL_INTERROGATION, SendConfirmAcknowledged},
        {"103-LNK-15", "发送/无回答帧不应答", kLink, FEATURE_NONE, SendNoReplySilent},
        {"103-APP-01", "复位通信单元后标识报文ASDU 5, COT 4", kApplication, FEATURE_NONE, IdentificationAfterResetCu},
        {"103-APP-02", "复位帧计数位后标识报文ASDU 5, COT 3", kApplication, FEATURE_NONE, IdentificationAfterResetFcb},
        {"103-APP-03", "总查询以COT 9应答", kApplication, FEATURE_GENERAL_INTERROGATION, InterrogationCot},
        {"103-APP-04", "总查询以ASDU 8终止", kApplication, FEATURE_GENERAL_INTERROGATION, InterrogationTerminated},
        {"103-APP-05", "总查询应答与终止的扫描序号一致", kApplication, FEATURE_GENERAL_INTERROGATION,
         InterrogationScanNumber},
        {"103-APP-06", "时间同步(带回答)得到ASDU 6, COT 8", kApplication, FEATURE_CLOCK_ANSWER, ClockWithAnswer},
        {"103-APP-07", "时间同步后事件时标与所设时钟一致", kApplication, FEATURE_GENERAL_INTERROGATION,
         ClockThenEventTimes},
        {"103-APP-08", "一般命令得到肯定认可COT 20", kApplication, FEATURE_GENERAL_COMMAND, GeneralCommandPositive},
        {"103-APP-09", "错误INF的一般命令得到否定认可COT 21", kApplication, FEATURE_GENERAL_COMMAND,
         GeneralCommandNegative},
        {"103-APP-10", "通用分类读全部组标题(ASDU 21→ASDU 10, COT 42)", kApplication, FEATURE_GENERIC_SERVICES,
         GenericReadHeadings},
        {"103-APP-11", "通用分类读一个组的全部条目, 多帧至结束", kApplication, FEATURE_GENERIC_SERVICES,
         GenericReadGroup},
        {"103-APP-12", "通用分类带确认与执行的写条目并读回", kApplication, FEATURE_GENERIC_SERVICES,
         GenericWriteReadBack},
        {"103-APP-13", "通用分类总查询以COT 10结束", kApplication, FEATURE_GENERIC_SERVICES, GenericInterrogation},
        {"103-APP-14", "扰动表(ASDU 24→ASDU 23)", kApplication, FEATURE_DISTURBANCE_DATA, DisturbanceList},
        {"103-APP-15", "一个录波传输至结束", kApplication, FEATURE_DISTURBANCE_DATA, DisturbanceTransfer},
        {"103-APP-16", "测量值ASDU 3/9以二级数据上送", kApplication, FEATURE_MEASURANDS, MeasurandsInClass2},
        {"103-APP-17", "每个ASDU的传送原因均为标准允许", kApplication, FEATURE_NONE, EveryCotAllowed},
    };
    return plan;
}

} // namespace relvane
