// Holds our frames and our annotator's header against Wireshark's own IEC 60870-5-103 dissector.
// The frames go through text2pcap as RTAC serial-line records (link type 250, 12-byte
// pseudo-header) whose payload tshark is told to decode as IEC 60870-5-103.
#include "TestBytes.h"
#include "iec103/FullExplanation.h"
#include "iec103/Iec103Codec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
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

// Fields of the full explanation; every occurrence, joined by ';'.
const char* const kBodyFields[] = {"iec60870_5_103.ctrl_prm",
                                   "iec60870_5_103.ctrl_fcb",
                                   "iec60870_5_103.ctrl_fcv",
                                   "iec60870_5_103.ctrl_dfc",
                                   "iec60870_5_103.ctrl_func_pri_to_sec",
                                   "iec60870_5_103.ctrl_func_sec_to_pri",
                                   "iec60870_5_103.sq",
                                   "iec60870_5_103.dpi",
                                   "iec60870_5_103.cp32time2a_ms",
                                   "iec60870_5_103.cp32time2a_min",
                                   "iec60870_5_103.cp32time2a_iv",
                                   "iec60870_5_103.cp32time2a_hr",
                                   "iec60870_5_103.cp32time2a_sum",
                                   "iec60870_5_103.sin",
                                   "iec60870_5_103.col",
                                   "iec60870_5_103.mfg",
                                   "iec60870_5_103.mfg_sw",
                                   "iec60870_5_103.scn",
                                   "iec60870_asdu.normval",
                                   "iec60870_5_103.dco",
                                   "iec60870_5_103.rii",
                                   "iec60870_asdu.cp56time.ms",
                                   "iec60870_asdu.cp56time.min",
                                   "iec60870_asdu.cp56time.iv",
                                   "iec60870_asdu.cp56time.hour",
                                   "iec60870_asdu.cp56time.su",
                                   "iec60870_asdu.cp56time.day",
                                   "iec60870_asdu.cp56time.dow",
                                   "iec60870_asdu.cp56time.month",
                                   "iec60870_asdu.cp56time.year"};

template <std::size_t N>
std::vector<std::vector<std::string>> RunTshark(const std::vector<std::vector<std::uint8_t>>& frames,
                                                const char* const (&fields)[N], bool bEveryOccurrence)
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
    std::string strCommand = "text2pcap -q -l 250 " + strDir + "/frames.txt " + strDir +
                             "/frames.pcap >/dev/null 2>&1 && tshark -r " + strDir +
                             "/frames.pcap -d rtacser.data,iec60870_5_103 -T fields -E separator=, " +
                             (bEveryOccurrence ? "-E occurrence=a -E aggregator=';'" : "-E occurrence=f");
    for (const char* pszField : fields)
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
            row.resize(N);
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

// The relay's side of the collection, as the relay sends it (link address 3, common address 7):
// control byte, link address and ASDU; length, checksum and end are added.
const char* const kRelayAsdus[] = {
    "02 81 09 07 80 40 01 10 00 05 00 A0 40 02 89 07",                         // fault with RET and FAN
    "03 01 02 07 80 93 63 00 A2 FF",                                           // IN, UEN with OV and ER
    "09 01 02 07 80 94 00 40 08 40 F8 3F 55 6A 50 6A 60 6A A0 5A C0 12 AA 6A", // one object of nine
    "09 09 02 07 80 94 00 40 08 40 F8 3F 55 6A 50 6A 60 6A A0 5A C3 92 AA 6A", // VSQ counting them
    "04 81 01 07 80 49 00 00 20 40 10 00 05 00 A0 40 82 09",
    "05 81 04 07 80 03 02 52 45 4C 56 41 4E 45 20 01 00 00 00",
    "05 81 05 07 A0 04 03 41 42 43 44 45 46 47 48 78 56 34 12",
    "06 81 08 07 FF 00 A0 40 22 8C 25 06 1A",
    "06 81 08 07 FF 00 FF EA BB 17 1F 0C 63",
    "08 81 0A 07 FF 00 07",
    "0A 81 2A 07 FE F4 05 01 02 01 01 07 04 01 00 00 A0 40",
    "0B 81 2A 07 FE F3 05 02 01 01 0A 01 04 01 D4 CB D0 D0",
    "01 81 14 07 80 13 02 A0 40 02 09 09",
    "01 81 01 07 C0 44 01 E8 03 BB 97 00",
    "17 02 1F 07 80 00 01 00 01 A0 40 02 09 05 06 1A 02 00 0E 00 00 03 09 45 66 1A",
    "1A 81 1F 07 80 00 00 01 03 00 01 00 03 E8 03 E8 03 10 00 00 00",
    "1B 81 1F 07 80 00 00 01 03 00 02 00 00 C8 42 00 00 80 3F 00 00 20 41",
    "1C 81 1F 07 80 00 00 00 03 00",
    "1D 81 1F 07 80 00 03 00 02 00 00 80 40 01 80 42 02",
    "1E 81 1F 07 80 00 00 01 03 00 02 04 64 00 01 00 FF FF 00 80 FF 7F",
    "1F 81 1F 07 80 00 23 01 03 00 02",
};

