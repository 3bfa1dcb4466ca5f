// Appending in the real window: annotated '94 entries, each its own WM_SERIAL_DATA posted by a
// producer thread as the serial reader thread posts completed reads, into the workbench window
// (offscreen) with the line limit off. Prints the rate per tenth of the run, the resident memory
// per entry, the longest time the log went without a repaint, and the same entries in a naive
// widget (a QTextEdit with one insert and one repaint per entry) with the ratio.
//
//   bench_append [entries] [--rate R] [--paced-entries N] [--limit-seconds S] [--naive-seconds S]
//                [--everyday-entries N] [--everyday-rate R] [--everyday-only] [--no-naive]
//
// Two runs in fresh windows: a flood (the relay keeps 2000 chunks waiting, the rate is what the
// window can take) and a paced one (R entries per second, 40,000 by default, the first N entries;
// the repaints are what a user sees at that rate). The default of 100,000 entries keeps
// `make bench` short; `bench_append 1000000` is the full run. --limit-seconds ends a run that has
// stalled (default 600) and reports how far it got. Paced runs of --everyday-entries entries each
// (default 20,000; 0 leaves them out) at 1,000, 10,000 and 40,000 entries/s, on the serial line
// and over a real TCP connection, give the memory an entry keeps at everyday rates.

#include "BenchSupport.h"
#include "app/LogEdit.h"
#include "iec103/UdpFrame.h"
#include "transport/NetworkChannel.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
double RunNaive(const std::vector<std::vector<std::uint8_t>>& frames, const Proto94Codec& codec,
                double dBudget, int& nDone)
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
                QMetaObject::invokeMethod(
                    &receiver, [&onEntry, i] { onEntry(i); }, Qt::QueuedConnection);
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

// A port nobody listens on right now (the kernel's choice), for the window's listener.
int FreeTcpPort()
{
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nSize = sizeof address;
    bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nSize);
    close(nSocket);
    return ntohs(address.sin_port);
}

// Everyday rates over the real TCP listener, as a relay on Ethernet sends: the window in the
// Ethernet 103 mode listens on loopback, and a thread connects and sends a 103 event (ASDU 1)
// nEntries times at dRate frames per second, each in a send of its own. Frames that arrive
// together are one read and one entry, as the listener delivers them; memory is counted per frame.
void RunOverTcp(int nEntries, double dRate, double dLimit)
{
    static const std::uint8_t kEvent[] = {0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01, 0x01, 0x81, 0x01, 0x01,
                                          0x80, 0x5A, 0x02, 0x39, 0x30, 0x1E, 0x0A, 0x00, 0xFA, 0x16};
    CWorkbench bench(true, std::make_unique<CNetworkChannel>(BuildUdpFrame));
    CPaintWatch watch(bench.Frame().LogEdit()->viewport());
    const int nPort = FreeTcpPort();
    bench.View().OnCommand(ID_MODE_ETH103);
    bench.Ui().IpForm().Push(Confirm(CIpFields{0x7F000001, nPort == 1 ? 2 : nPort - 1, nPort}));
    bench.View().OnCommand(ID_ETH_IP_SETTINGS);
    bench.View().OnCommand(ID_ETH_TCP_LISTEN);
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    bool bConnected = false;
    for (int nTry = 0; nTry < 100 && !bConnected; ++nTry)
    {
        bConnected = ::connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (!bConnected)
            Pump(50);
    }
    if (!bConnected)
    {
        std::printf("  over TCP at %.0f/s: the listener did not take the connection\n", dRate);
        close(nSocket);
        return;
    }
    const int nNoDelay = 1;
    setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nNoDelay, sizeof nNoDelay);
    Pump(200); // the connection is logged
    bench.View().Log().Flush();
    const int nParagraphsBefore = bench.View().LogDocument()->blockCount();
    const std::uint64_t nBytesBefore = bench.View().Recorder().Statistics().BytesReceived();
    const std::uint64_t nBytesAll = nBytesBefore + static_cast<std::uint64_t>(nEntries) * sizeof kEvent;

    const long nBefore = TrimmedResidentBytes();
    const double dCpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    watch.Start();
    std::thread producer(
        [&]
        {
            for (int i = 0; i < nEntries; ++i)
            {
                const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(i / dRate));
                if (Clock::now() + std::chrono::milliseconds(1) < due)
                    std::this_thread::sleep_until(due);
                if (send(nSocket, kEvent, sizeof kEvent, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof kEvent))
                    return;
            }
        });
    QTimer wake; // lets the loop below look at the clock when nothing arrives
    wake.start(200);
    while (bench.View().Recorder().Statistics().BytesReceived() < nBytesAll && Seconds(start, Clock::now()) < dLimit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake.stop();
    producer.join();
    bench.View().Log().Flush();
    QCoreApplication::processEvents(); // the scroll to the end
    bench.Frame().LogEdit()->viewport()->repaint();
    watch.Stop();
    const double dSeconds = Seconds(start, Clock::now());
    const double dCpu = ThreadCpuSeconds() - dCpuBefore;
    const long nGrowth = ResidentBytes() - nBefore;
    const long nTrimmed = TrimmedResidentBytes() - nBefore;
    const std::uint64_t nArrived = bench.View().Recorder().Statistics().BytesReceived() - nBytesBefore;
    close(nSocket);
    std::printf("  over TCP at %.0f frames/s: %llu of %d frames in %.2f s as %d paragraphs (window thread CPU "
                "%.2f s)\n",
                dRate, static_cast<unsigned long long>(nArrived / sizeof kEvent), nEntries, dSeconds,
                bench.View().LogDocument()->blockCount() - nParagraphsBefore, dCpu);
    std::printf("    memory at %.0f entries/s over TCP: %.0f bytes/entry (%.0f after trimming the heap) (target: at "
                "most 600); longest time without a repaint %.0f ms; load %.2f\n",
                dRate, static_cast<double>(nGrowth) / nEntries, static_cast<double>(nTrimmed) / nEntries,
                watch.Longest() * 1000, LoadAverage());
    std::fflush(stdout);
}

} // namespace

