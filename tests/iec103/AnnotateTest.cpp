#include "TestBytes.h"
#include "iec103/Iec103Codec.h"

#include <gtest/gtest.h>

namespace
{

using relvane::CAnnotationText;
using relvane::Iec103Codec;
using relvane::test::Bytes;

constexpr std::uint8_t kFromRelay = 0x08;
constexpr std::uint8_t kFromMaster = 0x53;

// Wraps an ASDU into a variable frame with checksum and end character.
std::vector<std::uint8_t> Frame(std::uint8_t nControl, const std::vector<std::uint8_t>& asdu)
{
    std::vector<std::uint8_t> frame{0x68, 0, 0, 0x68, nControl, 0x01};
    frame.insert(frame.end(), asdu.begin(), asdu.end());
    frame[1] = frame[2] = static_cast<std::uint8_t>(asdu.size() + 2);
    frame.push_back(Iec103Codec::Checksum(frame.data() + 4, static_cast<int>(asdu.size() + 2)));
    frame.push_back(0x16);
    return frame;
}

std::string Annotate(const std::vector<std::uint8_t>& frame)
{
    // An exact-size heap copy so that the sanitizer build catches any read past the chunk.
    std::vector<std::uint8_t> chunk(frame);
    CAnnotationText text;
    const int nResult = Iec103Codec::Annotate(chunk.data(), static_cast<int>(chunk.size()), text);
    return nResult > 0 ? text.Text() : std::string("<none>");
}

std::string Header(int nTyp, int nCot, const char* pszCause)
{
    return "链路地址: 1      ASDU " + std::to_string(nTyp) + "      COT: " + std::to_string(nCot) + "  " +
           pszCause + "\n应用服务数据单元公共地址: 1\n";
}

TEST(Iec103Annotate, ShortChunksGetNothing)
{
    EXPECT_EQ(Annotate(Bytes("10 5A 01 5B 16")), "<none>");
    EXPECT_EQ(Annotate(Bytes("68 09 09 68 73 01 07 81")), "<none>");
    CAnnotationText text;
    text.Append("kept");
    const auto fixed = Bytes("10 5A 01 5B 16");
    EXPECT_EQ(Iec103Codec::Annotate(fixed.data(), 5, text), -1);
    EXPECT_EQ(text.Text(), "kept");
    // The single character E5H is the one short answer that is named.
    EXPECT_EQ(Annotate(Bytes("E5")), "单个控制字符E5H: 肯定确认或无所请求的数据\n");
    EXPECT_EQ(Annotate(Bytes("E5 E5")), "<none>");
}

TEST(Iec103Annotate, GeneralInterrogationThreeLines)
{
    EXPECT_EQ(Annotate(Bytes("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16")),
              "链路地址: 1      ASDU 7      COT: 9  总查询(总召唤)的启动\n"
              "应用服务数据单元公共地址: 1\n"
              "功能类型(FUN): 255      信息序号(INF): 0      扫描序号(SCN): 0\n");
}

TEST(Iec103Annotate, CauseNamesDependOnDirection)
{
    const std::vector<std::uint8_t> asdu{0x05, 0x81, 0x09, 0x01, 0xFF, 0x00};
    EXPECT_EQ(Annotate(Frame(kFromRelay, asdu)), Header(5, 9, "总查询(总召唤)"));
    EXPECT_EQ(Annotate(Frame(kFromMaster, asdu)), Header(5, 9, "总查询(总召唤)的启动"));
    const struct
    {
        int nCot;
        const char* pszRelay;
        const char* pszMaster;
    } cases[] = {{1, "自发(突发)", ""},
                 {8, "时间同步", "时间同步"},
                 {13, "", ""},
                 {20, "命令的肯定认可", "一般命令"},
                 {31, "扰动数据的传送", "扰动数据的传输"},
                 {42, "对通用分类读命令有效数据响应", "通用分类读命令"},
                 {44, "通用分类写确认", ""}};
    for (const auto& c : cases)
    {
        auto withCot = asdu;
        withCot[2] = static_cast<std::uint8_t>(c.nCot);
        EXPECT_EQ(Annotate(Frame(kFromRelay, withCot)), Header(5, c.nCot, c.pszRelay));
        EXPECT_EQ(Annotate(Frame(kFromMaster, withCot)), Header(5, c.nCot, c.pszMaster));
    }
}

TEST(Iec103Annotate, TimeTaggedMessage)
{
    // DPI 2, 12.345 s past 10:07, SIN 0.
    const std::vector<std::uint8_t> asdu{0x01, 0x81, 0x01, 0x01, 0xA0, 0x40,
                                         0x02, 0x39, 0x30, 0x07, 0x0A, 0x00};
    EXPECT_EQ(Annotate(Frame(kFromRelay, asdu)),
              Header(1, 1, "自发(突发)") +
                  "功能类型(FUN): 160      信息序号(INF): 64\n双点信息(DPI): 2  合      "
                  "时间: 10:07:12.345      附加信息(SIN): 0\n");
    auto dpi3 = asdu;
    dpi3[6] = 3;
    EXPECT_NE(Annotate(Frame(kFromRelay, dpi3)).find("双点信息(DPI): 3  时间: "), std::string::npos);
    auto relative = asdu;
    relative[7] = relative[8] = 0xFF;
    EXPECT_NE(Annotate(Frame(kFromRelay, relative)).find("时间: 故障前1毫秒      附加信息"),
              std::string::npos);
}

TEST(Iec103Annotate, TimeSyncAndGeneralCommand)
{
    EXPECT_EQ(
        Annotate(Frame(0x44, {0x06, 0x81, 0x08, 0x01, 0xFF, 0x00, 0xC0, 0xDA, 0x22, 0x0C, 0x05, 0x06, 0x1A})),
        Header(6, 8, "时间同步") +
            "功能类型(FUN): 255      信息序号(INF): 0\n时间: 2026年06月05日 12:34:56.000\n");
    EXPECT_EQ(
        Annotate(Frame(0x44, {0x14, 0x81, 0x14, 0x01, 0xFF, 0x13, 0x02, 0x05})),
        Header(20, 20, "一般命令") +
            "功能类型(FUN): 255      信息序号(INF): 19      双命令(SCN): 2  合      返回信息标识(RII): 5\n");
}

std::vector<std::uint8_t> GenericData(const std::vector<std::uint8_t>& sets, std::uint8_t nNgd)
{
    std::vector<std::uint8_t> asdu{0x0A, 0x81, 0x2A, 0x01, 0xFE, 0xF4, 0x07, nNgd};
    asdu.insert(asdu.end(), sets.begin(), sets.end());
    return Frame(kFromRelay, asdu);
}

const std::string kGenericDataHeader = Header(10, 42, "对通用分类读命令有效数据响应") +
                                       "功能类型(FUN): 254      信息序号(INF): 244  读单个条目的值或属性\n"
                                       "返回信息标识(RII): 7      通用分类数据集数目(NGD): 1\n";

TEST(Iec103Annotate, GenericDataValuesByType)
{
    EXPECT_EQ(Annotate(GenericData({0x05, 0x01, 0x01, 0x03, 0x02, 0x01, 0x34, 0x12}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 1      实际值    0x1234  (4660)    \n");
    // Signed integers come least significant byte first, as relays send them, sign-extended from
    // the element's width.
    EXPECT_EQ(Annotate(GenericData({0x05, 0x01, 0x02, 0x04, 0x02, 0x01, 0x34, 0x12}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 1      缺省值    4660    \n");
    EXPECT_EQ(Annotate(GenericData({0x05, 0x01, 0x02, 0x04, 0x01, 0x02, 0xFF, 0x80}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 1      缺省值    -1    -128    \n");
    EXPECT_EQ(Annotate(GenericData({0x05, 0x01, 0x02, 0x04, 0x03, 0x01, 0xFE, 0xFF, 0xFF}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 1      缺省值    -2    \n");
    EXPECT_EQ(Annotate(GenericData({0x05, 0x01, 0x02, 0x04, 0x04, 0x01, 0x00, 0x00, 0x00, 0x80}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 1      缺省值    -2147483648    \n");
    EXPECT_EQ(Annotate(GenericData({0x05, 0x02, 0x05, 0x03, 0x01, 0x02, 0x08, 0x03}, 1)),
              kGenericDataHeader + "组号: 5      条目号: 2      精度    8.3\n");
    // 1.5f, then double-point and single-point values.
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x01, 0x07, 0x04, 0x01, 0x00, 0x00, 0xC0, 0x3F}, 1)),
              kGenericDataHeader + "组号: 1      条目号: 1      实际值    1.500000    \n");
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x01, 0x09, 0x01, 0x03, 0x01, 0x02, 0x07}, 1)),
              kGenericDataHeader + "组号: 1      条目号: 1      实际值    分    合    无效数据  (7)    \n");
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x06, 0x0A, 0x01, 0x02, 0x00, 0x01}, 1)),
              kGenericDataHeader + "组号: 1      条目号: 1      因子    分    合    \n");
    // KOD 4 is passed over; the set after it is shown.
    EXPECT_EQ(Annotate(GenericData(
                  {0x01, 0x01, 0x04, 0x03, 0x01, 0x01, 0x09, 0x02, 0x02, 0x01, 0x03, 0x01, 0x01, 0x0A}, 1)),
              kGenericDataHeader + "组号: 2      条目号: 2      实际值    0x0A  (10)    \n");
}

TEST(Iec103Annotate, GenericDataTextsAndTheirCut)
{
    // "kV" then a zero byte, and a GBK text.
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x09, 0x01, 0x04, 0x01, 'k', 'V', 0x00, 'x'}, 1)),
              kGenericDataHeader + "组号: 1      条目号: 1      量纲    kV\n");
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x0A, 0x01, 0x04, 0x01, 0xD6, 0xD0, 0xCE, 0xC4}, 1)),
              kGenericDataHeader + "组号: 1      条目号: 1      描述    中文\n");
    std::vector<std::uint8_t> longer{0x01, 0x01, 0x0A, 0x01, 0x1E, 0x0A}; // 30 x 10 bytes
    longer.insert(longer.end(), 300, 'B');
    const std::string strText = Annotate(GenericData(longer, 1));
    EXPECT_NE(strText.find("描述    " + std::string(255, 'B') + "\n"), std::string::npos);
    EXPECT_EQ(strText.find(std::string(256, 'B')), std::string::npos);
}

