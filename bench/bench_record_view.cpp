// The disturbance record viewer with a long record: 8 analogue channels (and 4 digital ones) of
// 100,000 samples each, read from COMTRADE data in memory and drawn by the real widget.
//
//   bench_record_view [samples] [--screenshot FILE.png]
//
// Printed: the time to read the data (BINARY and ASCII), to draw the whole record, and per
// frame of a zoom in to the shortest span and back out and of a pan across the record at that
// span, each drawn at once (repaint) in a 1600×900 window. With --screenshot, the window is
// saved instead, showing the simulated relay's record as the upload writes it, the cursor 5 ms
// after the trigger (for the README).

#include "BenchFigures.h"
#include "app/record/RecordPlot.h"
#include "app/record/RecordViewer.h"
#include "disturbance/ComtradeReader.h"
#include "disturbance/ComtradeWriter.h"
#include "relay/DisturbanceRecorder.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace relvane;
using namespace relvane::bench;

namespace
{

constexpr int kAnalogs = 8;
constexpr int kDigitals = 4;

std::string Config(int nSamples, const char* pszFormat)
{
    std::string str = "BENCH,RECORDER,2013\r\n" + std::to_string(kAnalogs + kDigitals) + "," +
                      std::to_string(kAnalogs) + "A," + std::to_string(kDigitals) + "D\r\n";
    static const char* const kNames[] = {"IA", "IB", "IC", "IN", "UA", "UB", "UC", "UN"};
    static const char* const kPhases[] = {"A", "B", "C", "N"};
    for (int c = 0; c < kAnalogs; ++c)
        str += std::to_string(c + 1) + "," + kNames[c] + "," + kPhases[c % 4] + ",," + (c < 4 ? "A" : "V") +
               ",0.001,0,0,-32767,32767,1000,1,S\r\n";
    for (int d = 0; d < kDigitals; ++d)
        str += std::to_string(d + 1) + ",Trip " + std::to_string(d + 1) + ",,,0\r\n";
    str += "50\r\n1\r\n10000," + std::to_string(nSamples) + "\r\n";
    str += "01/01/2025,00:00:00.000000\r\n01/01/2025,00:00:01.000000\r\n";
    return str + pszFormat + "\r\n1\r\n";
}

std::int16_t Raw(int nChannel, int nSample, int nSamples)
{
    const double dAmplitude = nSample > nSamples / 2 && nChannel % 4 == 0 ? 20000.0 : 4000.0;
    return static_cast<std::int16_t>(
        std::lround(dAmplitude * std::sin(2 * M_PI * 50.0 * nSample / 10000.0 - nChannel % 4 * 2.094)));
}

std::vector<std::uint8_t> BinaryData(int nSamples)
{
    std::vector<std::uint8_t> ab;
    ab.reserve(static_cast<std::size_t>(nSamples) * (8 + 2 * kAnalogs + 2));
    auto append = [&ab](std::uint32_t n, int nBytes)
    {
        for (int i = 0; i < nBytes; ++i)
            ab.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    };
    for (int n = 0; n < nSamples; ++n)
    {
        append(static_cast<std::uint32_t>(n + 1), 4);
        append(static_cast<std::uint32_t>(n * 100), 4);
        for (int c = 0; c < kAnalogs; ++c)
            append(static_cast<std::uint16_t>(Raw(c, n, nSamples)), 2);
        append(n > nSamples / 2 + (n % 7) ? 0x5u : 0x0u, 2);
    }
    return ab;
}

std::vector<std::uint8_t> AsciiData(int nSamples)
{
    std::string str;
    for (int n = 0; n < nSamples; ++n)
    {
        str += std::to_string(n + 1) + "," + std::to_string(n * 100);
        for (int c = 0; c < kAnalogs; ++c)
            str += "," + std::to_string(Raw(c, n, nSamples));
        str += n > nSamples / 2 ? ",1,0,1,0\r\n" : ",0,0,0,0\r\n";
    }
    return {str.begin(), str.end()};
}

std::shared_ptr<CComtradeRecord> Read(int nSamples, const char* pszFormat,
                                      const std::vector<std::uint8_t>& abData, double& dSeconds)
{
    auto pRecord = std::make_shared<CComtradeRecord>();
    std::string strError;
    const auto start = Clock::now();
    if (!ParseComtradeConfig(Config(nSamples, pszFormat), *pRecord, strError) ||
        !ParseComtradeData(abData.data(), abData.size(), *pRecord, strError))
    {
        std::fprintf(stderr, "bench_record_view: %s\n", strError.c_str());
        return nullptr;
    }
    dSeconds = Seconds(start, Clock::now());
    return pRecord;
}

// The simulated relay's record written as the upload writes it, in the viewer.
int Screenshot(const char* pszFile)
{
    using R = CDisturbanceRecorder;
    CDisturbanceRecord record;
    record.strStation = "RELAY";
    record.strDevice = "FUN128 ADDR1 SW1.0.0.0";
    record.nFun = 128;
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
    record.tags = {{R::kPrefaultSamples - 1, 128, 64, 2},
                   {R::kPrefaultSamples, 128, 84, 2},
                   {R::kPrefaultSamples + 25, 128, 68, 2}};
    QTemporaryDir folder;
    std::vector<std::string> paths;
    std::string strError;
    if (!folder.isValid() ||
        !WriteComtrade(record, folder.path().toStdString(), ComtradeFormat::Binary, paths, strError))
    {
        std::fprintf(stderr, "bench_record_view: cannot write the record: %s\n", strError.c_str());
        return 1;
    }
    CRecordViewer viewer;
    viewer.resize(1100, 780);
    viewer.show();
    if (!viewer.OpenRecord(QString::fromStdString(paths[0])))
        return 1;
    viewer.Plot()->SetView(0.1, 0.4);
    viewer.Plot()->SetCursorTime(0.205);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    if (!viewer.grab().save(QString::fromLocal8Bit(pszFile), "PNG"))
    {
        std::fprintf(stderr, "bench_record_view: cannot write %s\n", pszFile);
        return 1;
    }
    std::printf("bench_record_view: %s\n", pszFile);
    return 0;
}

// Frames drawn: wall-clock time and the window thread's own CPU time (on a shared machine the
// difference is time spent waiting for a core).
struct CFrames
{
    int nCount = 0;
    double dTotal = 0.0;
    double dMost = 0.0;
    double dCpu = 0.0;

