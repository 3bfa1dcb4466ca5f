// Appending in the real window: annotated '94 entries, each its own WM_SERIAL_DATA posted by a
// producer thread as the serial reader thread posts completed reads, into the workbench window
// (offscreen) with the line limit off. Prints the rate per tenth of the run, the resident memory
// per entry, the longest time the log went without a repaint, and the same entries in a naive
// widget (a QTextEdit with one insert and one repaint per entry) with the ratio.
//
//   bench_append [entries] [--rate R] [--limit-seconds S] [--naive-seconds S] [--no-naive]
//
// The default of 100,000 entries keeps `make bench` short; `bench_append 1000000` is the full run.
// --rate paces the relay to R entries per second instead of keeping 2000 chunks waiting;
// --limit-seconds ends a run that has stalled (default 600) and reports how far it got.

#include "BenchSupport.h"
#include "app/LogEdit.h"
#include "app/LogFonts.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace relvane;
using namespace relvane::bench;

namespace
{

constexpr std::size_t kMaxInFlight = 2000; // chunks posted and not yet handled

// Records when a widget paints and the longest stretch without a paint.
class CPaintWatch : public QObject
{
public:
    explicit CPaintWatch(QWidget* pWidget) { pWidget->installEventFilter(this); }

    void Start()
    {
        m_last = Clock::now();
        m_dLongest = 0;
        m_nPaints = 0;
    }
    void Stop() { Note(Clock::now()); }
    double Longest() const { return m_dLongest; }
    int Paints() const { return m_nPaints; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
        {
            Note(Clock::now());
            ++m_nPaints;
        }
        return QObject::eventFilter(pWatched, pEvent);
    }

private:
    void Note(Clock::time_point now)
    {
        m_dLongest = std::max(m_dLongest, Seconds(m_last, now));
        m_last = now;
    }