// A float element narrower than four bytes is read as the four bytes from its start (as the
// generic-data form stores R32.23 with width 2 and number 2); bytes past the chunk count as zero.
TEST(Iec103Annotate, NarrowFloatElementsReadFourBytesFromTheirStart)
{
    EXPECT_EQ(Annotate(GenericData({0x01, 0x01, 0x01, 0x07, 0x02, 0x02, 0x00, 0x00, 0xC0, 0x3F}, 1))
                  .find(kGenericDataHeader + "组号: 1      条目号: 1      实际值    1.500000    "),
              0u);
    // Width 3: the fourth byte is the last byte of the chunk.
    auto frame = GenericData({0x01, 0x01, 0x01, 0x07, 0x03, 0x01, 0x00, 0x00, 0xC0}, 1);
    frame.resize(frame.size() - 2);
    frame.push_back(0x3F);
    EXPECT_EQ(Annotate(frame), kGenericDataHeader + "组号: 1      条目号: 1      实际值    1.500000    \n");
    // A point value of width 0 is read from the byte where its element starts, like any width
    // (here the group of the next data set, whose KOD 4 is passed over).
    EXPECT_EQ(Annotate(GenericData(
                  {0x01, 0x01, 0x01, 0x09, 0x00, 0x01, 0x02, 0x01, 0x04, 0x03, 0x01, 0x01, 0x05}, 2)),
              kGenericDataHeader.substr(0, kGenericDataHeader.size() - 2) +
                  "2\n组号: 1      条目号: 1      实际值    合    \n");
    // Width 1 at the very end: the two bytes past the chunk are not read.
    frame = GenericData({0x01, 0x01, 0x01, 0x07, 0x01, 0x01, 0x00}, 1);
    frame.resize(frame.size() - 2);
    frame.push_back(0x00);
    EXPECT_EQ(Annotate(frame), kGenericDataHeader + "组号: 1      条目号: 1      实际值    0.000000    \n");
}

