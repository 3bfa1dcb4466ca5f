// The full explanation of 103 ASDU bodies: one table of frames (control byte and ASDU; the test
// adds link address, length, checksum and end) with the lines each must add.
#include "TestBytes.h"
#include "iec103/FullExplanation.h"
#include "iec103/Iec103Codec.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{

using relvane::AppendFullExplanation;
using relvane::CAnnotationText;
using relvane::test::Bytes;

std::vector<std::uint8_t> Frame(const std::string& strBody)
{
    // Control byte first, then the link address 1, then the ASDU.
    std::vector<std::uint8_t> frame = Bytes(strBody);
    frame.insert(frame.begin() + 1, 0x01);
    const auto nLength = static_cast<std::uint8_t>(frame.size());
    frame.insert(frame.begin(), {0x68, nLength, nLength, 0x68});
    frame.push_back(relvane::Iec103Codec::Checksum(frame.data() + 4, frame[1]));
    frame.push_back(0x16);
    return frame;
}

std::string Explain(const std::vector<std::uint8_t>& frame)
{
    // An exact-size heap copy so that the sanitizer build catches any read past the chunk.
    const std::vector<std::uint8_t> chunk(frame);
    CAnnotationText text;
    AppendFullExplanation(chunk.data(), static_cast<int>(chunk.size()), text);
    return text.Text();
}

// The explanation after its control-field and VSQ lines.
std::string Body(const std::string& strText)
{
    const auto nFirst = strText.find('\n');
    const auto nSecond = nFirst == std::string::npos ? nFirst : strText.find('\n', nFirst + 1);
    return nSecond == std::string::npos ? std::string() : strText.substr(nSecond + 1);
}

struct CCase
{
    const char* pszBody;
    const char* pszLines;
};