    Clock::time_point m_last;
    double m_dLongest = 0;
    int m_nPaints = 0;
};

QString NaiveText(const std::string& strUtf8)
{
    QString strText = QString::fromStdString(strUtf8);
    strText.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    strText.replace(u'\n', QChar::LineSeparator);
    return strText;
}

// The log as a plain rich-text widget would be written: every entry inserted at the end,
// scrolled into view and repainted before the next one.
double RunNaive(const std::vector<std::vector<std::uint8_t>>& frames, const Proto94Codec& codec, double dBudget,
                int& nDone)
{
    QTextEdit edit;
    edit.resize(900, 600);
    edit.show();
    Pump(50);
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    std::atomic<int> nInFlight{0};
    std::atomic<bool> bStop{false};
    nDone = 0;
    QObject receiver;
    auto onEntry = [&](int nIndex)
    {
        --nInFlight;
        const auto& abFrame = frames[static_cast<std::size_t>(nIndex % 40)];
        QString strBytes = QStringLiteral("接收: ");
        for (const std::uint8_t nByte : abFrame)
            strBytes += QStringLiteral("%1 ").arg(nByte, 2, 16, QLatin1Char('0')).toUpper();
        std::string strNote;
        codec.Interpret(abFrame.data(), static_cast<int>(abFrame.size()), strNote);
        QTextCursor cursor = edit.textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(strBytes, black);
        cursor.insertText(NaiveText("\r\n (\n" + strNote + ") \r\n"), green);
        edit.setTextCursor(cursor);
        edit.ensureCursorVisible();
        edit.viewport()->repaint();
        ++nDone;
    };
    const auto start = Clock::now();
    std::thread producer(
        [&]
        {
            for (int i = 0; !bStop; ++i)
            {
                while (nInFlight >= static_cast<int>(kMaxInFlight) && !bStop)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                ++nInFlight;
                QMetaObject::invokeMethod(&receiver, [&onEntry, i] { onEntry(i); }, Qt::QueuedConnection);
            }
        });
    while (Seconds(start, Clock::now()) < dBudget)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double dSeconds = Seconds(start, Clock::now());
    bStop = true;
    producer.join();
    // Drop what is still queued without handling it.
    QCoreApplication::removePostedEvents(&receiver);
    return dSeconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    InstallLogFontFallbacks();

    const int nEntries = std::max(10, PositionalNumber(argc, argv, 100000));
    double dNaiveBudget = 10.0;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--naive-seconds") == 0)
            dNaiveBudget = std::atof(argv[i + 1]);
    }
    double dRate = 0;
    double dLimit = 600;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--rate") == 0)
            dRate = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--limit-seconds") == 0)
            dLimit = std::atof(argv[i + 1]);
    }
    const bool bNaive = !HasFlag(argc, argv, "--no-naive");
    PrintMachine("bench_append");

    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(EventFrame(i));

    CWorkbench bench;
    CPaintWatch watch(bench.Frame().LogEdit()->viewport());
    const int nTenth = nEntries / 10;
    std::vector<Clock::time_point> marks(11);
    bench.Serial().SetAdvanceHook(
        [&](long long nCount)
        {
            if (nCount % nTenth == 0 && nCount / nTenth <= 10)
            {
                const std::size_t n = static_cast<std::size_t>(nCount / nTenth);
                marks[n] = Clock::now();
                std::printf("  tenth %zu: %.0f entries/s\n", n, nTenth / std::max(1e-9, Seconds(marks[n - 1], marks[n])));
                std::fflush(stdout);
            }
        });

    const long nBefore = TrimmedResidentBytes();
    const double dCpuBefore = CpuSeconds();
    marks[0] = Clock::now();
    watch.Start();
    std::atomic<bool> bStop{false};
    std::thread producer(
        [&]
        {
            const auto producerStart = Clock::now();
            for (int i = 0; i < nTenth * 10 && !bStop; ++i)
            {
                // Paced: sleep only when a millisecond ahead (a sleep costs more than an entry).
                const auto due = producerStart + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(dRate > 0 ? i / dRate : 0));
                if (dRate > 0 && Clock::now() + std::chrono::milliseconds(1) < due)
                    std::this_thread::sleep_until(due);
                while (bench.Serial().Queued() >= kMaxInFlight && !bStop)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                bench.Serial().Inject(frames[static_cast<std::size_t>(i % 40)]);
            }
        });
    QTimer wake; // lets the loop below look at the clock when nothing arrives
    wake.start(200);
    while (bench.Serial().Advanced() < nTenth * 10 && Seconds(marks[0], Clock::now()) < dLimit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake.stop();
    bStop = true;
    producer.join();
    if (bench.Serial().Advanced() < nTenth * 10)
    {
        std::printf("  stalled: %lld of %d entries after %.0f s\n", bench.Serial().Advanced(), nTenth * 10, dLimit);
        std::_Exit(0);
    }
    bench.View().Log().Flush();
    bench.Frame().LogEdit()->viewport()->repaint();
    const auto end = Clock::now();
    watch.Stop();
    const double dCpu = CpuSeconds() - dCpuBefore;
    const long nAfter = ResidentBytes();
    const long nAfterTrimmed = TrimmedResidentBytes();

    const int nDone = nTenth * 10;
    const double dTotal = Seconds(marks[0], end);
    std::printf("  window: %d annotated '94 entries, one posted event each, line limit off\n", nDone);
    std::printf("  rate: %.0f entries/s overall (%.2f s, CPU %.2f s)\n", nDone / dTotal, dTotal, dCpu);
    std::printf("  per tenth (entries/s):");
    double dFirst = 0;
    double dLowest = 1e18;
    for (int n = 1; n <= 10; ++n)
    {
        const double dTenthRate = nTenth / std::max(1e-9, Seconds(marks[static_cast<std::size_t>(n - 1)],
                                                                  marks[static_cast<std::size_t>(n)]));
        if (n == 1)
            dFirst = dTenthRate;
        dLowest = std::min(dLowest, dTenthRate);
        std::printf(" %.0f", dTenthRate);
    }
    std::printf("\n  lowest tenth: %.0f %% of the first (target: at least 80 %%)\n", 100.0 * dLowest / dFirst);
    std::printf("  resident growth: %.0f bytes/entry (%.1f MB; %.0f bytes/entry after trimming the heap)"
                " (target at 1M: at most 1024)\n",
                static_cast<double>(nAfter - nBefore) / nDone, (nAfter - nBefore) / 1048576.0,
                static_cast<double>(nAfterTrimmed - nBefore) / nDone);
    std::printf("  longest time without a repaint: %.0f ms over %d paints (target: at most 50 ms)\n",
                watch.Longest() * 1000, watch.Paints());
    std::printf("  document: %d paragraphs, scroll bar at %d of %d\n", bench.View().LogDocument()->blockCount(),
                bench.Frame().LogEdit()->verticalScrollBar()->value(),
                bench.Frame().LogEdit()->verticalScrollBar()->maximum());

    if (bNaive)
    {
        bench.Frame().hide();
        int nNaive = 0;
        const double dNaive = RunNaive(frames, bench.View().Proto94(), dNaiveBudget, nNaive);
        const double dNaiveRate = nNaive / dNaive;
        std::printf("  naive widget (QTextEdit, one insert and repaint per entry): %d entries in %.1f s, "
                    "%.0f entries/s\n",
                    nNaive, dNaive, dNaiveRate);
        std::printf("  ratio: %.1fx the naive widget\n", (nDone / dTotal) / std::max(1e-9, dNaiveRate));
    }
    return 0;
}