TEST(Iec103Annotate, DataSetsThatRunPastTheChunkEndTheList)
{
    const std::string strFirst = "组号: 5      条目号: 1      实际值    0x01  (1)    \n";
    EXPECT_EQ(
        Annotate(GenericData(
            {0x05, 0x01, 0x01, 0x03, 0x01, 0x01, 0x01, 0x05, 0x02, 0x01, 0x03, 0x02, 0x09, 0x34, 0x12}, 2)),
        kGenericDataHeader.substr(0, kGenericDataHeader.size() - 2) + "2\n" + strFirst);
}

TEST(Iec103Annotate, GenericCommandIdentifications)
{
    const std::vector<std::uint8_t> asdu{0x15, 0x81, 0x2A, 0x01, 0xFE, 0xF4, 0x03,
                                         0x02, 0x05, 0x01, 0x01, 0x05, 0x02, 0x0A};
    const std::string strHead = Header(21, 42, "通用分类读命令") +
                                "功能类型(FUN): 254      信息序号(INF): 244  读单个条目的值或属性\n"
                                "返回信息标识(RII): 3      通用分类标识数目(NOG): 2\n";
    EXPECT_EQ(Annotate(Frame(kFromMaster, asdu)),
              strHead + "组号: 5      条目号: 1      实际值\n组号: 5      条目号: 2      描述\n");
    auto inf243 = asdu;
    inf243[5] = 243;
    EXPECT_NE(Annotate(Frame(kFromMaster, inf243)).find("组号: 5      条目号: 1\n组号: 5      条目号: 2\n"),
              std::string::npos);
    auto inf241 = asdu;
    inf241[5] = 241;
    EXPECT_NE(Annotate(Frame(kFromMaster, inf241)).find("组号: 5      实际值\n组号: 5      描述\n"),
              std::string::npos);
    auto inf240 = asdu;
    inf240[5] = 240;
    EXPECT_EQ(Annotate(Frame(kFromMaster, inf240)).find("组号"), std::string::npos);
}