    void Repaint(CRecordPlot& plot)
    {
        const double dCpuBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        plot.repaint();
        const double d = Seconds(start, Clock::now());
        dCpu += ThreadCpuSeconds() - dCpuBefore;
        ++nCount;
        dTotal += d;
        dMost = std::max(dMost, d);
    }

    void Print(const char* pszWhat) const
    {
        const int n = std::max(1, nCount);
        std::printf("  %s: %.2f ms a frame (CPU %.2f ms; most %.2f ms; %d frames)\n", pszWhat,
                    dTotal * 1000 / n, dCpu * 1000 / n, dMost * 1000, nCount);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (const char* pszFile = OptionText(argc, argv, "--screenshot"))
        return Screenshot(pszFile);
    const int nSamples = PositionalNumber(argc, argv, 100000);
    PrintMachine("bench_record_view");

    const std::vector<std::uint8_t> abBinary = BinaryData(nSamples);
    const std::vector<std::uint8_t> abAscii = AsciiData(nSamples);
    double dBinary = 0.0;
    double dAscii = 0.0;
    const auto pRecord = Read(nSamples, "BINARY", abBinary, dBinary);
    if (pRecord == nullptr || Read(nSamples, "ASCII", abAscii, dAscii) == nullptr)
        return 1;
    std::printf(
        "  read %d analogue and %d digital channels of %d samples: BINARY (%.1f MB) %.1f ms, ASCII (%.1f MB) "
        "%.1f ms\n",
        kAnalogs, kDigitals, nSamples, abBinary.size() / 1048576.0, dBinary * 1000,
        abAscii.size() / 1048576.0, dAscii * 1000);

    CRecordViewer viewer;
    viewer.resize(1600, 900);
    viewer.show();
    QCoreApplication::processEvents();
    auto start = Clock::now();
    viewer.ShowRecord(pRecord, QStringLiteral("bench"));
    CRecordPlot& plot = *viewer.Plot();
    plot.repaint();
    std::printf("  first drawing of the whole record (%dx%d plot): %.1f ms\n", plot.width(), plot.height(),
                Seconds(start, Clock::now()) * 1000);

    CFrames whole;
    for (int i = 0; i < 20; ++i)
        whole.Repaint(plot);
    CFrames zoom;
    const double dAnchor = pRecord->dTriggerSeconds;
    for (int nStep = 0; nStep < 200 && plot.ViewTo() - plot.ViewFrom() > 0.0011; ++nStep)
    {
        plot.ZoomBy(0.8, dAnchor);
        zoom.Repaint(plot);
    }
    CFrames pan;
    plot.SetView(0.0, (plot.ViewTo() - plot.ViewFrom()) * 100);
    for (int nStep = 0; nStep < 200 && plot.ViewTo() < pRecord->times.back(); ++nStep)
    {
        plot.PanBy(0.5);
        pan.Repaint(plot);
    }
    for (int nStep = 0; nStep < 200 && plot.ViewTo() - plot.ViewFrom() < pRecord->times.back() - 1e-9;
         ++nStep)
    {
        plot.ZoomBy(1.25, dAnchor);
        zoom.Repaint(plot);
    }
    whole.Print("whole record redrawn");
    zoom.Print("zoom in to 10 samples and out again");
    pan.Print("pan across the record, 1000 samples in view");
    std::printf("  memory: %.1f MB resident\n", ResidentBytes() / 1048576.0);
    return 0;
}
