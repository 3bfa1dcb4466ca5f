// The line monitor on two pseudo-terminals played at the pace of a serial line: how many frames a
// second it keeps up with, whether any is lost, and how far its time stamps lie from the times
// the frames were sent.
//
//   bench_monitor [seconds] [--baud N] [--flood FRAMES]
//
// Both lines carry 32-byte 103 frames back to back at the line's character rate (the master's on
// one port, the relay's on the other), so that a full read of 512 bytes holds 16 whole frames.
// The flood run then writes frames as fast as the ports take them (set to 4 Mbaud, so that the
// frames' character times do not run ahead of the clock): what the monitor can take.

#include "BenchFigures.h"
#include "iec103/Iec103Codec.h"
#include "monitor/LineMonitor.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using relvane::bench::Clock;
constexpr int kFrameLength = 32;

// A 103 variable frame of 32 bytes from the master (PRM set) or the relay, numbered in its data.
std::vector<std::uint8_t> Frame(bool bMaster, std::uint32_t nNumber)
{
    std::vector<std::uint8_t> abFrame = {0x68, 26, 26, 0x68, static_cast<std::uint8_t>(bMaster ? 0x53 : 0x08), 0x01,
                                         0x0A, 0x81, 0x28, 0x01, 0xFE, 0xF9};
    while (abFrame.size() < kFrameLength - 2)
        abFrame.push_back(static_cast<std::uint8_t>(nNumber >> (8 * (abFrame.size() % 4))));
    abFrame.push_back(relvane::Iec103Codec::Checksum(abFrame.data() + 4, 26));
    abFrame.push_back(0x16);
    return abFrame;
}

void WriteAll(int nFd, const std::uint8_t* pBytes, std::size_t nCount)
{
    while (nCount > 0)
    {
        const ssize_t nWritten = write(nFd, pBytes, nCount);
        if (nWritten > 0)
        {
            pBytes += nWritten;
            nCount -= static_cast<std::size_t>(nWritten);
            continue;
        }
        pollfd out{nFd, POLLOUT, 0};
        poll(&out, 1, 100);
    }
}

struct CLine
{
    int nMasterFd = -1;
    std::vector<std::int64_t> anSentUs; // when each frame's first byte was written (steady clock)
};

std::int64_t NowUs()
{
    return relvane::CChannelTime::Now().nSteadyUs;
}

// Plays one line: nFrames frames, paced at the character rate (or as fast as it goes).
void Play(CLine& line, bool bMaster, int nFrames, std::int64_t nCharacterUs, bool bFlood)
{
    const std::int64_t nStartUs = NowUs() + 50000;
    for (int i = 0; i < nFrames; ++i)
    {
        const std::vector<std::uint8_t> abFrame = Frame(bMaster, static_cast<std::uint32_t>(i));
        if (!bFlood)
        {
            const std::int64_t nDueUs = nStartUs + static_cast<std::int64_t>(i) * kFrameLength * nCharacterUs;
            const std::int64_t nWaitUs = nDueUs - NowUs();
            if (nWaitUs > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(nWaitUs));
        }
        line.anSentUs.push_back(NowUs());
        WriteAll(line.nMasterFd, abFrame.data(), abFrame.size());
    }
}

struct CRun
{
    std::uint64_t nHeard = 0;
    std::uint64_t nGood = 0;
    std::uint64_t nOutOfOrder = 0;
    double dSeconds = 0;
    std::vector<std::int64_t> anSpreadUs;
};