const CCase kCases[] = {
    // ASDU 2 in a general interrogation: relative time, fault number, time bits, SIN as the scan number.
    {"08 02 81 09 01 80 40 01 10 00 05 00 A0 40 02 89 07",
     "功能类型: 128 (距离保护)    信息序号: 64 (启动L1)\n双点信息(DPI): 1 分(OFF)\n"
     "相对时间(RET): 16 毫秒    故障序号(FAN): 5\n"
     "时间(CP32Time2a): 09:02:16.544    IV: 0 (有效)    SU: 1 (夏令时)\n附加信息(SIN): 7 "
     "(总查询的扫描序号)\n"},
    // ASDU 3 with VSQ 1 carries two measurands; OV and ER stay out of the value.
    {"08 03 01 02 01 A0 93 63 00 A2 FF", "功能类型: 160 (过流保护)    信息序号: 147 (测量值IN,UEN)\n"
                                         "测量值1 IN: 分数值: 0.002930 (原始 0x0063)    按1.2倍额定: "
                                         "0.0035倍额定值    按2.4倍额定: 0.0070倍额定值"
                                         "    溢出(OV): 1    差错(ER): 1\n"
                                         "测量值2 UEN: 分数值: -0.002930 (原始 0xFFA2)    按1.2倍额定: "
                                         "-0.0035倍额定值    按2.4倍额定: -0.0070倍额定值"
                                         "    溢出(OV): 0    差错(ER): 1\n"},
    // ASDU 9 of a private function type: no names, every measurand still shown.
    {"08 09 01 02 01 10 94 00 40 F8 7F",
     "功能类型: 16    信息序号: 148\n"
     "测量值1: 分数值: 0.500000 (原始 0x4000)    按1.2倍额定: 0.6000倍额定值    按2.4倍额定: 1.2000倍额定值"
     "    溢出(OV): 0    差错(ER): 0\n"
     "测量值2: 分数值: 0.999756 (原始 0x7FF8)    按1.2倍额定: 1.1997倍额定值    按2.4倍额定: 2.3994倍额定值"
     "    溢出(OV): 0    差错(ER): 0\n"},
    {"08 04 81 01 01 80 49 00 00 20 40 10 00 05 00 A0 40 82 09",
     "功能类型: 128 (距离保护)    信息序号: 73 (故障定位X(欧姆))\n短路位置(SCL): 2.5\n"
     "相对时间(RET): 16 毫秒    故障序号(FAN): 5\n"
     "时间(CP32Time2a): 09:02:16.544    IV: 1 (无效)    SU: 0 (标准时)\n"},
    {"08 05 81 04 01 C0 03 03 52 45 4C 56 41 4E 45 00 01 02 00 00",
     "功能类型: 192 (线路差动保护)    信息序号: 3 (复位通信单元)\n兼容级别(COL): 3 (使用通用分类服务)\n"
     "制造厂: \"RELVANE.\"\n软件标识: 513 (01 02 00 00)\n"},
    {"08 06 81 08 01 FF 00 A0 40 22 8C 25 06 1A",
     "功能类型: 255 (全局功能类型)    信息序号: 0 (时间同步)\n"
     "时间(CP56Time2a): 2026-06-05 12:34:16.544    星期: 1    IV: 0 (有效)    SU: 1 (夏令时)\n"},
    {"08 08 81 0A 01 FF 00 07",
     "功能类型: 255 (全局功能类型)    信息序号: 0 (总查询(总召唤)终止)\n扫描序号(SCN): 7\n"},
    {"53 07 81 09 FF FF 00 07",
     "功能类型: 255 (全局功能类型)    信息序号: 0 (总查询(总召唤)的启动)\n扫描序号(SCN): 7\n"},
    // Commands name their INF in the control direction.
    {"53 14 81 14 01 B0 17 02 07", "功能类型: 176 (变压器差动保护)    信息序号: 23 (激活特性1)\n双命令(DCO): "
                                   "2 合(ON)\n返回信息标识(RII): 7\n"},
    {"53 15 81 2A 01 FE F1 05 02 04 00 01 05 00 0A",
     "功能类型: 254 (通用分类功能类型)    信息序号: 241 (读一个组的全部条目的值或属性)\n"
     "返回信息标识(RII): 5    通用分类标识数目(NOG): 2\n"
     "通用分类标识1: 组号 4  条目号 0    描述类别(KOD): 1 (实际值)\n"
     "通用分类标识2: 组号 5  条目号 0    描述类别(KOD): 10 (描述)\n"},
    // Generic data: every data set and element with its GDD and values; GBK text as the log shows it.
    {"08 0A 81 2A 01 FE F1 05 03 02 01 01 07 04 01 00 00 A0 40 02 04 0A 01 08 01 B9 FD C1 F7 49 B6 CE 00 02 "
     "05 01 "
     "04 02 01 EC FF",
     "功能类型: 254 (通用分类功能类型)    信息序号: 241 (读一个组的全部条目的值或属性)\n"
     "返回信息标识(RII): 5    通用分类数据集数目(NGD): 3    计数器位(COUNT): 0    后续状态位(CONT): 0\n"
     "数据集1: 组号 2  条目号 1    描述类别(KOD): 1 (实际值)    数据类型: 7 (IEEE 754短实数(R32.23))    "
     "宽度: 4    数目: 1\n"
     "    值: 5\n"
     "数据集2: 组号 2  条目号 4    描述类别(KOD): 10 (描述)    数据类型: 1 (ASCII字符(OS8))    宽度: 8    "
     "数目: 1\n"
     "    值: 过流I段\n"
     "数据集3: 组号 2  条目号 5    描述类别(KOD): 1 (实际值)    数据类型: 4 (整数(I))    宽度: 2    数目: 1\n"
     "    值: -20\n"},
    {"08 0A 81 2A 01 FE F4 05 C1 03 01 01 0E 07 01 A0 40 22 8C 25 06 1A 03 02 01 0C 02 82 08 10 03 F0",
     "功能类型: 254 (通用分类功能类型)    信息序号: 244 (读单个条目的值或属性)\n"
     "返回信息标识(RII): 5    通用分类数据集数目(NGD): 1    计数器位(COUNT): 1    后续状态位(CONT): 1\n"
     "数据集1: 组号 3  条目号 1    描述类别(KOD): 1 (实际值)    数据类型: 14 (二进制时间)    宽度: 7    "
     "数目: 1\n"
     "    值: 2026-06-05 12:34:16.544    星期: 1    IV: 0 (有效)    SU: 1 (夏令时)\n"
     "数据集2: 组号 3  条目号 2    描述类别(KOD): 1 (实际值)    数据类型: 12 (带品质描述词的被测值)    宽度: "
     "2    数目: 2"
     "    后续状态位(CONT): 1\n"
     "    值: 0.125244 (OV: 0  ER: 0) -0.125000 (OV: 1  ER: 1)\n"},
    // A GDD promising more than the ASDU holds.
    {"08 0A 81 2A 01 FE F4 05 01 03 01 01 0E 07 05 A0",
     "功能类型: 254 (通用分类功能类型)    信息序号: 244 (读单个条目的值或属性)\n"
     "返回信息标识(RII): 5    通用分类数据集数目(NGD): 1    计数器位(COUNT): 0    后续状态位(CONT): 0\n"
     "数据集1: 组号 3  条目号 1    描述类别(KOD): 1 (实际值)    数据类型: 14 (二进制时间)    宽度: 7    "
     "数目: 5\n"
     "    (数据不完整)\n"},
    {"08 0B 81 2A 01 FE F3 05 02 01 03 0A 01 04 01 D4 CB D0 D0 01 03 04 01 F8 22 00 00 09 01 00 00",
     "功能类型: 254 (通用分类功能类型)    信息序号: 243 (读单个条目的目录)\n"
     "返回信息标识(RII): 5    组号 2  条目号 1    描述元素数目(NDE): 3    计数器位(COUNT): 0    "
     "后续状态位(CONT): 0\n"
     "描述元素1: 描述类别(KOD): 10 (描述)    数据类型: 1 (ASCII字符(OS8))    宽度: 4    数目: 1\n"
     "    值: 运行\n"
     "描述元素2: 描述类别(KOD): 1 (实际值)    数据类型: 3 (无符号整数(UI))    宽度: 4    数目: 1\n"
     "    值: 8952\n"
     "描述元素3: 描述类别(KOD): 9 (量纲)    数据类型: 1 (ASCII字符(OS8))    宽度: 0    数目: 0\n"},
    {"08 17 02 1F 01 80 00 01 00 01 A0 40 02 09 05 06 1A 02 00 0E 00 00 03 09 45 66 1A",
     "功能类型: 128 (距离保护)\n"
     "录波1: 故障序号(FAN): 1    故障状态(SOF): 0x01  TP: 1 (跳闸)  TM: 0 (等待传输)  TEST: 0 (运行中记录)"
     "  OTEV: 0 (由启动(动作)启动)\n"
     "      时间(CP56Time2a): 2026-06-05 09:02:16.544    星期: 0    IV: 0 (有效)    SU: 0 (标准时)\n"
     "录波2: 故障序号(FAN): 2    故障状态(SOF): 0x0E  TP: 0 (未跳闸)  TM: 1 (正在传输)  TEST: 1 "
     "(测试模式下记录)"
     "  OTEV: 1 (由其他事件启动)\n"
     "      时间(CP56Time2a): 2026-06-05 09:03:00.000    星期: 2    IV: 0 (有效)    SU: 0 (标准时)\n"},
    {"53 18 81 1F 01 80 00 08 01 03 00 02",
     "功能类型: 128 (距离保护)\n命令类型(TOO): 8 (通道的请求)\n"
     "扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    实际通道(ACC): 2 (IL2)\n"},
    {"53 19 81 1F 01 80 00 43 01 03 00 48",
     "功能类型: 128 (距离保护)\n命令类型(TOO): 67 (不成功的通道传输(否定))\n"
     "扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    实际通道(ACC): 72\n"},
    {"08 1A 81 1F 01 80 00 00 01 03 00 01 00 03 E8 03 E8 03 10 00 00 00",
     "功能类型: 128 (距离保护)\n扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    电网故障序号(NOF): 1\n"
     "通道数目(NOC): 3    每通道信息元素数目(NOE): 1000    信息元素间隔(INT): 1000 微秒\n"
     "第一个信息元素的时间(CP32Time2a): 00:00:00.016    IV: 0 (有效)    SU: 0 (标准时)\n"},
    {"08 1B 81 1F 01 80 00 00 01 03 00 05 00 00 C8 42 00 00 80 3F 00 00 20 41",
     "功能类型: 128 (距离保护)\n扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    实际通道(ACC): 5 (UL1E)\n"
     "一次额定值(RPV): 100    二次额定值(RSV): 1    参比因子(RFA): 10\n"},
    {"08 1C 81 1F 01 80 00 00 00 03 00", "功能类型: 128 (距离保护)\n故障序号(FAN): 3\n"},
    {"08 1D 81 1F 01 80 00 03 00 02 00 00 80 40 01 80 42 02",
     "功能类型: 128 (距离保护)\n故障序号(FAN): 3    标志数目(NOT): 2    标志位置(TAP): 0\n"
     "标志1: 功能类型: 128    信息序号: 64 (启动L1)    双点信息(DPI): 1 分(OFF)\n"
     "标志2: 功能类型: 128    信息序号: 66 (启动L3)    双点信息(DPI): 2 合(ON)\n"},
    {"08 1E 81 1F 01 80 00 00 01 03 00 02 0C 64 00 01 00 FF FF 00 80 FF 7F 02 00 03 00 04 00 05 00 06 00 07 "
     "00 "
     "08 00 09 00 0A 00",
     "功能类型: 128 (距离保护)\n扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    实际通道(ACC): 2 (IL2)\n"
     "扰动值数目(NDV): 12    第一个信息元素的序号(NFE): 100\n"
     "扰动值(SDV) 100起: 1 -1 -32768 32767 2 3 4 5 6 7\n扰动值(SDV) 110起: 8 9\n"},
    {"08 1F 81 1F 01 80 00 23 01 03 00 02",
     "功能类型: 128 (距离保护)\n命令类型(TOO): 35 (不带中止的通道传输的结束)\n"
     "扰动值类型(TOV): 1 (瞬时值)    故障序号(FAN): 3    实际通道(ACC): 2 (IL2)\n"},
    // ASDU 1 answering a command: SIN is the command's RII; INF 5 names only an identification.
    {"08 01 81 14 01 80 05 03 00 00 00 00 09",
     "功能类型: 128 (距离保护)    信息序号: 5\n双点信息(DPI): 3 未用\n"
     "时间(CP32Time2a): 00:00:00.000    IV: 0 (有效)    SU: 0 (标准时)\n附加信息(SIN): 9 "
     "(所认可命令的返回信息标识)\n"},
};

