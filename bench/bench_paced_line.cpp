// Frames lost and time stamps against a line paced at its character rate: the line monitor on two
// receive lines and on a bus, and the workbench's own session polling a paced relay, at 9600 and
// 115200 baud. The pacer writes every byte when its character time is due and records when each
// frame's first byte left; the figures are the listener's time minus that record.
//
//   bench_paced_line [--seconds N] [--load N]
//
// --seconds: each run's length (default 10; a bare number says the same); --load: so many threads
// spinning beside the runs, at the priority of the rest of the machine's work.
//
// The master polls class 2 back to back (three characters between an answer and the next request),
// the relay answers after its turnaround (20 ms at 9600 baud, 5 ms at 115200) with "no data", an
// event or E5 in turn.

#include "BenchFigures.h"
#include "FakeNetworkChannel.h"
#include "PacedLine.h"
#include "PacedRelay.h"
#include "ScriptedUserInterface.h"
#include "monitor/LineMonitor.h"
#include "session/RelvaneView.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace
{

using relvane::test::CPacedFrame;

struct CFigures
{
    std::size_t nPlayed = 0;
    std::size_t nHeard = 0;
    std::size_t nLost = 0;
    std::size_t nTies = 0;
    std::size_t nUnmarkedInversions = 0;
    std::vector<std::int64_t> anErrorUs;
};

// One heard frame: direction, bytes, time and whether it was marked as of doubtful order.
struct CHeardFrame
{
    bool bFromRelay = false;
    std::vector<std::uint8_t> abBytes;
    std::int64_t nUs = 0;
    bool bTie = false;
};

// Matches heard frames to played ones, direction by direction in order; a played frame with no
// heard match is lost. Inversions: neighbours heard the other way round from how they were played.
CFigures Compare(const std::vector<CPacedFrame>& played, const std::vector<CHeardFrame>& heard)
{
    CFigures figures;
    figures.nPlayed = played.size();
    figures.nHeard = heard.size();
    std::vector<long> anPlayedIndex(heard.size(), -1);
    for (const bool bFromRelay : {false, true})
    {
        std::size_t nNext = 0;
        for (std::size_t h = 0; h < heard.size(); ++h)
        {
            if (heard[h].bFromRelay != bFromRelay)
                continue;
            std::size_t p = nNext;
            while (p < played.size() &&
                   (played[p].bFromRelay != bFromRelay || played[p].abBytes != heard[h].abBytes))
                ++p;
            if (p == played.size())
                continue; // garbled or made up: not a match
            anPlayedIndex[h] = static_cast<long>(p);
            figures.anErrorUs.push_back(heard[h].nUs - played[p].nFirstByteUs);
            nNext = p + 1;
        }
    }
    std::size_t nMatched = 0;
    long nLast = -1;
    for (std::size_t h = 0; h < heard.size(); ++h)
    {
        figures.nTies += heard[h].bTie ? 1 : 0;
        if (anPlayedIndex[h] < 0)
            continue;
        ++nMatched;
        if (anPlayedIndex[h] < nLast && !heard[h].bTie)
            ++figures.nUnmarkedInversions;
        nLast = std::max(nLast, anPlayedIndex[h]);
    }
    figures.nLost = played.size() - nMatched;
    return figures;
}

void Report(const char* pszWhat, int nBaud, CFigures figures)
{
    std::sort(figures.anErrorUs.begin(), figures.anErrorUs.end());
    auto At = [&figures](double dShare)
    {
        if (figures.anErrorUs.empty())
            return 0.0;
        return static_cast<double>(figures.anErrorUs[static_cast<std::size_t>(
                   dShare * static_cast<double>(figures.anErrorUs.size() - 1))]) /
               1000.0;
    };
    std::printf("%-22s %6d baud: %5zu frames played, %5zu heard, %zu lost, %zu marked 先后不定, %zu unmarked "
                "inversions; "
                "time error (ms) median %.2f, 95%% %.2f, min %.2f, max %.2f\n",
                pszWhat, nBaud, figures.nPlayed, figures.nHeard, figures.nLost, figures.nTies,
                figures.nUnmarkedInversions, At(0.5), At(0.95), At(0), At(1));
    std::fflush(stdout);
}

int OpenPty(const std::filesystem::path& dir, int nPort)
{
    const int nFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0 || grantpt(nFd) != 0 || unlockpt(nFd) != 0)
        return -1;
    const auto link = dir / "relvane" / "ports" / ("COM" + std::to_string(nPort));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(ptsname(nFd), link);
    return nFd;
}

std::int64_t TurnaroundUs(int nBaud)
{
    return nBaud <= 9600 ? 20000 : 5000;
}

