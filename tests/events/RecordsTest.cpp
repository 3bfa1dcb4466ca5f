// Events and measurands read out of frames, frames read back from log paragraphs, and the CSV
// exports read back.
#include "TestBytes.h"
#include "events/FrameRecords.h"
#include "events/LoggedFrame.h"
#include "events/RecordCsv.h"
#include "events/RecordTables.h"
#include "proto94/Crc16.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace relvane
{
namespace
{

using test::Bytes;

// A 103 variable frame from the relay (control 08H, link address 1) around the ASDU.
std::vector<std::uint8_t> Iec103Frame(const std::string& strAsdu)
{
    std::vector<std::uint8_t> abBody = Bytes("08 01 " + strAsdu);
    std::vector<std::uint8_t> abFrame{0x68, static_cast<std::uint8_t>(abBody.size()),
                                      static_cast<std::uint8_t>(abBody.size()), 0x68};
    std::uint8_t nSum = 0;
    for (const std::uint8_t b : abBody)
    {
        abFrame.push_back(b);
        nSum = static_cast<std::uint8_t>(nSum + b);
    }
    abFrame.push_back(nSum);
    abFrame.push_back(0x16);
    return abFrame;
}

// A '94 frame: address 1, code, length, data, CRC-16 low byte first.
std::vector<std::uint8_t> Proto94Frame(std::uint8_t nCode, const std::string& strData)
{
    const std::vector<std::uint8_t> abData = Bytes(strData);
    std::vector<std::uint8_t> abFrame{0x01, nCode, static_cast<std::uint8_t>(abData.size())};
    for (const std::uint8_t b : abData)
        abFrame.push_back(b);
    const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abFrame;
}

const std::string kStamp = "04 20 12 31 23 59 58 99 09"; // 2004-12-31 23:59:58.999

struct CEventCase
{
    const char* pszWhat;
    int nProtocol;
    std::vector<std::uint8_t> abFrame;
    bool bEvent;
    CEventRow expected;
};

CEventRow Row(const char* pszTime, int nFun, int nInf, const char* pszName, int nDpi, const char* pszState, int nSin,
              int nFan, int nRet, int nCot)
{
    CEventRow row;
    row.strRelayTime = pszTime;
    row.nFun = nFun;
    row.nInf = nInf;
    row.strName = pszName;
    row.nDpi = nDpi;
    row.strState = pszState;
    row.nSin = nSin;
    row.nFan = nFan;
    row.nRet = nRet;
    row.nCot = nCot;
    return row;
}

TEST(FrameRecordsTest, EventsComeOutOfEveryFrameThatCarriesOneAndOfNoOther)
{
    const std::vector<CEventCase> cases{
        {"ASDU 1, spontaneous", RECORDS_103, Bytes("68 0E 0E 68 08 01 01 81 01 01 80 5A 02 39 30 1E 0A 00 FA 16"), true,
         Row("10:30:12.345", 128, 90, "", 2, "合(ON)", 0, -1, -1, 1)},
        {"ASDU 2 with relative time and fault number, invalid time", RECORDS_103,
         Iec103Frame("02 81 01 01 80 5C 01 2C 01 07 00 39 30 9E 0A 05"), true,
         Row("10:30:12.345 (无效)", 128, 92, "", 1, "分(OFF)", 5, 7, 300, 1)},
        {"ASDU 1 of a general interrogation", RECORDS_103, Iec103Frame("01 81 09 01 80 10 03 00 00 00 00 02"), true,
         Row("00:00:00.000", 128, 16, "", 3, "未用", 2, -1, -1, 9)},
        {"ASDU 1 without SIN", RECORDS_103, Iec103Frame("01 81 01 01 80 10 02 00 00 00 00"), true,
         Row("00:00:00.000", 128, 16, "", 2, "合(ON)", -1, -1, -1, 1)},
        {"ASDU 1 cut before its time", RECORDS_103, Iec103Frame("01 81 01 01 80 10 02 00 00"), false, {}},
        {"ASDU 1 from the master", RECORDS_103,
         Bytes("68 0E 0E 68 48 01 01 81 01 01 80 5A 02 39 30 1E 0A 00 3A 16"), false, {}},
        {"length field beyond the bytes", RECORDS_103, Bytes("68 0E 0E 68 08 01 01 81 01 01 80 5A 02 39"), false, {}},
        {"measurands are no event", RECORDS_103, Bytes("68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16"), false,
         {}},
        {"'94 event report", RECORDS_94, Proto94Frame(0xB0, "01 " + kStamp + " 00 80"), true,
         Row("2004年12月31日 23:59:58.999", 0, 128, "装置上电", -1, "", -1, -1, -1, -1)},
        {"'94 extended report", RECORDS_94, Proto94Frame(0xCA, "01 " + kStamp + " 03 00 07 02 80 25 00"), true,
         Row("2004年12月31日 23:59:58.999", 2, 128, "保护启动", -1, "", -1, -1, -1, -1)},
        {"'94 report of an unknown type", RECORDS_94, Proto94Frame(0xB0, "01 " + kStamp + " 03 05"), true,
         Row("2004年12月31日 23:59:58.999", 3, 5, "", -1, "", -1, -1, -1, -1)},
        {"'94 extended report cut short", RECORDS_94, Proto94Frame(0xCA, "01 " + kStamp + " 03"), false, {}},
        {"'94 clock answer", RECORDS_94, Proto94Frame(0xB7, kStamp), false, {}},
    };
    for (const CEventCase& one : cases)
    {
        SCOPED_TRACE(one.pszWhat);
        CEventRow row;
        ASSERT_EQ(ExtractEvent(one.nProtocol, one.abFrame.data(), static_cast<int>(one.abFrame.size()), row), one.bEvent);
        if (!one.bEvent)
            continue;
        EXPECT_EQ(row.nProtocol, one.nProtocol);
        EXPECT_EQ(row.strRelayTime, one.expected.strRelayTime);
        EXPECT_EQ(row.nFun, one.expected.nFun);
        EXPECT_EQ(row.nInf, one.expected.nInf);
        if (one.nProtocol == RECORDS_94)
            EXPECT_EQ(row.strName, one.expected.strName);
        else
            EXPECT_FALSE(row.strName.empty() && one.expected.nInf == 90); // the standard names INF 90
        EXPECT_EQ(row.nDpi, one.expected.nDpi);
        EXPECT_EQ(row.strState, one.expected.strState);
        EXPECT_EQ(row.nSin, one.expected.nSin);
        EXPECT_EQ(row.nFan, one.expected.nFan);
        EXPECT_EQ(row.nRet, one.expected.nRet);
        EXPECT_EQ(row.nCot, one.expected.nCot);
    }
}

struct CSampleCase
{
    const char* pszWhat;
    int nProtocol;
    std::vector<std::uint8_t> abFrame;
    std::vector<double> values;
    std::vector<int> raws;
    std::vector<int> flags; // OV + 2 ER
};

TEST(FrameRecordsTest, EveryValueOfAMeasurandFrameIsASample)
{
    const std::vector<CSampleCase> cases{
        {"ASDU 3, two values with OV and ER", RECORDS_103, Bytes("68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16"),
         {96 / 32768.0, -96 / 32768.0}, {0x0063, 0xFFA2}, {3, 2}},
        {"ASDU 9, full scale both ways", RECORDS_103, Iec103Frame("09 84 02 01 80 94 F8 7F 00 80 08 00 F0 FF"),
         {32760 / 32768.0, -1.0, 8 / 32768.0, -16 / 32768.0}, {0x7FF8, 0x8000, 0x0008, 0xFFF0}, {0, 0, 0, 0}},
        {"ASDU 9 with an odd byte at its end", RECORDS_103, Iec103Frame("09 81 02 01 80 94 08 00 01"), {8 / 32768.0},
         {0x0008}, {0}},
        {"ASDU 9 from the master", RECORDS_103, Bytes("68 08 08 68 48 01 09 81 02 01 80 94 00 16"), {}, {}, {}},
        {"'94 samples", RECORDS_94, Proto94Frame(0xB8, "01 E8 03 18 FC 00 00"), {1000, -1000, 0},
         {0x03E8, 0xFC18, 0}, {0, 0, 0}},
        {"'94 event report", RECORDS_94, Proto94Frame(0xB0, "01 " + kStamp + " 00 80"), {}, {}, {}},
    };
    for (const CSampleCase& one : cases)
    {
        SCOPED_TRACE(one.pszWhat);
        std::vector<CMeasurandSample> samples;
        ExtractMeasurands(one.nProtocol, one.abFrame.data(), static_cast<int>(one.abFrame.size()), samples);
        ASSERT_EQ(samples.size(), one.values.size());
        for (std::size_t i = 0; i < samples.size(); ++i)
        {
            EXPECT_DOUBLE_EQ(samples[i].dValue, one.values[i]);
            EXPECT_EQ(samples[i].nRaw, one.raws[i]);
            EXPECT_EQ((samples[i].bOverflow ? 1 : 0) + (samples[i].bError ? 2 : 0), one.flags[i]);
            EXPECT_EQ(samples[i].nPosition, static_cast<int>(i) + 1);
        }
    }
    // Names: the standard's for ASDU 3 of FUN 128 INF 147, the position otherwise.
    std::vector<CMeasurandSample> samples;
    const auto abFrame = Bytes("68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16");
    ExtractMeasurands(RECORDS_103, abFrame.data(), static_cast<int>(abFrame.size()), samples);
    EXPECT_EQ(samples.at(0).strName, "128/147 测量值1 IN");
    EXPECT_EQ(samples.at(1).strKey, "103/128/147/2");
}

struct CLineCase
{
    const char* pszLine;
    bool bFrame;
    std::string strBytes;
    int nProtocol;
    int nStampForm;
    double dStamp;
};

TEST(LoggedFrameTest, ReceivedFramesAreReadBackFromTheirParagraphs)
{
    const std::vector<CLineCase> cases{
        {"接收: 68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16 ", true,
         "68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16", RECORDS_103, 0, 0},
        {"接收: 104 12 12 104 08 01 03 01 02 01 128 147 99 00 162 255 39 22 \r\n (\n链路地址: 1) ", true,
         "68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16", RECORDS_103, 0, 0},
        // "10 5A 01 5B 16" read as decimal is no frame; as hexadecimal it is.
        {"[12:34:56.789] 接收: 10 00 01 01 16 ", true, "10 00 01 01 16", RECORDS_103, 1, 45296.789},
        // Both readings are byte runs; only the decimal one is a good FT1.2 frame.
        {"[12.500s] 接收: 16 11 01 12 22 ", true, "10 0B 01 0C 16", RECORDS_103, 2, 12.5},
        {"[+15ms] 接收: E5 ", true, "E5", RECORDS_103, 3, 0.015},
        {"\r\nTCP接收: 01 02 03 ", true, "01 02 03", -1, 0, 0},
        {"发送: 10 5A 01 5B 16 ", false, "", -1, 0, 0},
        {"CRC错: 01 B0 0C ", false, "", -1, 0, 0},
        {"接收: ", false, "", -1, 0, 0},
        {"接收: 1G 02", false, "", -1, 0, 0},
        {"接收: 300 02", false, "", -1, 0, 0},
        {"[12:00:00.000 接收: 10", false, "", -1, 0, 0},
    };
    for (const CLineCase& one : cases)
    {
        SCOPED_TRACE(one.pszLine);
        CLoggedFrame frame;
        ASSERT_EQ(ReadLoggedFrame(one.pszLine, frame), one.bFrame);
        if (!one.bFrame)
            continue;
        EXPECT_EQ(test::Hex(frame.abBytes), one.strBytes);
        EXPECT_EQ(frame.nProtocol, one.nProtocol);
        EXPECT_EQ(frame.nStampForm, one.nStampForm);
        EXPECT_NEAR(frame.dStampSeconds, one.dStamp, 1e-9);
    }
}

TEST(LoggedFrameTest, TimesFollowTheLogsStampsAcrossMidnightOrCountFrames)
{
    struct CTimesCase
    {
        const char* pszWhat;
        std::vector<const char*> lines;
        int nTimeBase;
        std::vector<double> times;
        const char* pszLastText;
    };
    const std::vector<CTimesCase> cases{
        {"time of day past midnight",
         {"[23:59:59.500] 接收: E5 ", "[00:00:00.250] 接收: E5 "}, TIME_OF_DAY, {86399.5, 86400.25}, "00:00:00.250 +1d"},
        {"intervals add up", {"[+0ms] 接收: E5 ", "[+250ms] 接收: E5 ", "[+250ms] 接收: E5 "}, TIME_RELATIVE,
         {0, 0.25, 0.5}, "0.500s"},
        {"no stamps", {"接收: E5 ", "接收: E5 "}, TIME_ORDER, {1, 2}, "#2"},
    };
    for (const CTimesCase& one : cases)
    {
        SCOPED_TRACE(one.pszWhat);
        CLoggedTimes times;
        std::vector<double> seen;
        for (const char* pszLine : one.lines)
        {
            CLoggedFrame frame;
            ASSERT_TRUE(ReadLoggedFrame(pszLine, frame));
            std::string strText;
            seen.push_back(times.Next(frame, strText));
        }
        EXPECT_EQ(times.TimeBase(), one.nTimeBase);
        ASSERT_EQ(seen.size(), one.times.size());
        for (std::size_t i = 0; i < seen.size(); ++i)
            EXPECT_NEAR(seen[i], one.times[i], 1e-9);
        EXPECT_EQ(FormatRecordTime(one.nTimeBase, seen.back()), one.pszLastText);
    }
}

// A session's worth of frames in both protocols, exported and read back field by field.
CRecordTables FilledTables()
{
    CRecordTables tables;
    tables.Clear(TIME_OF_DAY);
    const std::vector<std::pair<int, std::vector<std::uint8_t>>> frames{
        {RECORDS_103, Bytes("68 0E 0E 68 08 01 01 81 01 01 80 5A 02 39 30 1E 0A 00 FA 16")},
        {RECORDS_103, Bytes("68 0C 0C 68 08 01 03 01 02 01 80 93 63 00 A2 FF 27 16")},
        {RECORDS_103, Iec103Frame("02 81 01 01 80 5C 01 2C 01 07 00 39 30 9E 0A 05")},
        {RECORDS_103, Bytes("68 0C 0C 68 08 01 03 01 02 01 80 93 F8 7F 00 80 27 16")},
        {RECORDS_94, Proto94Frame(0xB0, "01 " + kStamp + " 01 93")},
        {RECORDS_94, Proto94Frame(0xB8, "01 E8 03 18 FC")},
    };
    double dTime = 3600.0;
    for (const auto& [nProtocol, abFrame] : frames)
        tables.AddFrame(nProtocol, abFrame.data(), static_cast<int>(abFrame.size()), dTime += 1.25, -1);
    return tables;
}

TEST(RecordCsvTest, TheEventListReadsBackFieldByField)
{
    const CRecordTables tables = FilledTables();
    ASSERT_EQ(tables.Events().size(), 3u);
    const std::string strCsv = BuildEventsCsv(tables);
    EXPECT_EQ(strCsv.substr(0, 3), "\xEF\xBB\xBF");
    const auto rows = ParseCsv(strCsv);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].at(0), "序号");
    EXPECT_EQ(rows[0].size(), 12u);
    const std::vector<std::vector<std::string>> expected{
        {"1", "103", "10:30:12.345", "01:00:01.250", "128", "90", tables.Events()[0].strName, "合(ON)", "0", "", "", "1"},
        {"2", "103", "10:30:12.345 (无效)", "01:00:03.750", "128", "92", tables.Events()[1].strName, "分(OFF)", "5", "7",
         "300", "1"},
        {"3", "94", "2004年12月31日 23:59:58.999", "01:00:06.250", "1", "147", "距离过负荷告警", "", "", "", "", ""},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rows[i + 1], expected[i]);
}

