// Figures of the event list and the trends: drawing many measurand points (decimated to the pixel
// columns) and reading a large log's received frames back.
#include "app/TrendPlot.h"
#include "events/RecordTables.h"
#include "session/RecordFeed.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <set>

namespace
{

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// ASDU 9 with nine values that wander with n.
std::vector<std::uint8_t> MeasurandFrame(int n)
{
    std::vector<std::uint8_t> abFrame{0x68, 0x1A, 0x1A, 0x68, 0x08, 0x01, 0x09, 0x09, 0x02, 0x01, 0x80, 0x94};
    for (int i = 0; i < 9; ++i)
    {
        const int nValue = ((n * (i + 3)) % 4000 + 1000 * i) << 3;
        abFrame.push_back(static_cast<std::uint8_t>(nValue & 0xFF));
        abFrame.push_back(static_cast<std::uint8_t>((nValue >> 8) & 0xFF));
    }
    std::uint8_t nSum = 0;
    for (std::size_t i = 4; i < abFrame.size(); ++i)
        nSum = static_cast<std::uint8_t>(nSum + abFrame[i]);
    abFrame.push_back(nSum);
    abFrame.push_back(0x16);
    return abFrame;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kFrames = 100000; // 900,000 points in nine series

    relvane::CRecordTables tables;
    tables.Clear(relvane::TIME_RELATIVE);
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kFrames; ++n)
    {
        const auto abFrame = MeasurandFrame(n);
        tables.AddFrame(relvane::RECORDS_103, abFrame.data(), static_cast<int>(abFrame.size()), n * 0.5, -1);
    }
    std::printf("records: %d ASDU 9 frames into the tables: %.0f ms (%zu points)\n", kFrames, MillisecondsSince(start),
                tables.PointCount());

    relvane::CTrendPlot plot(tables);
    plot.resize(1200, 600);
    std::set<std::string> keys;
    for (const auto& series : tables.Series())
        keys.insert(series.strKey);
    plot.SetShown(keys, -1e300);
    QImage image(plot.size(), QImage::Format_RGB32);
    constexpr int kPaints = 10;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPaints; ++i)
        plot.render(&image);
    std::printf("records: one paint of %zu points on 1200x600: %.1f ms\n", tables.PointCount(),
                MillisecondsSince(start) / kPaints);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPaints; ++i)
        (void)plot.ReadoutAt(600);
    std::printf("records: values under the mouse: %.2f ms\n", MillisecondsSince(start) / kPaints);

    // A log of sent and received frames with annotations, as the window holds it.
    QTextDocument document;
    QTextCursor cursor(&document);
    QString strText;
    for (int n = 0; n < kFrames; ++n)
    {
        strText += QStringLiteral("发送: 10 5B 01 5C 16 \n");
        strText += QStringLiteral("[12:00:00.000] 接收: ");
        for (const std::uint8_t b : MeasurandFrame(n))
            strText += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        strText += QStringLiteral("\n (\n链路地址: 1      ASDU 9      COT: 2  循环\n) \n");
    }
    cursor.insertText(strText);
    relvane::CRecordFeed feed;
    start = std::chrono::steady_clock::now();
    const int nRead = feed.ReadLog(document);
    std::printf("records: a log of %d paragraphs read back: %d frames in %.0f ms\n", document.blockCount(), nRead,
                MillisecondsSince(start));
    return 0;
}
