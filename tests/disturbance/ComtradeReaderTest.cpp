// COMTRADE records read back: records of other recorders' shapes in every revision and format,
// the files this program writes of the simulated relay's record, and damaged files, each
// refused with the line and the field that are wrong.
#include "disturbance/ComtradeReader.h"

#include "ComtradeSamples.h"
#include "disturbance/ComtradeWriter.h"
#include "relay/DisturbanceRecorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace relvane
{
namespace
{

using test::CSampleShape;

bool Read(const std::string& strConfig, const std::vector<std::uint8_t>& abData, CComtradeRecord& record,
          std::string& strError)
{
    return ParseComtradeConfig(strConfig, record, strError) &&
           ParseComtradeData(abData.data(), abData.size(), record, strError);
}

std::string Describe(const CSampleShape& shape)
{
    return std::to_string(shape.nRevision) + " format " + std::to_string(static_cast<int>(shape.eFormat)) +
           (shape.bTwoRates ? " two rates" : "") + (shape.bStampsOnly ? " stamps" : "") +
           (shape.bNanoseconds ? " ns" : "") + (shape.bLineFeedOnly ? " LF" : "");
}

TEST(ComtradeReader, EveryRevisionAndDataFormat)
{
    using F = ComtradeDataFormat;
    const std::vector<CSampleShape> shapes = {
        {1991, F::Ascii},
        {1991, F::Binary, false, false, false, true},
        {1999, F::Ascii, true},
        {1999, F::Binary, false, true},
        {2013, F::Ascii, false, true, true, true},
        {2013, F::Binary},
        {2013, F::Binary32, true},
        {2013, F::Float32, false, false, true},
    };
    for (const CSampleShape& shape : shapes)
    {
        SCOPED_TRACE(Describe(shape));
        CComtradeRecord record;
        std::string strError;
        ASSERT_TRUE(Read(test::BuildSampleConfig(shape), test::BuildSampleData(shape), record, strError))
            << strError;
        EXPECT_EQ(record.nRevision, shape.nRevision);
        EXPECT_EQ(record.eFormat, shape.eFormat);
        EXPECT_EQ(record.strStation, "Substation Nord");
        EXPECT_EQ(record.strNote, "");
        ASSERT_EQ(record.analogs.size(), 2u);
        ASSERT_EQ(record.digitals.size(), static_cast<std::size_t>(test::kSampleDigitals));
        EXPECT_EQ(record.analogs[0].strId, "IA");
        EXPECT_EQ(record.analogs[0].strUnit, "kA");
        EXPECT_EQ(record.analogs[1].dSkew, 10.0);
        EXPECT_EQ(record.analogs[1].cScaling, 'S');
        EXPECT_EQ(record.digitals[16].strId, "Trip 17");
        EXPECT_EQ(record.digitals[1].nNormal, 1);
        EXPECT_NEAR(record.dTriggerSeconds, 0.01, 1e-6);
        ASSERT_EQ(record.SampleCount(), static_cast<std::size_t>(test::kSampleCount));
        for (int n = 0; n < test::kSampleCount; ++n)
        {
            EXPECT_NEAR(record.times[n], test::SampleTime(shape, n), 1e-9) << n;
            for (int c = 0; c < 2; ++c)
            {
                const float fValue = record.analogs[c].values[n];
                if (c == 1 && n == test::kMissingSample)
                    EXPECT_TRUE(std::isnan(fValue)) << "a missing value is a gap";
                else
                    EXPECT_NEAR(fValue, test::kSampleA[c] * test::SampleRaw(c, n) + test::kSampleB[c], 1e-3)
                        << c << " " << n;
            }
            for (int d = 0; d < test::kSampleDigitals; ++d)
                EXPECT_EQ(record.digitals[d].states[n], test::SampleState(d, n)) << d << " " << n;
        }
    }
}

// The files the disturbance upload writes of the simulated relay's record read back to the
// relay's own waveform, scaled to secondary values.
TEST(ComtradeReader, RecordOfTheSimulatedRelay)
{
    using R = CDisturbanceRecorder;
    CDisturbanceRecord written;
    written.strStation = "RELAY";
    written.strDevice = "FUN128 ADDR1";
    written.nFan = 2;
    written.nIntervalUs = R::kIntervalUs;
    written.nElements = R::kElements;
    written.startTime = {2026, 12, 8, 3, 19, 10, 409000};
    written.faultTime = {2026, 12, 8, 3, 19, 10, 609000};
    for (int c = 0; c < R::kChannels; ++c)
    {
        CDisturbanceChannel channel{
            R::Acc(c), R::RatedPrimary(c), R::RatedSecondary(c), R::ReferenceFactor(c), {}};
        for (int n = 0; n < R::kElements; ++n)
            channel.values.push_back(R::Sample(2, c, n));
        written.channels.push_back(channel);
    }
    written.tags = {{R::kPrefaultSamples, 128, 84, 2}, {R::kPrefaultSamples + 20, 128, 68, 2}};
    for (const auto eFormat : {ComtradeFormat::Ascii, ComtradeFormat::Binary})
    {
        CComtradeRecord record;
        std::string strError;
        ASSERT_TRUE(Read(BuildComtradeConfig(written, eFormat), BuildComtradeData(written, eFormat), record,
                         strError))
            << strError;
        ASSERT_EQ(record.analogs.size(), 8u);
        ASSERT_EQ(record.digitals.size(), 2u);
        EXPECT_EQ(record.analogs[1].strId, "IL2");
        EXPECT_EQ(record.analogs[4].strUnit, "V");
        EXPECT_NEAR(record.dTriggerSeconds, 0.2, 1e-9);
        ASSERT_EQ(record.SampleCount(), static_cast<std::size_t>(R::kElements));
        for (int c = 0; c < R::kChannels; ++c)
        {
            for (int n = 0; n < R::kElements; ++n)
            {
                const double dExpected = static_cast<double>(R::Sample(2, c, n)) * R::ReferenceFactor(c);
                ASSERT_NEAR(record.analogs[c].values[n], dExpected, std::abs(dExpected) * 1e-6 + 1e-6)
                    << c << " " << n;
            }
        }
        EXPECT_EQ(record.digitals[0].states[R::kPrefaultSamples - 1], 0);
        EXPECT_EQ(record.digitals[0].states[R::kPrefaultSamples], 1);
        EXPECT_NEAR(record.times[999], 0.999, 1e-9);
    }
}

// A data file that ends early is read as far as it holds whole samples, and says so.
TEST(ComtradeReader, DataCutShortShowsWhatIsThere)
{
    struct CCase
    {
        ComtradeDataFormat eFormat;
        std::size_t nCut; // bytes taken off the end
        std::size_t nSamples;
        const char* pszNote;
    };
    const CCase cases[] = {
        {ComtradeDataFormat::Binary, 10, 39,
         "数据文件只有 39 个采样, 配置文件给出 40 个: 只显示已有的采样 (最后 6 字节不足一个采样)"},
        {ComtradeDataFormat::Float32, 20, 39, "数据文件只有 39 个采样, 配置文件给出 40 个: 只显示已有的采样"},
        {ComtradeDataFormat::Ascii, 5, 39,
         "数据文件的最后一行不完整, 未读; 数据文件只有 39 个采样, 配置文件给出 40 个: 只显示已有的采样"},
    };
    for (const CCase& c : cases)
    {
        CSampleShape shape{2013, c.eFormat};
        std::vector<std::uint8_t> abData = test::BuildSampleData(shape);
        abData.resize(abData.size() - c.nCut);
        CComtradeRecord record;
        std::string strError;
        ASSERT_TRUE(Read(test::BuildSampleConfig(shape), abData, record, strError)) << strError;
        EXPECT_EQ(record.SampleCount(), c.nSamples);
        EXPECT_EQ(record.analogs[1].values.size(), c.nSamples);
        EXPECT_EQ(record.digitals[16].states.size(), c.nSamples);
        EXPECT_EQ(record.strNote, c.pszNote);
    }
}

// Without a sample rate the time stamps give the times, counted from the first sample's, scaled
// by the multiplier; times beyond what a number holds are refused.
TEST(ComtradeReader, TimesFromStamps)
{
    const std::string strConfig = "S,D,1999\n1,1A,0D\n1,IA,A,,A,1,0,0,-1,1,1,1,S\n50\n0\n0,3\n"
                                  "01/01/2025,00:00:00.000000\n01/01/2025,00:00:00.001000\nASCII\n";
    CComtradeRecord record;
    std::string strError;
    const std::string strData = "1,1000,5\n2,1500,6\n3,2500,7\n";
    const std::vector<std::uint8_t> abData(strData.begin(), strData.end());
    ASSERT_TRUE(Read(strConfig + "0.5\n", abData, record, strError)) << strError;
    ASSERT_EQ(record.times.size(), 3u);
    EXPECT_NEAR(record.times[1], 0.00025, 1e-12);
    EXPECT_NEAR(record.times[2], 0.00075, 1e-12);
    EXPECT_FALSE(Read(strConfig + "1e307\n", abData, record, strError));
    EXPECT_EQ(strError, "第2行 timestamp: 时间超出范围");
}

// Damaged configurations: each message names the line and the field.
TEST(ComtradeReader, DamagedConfigurationNamesLineAndField)
{
    const std::string strGood = "S,D,1999\n2,1A,1D\n1,IA,A,,A,1,0,0,-1,1,1,1,S\n1,T,,,0\n50\n1\n1000,2\n"
                                "01/01/2025,00:00:00.000000\n01/01/2025,00:00:00.001000\nASCII\n1\n";
    struct CCase
    {
        const char* pszFrom; // replaced in the good file (empty: the whole file is pszTo)
        const char* pszTo;
        const char* pszError;
    };
    const CCase cases[] = {
        {"", "", "第1行 station_name: 文件在此之前结束"},
        {"S,D,1999", "S", "第1行 rec_dev_id: 缺少此字段"},
        {"1999", "2001", "第1行 rev_year: 不是1991、1999或2013 “2001”"},
        {"2,1A,1D", "2,1A", "第2行 ##D: 缺少此字段"},
        {"2,1A,1D", "x,1A,1D", "第2行 TT: 不是整数 “x”"},
        {"2,1A,1D", "2,1,1D", "第2行 ##A: 不是以A结尾的通道数 “1”"},
        {"2,1A,1D", "3,1A,1D", "第2行 TT: 不等于##A与##D之和 (1+1)"},
        {"2,1A,1D", "2000000000,1999999999A,1D", "第2行 TT: 通道数 2000000000 多于文件的行数"},
        {",1,0,0,-1", ",x,0,0,-1", "第3行 a: 不是数字 “x”"},
        {",1,0,0,-1", ",nan,0,0,-1", "第3行 a: 不是数字 “nan”"},
        {",0,-1,1,1,1,S", ",0,-1,zz,1,1,S", "第3行 max: 不是数字 “zz”"},
        {"1,1,S", "1,1,Q", "第3行 PS: 不是P或S “Q”"},
        {"1,1,S", "1", "第3行 secondary: 缺少此字段"},
        {"1,IA,A,,A,1,0,0,-1,1,1,1,S", "1,IA,A", "第3行 ccbm: 缺少此字段"},
        {"1,T,,,0", "1,T,,,2", "第4行 y: 不是0或1 “2”"},
        {"\n50\n", "\n5O\n", "第5行 lf: 不是数字 “5O”"},
        {"\n1\n1000,2", "\n-1\n1000,2", "第6行 nrates: 超出范围 “-1”"},
        {"\n1\n1000,2", "\n99999\n1000,2", "第6行 nrates: 采样率个数 99999 多于文件的行数"},
        {"1000,2", "1000,0", "第7行 endsamp: 超出范围 “0”"},
        {"1000,2", "-5,2", "第7行 samp: 不能为负 “-5”"},
        {"1000,2", "1000", "第7行 endsamp: 缺少此字段"},
        {"01/01/2025,00:00:00.000000\n01", "13/13/2025,00:00:00.000000\n01",
         "第8行 dd/mm/yyyy: 不是日期 “13/13/2025”"},
        {"01/01/2025,00:00:00.000000\n01", "01-01-2025,00:00:00.000000\n01",
         "第8行 dd/mm/yyyy: 不是日期 “01-01-2025”"},
        {"00:00:00.001000", "24:00:00", "第9行 hh:mm:ss.ssssss: 不是时间 “24:00:00”"},
        {"00:00:00.001000", "", "第9行 hh:mm:ss.ssssss: 不是时间 “”"},
        {"ASCII", "TEXT", "第10行 ft: 不是ASCII、BINARY、BINARY32或FLOAT32 “TEXT”"},
        {"ASCII\n1\n", "ASCII\n0\n", "第11行 timemult: 必须大于0 “0”"},
        {"ASCII\n1\n", "ASCII\n1\nUTC\n", "第12行 local_code: 缺少此字段"},
        {"50\n1\n1000,2\n01/01/2025,00:00:00.000000\n01/01/2025,00:00:00.001000\nASCII\n1\n",
         "50\n1\n1000,2\n", "第8行 dd/mm/yyyy: 文件在此之前结束"},
        {"1,T,,,0\n", "", "第4行 ch_id: 缺少此字段"},
    };
    for (const CCase& c : cases)
    {
        std::string strText = c.pszFrom[0] == '\0' ? c.pszTo : strGood;
        if (c.pszFrom[0] != '\0')
        {
            const std::size_t nAt = strText.find(c.pszFrom);
            ASSERT_NE(nAt, std::string::npos) << c.pszFrom;
            strText.replace(nAt, std::string(c.pszFrom).size(), c.pszTo);
        }
        CComtradeRecord record;
        std::string strError;
        EXPECT_FALSE(ParseComtradeConfig(strText, record, strError)) << c.pszError;
        EXPECT_EQ(strError, c.pszError);
    }
    CComtradeRecord record;
    std::string strError;
    EXPECT_TRUE(ParseComtradeConfig(strGood, record, strError)) << strError;
}

// Damaged data of a good configuration: the line (or sample) and the field.
TEST(ComtradeReader, DamagedDataNamesLineAndField)
{
    const std::string strAsciiConfig =
        "S,D,1999\n3,2A,1D\n1,IA,A,,A,1,0,0,-1,1,1,1,S\n2,IB,B,,A,1,0,0,-1,1,1,1,S\n"
        "1,T,,,0\n50\n1\n1000,3\n01/01/2025,00:00:00.000000\n"
        "01/01/2025,00:00:00.001000\nASCII\n1\n";
    const std::string strStampConfig = "S,D,1999\n1,1A,0D\n1,IA,A,,A,1,0,0,-1,1,1,1,S\n50\n0\n0,3\n"
                                       "01/01/2025,00:00:00.000000\n01/01/2025,00:00:00.001000\nBINARY\n1\n";
    struct CCase
    {
        const std::string* pConfig;
        std::vector<std::uint8_t> abData;
        const char* pszError;
    };
    auto text = [](const char* psz) { return std::vector<std::uint8_t>(psz, psz + std::string(psz).size()); };
    const CCase cases[] = {
        {&strAsciiConfig, text("1,0,1,2,0\n2,1000,x,2,0\n"), "第2行 A1 (IA): 不是数字 “x”"},
        {&strAsciiConfig, text("1,0,1,2,0\n2,1000,1,2\n3,2000,1,2,0\n"), "第2行 D1 (T): 缺少此字段"},
        {&strAsciiConfig, text("1,0,1,2,0\n\n2,1000,1\n"), "第3行 A2 (IB): 缺少此字段"},
        {&strAsciiConfig, text("1,0,1,2,0,1\n"), "第1行 D1之后: 多出 1 个字段"},
        {&strAsciiConfig, text("1,0,1,2,5\n"), "第1行 D1 (T): 不是0或1 “5”"},
        {&strAsciiConfig, text("#,0,1,2,0\n"), "第1行 n: 不是数字 “#”"},
        {&strAsciiConfig, text("1,t,1,2,0\n"), "第1行 timestamp: 不是数字 “t”"},
        {&strAsciiConfig, text(""), "数据文件没有采样 (配置文件给出 3 个)"},
        {&strStampConfig,
         {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0},
         "第2个采样 timestamp: 缺少时间标记, 配置文件也没有采样率"},
        {&strStampConfig,
         {1, 0, 0, 0, 9, 0, 0, 0, 1, 0, 2, 0, 0, 0, 8, 0, 0, 0, 1, 0},
         "第2个采样 timestamp: 时间标记比上一个采样早"},
        {&strStampConfig,
         {1, 0, 0, 0, 9},
         "数据文件没有一个完整的采样 (配置文件给出 3 个, 每个 10 字节, 文件 5 字节)"},
    };
    for (const CCase& c : cases)
    {
        CComtradeRecord record;
        std::string strError;
        ASSERT_TRUE(ParseComtradeConfig(*c.pConfig, record, strError)) << strError;
        EXPECT_FALSE(ParseComtradeData(c.abData.data(), c.abData.size(), record, strError)) << c.pszError;
        EXPECT_EQ(strError, c.pszError);
        EXPECT_EQ(record.SampleCount(), 0u) << "no half record";
    }
}

} // namespace
} // namespace relvane
