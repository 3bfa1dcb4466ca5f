// The link-layer cases of IEC 60870-5-103 over FT1.2 (IEC 60870-5-2 rules). Each starts from a
// known link: reset of the communication unit and its identification fetched.
#include "iec103/Iec103Codec.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/Iec103Cases.h"
#include "testplan/Iec103Steps.h"

#include <algorithm>
#include <cstdio>

namespace relvane
{
namespace
{

constexpr int kFunctionLinkStatus = 11;

std::string Ms(std::int64_t nUs)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.1fms", static_cast<double>(nUs) / 1000.0);
    return szText;
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

// Polls class 2 until an answer sets ACD (the data of a reset are ready), at most the data wait.
CWatch AwaitAcd(CCaseContext& ctx)
{
    return WatchClass2(
        ctx, [&](int n, bool bClass1) { return !bClass1 && Parse(ctx, n).Acd(); }, ctx.DataWaitMs(), false);
}

} // namespace

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
    AwaitAsdu(ctx, 5);
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
    AwaitAsdu(ctx, 5);
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
    // Once the identification waits in class 1, a new frame would get other data than a repeated
    // one. A relay that never sets ACD is judged by its own case: the request goes out anyway.
    AwaitAcd(ctx);
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
    // The identification (ASDU 5) waits in class 1 once the relay has it ready: an answer must
    // then say so.
    const CWatch watch = AwaitAcd(ctx);
    const std::vector<int> proof = Join({reset.nRequest, reset.nAnswer}, watch.frames);
    if (!ctx.Expect(watch.nFound != 0,
                    "复位后" + Num(ctx.DataWaitMs()) + "ms内二级数据请求的应答均未置ACD, 而标识报文应在一级数据中等待",
                    proof))
        return;
    const CDrain drain = DrainClass1(ctx);
    if (!ctx.Expect(!drain.userData.empty(), "ACD置位但一级数据请求未取到数据", Join(proof, drain.frames)))
        return;
    ctx.Pass("一级数据等待时应答置ACD, 一级数据请求取到数据",
             {reset.nRequest, watch.nFound - 1, watch.nFound, drain.frames[0], drain.frames[1]});
}

void AcdClearedWhenDrained(CCaseContext& ctx)
{
    const CDrain drain = StartLink(ctx);
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
    const CDrain drain = StartLink(ctx);
    std::vector<int> answers;
    for (std::size_t i = 1; i < drain.frames.size(); i += 2)
        answers.push_back(drain.frames[i]);
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
    AwaitAsdu(ctx, 5);
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
    const CDrain drain = StartLink(ctx);
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
    // An event may have come meanwhile: it is fetched, and the question asked again.
    CExchange x;
    for (int i = 0; i < 5 && !ctx.Stopped(); ++i)
    {
        x = ctx.Command(ID_103_CLASS1);
        if (!x.Answered() || !Parse(ctx, x.nAnswer).IsUserData())
            break;
    }
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
    AwaitAsdu(ctx, 8);
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

void RepeatedCommandNotExecuted(CCaseContext& ctx)
{
    StartLink(ctx);
    const CExchange gi = ctx.Command(ID_103_INTERROGATION);
    if (!ctx.Expect(gi.Answered(), "总查询命令无应答", {gi.nRequest}))
        return;
    // The master did not see the confirmation: it sends the same frame again, FCB unchanged.
    const CExchange repeat = ctx.SendCustom(ctx.Frame(gi.nRequest).abBytes);
    const std::vector<int> proof = {gi.nRequest, gi.nAnswer, repeat.nRequest, repeat.nAnswer};
    if (!ctx.Expect(repeat.Answered() && Parse(ctx, repeat.nAnswer).IsAck(),
                    "FCB未翻转的重复发送/确认帧(总查询)未再次得到确认", proof))
        return;
    const int nScn = Parse(ctx, gi.nRequest).At(6);
    const auto IsEnd = [&](const CFt12& ft) { return ft.At(6) == nScn; };
    CDrain drain = AwaitAsdu(ctx, 8, IsEnd);
    // A second interrogation would follow the first: its end is waited for a while too.
    const CDrain more = AwaitClass1(ctx, [](const CDrain&) { return false; }, std::min(ctx.DataWaitMs(), 1500));
    drain.userData.insert(drain.userData.end(), more.userData.begin(), more.userData.end());
    std::vector<int> ends;
    for (const int n : WithType(ctx, drain.userData, 8))
    {
        if (IsEnd(Parse(ctx, n)))
            ends.push_back(n);
    }
    if (!ctx.Expect(ends.size() <= 1, "重复帧被再次执行: 总查询终止(ASDU 8)出现" + Num(static_cast<int>(ends.size())) + "次",
                    Join(proof, ends)))
        return;
    ctx.Pass("重复的发送/确认帧再次得到确认, 命令只执行一次(" + Num(static_cast<int>(ends.size())) + "个ASDU 8)",
             Join(proof, ends));
}

} // namespace relvane
