// Holds our frames and our annotator's header against Wireshark's own IEC 60870-5-103 dissector.
// The frames go through text2pcap as RTAC serial-line records (link type 250, 12-byte
// pseudo-header) whose payload tshark is told to decode as IEC 60870-5-103.
#include "TestBytes.h"
#include "iec103/Iec103Codec.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <unistd.h>

namespace
{

using relvane::CAnnotationText;
using relvane::CommandParams;
using relvane::Iec103Codec;

bool HasTool(const char* pszName)
{
    const std::string strCommand = std::string("command -v ") + pszName + " >/dev/null 2>&1";
    return std::system(strCommand.c_str()) == 0;
}

// Fields in the order of kFields below, one line per frame.
const char* const kFields[] = {
    "iec60870_5_103.ctrlfield",       "iec60870_5_103.linkaddr",  "iec60870_5_103.asdu_typeid_ctrl",
    "iec60870_5_103.asdu_typeid_mon", "iec60870_5_103.cot_ctrl",  "iec60870_5_103.cot_mon",
    "iec60870_5_103.asdu_address",    "iec60870_5_103.func_type", "iec60870_5_103.info_num"};

std::vector<std::vector<std::string>> RunTshark(const std::vector<std::vector<std::uint8_t>>& frames)
{
    char szDir[] = "/tmp/iec103-tshark-XXXXXX";
    if (mkdtemp(szDir) == nullptr)
        return {};
    const std::string strDir = szDir;
    {
        std::ofstream input(strDir + "/frames.txt");
        for (const auto& frame : frames)
        {
            input << "0000 00 00 00 00 00 00 00 00 00 00 00 00 " << relvane::test::Hex(frame) << "\n\n";
        }
    }
    std::string strCommand =
        "text2pcap -q -l 250 " + strDir + "/frames.txt " + strDir +
        "/frames.pcap >/dev/null 2>&1 && tshark -r " + strDir +
        "/frames.pcap -d rtacser.data,iec60870_5_103 -T fields -E separator=, -E occurrence=f";
    for (const char* pszField : kFields)
        strCommand += std::string(" -e ") + pszField;
    strCommand += " 2>/dev/null > " + strDir + "/fields.txt";
    const int nStatus = std::system(strCommand.c_str());
    std::vector<std::vector<std::string>> rows;
    if (nStatus == 0)
    {
        std::ifstream output(strDir + "/fields.txt");
        std::string strLine;
        while (std::getline(output, strLine))
        {
            std::vector<std::string> row;
            std::stringstream stream(strLine);
            std::string strField;
            while (std::getline(stream, strField, ','))
                row.push_back(strField);
            row.resize(std::size(kFields));
            rows.push_back(row);
        }
    }
    std::system(("rm -rf " + strDir).c_str());
    return rows;
}

int Number(const std::string& strField)
{
    return strField.empty() ? -1 : static_cast<int>(std::strtol(strField.c_str(), nullptr, 0));
}

// The number that follows a label in the annotation, or -1.
int AnnotatedNumber(const std::string& strText, const std::string& strLabel)
{
    const auto nPos = strText.find(strLabel);
    if (nPos == std::string::npos)
        return -1;
    return std::atoi(strText.c_str() + nPos + strLabel.size());
}

TEST(Iec103Tshark, BuildersAndAnnotatorAgreeWithWireshark)
{
    if (!HasTool("tshark") || !HasTool("text2pcap"))
        GTEST_SKIP() << "tshark or text2pcap not installed";

    Iec103Codec codec;
    codec.SetLinkAddress(3);
    codec.SetCommonAddress(7);
    std::vector<std::vector<std::uint8_t>> frames;
    std::uint8_t abOut[Iec103Codec::kMaxFrameLength];
    const auto Keep = [&](int n) { frames.emplace_back(abOut, abOut + n); };

    Keep(codec.BuildResetCu(abOut));
    Keep(codec.BuildRequestClass1(abOut));
    Keep(codec.BuildRequestClass2(abOut));
    Keep(codec.BuildRequestLinkStatus(abOut));
    Keep(codec.BuildGeneralInterrogation(abOut, CommandParams{}));
    const std::uint8_t time[] = {7, 0xC0, 0xDA, 0x22, 0x0C, 0x05, 0x06, 0x1A};
    CommandParams params;
    params.pData = time;
    Keep(codec.BuildTimeSync(abOut, params));
    const std::uint8_t dco[] = {1, 2};
    params = CommandParams{0x80, 19, dco, 1};
    Keep(codec.BuildGeneralCommand(abOut, params));
    const std::uint8_t ids[] = {4, 1, 5, 1, 1};
    params = CommandParams{0, 244, ids, 0};
    Keep(codec.BuildGenericCommand(abOut, params));
    const std::uint8_t set[] = {9, 1, 5, 1, 1, 3, 2, 1, 0xE8, 0x03};
    params = CommandParams{0, 249, set, 0};
    Keep(codec.BuildGenericData(abOut, params));
    const std::uint8_t order[] = {5, 1, 1, 0x34, 0x12, 0};
    params = CommandParams{0x80, 0, order, 0};
    Keep(codec.BuildDisturbanceOrder(abOut, params));
    Keep(codec.BuildDisturbanceAck(abOut, params));
    // Two frames from the relay: a time-tagged message and a general-interrogation end.
    frames.push_back(relvane::test::Bytes("68 0E 0E 68 28 03 01 81 01 07 A0 40 02 39 30 07 0A 00 00 16"));
    frames.push_back(relvane::test::Bytes("68 09 09 68 08 03 08 81 0A 07 FF 00 05 00 16"));
    for (auto& frame : frames)
    {
        if (frame[0] == 0x68) // fix the checksum of the hand-written relay frames
            frame[frame.size() - 2] = Iec103Codec::Checksum(frame.data() + 4, frame[1]);
    }

    const auto rows = RunTshark(frames);
    ASSERT_EQ(rows.size(), frames.size()) << "tshark gave no usable output";
    for (std::size_t i = 0; i < frames.size(); ++i)
    {
        const auto& frame = frames[i];
        const auto& row = rows[i];
        SCOPED_TRACE(relvane::test::Hex(frame));
        if (frame[0] == 0x10)
        {
            EXPECT_EQ(Number(row[0]), frame[1]);
            EXPECT_EQ(Number(row[1]), frame[2]);
            continue;
        }
        const bool bFromMaster = (frame[4] & 0x40) != 0;
        const int nTyp = Number(bFromMaster ? row[2] : row[3]);
        const int nCot = Number(bFromMaster ? row[4] : row[5]);
        EXPECT_EQ(Number(row[0]), frame[4]);
        EXPECT_EQ(Number(row[1]), frame[5]);
        EXPECT_EQ(nTyp, frame[6]);
        EXPECT_EQ(nCot, frame[8]);
        EXPECT_EQ(Number(row[6]), frame[9]);
        EXPECT_EQ(Number(row[7]), frame[10]);
        EXPECT_EQ(Number(row[8]), frame[11]);

        CAnnotationText text;
        ASSERT_EQ(Iec103Codec::Annotate(frame.data(), static_cast<int>(frame.size()), text), 1);
        const std::string& strText = text.Text();
        EXPECT_EQ(AnnotatedNumber(strText, "链路地址: "), Number(row[1]));
        EXPECT_EQ(AnnotatedNumber(strText, "ASDU "), nTyp);
        EXPECT_EQ(AnnotatedNumber(strText, "COT: "), nCot);
        EXPECT_EQ(AnnotatedNumber(strText, "应用服务数据单元公共地址: "), Number(row[6]));
        const int nType = frame[6];
        if (nType == 1 || nType == 6 || nType == 7 || nType == 10 || nType == 20 || nType == 21)
        {
            EXPECT_EQ(AnnotatedNumber(strText, "功能类型(FUN): "), Number(row[7]));
            EXPECT_EQ(AnnotatedNumber(strText, "信息序号(INF): "), Number(row[8]));
        }
    }
}

} // namespace
