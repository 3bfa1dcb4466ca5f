// The IEC 60870-5-103 plan over FT1.2: the cases in order, and the rule every ASDU of the run
// keeps whatever case it arrives in.
#include "session/RelvaneView.h"
#include "testplan/DeviceOptions.h"
#include "testplan/Iec103Cases.h"
#include "testplan/Iec103Steps.h"
#include "testplan/TestPlans.h"

#include <cstdio>

namespace relvane
{
namespace
{

const char* const kLink = "链路层";
const char* const kApplication = "应用层";

// Every ASDU carries the declared common address and a cause its type allows.
std::string CheckAsdu(const CPlanFrame& frame, const CDeviceOptions& options)
{
    const CFt12 ft = ParseFt12(frame);
    if (!ft.IsUserData())
        return {};
    if (ft.CommonAddress() != options.nCommonAddress)
        return "ASDU " + Num(ft.Typ()) + "的公共地址为" + Num(ft.CommonAddress()) + ", 应为" + Num(options.nCommonAddress);
    if (!CotAllowed(ft.Typ(), ft.Cot()))
        return "ASDU " + Num(ft.Typ()) + "的传送原因" + Num(ft.Cot()) + "不是标准允许的";
    return {};
}

} // namespace

std::string Iec103Identification(const std::vector<CPlanFrame>& frames)
{
    for (const CPlanFrame& frame : frames)
    {
        const CFt12 ft = ParseFt12(frame);
        if (!frame.bInbound || !ft.IsUserData() || ft.Typ() != 5 || ft.abAsdu.size() < 19)
            continue;
        std::string strText;
        for (std::size_t i = 7; i < 15; ++i)
        {
            const int c = ft.abAsdu[i];
            strText += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
        }
        char szSoftware[16];
        std::snprintf(szSoftware, sizeof szSoftware, "%02X %02X %02X %02X", ft.abAsdu[15], ft.abAsdu[16],
                      ft.abAsdu[17], ft.abAsdu[18]);
        return "ASDU 5: 兼容级别" + Num(ft.At(6)) + ", 制造厂\"" + strText + "\", 软件标识 " + szSoftware;
    }
    return {};
}

CTestPlan BuildIec103Plan()
{
    CTestPlan plan;
    plan.strId = "103";
    plan.strTitle = "IEC 60870-5-103 (FT1.2串行链路) 一致性测试";
    plan.nMode = MODE_103;
    plan.fnCheckReceived = CheckAsdu;
    constexpr unsigned kGi = FEATURE_GENERAL_INTERROGATION;
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
        {"103-LNK-14", "发送/确认帧得到确认", kLink, kGi, SendConfirmAcknowledged},
        {"103-LNK-15", "发送/无回答帧不应答", kLink, FEATURE_NONE, SendNoReplySilent},
        {"103-LNK-16", "FCB未翻转的重复命令再次确认但不重复执行", kLink, kGi, RepeatedCommandNotExecuted},
        {"103-APP-01", "复位通信单元后标识报文ASDU 5, COT 4", kApplication, FEATURE_NONE, IdentificationAfterResetCu},
        {"103-APP-02", "复位帧计数位后标识报文ASDU 5, COT 3", kApplication, FEATURE_NONE, IdentificationAfterResetFcb},
        {"103-APP-03", "总查询以COT 9应答", kApplication, kGi, InterrogationCot},
        {"103-APP-04", "总查询以ASDU 8终止", kApplication, kGi, InterrogationTerminated},
        {"103-APP-05", "总查询应答与终止的扫描序号一致", kApplication, kGi, InterrogationScanNumber},
        {"103-APP-06", "时间同步(带回答)得到ASDU 6, COT 8, 时间与所发一致", kApplication, FEATURE_CLOCK_ANSWER,
         ClockWithAnswer},
        {"103-APP-07", "时间同步后事件时标与所设时钟一致", kApplication, kGi, ClockThenEventTimes, true},
        {"103-APP-08", "一般命令得到肯定认可COT 20", kApplication, FEATURE_GENERAL_COMMAND, GeneralCommandPositive, true},
        {"103-APP-09", "装置没有的点的一般命令得到否定认可COT 21", kApplication, FEATURE_GENERAL_COMMAND,
         GeneralCommandNegative, true},
        {"103-APP-10", "通用分类读全部组标题(ASDU 21→ASDU 10, COT 42)", kApplication, FEATURE_GENERIC_SERVICES,
         GenericReadHeadings},
        {"103-APP-11", "通用分类读一个组的全部条目, 多帧至结束", kApplication, FEATURE_GENERIC_SERVICES,
         GenericReadGroup},
        {"103-APP-12", "通用分类带确认与执行的写条目并读回", kApplication, FEATURE_GENERIC_SERVICES,
         GenericWriteReadBack, true},
        {"103-APP-13", "通用分类总查询以COT 10结束", kApplication, FEATURE_GENERIC_SERVICES, GenericInterrogation},
        {"103-APP-14", "扰动表(ASDU 24→ASDU 23)", kApplication, FEATURE_DISTURBANCE_DATA, DisturbanceList},
        {"103-APP-15", "一个录波传输至结束", kApplication, FEATURE_DISTURBANCE_DATA, DisturbanceTransfer},
        {"103-APP-16", "测量值ASDU 3/9以二级数据上送", kApplication, FEATURE_MEASURANDS, MeasurandsInClass2},
        {"103-APP-17", "每个ASDU的公共地址与传送原因均正确", kApplication, FEATURE_NONE, EveryCotAllowed},
        {"103-APP-18", "自发事件以COT 1上送", kApplication, FEATURE_SPONTANEOUS_EVENTS, SpontaneousEventCot},
        {"103-APP-19", "广播时间同步无应答并设置时钟", kApplication, kGi | FEATURE_BROADCAST_TIME_SYNC,
         BroadcastClockSync, true},
    };
    return plan;
}

} // namespace relvane