struct CRunFigures
{
    int nDone = 0;
    double dSeconds = 0;
    double dCpu = 0;
    double dFirstTenth = 0;
    double dLowestTenth = 0;
    long nResidentGrowth = 0;
    long nTrimmedGrowth = 0;
    double dLongestWithoutPaint = 0;
    int nPaints = 0;
    int nInsertions = 0;
};

// Appends nEntries through a fresh window, the relay flooding (dRate 0) or paced.
CRunFigures RunWindow(const char* pszName, int nEntries, double dRate, double dLimit,
                      const std::vector<std::vector<std::uint8_t>>& frames)
{
    CRunFigures figures;
    CWorkbench bench;
    CPaintWatch watch(bench.Frame().LogEdit()->viewport());
    const int nTenth = std::max(1, nEntries / 10);
    const int nTotal = nTenth * 10;
    std::vector<Clock::time_point> marks(11);
    std::vector<double> cpuMarks(
        11); // the window thread's own CPU time: what another process takes is not in it
    bench.Serial().SetAdvanceHook(
        [&](long long nCount)
        {
            if (nCount % nTenth == 0 && nCount / nTenth <= 10)
            {
                marks[static_cast<std::size_t>(nCount / nTenth)] = Clock::now();
                cpuMarks[static_cast<std::size_t>(nCount / nTenth)] = ThreadCpuSeconds();
            }
        });
    QObject::connect(&bench.View().Log(), &CLogDocument::Appended, [&] { ++figures.nInsertions; });

    const long nBefore = TrimmedResidentBytes();
    const double dCpuBefore = CpuSeconds();
    marks[0] = Clock::now();
    cpuMarks[0] = ThreadCpuSeconds();
    watch.Start();
    std::atomic<bool> bStop{false};
    std::thread producer(
        [&]
        {
            const auto producerStart = Clock::now();
            for (int i = 0; i < nTotal && !bStop; ++i)
            {
                // Paced: sleep only when a millisecond ahead (a sleep costs more than an entry).
                if (dRate > 0)
                {
                    const auto due = producerStart + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(i / dRate));
                    if (Clock::now() + std::chrono::milliseconds(1) < due)
                        std::this_thread::sleep_until(due);
                }
                while (bench.Serial().Queued() >= kMaxInFlight && !bStop)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                bench.Serial().Inject(frames[static_cast<std::size_t>(i % 40)]);
            }
        });
    QTimer wake; // lets the loop below look at the clock when nothing arrives
    wake.start(200);
    while (bench.Serial().Advanced() < nTotal && Seconds(marks[0], Clock::now()) < dLimit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake.stop();
    bStop = true;
    producer.join();
    if (bench.Serial().Advanced() < nTotal)
    {
        std::printf("  %s: stalled, %lld of %d entries after %.0f s\n", pszName, bench.Serial().Advanced(),
                    nTotal, dLimit);
        std::fflush(stdout);
        std::_Exit(0);
    }
    bench.View().Log().Flush();
    QCoreApplication::processEvents(); // the scroll to the end
    bench.Frame().LogEdit()->viewport()->repaint();
    const auto end = Clock::now();
    watch.Stop();
    figures.nDone = nTotal;
    figures.dSeconds = Seconds(marks[0], end);
    figures.dCpu = CpuSeconds() - dCpuBefore;
    figures.nResidentGrowth = ResidentBytes() - nBefore;
    figures.nTrimmedGrowth = TrimmedResidentBytes() - nBefore;
    figures.dLongestWithoutPaint = watch.Longest();
    figures.nPaints = watch.Paints();

    std::printf("  %s: %d entries in %.2f s, %.0f entries/s (CPU %.0f %% of one core)\n", pszName, nTotal,
                figures.dSeconds, nTotal / figures.dSeconds, 100.0 * figures.dCpu / figures.dSeconds);
    std::printf("    per tenth (entries/s):");
    figures.dLowestTenth = 1e18;
    for (std::size_t n = 1; n <= 10; ++n)
    {
        const double dTenthRate = nTenth / std::max(1e-9, Seconds(marks[n - 1], marks[n]));
        if (n == 1)
            figures.dFirstTenth = dTenthRate;
        figures.dLowestTenth = std::min(figures.dLowestTenth, dTenthRate);
        std::printf(" %.0f", dTenthRate);
    }
    std::printf("\n    per tenth, window thread CPU per entry (us):");
    for (std::size_t n = 1; n <= 10; ++n)
        std::printf(" %.1f", (cpuMarks[n] - cpuMarks[n - 1]) * 1e6 / nTenth);
    std::printf("\n    lowest tenth: %.0f %% of the first (target: at least 80 %%)\n",
                100.0 * figures.dLowestTenth / figures.dFirstTenth);
    std::printf("    resident growth: %.0f bytes/entry (%.1f MB; %.0f bytes/entry after trimming the heap)"
                " (target: at most 600)\n",
                static_cast<double>(figures.nResidentGrowth) / nTotal, figures.nResidentGrowth / 1048576.0,
                static_cast<double>(figures.nTrimmedGrowth) / nTotal);
    std::printf(
        "    longest time without a repaint: %.0f ms over %d paints and %d insertions (target: at most "
        "50 ms)\n",
        figures.dLongestWithoutPaint * 1000, figures.nPaints, figures.nInsertions);
    std::printf("    log: %d paragraphs, scroll bar at %d of %d\n", bench.View().LogDocument()->blockCount(),
                bench.Frame().LogEdit()->verticalScrollBar()->value(),
                bench.Frame().LogEdit()->verticalScrollBar()->maximum());
    std::fflush(stdout);
    return figures;
}

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = std::max(10, PositionalNumber(argc, argv, 100000));
    const double dNaiveBudget = OptionNumber(argc, argv, "--naive-seconds", 10.0);
    const double dRate = std::max(1.0, OptionNumber(argc, argv, "--rate", 40000));
    const int nPacedEntries =
        std::max(10, OptionInteger(argc, argv, "--paced-entries", std::min(nEntries, 200000)));
    const double dLimit = OptionNumber(argc, argv, "--limit-seconds", 600);
    PrintMachine("bench_append");
    std::printf("  annotated '94 entries, each its own posted chunk, into the window; line limit off\n");

    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(EventFrame(i));

    // --everyday-only: the everyday runs alone.
    const bool bEverydayOnly = HasFlag(argc, argv, "--everyday-only");
    const CRunFigures flood = bEverydayOnly ? CRunFigures() : RunWindow("flood", nEntries, 0, dLimit, frames);
    char szPaced[64];
    std::snprintf(szPaced, sizeof szPaced, "paced at %.0f/s", dRate);
    if (!bEverydayOnly)
        RunWindow(szPaced, nPacedEntries, dRate, dLimit, frames);
    // Everyday rates, where every entry is painted as it arrives: the memory each one keeps, on
    // the bench serial line and over the real TCP listener.
    const int nEverydayEntries = OptionInteger(argc, argv, "--everyday-entries", 20000);
    if (nEverydayEntries > 0)
    {
        // --everyday-rate R: that rate alone.
        const int nOnlyRate = OptionInteger(argc, argv, "--everyday-rate", 0);
        std::vector<int> rates{1000, 10000, 40000};
        if (nOnlyRate > 0)
            rates = {nOnlyRate};
        for (const int nRate : rates)
        {
            std::snprintf(szPaced, sizeof szPaced, "paced at %d/s", nRate);
            const CRunFigures everyday = RunWindow(szPaced, nEverydayEntries, nRate, dLimit, frames);
            std::printf("    memory at %d entries/s: %.0f bytes/entry (%.0f after trimming the heap) (target: at "
                        "most 600); load %.2f\n",
                        nRate, static_cast<double>(everyday.nResidentGrowth) / everyday.nDone,
                        static_cast<double>(everyday.nTrimmedGrowth) / everyday.nDone, LoadAverage());
        }
        for (const int nRate : rates)
            RunOverTcp(nEverydayEntries, nRate, dLimit);
    }

    if (!HasFlag(argc, argv, "--no-naive") && !bEverydayOnly)
    {
        Proto94Codec codec;
        int nNaive = 0;
        const double dNaive = RunNaive(frames, codec, dNaiveBudget, nNaive);
        const double dNaiveRate = nNaive / dNaive;
        std::printf("  naive widget (QTextEdit, one insert and repaint per entry): %d entries in %.1f s, "
                    "%.0f entries/s\n",
                    nNaive, dNaive, dNaiveRate);
        std::printf("  ratio: the window takes %.1fx the naive widget's rate\n",
                    (flood.nDone / flood.dSeconds) / std::max(1e-9, dNaiveRate));
    }
    return 0;
}
