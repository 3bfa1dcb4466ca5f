// The disturbance record viewer: traces reduced to pixel columns, the records of the simulated
// relay and of other recorders opened from their files, the cursor's readout, zoom and pan, and
// damaged files refused with the file, line and field.
#include "ComtradeSamples.h"
#include "TempFolder.h"
#include "app/record/RecordDecimation.h"
#include "app/record/RecordPlot.h"
#include "app/record/RecordViewer.h"
#include "disturbance/ComtradeWriter.h"
#include "forms/FormDialog.h"
#include "relay/DisturbanceRecorder.h"

#include <QImage>
#include <QLabel>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace relvane
{
namespace
{

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(RecordDecimation, MinMaxPerPixelColumn)
{
    const std::vector<double> times = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const std::vector<float> values = {3, -1, 4, 1, kNan, kNan, 9, 2, 6, 5, 7};
    struct CCase
    {
        double dFrom;
        double dTo;
        int nColumns;
        std::vector<CColumnSpan> expected;
    };
    const CCase cases[] = {
        // Two samples a column; the missing pair leaves a gap; the sample at the end joins the last column.
        {0, 10, 5, {{-1, 3, false}, {1, 4, false}, {kNan, kNan, true}, {2, 9, false}, {5, 7, false}}},
        // Only the samples inside the view count.
        {1.5, 3.5, 2, {{4, 4, false}, {1, 1, false}}},
        // More columns than samples: columns between samples are empty.
        {0, 2, 4, {{3, 3, false}, {kNan, kNan, true}, {-1, -1, false}, {4, 4, false}}},
        // Nothing to show.
        {20, 30, 2, {{kNan, kNan, true}, {kNan, kNan, true}}},
        {5, 5, 3, {{kNan, kNan, true}, {kNan, kNan, true}, {kNan, kNan, true}}},
        {0, 10, 0, {}},
    };
    for (const CCase& c : cases)
    {
        const std::vector<CColumnSpan> columns = MinMaxColumns(times, values, c.dFrom, c.dTo, c.nColumns);
        ASSERT_EQ(columns.size(), c.expected.size()) << c.dFrom;
        for (std::size_t i = 0; i < columns.size(); ++i)
        {
            EXPECT_EQ(columns[i].bEmpty, c.expected[i].bEmpty) << c.dFrom << " column " << i;
            if (!columns[i].bEmpty)
            {
                EXPECT_EQ(columns[i].fMin, c.expected[i].fMin) << c.dFrom << " column " << i;
                EXPECT_EQ(columns[i].fMax, c.expected[i].fMax) << c.dFrom << " column " << i;
            }
        }
    }
    // Digital states go through the same reduction.
    const std::vector<std::uint8_t> states = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
    const std::vector<CColumnSpan> bars = MinMaxColumns(times, states, 0, 10, 5);
    EXPECT_EQ(bars[1].fMax, 1.0f);
    EXPECT_EQ(bars[2].fMax, 0.0f);
    EXPECT_EQ(bars[4].fMax, 1.0f);
}

TEST(RecordDecimation, SamplesNearestAndTicks)
{
    const std::vector<double> times = {0.0, 0.001, 0.002, 0.004};
    EXPECT_EQ(SamplesInView(times, 0.0005, 0.002), (std::pair<std::size_t, std::size_t>(1, 3)));
    EXPECT_EQ(SamplesInView(times, 0.005, 0.006), (std::pair<std::size_t, std::size_t>(4, 4)));
    const std::pair<double, std::size_t> nearest[] = {
        {-1.0, 0}, {0.0004, 0}, {0.0006, 1}, {0.0031, 3}, {9.0, 3}};
    for (const auto& [dTime, nSample] : nearest)
        EXPECT_EQ(NearestSample(times, dTime), nSample) << dTime;
    EXPECT_EQ(Ticks(-200, 800, 5), (std::vector<double>{-200, 0, 200, 400, 600, 800}));
    EXPECT_EQ(Ticks(-3, 7, 10), (std::vector<double>{-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Ticks(0.12, 0.58, 4), (std::vector<double>{0.2, 0.4}));
    EXPECT_EQ(Ticks(12, 58, 5), (std::vector<double>{20, 30, 40, 50}));
    EXPECT_TRUE(Ticks(1, 1, 5).empty());
    // A view too narrow for the numbers' precision ends instead of counting for ever.
    EXPECT_LE(Ticks(1e20, 1e20 + 1e5, 5).size(), 24u);
}

// The simulated relay's record, as the upload writes it.
CDisturbanceRecord RelayRecord()
{
    using R = CDisturbanceRecorder;
    CDisturbanceRecord record;
    record.strStation = "RELAY";
    record.strDevice = "FUN128 ADDR1";
    record.nFan = 1;
    record.nIntervalUs = R::kIntervalUs;
    record.nElements = R::kElements;
    record.startTime = {2026, 12, 8, 3, 19, 10, 409000};
    record.faultTime = {2026, 12, 8, 3, 19, 10, 609000};
    for (int c = 0; c < R::kChannels; ++c)
    {
        CDisturbanceChannel channel{
            R::Acc(c), R::RatedPrimary(c), R::RatedSecondary(c), R::ReferenceFactor(c), {}};
        for (int n = 0; n < R::kElements; ++n)
            channel.values.push_back(R::Sample(1, c, n));
        record.channels.push_back(channel);
    }
    record.tags = {{R::kPrefaultSamples, 128, 84, 2}, {R::kPrefaultSamples + 20, 128, 68, 2}};
    return record;
}

class RecordViewFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = test::MakeTempFolder("record-view");
        SetMessageHook([this](QWidget*, const QString& strText) { m_messages << strText; });
    }
    void TearDown() override
    {
        SetMessageHook(nullptr);
        std::filesystem::remove_all(m_folder);
    }

    std::filesystem::path m_folder;
    QStringList m_messages;
};

TEST_F(RecordViewFixture, OpensTheRelaysRecordAndReadsTheCursor)
{
    using R = CDisturbanceRecorder;
    for (const auto eFormat : {ComtradeFormat::Ascii, ComtradeFormat::Binary})
    {
        std::vector<std::string> paths;
        std::string strError;
        ASSERT_TRUE(WriteComtrade(RelayRecord(), m_folder.string(), eFormat, paths, strError)) << strError;
        CRecordViewer viewer;
        viewer.resize(1000, 700);
        // Either file of the pair opens the record.
        ASSERT_TRUE(
            viewer.OpenRecord(QString::fromStdString(paths[eFormat == ComtradeFormat::Ascii ? 0 : 1])));
        CRecordPlot& plot = *viewer.Plot();
        ASSERT_EQ(plot.Record()->analogs.size(), 8u);
        EXPECT_TRUE(
            viewer.InfoText().contains(QStringLiteral("8 个模拟量, 2 个开关量, 1000 个采样 (1000 Hz)")))
            << viewer.InfoText().toStdString();

        // The cursor 5 ms after the trigger: sample 205, every channel's value there.
        plot.SetCursorTime(0.2052);
        EXPECT_EQ(plot.CursorSample(), 205u);
        EXPECT_EQ(plot.CursorTimeText(), QStringLiteral("+5.000 ms"));
        EXPECT_EQ(viewer.findChild<QLabel*>(QStringLiteral("recordCursor"))->text(),
                  QStringLiteral("光标: +5.000 ms (距触发), 第 206 个采样"));
        const QStringList readout = plot.CursorReadout();
        ASSERT_EQ(readout.size(), 10);
        const double dIl1 = R::Sample(1, 0, 205) * static_cast<double>(R::ReferenceFactor(0));
        EXPECT_EQ(readout[0],
                  QStringLiteral("IL1 = ") + QString::number(dIl1, 'g', 5) + QStringLiteral(" A"));
        EXPECT_TRUE(readout[4].startsWith(QStringLiteral("UL1E = "))) << readout[4].toStdString();
        EXPECT_EQ(readout[8], QStringLiteral("FUN128 INF84 General start = 1"));
        plot.SetCursorTime(0.1);
        EXPECT_EQ(plot.CursorReadout()[8], QStringLiteral("FUN128 INF84 General start = 0"));

        // Drawn offscreen: the first lane carries the yellow A phase.
        plot.resize(900, 640);
        QImage image(plot.size(), QImage::Format_RGB32);
        plot.render(&image);
        bool bTrace = false;
        for (int y = 0; y < image.height() / 8 && !bTrace; ++y)
            for (int x = 200; x < image.width() && !bTrace; ++x)
                bTrace = image.pixelColor(x, y) == QColor(0xC0, 0x90, 0x00);
        EXPECT_TRUE(bTrace);
        std::filesystem::remove(paths[0]);
        std::filesystem::remove(paths[1]);
    }
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'\n').toStdString();
}

TEST_F(RecordViewFixture, ZoomAndPanStayInsideTheRecord)
{
    auto pRecord = std::make_shared<CComtradeRecord>();
    for (int n = 0; n < 1001; ++n)
        pRecord->times.push_back(n * 0.001);
    pRecord->analogs.resize(1);
    pRecord->analogs[0].values.assign(1001, 1.0f);
    CRecordPlot plot;
    plot.resize(800, 300);
    plot.SetRecord(pRecord);
    EXPECT_DOUBLE_EQ(plot.ViewFrom(), 0.0);
    EXPECT_DOUBLE_EQ(plot.ViewTo(), 1.0);
    struct CStep
    {
        const char* pszWhat;
        std::function<void()> fnDo;
        double dFrom;
        double dTo;
    };
    const CStep steps[] = {
        {"zoom in around 0.2", [&] { plot.ZoomBy(0.5, 0.2); }, 0.1, 0.6},
        {"pan a tenth right", [&] { plot.PanBy(0.1); }, 0.15, 0.65},
        {"pan past the end", [&] { plot.PanBy(5.0); }, 0.5, 1.0},
        {"zoom in to ten samples at most", [&] { plot.ZoomBy(1e-6, 0.9); }, 0.892, 0.902},
        {"zoom out past the record", [&] { plot.ZoomBy(1e6, 0.9); }, 0.0, 1.0},
        {"a view before the record", [&] { plot.SetView(-5.0, -4.0); }, 0.0, 1.0},
        {"a view to show", [&] { plot.SetView(0.25, 0.5); }, 0.25, 0.5},
        {"all again", [&] { plot.ShowAll(); }, 0.0, 1.0},
    };
    for (const CStep& step : steps)
    {
        step.fnDo();
        EXPECT_NEAR(plot.ViewFrom(), step.dFrom, 1e-9) << step.pszWhat;
        EXPECT_NEAR(plot.ViewTo(), step.dTo, 1e-9) << step.pszWhat;
    }
}

// Records of other recorders' shapes, every revision and data format, opened from their files
// (the data file's extension in capitals, as DOS-era recorders write it).
TEST_F(RecordViewFixture, OpensRecordsOfOtherRecorders)
{
    using F = ComtradeDataFormat;
    const test::CSampleShape shapes[] = {{1991, F::Ascii},
                                         {1999, F::Binary, true},
                                         {2013, F::Binary32},
                                         {2013, F::Float32, false, false, true}};
    CRecordViewer viewer;
    viewer.resize(900, 600);
    for (const test::CSampleShape& shape : shapes)
    {
        const std::filesystem::path cfg = m_folder / ("rec" + std::to_string(shape.nRevision) + ".cfg");
        const std::filesystem::path dat = m_folder / ("rec" + std::to_string(shape.nRevision) + ".DAT");
        std::ofstream(cfg, std::ios::binary) << test::BuildSampleConfig(shape);
        const std::vector<std::uint8_t> abData = test::BuildSampleData(shape);
        std::ofstream(dat, std::ios::binary)
            .write(reinterpret_cast<const char*>(abData.data()), static_cast<std::streamsize>(abData.size()));
        ASSERT_TRUE(viewer.OpenRecord(QString::fromStdString(cfg.string())))
            << m_messages.join(u'\n').toStdString();
        EXPECT_EQ(viewer.Plot()->Record()->SampleCount(), static_cast<std::size_t>(test::kSampleCount));
        EXPECT_EQ(viewer.Plot()->Record()->digitals.size(), static_cast<std::size_t>(test::kSampleDigitals));
        // The missing value reads as such.
        viewer.Plot()->SetCursorTime(test::SampleTime(shape, test::kMissingSample));
        EXPECT_EQ(viewer.Plot()->CursorReadout()[1], QStringLiteral("VB = 缺失"));
        EXPECT_EQ(viewer.Plot()->CursorReadout()[0].section(u' ', 0, 1), QStringLiteral("IA ="));
        QImage image(viewer.Plot()->size(), QImage::Format_RGB32);
        viewer.Plot()->render(&image);
    }
}

// A damaged pair is refused with the file, the line and the field; the record shown stays.
TEST_F(RecordViewFixture, DamagedFilesAreNamedAndTheRecordShownStays)
{
    const test::CSampleShape shape{1999, ComtradeDataFormat::Ascii};
    std::string strConfig = test::BuildSampleConfig(shape);
    const std::vector<std::uint8_t> abData = test::BuildSampleData(shape);
    auto write = [this](const std::string& strName, const std::string& strBytes)
    { std::ofstream(m_folder / strName, std::ios::binary) << strBytes; };
    write("good.cfg", strConfig);
    write("good.dat", std::string(abData.begin(), abData.end()));
    write("bad.cfg", strConfig.replace(strConfig.find("2.5,-1"), 6, "2.5,x1"));
    write("bad.dat", std::string(abData.begin(), abData.end()));
    write("alone.cfg", test::BuildSampleConfig(shape));
    write("torn.cfg", test::BuildSampleConfig(shape));
    std::string strTorn = "1,0,1,x";
    for (int d = 0; d < test::kSampleDigitals; ++d)
        strTorn += ",0";
    write("torn.dat", strTorn + "\r\n");

    CRecordViewer viewer;
    ASSERT_TRUE(viewer.OpenRecord(QString::fromStdString((m_folder / "good.cfg").string())));
    const struct
    {
        const char* pszFile;
        const char* pszMessage;
    } cases[] = {
        {"bad.cfg", "bad.cfg: 第4行 b: 不是数字 “x1”"},
        {"alone.dat", "找不到文件 alone.dat"},
        {"torn.cfg", "torn.dat: 第1行 A2 (VB): 不是数字 “x”"},
        {"nothing.cfg", "找不到文件 nothing.cfg"},
    };
    for (const auto& c : cases)
    {
        m_messages.clear();
        QString strError;
        EXPECT_FALSE(viewer.OpenRecord(QString::fromStdString((m_folder / c.pszFile).string()), &strError));
        EXPECT_EQ(strError, QString::fromUtf8(c.pszMessage));
        EXPECT_EQ(m_messages, QStringList{QString::fromUtf8(c.pszMessage)});
        EXPECT_TRUE(viewer.windowTitle().endsWith(QStringLiteral("good")));
        EXPECT_EQ(viewer.Plot()->Record()->SampleCount(), static_cast<std::size_t>(test::kSampleCount));
    }
}

} // namespace
} // namespace relvane