TEST(Iec103Explain, EveryAsduBodyField)
{
    for (const CCase& c : kCases)
    {
        SCOPED_TRACE(c.pszBody);
        EXPECT_EQ(Body(Explain(Frame(c.pszBody))), c.pszLines);
    }
}

TEST(Iec103Explain, ControlFieldAndVsqBitByBit)
{
    const struct
    {
        const char* pszBody;
        const char* pszLines;
    } kLinks[] = {
        {"08 08 81 0A 01 FF 00 07",
         "控制域: 08H    PRM: 0    ACD: 0    DFC: 0    功能码: 8 (以数据响应请求帧)\n"
         "可变结构限定词(VSQ): 81H    SQ: 1    数目: 1\n"},
        {"38 03 01 02 01 A0 93 63 00",
         "控制域: 38H    PRM: 0    ACD: 1    DFC: 1    功能码: 8 (以数据响应请求帧)\n"
         "可变结构限定词(VSQ): 01H    SQ: 0    数目: 1\n"},
        {"73 07 81 09 FF FF 00 07",
         "控制域: 73H    PRM: 1    FCB: 1    FCV: 1    功能码: 3 (传送数据(发送/确认))\n"
         "可变结构限定词(VSQ): 81H    SQ: 1    数目: 1\n"},
        {"44 06 81 08 FF FF 00 00 00 00 00 01 01 1A",
         "控制域: 44H    PRM: 1    FCB: 0    FCV: 0    功能码: 4 "
         "(传送数据(发送/无回答))\n可变结构限定词(VSQ): 81H    SQ: 1    数目: 1\n"},
        {"0D 40 02 01 01 80 05", "控制域: 0DH    PRM: 0    ACD: 0    DFC: 0    功能码: 13\n"
                                 "可变结构限定词(VSQ): 02H    SQ: 0    数目: 2\n"},
    };
    for (const auto& link : kLinks)
    {
        SCOPED_TRACE(link.pszBody);
        const std::string strText = Explain(Frame(link.pszBody));
        EXPECT_EQ(strText.substr(0, strText.size() - Body(strText).size()), link.pszLines);
    }
}