TEST(Iec103Annotate, DisturbanceListOrderAndAck)
{
    EXPECT_EQ(Annotate(Frame(kFromRelay, {0x17, 0x02, 0x1F, 0x01, 0x80, 0x00, 0x34, 0x12, 0x00, 0x10, 0x27,
                                          0x05, 0x08, 0x01, 0x02, 0x1A})),
              Header(23, 31, "扰动数据的传送") +
                  "共2个录波\n故障序号: 4660    时间: 2026年02月01日 08:05:10.000\n");
    EXPECT_EQ(
        Annotate(Frame(kFromMaster, {0x18, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x08, 0x01, 0x34, 0x12, 0x03})),
        Header(24, 31, "扰动数据的传输") + "通道的请求\n故障序号: 4660        实际通道序号:3\n");
    EXPECT_EQ(
        Annotate(Frame(kFromMaster, {0x18, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x01, 0x01, 0x34, 0x12, 0x03})),
        Header(24, 31, "扰动数据的传输") + "故障的选择\n故障序号: 4660\n");
    EXPECT_EQ(
        Annotate(Frame(kFromMaster, {0x19, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x40, 0x01, 0x34, 0x12, 0x03})),
        Header(25, 31, "扰动数据的传输") + "成功的扰动数据传输\n故障序号: 4660\n");
    EXPECT_EQ(
        Annotate(Frame(kFromMaster, {0x19, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x63, 0x01, 0x34, 0x12, 0x03})),
        Header(25, 31, "扰动数据的传输"));
}

TEST(Iec103Annotate, DisturbanceReadyAndTransfer)
{
    EXPECT_EQ(
        Annotate(Frame(kFromRelay, {0x1A, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x05, 0x00, 0x06,
                                    0x00, 0x03, 0xE8, 0x03, 0xE8, 0x03, 0xFF, 0xFF, 0x00, 0x00})),
        Header(26, 31, "扰动数据的传送") +
            "扰动数据传输准备就绪\n故障序号: 5     电网故障序号: 6\n"
            "通道数目: 3    一个通道信息元素的数目: 1000    信息元素间隔: 1000微秒\n录波起始于故障前1毫秒\n");
    EXPECT_EQ(
        Annotate(Frame(kFromRelay, {0x1B, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00,
                                    0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x20, 0x41})),
        Header(27, 31, "扰动数据的传送") +
            "被记录的通道传输准备就绪\n故障序号: 5    实际通道序号: 2\n"
            "一次额定值: 1.000000     二次额定值: 2.000000     参比因子: 10.000000\n");
    EXPECT_EQ(Annotate(Frame(kFromRelay, {0x1D, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x05, 0x00, 0x02, 0x01, 0x00,
                                          0x80, 0x10, 0x01, 0x80, 0x11, 0x02})),
              Header(29, 31, "扰动数据的传送") +
                  "带标志的状态变位传输\n故障序号: 5    带标志的状态变位数目: 2    标志的位置: 1\n"
                  "INF: 16    状态: 分\nINF: 17    状态: 不正确,值为 2\n");
    EXPECT_EQ(Annotate(Frame(kFromRelay, {0x1F, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x32, 0x00, 0x05, 0x00, 0x02})),
              Header(31, 31, "扰动数据的传送") + "传输结束\n故障序号: 5    实际通道序号: 2\n");
    EXPECT_EQ(Annotate(Frame(kFromRelay, {0x1E, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02,
                                          0x19, 0x01, 0x00, 0x11, 0x22})),
              Header(30, 31, "扰动数据的传送") +
                  "传输扰动值\n故障序号: 5    实际通道序号: 2\n每个应用服务数据单元有关扰动值的数目: 25\n"
                  "应用服务数据单元的第一个信息元素的序号: 1\n");
}