namespace relvane
{
namespace
{

// Chinese recorders write names in GBK, the 2013 revision in UTF-8: both read as text.
TEST_F(RecordViewFixture, NamesInGbkAndUtf8)
{
    const std::string strRest = ",A,,V,1,0,0,-1,1,1,1,S\n50\n1\n1000,1\n01/01/2025,00:00:00.000000\n"
                                "01/01/2025,00:00:00.000000\nASCII\n1\n";
    const struct
    {
        const char* pszName;
        std::string strName;
        const char* pszReadout;
    } cases[] = {
        {"gbk", "\xB5\xE7\xC1\xF7", "电流 = 5 V"},
        {"utf8", "电流", "电流 = 5 V"},
        {"broken", "I\xFF", "I\xEF\xBF\xBD = 5 V"},
    };
    for (const auto& c : cases)
    {
        std::ofstream(m_folder / (std::string(c.pszName) + ".cfg"), std::ios::binary)
            << "S,D,1999\n1,1A,0D\n1," << c.strName << strRest;
        std::ofstream(m_folder / (std::string(c.pszName) + ".dat"), std::ios::binary) << "1,0,5\n";
        CRecordViewer viewer;
        ASSERT_TRUE(viewer.OpenRecord(
            QString::fromStdString((m_folder / (std::string(c.pszName) + ".cfg")).string())));
        viewer.Plot()->SetCursorTime(0.0);
        EXPECT_EQ(viewer.Plot()->CursorReadout(), QStringList{QString::fromUtf8(c.pszReadout)}) << c.pszName;
    }
}

} // namespace
} // namespace relvane