void RunMonitor(const std::filesystem::path& dir, int nBaud, bool bBus, int nSeconds)
{
    const int nMaster = OpenPty(dir, 241);
    const int nRelay = bBus ? nMaster : OpenPty(dir, 242);
    relvane::CLineMonitor monitor(std::make_unique<relvane::CSerialChannel>(), std::make_unique<relvane::CSerialChannel>());
    monitor.SetKeepLog(false);
    std::vector<CHeardFrame> heard;
    monitor.SetFrameTap(
        [&](const relvane::CMonitorFrame& frame)
        {
            heard.push_back({frame.eDirection == relvane::DIRECTION_TO_MASTER, frame.abBytes,
                             frame.time.nSteadyUs, frame.bTie});
        });
    relvane::CMonitorSettings settings;
    (bBus ? settings.nBusPort : settings.nMasterPort) = 241;
    settings.nRelayPort = bBus ? 0 : 242;
    settings.nBaud = nBaud;
    std::string strError;
    if (!monitor.Start(settings, strError))
    {
        std::printf("monitor: %s\n", strError.c_str());
        return;
    }
    relvane::test::CPacedLine line(nBaud, 'N', TurnaroundUs(nBaud), 3 * relvane::CharacterTimeUs(nBaud, 'N'));
    // An exchange: request, turnaround, answer (about 9 characters on average), gap.
    const std::int64_t nExchangeUs = TurnaroundUs(nBaud) + 17 * line.CharacterUs();
    std::vector<CPacedFrame> played =
        relvane::test::BackToBackPolling103(static_cast<int>(2 * nSeconds * 1000000LL / nExchangeUs));
    std::atomic<bool> bDone{false};
    std::thread player(
        [&]
        {
            line.Play(played, nMaster, nRelay);
            bDone = true;
        });
    while (!bDone)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    player.join();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    monitor.Stop();
    Report(bBus ? "monitor, bus" : "monitor, two lines", nBaud, Compare(played, heard));
    close(nMaster);
    if (nRelay != nMaster)
        close(nRelay);
}

void RunSession(const std::filesystem::path& dir, int nBaud, int nSeconds)
{
    using namespace relvane;
    const int nFd = OpenPty(dir, 243);
    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), ui);
    view.OnCommand(ID_MODE_103);
    ui.SerialForm().Push(
        [nBaud](CSerialFields& fields)
        {
            fields.strPort = "COM243";
            fields.strBaud = std::to_string(nBaud);
            return true;
        });
    view.OnCommand(ID_SERIAL_SETTINGS);
    ui.IntervalForm().Push(
        [](CIntervalFields& fields)
        {
            fields.nIntervalMs = 0; // back to back: the next request as soon as an answer is handled
            return true;
        });
    view.OnCommand(ID_POLL_INTERVAL);
    view.OnCommand(ID_SERIAL_CONNECT);
    if (!view.PortOpen())
    {
        std::printf("session: the port did not open\n");
        close(nFd);
        return;
    }
    std::vector<CHeardFrame> heard;
    view.Recorder().SetFrameTap(
        [&](bool bInbound, const std::uint8_t* pBytes, int nLength, const CChannelTime& firstByte,
            const CChannelTime&)
        {
            if (bInbound)
                heard.push_back(
                    {true, std::vector<std::uint8_t>(pBytes, pBytes + nLength), firstByte.nSteadyUs, false});
        });
    std::vector<CPacedFrame> answers;
    {
        test::CPacedRelay relay(nFd, nBaud, TurnaroundUs(nBaud), test::PollingAnswers103());
        view.OnCommand(ID_103_POLLING);
        view.OnCommand(ID_103_CLASS2);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < nSeconds * 1000LL)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        view.OnCommand(ID_103_POLLING);
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        answers = relay.Answers();
    }
    view.OnCommand(ID_SERIAL_DISCONNECT);
    close(nFd);
    Report("session", nBaud, Compare(answers, heard));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int nSeconds = std::max(
        1, relvane::bench::OptionInteger(argc, argv, "--seconds",
                                         argc == 2 ? relvane::bench::PositionalNumber(argc, argv, 10) : 10));
    const int nLoad = std::max(0, relvane::bench::OptionInteger(argc, argv, "--load", 0));
    std::atomic<bool> bLoaded{true};
    std::vector<std::thread> load;
    for (int i = 0; i < nLoad; ++i)
        load.emplace_back(
            [&bLoaded]
            {
                volatile std::uint64_t nSpin = 0;
                while (bLoaded.load(std::memory_order_relaxed))
                    nSpin = nSpin + 1;
            });
    char szPattern[] = "/tmp/relvane-bench-paced-XXXXXX";
    if (mkdtemp(szPattern) == nullptr)
        return 1;
    const std::filesystem::path dir = szPattern;
    std::filesystem::create_directories(dir / "relvane" / "ports");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    relvane::bench::PrintMachine("bench_paced_line");
    std::printf("%d s per run, %d spinning threads beside; relay turnaround 20 ms at 9600 baud, 5 ms at 115200; 3 "
                "characters before each request\n",
                nSeconds, nLoad);
    for (const int nBaud : {9600, 115200})
    {
        RunMonitor(dir, nBaud, false, nSeconds);
        RunMonitor(dir, nBaud, true, nSeconds);
        RunSession(dir, nBaud, nSeconds);
    }
    bLoaded = false;
    for (std::thread& thread : load)
        thread.join();
    std::filesystem::remove_all(dir);
    return 0;
}