TEST(Iec103Explain, AddsAfterTheAnnotationAndOnlyForFrames)
{
    const auto frame = Frame("08 08 81 0A 01 FF 00 07");
    CAnnotationText text;
    text.Append("annotation\n");
    EXPECT_TRUE(AppendFullExplanation(frame.data(), static_cast<int>(frame.size()), text));
    EXPECT_EQ(text.Text().rfind("annotation\n控制域: 08H", 0), 0u);
    for (const char* pszChunk : {"E5", "10 5B 01 5C 16", "68 04 04 68 08 01", "68 05 05 68 08 01 08 81 16"})
    {
        SCOPED_TRACE(pszChunk);
        EXPECT_EQ(Explain(Bytes(pszChunk)), "");
    }
    // An unknown type: the link lines only.
    const std::string strUnknown = Explain(Frame("08 40 81 01 01 80 05 01 02 03"));
    EXPECT_FALSE(strUnknown.empty());
    EXPECT_EQ(Body(strUnknown), "");
}

// The length field ends the body even when more bytes follow, and a short chunk leaves out every
// field it does not reach.
TEST(Iec103Explain, BodyEndsAtTheLengthFieldOrTheChunk)
{
    auto frame = Frame("08 09 01 02 01 80 94 00 40 08 40 F8 3F");
    frame[1] = frame[2] = static_cast<std::uint8_t>(frame[1] - 2); // the third measurand is outside
    const std::string strText = Body(Explain(frame));
    EXPECT_NE(strText.find("测量值2 IL2"), std::string::npos);
    EXPECT_EQ(strText.find("测量值3"), std::string::npos);

    for (const CCase& c : kCases)
    {
        const auto whole = Frame(c.pszBody);
        for (std::size_t n = 0; n < whole.size(); ++n)
        {
            const std::string strPart = Body(Explain(
                std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n))));
            const auto Lines = [](const std::string& str)
            { return std::count(str.begin(), str.end(), '\n'); };
            EXPECT_LE(Lines(strPart), Lines(c.pszLines)) << c.pszBody << " cut at " << n;
        }
    }
    const auto first = Frame(kCases[0].pszBody);
    const std::string strCut = Body(Explain(std::vector<std::uint8_t>(first.begin(), first.begin() + 18)));
    EXPECT_EQ(strCut, "功能类型: 128 (距离保护)    信息序号: 64 (启动L1)\n双点信息(DPI): 1 分(OFF)\n"
                      "相对时间(RET): 16 毫秒    故障序号(FAN): 5\n");
}

} // namespace