std::vector<std::vector<std::uint8_t>> FrameCollection()
{
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
    for (const char* pszAsdu : kRelayAsdus)
    {
        std::vector<std::uint8_t> frame =
            relvane::test::Bytes(std::string("68 00 00 68 08 03 ") + pszAsdu + " 00 16");
        frame[1] = frame[2] = static_cast<std::uint8_t>(frame.size() - 6);
        frames.push_back(frame);
    }
    for (auto& frame : frames)
    {
        if (frame[0] == 0x68) // fix the checksum of the hand-written relay frames
            frame[frame.size() - 2] = Iec103Codec::Checksum(frame.data() + 4, frame[1]);
    }
    return frames;
}

TEST(Iec103Tshark, BuildersAndAnnotatorAgreeWithWireshark)
{
    if (!HasTool("tshark") || !HasTool("text2pcap"))
        GTEST_SKIP() << "tshark or text2pcap not installed";

    const auto frames = FrameCollection();
    const auto rows = RunTshark(frames, kFields, false);
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

std::vector<std::string> Split(const std::string& strField, char cSeparator)
{
    std::vector<std::string> parts;
    std::stringstream stream(strField);
    std::string strPart;
    while (std::getline(stream, strPart, cSeparator))
        parts.push_back(strPart);
    return parts;
}

// The text after the first occurrence of a label, or nullptr.
const char* After(const std::string& strText, const std::string& strLabel)
{
    const auto nPos = strText.find(strLabel);
    return nPos == std::string::npos ? nullptr : strText.c_str() + nPos + strLabel.size();
}

// One field of the explanation read back as the number tshark shows (-1 where it is missing).
struct CReadBack
{
    const char* pszField;
    std::function<long long(const std::string&)> fnRead;
};

long long NumberAfter(const std::string& strText, const char* pszLabel)
{
    const char* p = After(strText, pszLabel);
    return p == nullptr ? -1 : std::strtoll(p, nullptr, 10);
}

// Hour, minute and milliseconds of a time line, then its IV and SU.
std::array<long long, 5> TimeAfter(const std::string& strText, const char* pszLabel)
{
    std::array<long long, 5> result{-1, -1, -1, -1, -1};
    const char* p = After(strText, pszLabel);
    int nHour = 0, nMinute = 0, nSecond = 0, nMs = 0;
    if (p == nullptr || std::sscanf(p, "%d:%d:%d.%d", &nHour, &nMinute, &nSecond, &nMs) != 4)
        return result;
    result = {nHour, nMinute, nSecond * 1000 + nMs, NumberAfter(p, "IV: "), NumberAfter(p, "SU: ")};
    return result;
}

// Year (two digits), month, day, hour, minute, milliseconds, day of week, IV and SU of a seven-octet
// time line.
std::array<long long, 9> Time56(const std::string& strText)
{
    std::array<long long, 9> result{-1, -1, -1, -1, -1, -1, -1, -1, -1};
    const char* p = After(strText, "时间(CP56Time2a): ");
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0, nMs = 0;
    if (p == nullptr ||
        std::sscanf(p, "%d-%d-%d %d:%d:%d.%d", &nYear, &nMonth, &nDay, &nHour, &nMinute, &nSecond, &nMs) != 7)
        return result;
    result = {nYear - 2000,
              nMonth,
              nDay,
              nHour,
              nMinute,
              nSecond * 1000 + nMs,
              NumberAfter(p, "星期: "),
              NumberAfter(p, "IV: "),
              NumberAfter(p, "SU: ")};
    return result;
}

const char* const kTime32 = "时间(CP32Time2a): ";

const CReadBack kReadBacks[] = {
    {"iec60870_5_103.ctrl_prm", [](const std::string& t) { return NumberAfter(t, "PRM: "); }},
    {"iec60870_5_103.ctrl_fcb", [](const std::string& t) { return NumberAfter(t, "FCB: "); }},
    {"iec60870_5_103.ctrl_fcv", [](const std::string& t) { return NumberAfter(t, "FCV: "); }},
    {"iec60870_5_103.ctrl_dfc", [](const std::string& t) { return NumberAfter(t, "DFC: "); }},
    {"iec60870_5_103.ctrl_func_pri_to_sec", [](const std::string& t) { return NumberAfter(t, "功能码: "); }},
    {"iec60870_5_103.ctrl_func_sec_to_pri", [](const std::string& t) { return NumberAfter(t, "功能码: "); }},
    {"iec60870_5_103.sq",
     [](const std::string& t)
     {
         const char* p = After(t, "可变结构限定词(VSQ): ");
         return p == nullptr ? -1 : std::strtoll(p, nullptr, 16);
     }},
    {"iec60870_5_103.dpi", [](const std::string& t) { return NumberAfter(t, "双点信息(DPI): "); }},
    {"iec60870_5_103.cp32time2a_ms", [](const std::string& t) { return TimeAfter(t, kTime32)[2]; }},
    {"iec60870_5_103.cp32time2a_min", [](const std::string& t) { return TimeAfter(t, kTime32)[1]; }},
    {"iec60870_5_103.cp32time2a_iv", [](const std::string& t) { return TimeAfter(t, kTime32)[3]; }},
    {"iec60870_5_103.cp32time2a_hr", [](const std::string& t) { return TimeAfter(t, kTime32)[0]; }},
    {"iec60870_5_103.cp32time2a_sum", [](const std::string& t) { return TimeAfter(t, kTime32)[4]; }},
    {"iec60870_5_103.sin", [](const std::string& t) { return NumberAfter(t, "附加信息(SIN): "); }},
    {"iec60870_5_103.col", [](const std::string& t) { return NumberAfter(t, "兼容级别(COL): "); }},
    {"iec60870_5_103.mfg_sw", [](const std::string& t) { return NumberAfter(t, "软件标识: "); }},
    {"iec60870_5_103.scn", [](const std::string& t) { return NumberAfter(t, "扫描序号(SCN): "); }},
    {"iec60870_5_103.dco", [](const std::string& t) { return NumberAfter(t, "双命令(DCO): "); }},
    {"iec60870_5_103.rii", [](const std::string& t) { return NumberAfter(t, "返回信息标识(RII): "); }},
    {"iec60870_asdu.cp56time.ms", [](const std::string& t) { return Time56(t)[5]; }},
    {"iec60870_asdu.cp56time.min", [](const std::string& t) { return Time56(t)[4]; }},
    {"iec60870_asdu.cp56time.iv", [](const std::string& t) { return Time56(t)[7]; }},
    {"iec60870_asdu.cp56time.hour", [](const std::string& t) { return Time56(t)[3]; }},
    {"iec60870_asdu.cp56time.su", [](const std::string& t) { return Time56(t)[8]; }},
    {"iec60870_asdu.cp56time.year", [](const std::string& t) { return Time56(t)[0]; }},
    {"iec60870_asdu.cp56time.month", [](const std::string& t) { return Time56(t)[1]; }},
    {"iec60870_asdu.cp56time.day", [](const std::string& t) { return Time56(t)[2]; }},
    {"iec60870_asdu.cp56time.dow", [](const std::string& t) { return Time56(t)[6]; }},
};

TEST(Iec103Tshark, FullExplanationAgreesWithWireshark)
{
    if (!HasTool("tshark") || !HasTool("text2pcap"))
        GTEST_SKIP() << "tshark or text2pcap not installed";

    const auto frames = FrameCollection();
    const auto rows = RunTshark(frames, kBodyFields, true);
    ASSERT_EQ(rows.size(), frames.size()) << "tshark gave no usable output";
    std::map<std::string, int> compared;
    for (std::size_t i = 0; i < frames.size(); ++i)
    {
        const auto& frame = frames[i];
        if (frame[0] != 0x68)
            continue; // fixed frames carry no ASDU to explain
        SCOPED_TRACE(relvane::test::Hex(frame));
        CAnnotationText text;
        relvane::AppendFullExplanation(frame.data(), static_cast<int>(frame.size()), text);
        const std::string& strText = text.Text();
        for (std::size_t f = 0; f < std::size(kBodyFields); ++f)
        {
            const std::string strField = kBodyFields[f];
            const std::string& strValue = rows[i][f];
            if (strValue.empty())
                continue;
            ++compared[strField];
            if (strField == "iec60870_5_103.mfg")
            {
                const char* p = After(strText, "制造厂: \"");
                ASSERT_NE(p, nullptr);
                EXPECT_EQ(std::string(p, strValue.size()), strValue);
            }
            else if (strField == "iec60870_asdu.normval")
            {
                // tshark divides the whole 16 bits; the explanation leaves out OV, ER and RES.
                const auto values = Split(strValue, ';');
                const char* p = strText.c_str();
                for (const std::string& strShown : values)
                {
                    p = std::strstr(p, "分数值: ");
                    ASSERT_NE(p, nullptr) << "fewer measurands than tshark shows";
                    p += std::strlen("分数值: ");
                    EXPECT_NEAR(std::strtod(p, nullptr), std::strtod(strShown.c_str(), nullptr),
                                8.0 / 32768 + 1e-6);
                }
            }
            else
            {
                const auto it = std::find_if(std::begin(kReadBacks), std::end(kReadBacks),
                                             [&](const CReadBack& r) { return strField == r.pszField; });
                ASSERT_NE(it, std::end(kReadBacks)) << strField;
                EXPECT_EQ(it->fnRead(strText), std::strtoll(strValue.c_str(), nullptr, 0)) << strField;
            }
        }
    }
    // Every field tshark decodes was met at least once.
    for (const char* pszField : kBodyFields)
        EXPECT_GT(compared[pszField], 0) << pszField;
}

} // namespace
