#include "TestBytes.h"
#include "iec103/CustomFrame.h"
#include "iec103/FrameText.h"
#include "iec103/GenericList.h"

#include <gtest/gtest.h>

namespace
{

using namespace relvane;
using relvane::test::Bytes;
using relvane::test::Hex;

std::string Used(const CGenericList& list)
{
    return Hex(list.Data(), list.Used() + 1);
}

TEST(Iec103LeadingNumber, ReadsDigitsModulo256)
{
    EXPECT_EQ(LeadingNumber("249  带确认的写条目"), 249);
    EXPECT_EQ(LeadingNumber("10  描述"), 10);
    EXPECT_EQ(LeadingNumber("5 x"), 5);
    EXPECT_EQ(LeadingNumber("300"), 300 % 256);
    EXPECT_EQ(LeadingNumber(" 7"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
}

TEST(Iec103GenericList, DataSetWorkedExample)
{
    CGenericList list;
    std::uint8_t nWidth = 2;
    std::uint8_t nNumber = 1;
    ASSERT_TRUE(list.AddDataSet(5, 1, "1  实际值", "3  UI  无符号整数", nWidth, nNumber, "1000", false));
    EXPECT_EQ(Used(list), "09 01 05 01 01 03 02 01 E8 03");
    const auto texts = FormatGenericList(list, GenericListKind::Data);
    EXPECT_EQ(texts.strList, "05 01 01 03 02 01 E8 03 ");
    EXPECT_EQ(texts.strCount, "通用分类数据集数目  NGD :  1");
    EXPECT_EQ(FormatGenericList(list, GenericListKind::Identification).strCount,
              "通用分类标识数目  NOG :  1");
}

TEST(Iec103GenericList, DataTypesShapeTheValueBytes)
{
    CGenericList list;
    std::uint8_t nWidth = 3;
    std::uint8_t nNumber = 2;
    ASSERT_TRUE(list.AddDataSet(1, 1, "1", "3", nWidth, nNumber, " 0xFF", true));
    EXPECT_EQ(Used(list), "0D 01 01 01 01 03 03 02 FF 00 00 00 00 00");

    list.ClearGenericList();
    nWidth = 2;
    nNumber = 1;
    ASSERT_TRUE(list.AddDataSet(1, 1, "1", "7  R32.23  IEEE标准754短实数", nWidth, nNumber, "1.5", true));
    EXPECT_EQ(Used(list), "0B 01 01 01 01 07 04 01 00 00 C0 3F");
    EXPECT_EQ(nWidth, 4);
    EXPECT_EQ(nNumber, 1);
    nWidth = 2;
    nNumber = 2;
    ASSERT_TRUE(list.AddDataSet(1, 2, "1", "7", nWidth, nNumber, "-2", false));
    EXPECT_EQ(Hex(list.Data() + 12, 10), "01 02 01 07 02 02 00 00 00 C0");
    EXPECT_EQ(nWidth, 2);

    // A real beyond the single range is stored as infinity (as the C library reads it), not as 0.
    for (const auto& [strGid, strBytes] : {std::pair{"1e39", "00 00 80 7F"},
                                           {"-1e39", "00 00 80 FF"},
                                           {"1e400", "00 00 80 7F"},
                                           {"-1e-400", "00 00 00 80"},
                                           {"1e-50", "00 00 00 00"}})
    {
        list.ClearGenericList();
        ASSERT_TRUE(list.AddDataSet(1, 1, "1", "7", nWidth, nNumber, strGid, false));
        EXPECT_EQ(Hex(list.Data() + 8, 4), strBytes) << strGid;
    }

    for (const auto& [strGid, nStored] : {std::pair{"0", 1}, {"1", 1}, {"2", 2}, {"77", 2}, {"x", 1}})
    {
        list.ClearGenericList();
        nWidth = 3;
        nNumber = 3;
        ASSERT_TRUE(list.AddDataSet(1, 1, "1", "9  双点信息", nWidth, nNumber, strGid, false));
        EXPECT_EQ(Used(list), "08 01 01 01 01 09 01 01 0" + std::to_string(nStored)) << strGid;
        EXPECT_EQ(nWidth, 1);
    }

    list.ClearGenericList();
    nWidth = 1;
    nNumber = 3;
    ASSERT_TRUE(list.AddDataSet(1, 1, "1", "4", nWidth, nNumber, "1 2", false));
    EXPECT_EQ(Hex(list.Data() + 8, 3), "01 02 00");
    list.ClearGenericList();
    ASSERT_TRUE(list.AddDataSet(1, 1, "1", "4", nWidth, nNumber, "-1 1A zz", true));
    EXPECT_EQ(Hex(list.Data() + 8, 3), "FF 1A 00");
}

TEST(Iec103GenericList, FullListRefusesWithoutChange)
{
    CGenericList list;
    std::uint8_t nWidth = 200;
    std::uint8_t nNumber = 1;
    ASSERT_TRUE(list.AddDataSet(1, 1, "1", "3", nWidth, nNumber, "1", false));
    EXPECT_EQ(list.Used(), 207);
    const std::string strBefore = Used(list);
    nWidth = 28;
    EXPECT_FALSE(list.AddDataSet(1, 1, "1", "3", nWidth, nNumber, "1", false));
    EXPECT_EQ(Used(list), strBefore);
    nWidth = 27;
    EXPECT_TRUE(list.AddDataSet(1, 1, "1", "3", nWidth, nNumber, "1", false));
    EXPECT_EQ(list.Used(), 240);
    EXPECT_EQ(list.Count(), 2);

    // A refused add to an empty list leaves it empty.
    CGenericList empty;
    nWidth = 255;
    nNumber = 255;
    EXPECT_FALSE(empty.AddDataSet(1, 1, "1", "3", nWidth, nNumber, "1", false));
    EXPECT_EQ(empty.Used(), 0);
    EXPECT_EQ(nWidth, 255);

    // The size the float type forces must fit too: n never passes 240.
    CGenericList nearlyFull;
    nWidth = 224;
    nNumber = 1;
    ASSERT_TRUE(nearlyFull.AddDataSet(1, 1, "1", "3", nWidth, nNumber, "1", false));
    ASSERT_EQ(nearlyFull.Used(), 231);
    nWidth = 2;
    EXPECT_FALSE(nearlyFull.AddDataSet(1, 1, "1", "7", nWidth, nNumber, "1", false));
    EXPECT_EQ(nearlyFull.Used(), 231);
}

TEST(Iec103GenericList, IdentificationsAndSharing)
{
    CGenericList list;
    ASSERT_TRUE(list.AddIdentification(1, 1, "1  实际值"));
    ASSERT_TRUE(list.AddIdentification(1, 1, "1  实际值"));
    EXPECT_EQ(Used(list), "07 02 01 01 01 01 01 01");
    EXPECT_EQ(FormatGenericList(list, GenericListKind::Identification).strCount,
              "通用分类标识数目  NOG :  2");
    for (int i = 2; i < 79; ++i)
        ASSERT_TRUE(list.AddIdentification(2, 3, "10")) << i;
    EXPECT_EQ(list.Used(), 238);
    EXPECT_FALSE(list.AddIdentification(2, 3, "10"));
    EXPECT_EQ(list.Count(), 79);
    list.ClearGenericList();
    EXPECT_EQ(list.Used(), 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ListText(), "");
}

TEST(Iec103FrameText, ParseStopsAtTheFirstNonNumber)
{
    EXPECT_EQ(Hex(ParseFrameText("1 2 300", false, 8192)), "01 02 2C");
    EXPECT_EQ(Hex(ParseFrameText("12 zz 34", false, 8192)), "0C");
    EXPECT_EQ(Hex(ParseFrameText("12 zz 34", true, 8192)), "12");
    EXPECT_EQ(Hex(ParseFrameText("1A 2B", false, 8192)), "01");
    EXPECT_EQ(Hex(ParseFrameText("0x68 0X09 -1\n\t16", true, 8192)), "68 09 FF 16");
    EXPECT_EQ(Hex(ParseFrameText("", true, 8192)), "");
    std::string strMany;
    for (int i = 0; i < 9000; ++i)
        strMany += "1 ";
    EXPECT_EQ(ParseFrameText(strMany, false, 8192).size(), 8192u);
}

TEST(Iec103FrameText, CheckRefusesTheFirstTokenThatIsNoByteByName)
{
    const struct
    {
        const char* pszText;
        bool bHex;
        const char* pszBytes;   // the bytes taken, when the text is good
        const char* pszMessage; // the refusal otherwise
    } cases[] = {
        {"68 0x09 0X0a ff 0 00FF\n\t16", true, "68 09 0A FF 00 FF 16", ""},
        {"1 2 255 007", false, "01 02 FF 07", ""},
        {"", true, "", ""},
        {" \r\n\xE3\x80\x80 ", false, "", ""}, // white space, the ideographic space among it
        {"10 49 01 4A 16 hello 1FF", true, "", "第6个字节“hello”不是十六进制的字节(00至FF)。"},
        {"hello 1G 68 zz 999", true, "", "第1个字节“hello”不是十六进制的字节(00至FF)。"},
        {"1G", true, "", "第1个字节“1G”不是十六进制的字节(00至FF)。"},
        {"68 zz", true, "", "第2个字节“zz”不是十六进制的字节(00至FF)。"},
        {"1FF", true, "", "第1个字节“1FF”不是十六进制的字节(00至FF)。"},
        {"0x", true, "", "第1个字节“0x”不是十六进制的字节(00至FF)。"},
        {"999", false, "", "第1个字节“999”不是十进制的字节(0至255)。"},
        {"1 2 300", false, "", "第3个字节“300”不是十进制的字节(0至255)。"},
        {"-5", false, "", "第1个字节“-5”不是十进制的字节(0至255)。"},
        {"+5", false, "", "第1个字节“+5”不是十进制的字节(0至255)。"},
        {"1A", false, "", "第1个字节“1A”不是十进制的字节(0至255)。"},
        {"0x10", false, "", "第1个字节“0x10”不是十进制的字节(0至255)。"},
        {"10,5B", true, "", "第1个字节“10,5B”不是十六进制的字节(00至FF)。"},
        {"12 报文", true, "", "第2个字节“报文”不是十六进制的字节(00至FF)。"},
        // A long token is cut in the message, never inside a character.
        {"aaaaaaaaaaaaaaaaaaaaaa报文", true, "",
         "第1个字节“aaaaaaaaaaaaaaaaaaaaaa…”不是十六进制的字节(00至FF)。"},
    };
    for (const auto& test : cases)
    {
        const CCheckedFrameText checked = CheckFrameText(test.pszText, test.bHex, 8192);
        EXPECT_EQ(checked.strMessage, test.pszMessage) << test.pszText;
        EXPECT_EQ(Hex(checked.abBytes), test.pszBytes) << test.pszText;
    }
    std::string strMany;
    for (int i = 0; i < 8193; ++i)
        strMany += "1 ";
    EXPECT_EQ(CheckFrameText(strMany, false, 8192).strMessage, "报文超过8192个字节。");
    EXPECT_EQ(CheckFrameText(strMany, false, 8193).abBytes.size(), 8193u);
}

TEST(Iec103FrameText, ConvertWritesTheTypedBytesInTheOtherBase)
{
    std::string strConverted;
    std::string strMessage;
    ASSERT_TRUE(ConvertFrameText("10 5b 01 0x5C 16", true, strConverted, strMessage));
    EXPECT_EQ(strConverted, "16 91 1 92 22 ");
    ASSERT_TRUE(ConvertFrameText(strConverted, false, strConverted, strMessage));
    EXPECT_EQ(strConverted, "10 5B 01 5C 16 ");
    ASSERT_TRUE(ConvertFrameText("", false, strConverted, strMessage));
    EXPECT_EQ(strConverted, "");
    strConverted = "kept";
    EXPECT_FALSE(ConvertFrameText("1 300", false, strConverted, strMessage));
    EXPECT_EQ(strMessage, "第2个字节“300”不是十进制的字节(0至255)。");
    EXPECT_EQ(strConverted, "kept");
}

TEST(Iec103FrameText, FormatInBothBases)
{
    const auto bytes = Bytes("10 5B 01 5C 16");
    EXPECT_EQ(FormatFrameText(bytes.data(), bytes.size(), true), "10 5B 01 5C 16 ");
    EXPECT_EQ(FormatFrameText(bytes.data(), bytes.size(), false), "16 91 1 92 22 ");
    EXPECT_EQ(FormatFrameText(bytes.data(), 0, true), "");
}

TEST(Iec103CompleteFrame, WorkedExamplesAndMessages)
{
    EXPECT_EQ(Hex(CompleteFrame(Bytes("10 5B 01")).abFrame), "10 5B 01 5C 16");
    EXPECT_EQ(Hex(CompleteFrame(Bytes("10")).abFrame), "10 00 00 00 16");
    EXPECT_EQ(Hex(CompleteFrame(Bytes("10 5B 01 99 99 99")).abFrame), "10 5B 01 5C 16");
    EXPECT_EQ(Hex(CompleteFrame(Bytes("68 09 09 68 53 01 07 81 09 01 FF 00 01")).abFrame),
              "68 09 09 68 53 01 07 81 09 01 FF 00 01 E6 16");
    // Missing user data count as zero; surplus bytes are dropped.
    EXPECT_EQ(Hex(CompleteFrame(Bytes("68 05 05 68 53 01 07 81")).abFrame),
              "68 05 05 68 53 01 07 81 00 DC 16");
    EXPECT_EQ(Hex(CompleteFrame(Bytes("68 04 04 68 53 01 07 81 AA BB")).abFrame),
              "68 04 04 68 53 01 07 81 DC 16");

    EXPECT_EQ(CompleteFrame(Bytes("68 09 08 68 53 01")).strMessage, "报文长度不够");
    EXPECT_EQ(CompleteFrame(Bytes("68 09 09 67 53 01 07 81")).strMessage, "启动字符不正确");
    EXPECT_EQ(CompleteFrame(Bytes("68 09 08 68 53 01 07 81")).strMessage, "报文长度不一致");
    EXPECT_EQ(CompleteFrame(Bytes("68 03 03 68 53 01 07 81")).strMessage, "报文长度过短");
    EXPECT_EQ(CompleteFrame(Bytes("E5")).strMessage, "启动字符错误");
    EXPECT_EQ(CompleteFrame(Bytes("")).strMessage, "启动字符错误");
    EXPECT_FALSE(CompleteFrame(Bytes("E5")).IsFrame());
    // Longest L.
    auto longest = Bytes("68 FF FF 68");
    longest.resize(261, 1);
    const auto completed = CompleteFrame(longest);
    ASSERT_EQ(completed.abFrame.size(), 261u);
    EXPECT_EQ(completed.abFrame[259], 0xFF);
}

TEST(Iec103CustomFrame, StoreCompleteClearCopy)
{
    CCustomFrame frame;
    std::uint8_t abOut[16] = {};
    EXPECT_EQ(frame.CopyFrame(abOut, sizeof abOut), 0);
    frame.StoreText("1 2 300", false);
    EXPECT_EQ(frame.Text(true), "01 02 2C ");
    EXPECT_EQ(frame.CopyFrame(abOut, sizeof abOut), 3);
    EXPECT_EQ(Hex(abOut, 3), "01 02 2C");

    std::string strMessage;
    ASSERT_TRUE(frame.CompleteText("10 5B 01", true, strMessage));
    EXPECT_EQ(frame.Text(true), "10 5B 01 5C 16 ");
    EXPECT_FALSE(frame.CompleteText("68 09 08 68 53 01", true, strMessage));
    EXPECT_EQ(strMessage, "报文长度不够");
    EXPECT_EQ(frame.Text(true), "10 5B 01 5C 16 "); // unchanged after a message
    EXPECT_EQ(frame.CopyFrame(abOut, 4), 0);        // too small: nothing copied

    frame.Clear();
    EXPECT_EQ(frame.Length(), 0);
    EXPECT_EQ(frame.Text(false), "");
}

} // namespace