// Every cut of a frame describes only what it holds: a prefix of the whole description.
TEST(Iec103Annotate, TruncatedChunksGiveAPrefixAndReadNothingPast)
{
    const std::vector<std::vector<std::uint8_t>> frames{
        Bytes("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16"),
        Frame(kFromRelay, {0x01, 0x81, 0x01, 0x01, 0xA0, 0x40, 0x02, 0x39, 0x30, 0x07, 0x0A, 0x00}),
        Frame(0x44, {0x06, 0x81, 0x08, 0x01, 0xFF, 0x00, 0xC0, 0xDA, 0x22, 0x0C, 0x05, 0x06, 0x1A}),
        GenericData(
            {0x05, 0x01, 0x01, 0x03, 0x02, 0x01, 0x34, 0x12, 0x05, 0x02, 0x0A, 0x01, 0x02, 0x01, 'a', 'b'},
            2),
        Frame(kFromMaster,
              {0x15, 0x81, 0x2A, 0x01, 0xFE, 0xF4, 0x03, 0x02, 0x05, 0x01, 0x01, 0x05, 0x02, 0x0A}),
        Frame(kFromRelay, {0x1A, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x05, 0x00, 0x06,
                           0x00, 0x03, 0xE8, 0x03, 0xE8, 0x03, 0x10, 0x27, 0x05, 0x08}),
        Frame(kFromRelay, {0x1B, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00,
                           0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x20, 0x41}),
        Frame(kFromRelay, {0x1D, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x05, 0x00, 0x02, 0x01, 0x00, 0x80, 0x10, 0x01,
                           0x80, 0x11, 0x02}),
        Frame(kFromRelay, {0x1F, 0x81, 0x1F, 0x01, 0x80, 0x00, 0x22, 0x00, 0x05, 0x00, 0x02}),
    };
    for (const auto& frame : frames)
    {
        const std::string strWhole = Annotate(frame);
        for (std::size_t n = 9; n < frame.size(); ++n)
        {
            const std::string strPart = Annotate(std::vector<std::uint8_t>(frame.begin(), frame.begin() + n));
            EXPECT_EQ(strWhole.compare(0, strPart.size(), strPart), 0)
                << "type " << int(frame[6]) << " n " << n;
        }
    }
    // Nine bytes reach the cause but not the common address.
    EXPECT_EQ(Annotate(Bytes("68 09 09 68 73 01 07 81 09")),
              "链路地址: 1      ASDU 7      COT: 9  总查询(总召唤)的启动\n");
}

TEST(Iec103Annotate, LongAnnotationsStayWithinTheLogBuffer)
{
    // 500 identifications: the text stops at the buffer's bound at a character boundary.
    std::vector<std::uint8_t> asdu{0x15, 0x81, 0x2A, 0x01, 0xFE, 0xF4, 0x00, 0xFF};
    for (int i = 0; i < 500; ++i)
        asdu.insert(asdu.end(), {0x01, 0x02, 0x0A});
    std::vector<std::uint8_t> frame{0x68, 0xFF, 0xFF, 0x68, 0x53, 0x01};
    frame.insert(frame.end(), asdu.begin(), asdu.end());
    frame.insert(frame.end(), {0x00, 0x16});
    CAnnotationText text;
    ASSERT_EQ(Iec103Codec::Annotate(frame.data(), static_cast<int>(frame.size()), text), 1);
    EXPECT_TRUE(text.IsFull());
    EXPECT_LE(text.GbkLength(), 2047u);
    EXPECT_EQ(relvane::GbkLength(text.Text()), text.GbkLength());
}

} // namespace