CRun RunMonitor(const std::filesystem::path& dir, int nFramesPerLine, int nBaud, bool bFlood)
{
    CLine lines[2];
    for (int n = 0; n < 2; ++n)
    {
        lines[n].nMasterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(lines[n].nMasterFd);
        unlockpt(lines[n].nMasterFd);
        const auto link = dir / "relvane" / "ports" / ("COM" + std::to_string(251 + n));
        std::filesystem::remove(link);
        std::filesystem::create_symlink(ptsname(lines[n].nMasterFd), link);
    }
    relvane::CLineMonitor monitor(std::make_unique<relvane::CSerialChannel>(), std::make_unique<relvane::CSerialChannel>());
    monitor.SetKeepLog(false);
    CRun run;
    std::uint32_t anNext[2] = {0, 0};
    std::vector<relvane::CMonitorFrame> heard;
    heard.reserve(static_cast<std::size_t>(nFramesPerLine) * 2);
    monitor.SetFrameTap([&](const relvane::CMonitorFrame& frame) { heard.push_back(frame); });
    relvane::CMonitorSettings settings;
    settings.nMasterPort = 251;
    settings.nRelayPort = 252;
    settings.nBaud = nBaud;
    std::string strError;
    if (!monitor.Start(settings, strError))
    {
        std::fprintf(stderr, "bench_monitor: %s\n", strError.c_str());
        std::exit(1);
    }
    const std::int64_t nCharacterUs = relvane::CharacterTimeUs(nBaud, 'N');
    const auto start = Clock::now();
    std::atomic<int> nPlaying{2};
    std::thread players[2];
    for (int n = 0; n < 2; ++n)
        players[n] = std::thread(
            [&, n]
            {
                Play(lines[n], n == 0, nFramesPerLine, nCharacterUs, bFlood);
                --nPlaying;
            });
    const std::uint64_t nExpected = static_cast<std::uint64_t>(nFramesPerLine) * 2;
    while (nPlaying > 0 || (heard.size() < nExpected && Clock::now() - start < std::chrono::seconds(5) +
                                                              std::chrono::microseconds(nFramesPerLine * kFrameLength * nCharacterUs)))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    for (std::thread& player : players)
        player.join();
    monitor.Stop();
    run.dSeconds = relvane::bench::Seconds(start, Clock::now());
    for (const relvane::CMonitorFrame& frame : heard)
    {
        ++run.nHeard;
        const int nLine = frame.nLine;
        if (!frame.bValid || frame.abBytes.size() != kFrameLength)
            continue;
        ++run.nGood;
        std::uint32_t nNumber = 0;
        for (int i = 12; i < 16; ++i)
            nNumber |= static_cast<std::uint32_t>(frame.abBytes[static_cast<std::size_t>(i)]) << (8 * (i % 4));
        if (nNumber != anNext[nLine])
            ++run.nOutOfOrder;
        anNext[nLine] = nNumber + 1;
        if (nNumber < lines[nLine].anSentUs.size())
            run.anSpreadUs.push_back(frame.time.nSteadyUs - lines[nLine].anSentUs[nNumber]);
    }
    for (CLine& line : lines)
        close(line.nMasterFd);
    return run;
}

void Report(const char* pszName, const CRun& run, int nFramesPerLine)
{
    std::vector<std::int64_t> spread = run.anSpreadUs;
    std::sort(spread.begin(), spread.end());
    auto At = [&spread](double dShare)
    { return spread.empty() ? 0.0 : static_cast<double>(spread[static_cast<std::size_t>(dShare * static_cast<double>(spread.size() - 1))]) / 1000.0; };
    std::printf("%s: %d frames sent per line, %llu heard (%llu whole and good, %llu out of order, %lld lost) in %.2f s: "
                "%.0f frames/s\n",
                pszName, nFramesPerLine, static_cast<unsigned long long>(run.nHeard),
                static_cast<unsigned long long>(run.nGood), static_cast<unsigned long long>(run.nOutOfOrder),
                static_cast<long long>(2LL * nFramesPerLine) - static_cast<long long>(run.nGood), run.dSeconds,
                static_cast<double>(run.nGood) / run.dSeconds);
    if (!spread.empty())
        std::printf("  time stamp minus send time (ms): min %.2f, median %.2f, 95%% %.2f, max %.2f\n", At(0), At(0.5), At(0.95),
                    At(1));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int nSeconds = relvane::bench::PositionalNumber(argc, argv, 20);
    const int nBaud = relvane::bench::OptionInteger(argc, argv, "--baud", 115200);
    const int nFlood = relvane::bench::OptionInteger(argc, argv, "--flood", 100000);
    char szPattern[] = "/tmp/relvane-bench-monitor-XXXXXX";
    if (mkdtemp(szPattern) == nullptr)
        return 1;
    const std::filesystem::path dir = szPattern;
    std::filesystem::create_directories(dir / "relvane" / "ports");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);

    const double dLineFrames = static_cast<double>(nBaud) / 10.0 / kFrameLength;
    const int nPaced = static_cast<int>(dLineFrames * nSeconds);
    std::printf("two lines at %d baud, %d-byte frames back to back: %.0f frames/s per line, %.0f in all\n", nBaud,
                kFrameLength, dLineFrames, 2 * dLineFrames);
    const double dCpuBefore = relvane::bench::CpuSeconds();
    const CRun paced = RunMonitor(dir, nPaced, nBaud, false);
    const double dCpu = relvane::bench::CpuSeconds() - dCpuBefore;
    Report("line rate", paced, nPaced);
    std::printf("  process CPU %.2f s for %.2f s of line time (%.1f %% of one core)\n", dCpu, paced.dSeconds,
                100.0 * dCpu / paced.dSeconds);
    // Pseudo-terminals move bytes faster than any line: the flood's ports are set to the fastest
    // rate, so that the frames' times (a character time each byte) keep up with the clock.
    const CRun flood = RunMonitor(dir, nFlood, 4000000, true);
    Report("flood (as fast as the pseudo-terminals go)", flood, nFlood);
    std::filesystem::remove_all(dir);
    return 0;
}