TEST(RecordCsvTest, TheMeasurandSeriesReadBackInTimeOrder)
{
    const CRecordTables tables = FilledTables();
    ASSERT_EQ(tables.Series().size(), 4u); // two 103 values, two '94 samples
    const auto rows = ParseCsv(BuildMeasurandsCsv(tables));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].at(7), "值");
    double dLast = 0.0;
    std::size_t nRow = 1;
    for (const CMeasurandSeries& series : tables.Series())
    {
        for (const CTrendPoint& point : series.points)
        {
            (void)point;
            ++nRow;
        }
    }
    EXPECT_EQ(nRow, rows.size());
    for (std::size_t i = 1; i < rows.size(); ++i)
    {
        ASSERT_EQ(rows[i].size(), 11u);
        const double dTime = std::stod(rows[i][1]);
        EXPECT_GE(dTime, dLast);
        dLast = dTime;
        // The value as written is the value kept, to the last bit of a 13-bit fraction.
        const auto& series = *std::find_if(tables.Series().begin(), tables.Series().end(),
                                           [&](const CMeasurandSeries& one) { return one.strName == rows[i][2]; });
        const auto it = std::find_if(series.points.begin(), series.points.end(),
                                     [&](const CTrendPoint& point) { return std::abs(point.dTime - dTime) < 1e-6; });
        ASSERT_NE(it, series.points.end());
        EXPECT_EQ(std::stod(rows[i][7]), it->dValue);
    }
    EXPECT_EQ(rows[2], (std::vector<std::string>{"01:00:02.500", "3602.500", "128/147 测量值2 UEN", "103", "128",
                                                 "147", "2", "-0.0029296875", "FFA2", "0", "1"}));
    // One series from a time on.
    const auto one = ParseCsv(BuildMeasurandsCsv(tables, {"103/128/147/1"}, 3603.0));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[1].at(7), "0.999755859375");
}

TEST(RecordCsvTest, FieldsWithCommasQuotesAndLineEndsSurviveAndTheFileIsWrittenWhole)
{
    CEventRow row;
    row.nNumber = 1;
    row.strName = "a,b \"c\"\r\nd";
    row.strRelayTime = "x";
    const std::string strCsv = BuildEventsCsv(std::vector<const CEventRow*>{&row});
    const auto rows = ParseCsv(strCsv);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].at(6), row.strName);

    const auto path = std::filesystem::temp_directory_path() / "relvane-events-test.csv";
    std::string strError;
    ASSERT_TRUE(WriteCsvFile(path.string(), strCsv, strError)) << strError;
    {
        // Closed before the file is removed: Windows refuses to remove an open file.
        std::ifstream file(path, std::ios::binary);
        const std::string strRead((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(strRead, strCsv);
    }
    std::filesystem::remove(path);
    EXPECT_FALSE(WriteCsvFile((path / "no-such-folder" / "x.csv").string(), strCsv, strError));
    EXPECT_FALSE(strError.empty());
}

} // namespace
} // namespace relvane
