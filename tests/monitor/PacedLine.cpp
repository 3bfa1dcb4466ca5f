#include "PacedLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace relvane::test
{
namespace
{

std::int64_t WallNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void SleepUntil(std::int64_t nDueUs)
{
    // The scheduler wakes a sleeper some tens of microseconds late: sleep short of the time and
    // give the rest away in small steps.
    for (std::int64_t nLeftUs = nDueUs - SteadyNowUs(); nLeftUs > 0; nLeftUs = nDueUs - SteadyNowUs())
        std::this_thread::sleep_for(
            std::chrono::microseconds(nLeftUs > 300 ? nLeftUs - 150 : nLeftUs / 2 + 1));
}

void WriteBytes(int nFd, const std::uint8_t* pBytes, std::size_t nCount)
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
        if (nWritten < 0 && errno != EINTR && errno != EAGAIN)
            return;
        pollfd out{nFd, POLLOUT, 0};
        poll(&out, 1, 100);
    }
}

// A line never pauses inside a frame: where the system allows it, the pacer's thread runs ahead of
// the machine's other work, so that a busy machine does not cut its frames (it keeps its own
// scheduling otherwise, and only the benchmark's figures suffer).
class CPacerPriority
{
public:
    CPacerPriority()
    {
        m_bSet = pthread_getschedparam(pthread_self(), &m_nPolicy, &m_param) == 0;
        sched_param fifo{};
        fifo.sched_priority = 10;
        m_bSet = m_bSet && pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
    }
    ~CPacerPriority()
    {
        if (m_bSet)
            pthread_setschedparam(pthread_self(), m_nPolicy, &m_param);
    }
    CPacerPriority(const CPacerPriority&) = delete;
    CPacerPriority& operator=(const CPacerPriority&) = delete;

private:
    bool m_bSet = false;
    int m_nPolicy = SCHED_OTHER;
    sched_param m_param{};
};

} // namespace

std::int64_t SteadyNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void WriteAll(int nFd, const std::vector<std::uint8_t>& abBytes)
{
    WriteBytes(nFd, abBytes.data(), abBytes.size());
}

std::vector<CPacedFrame> BackToBackPolling103(int nFrames)
{
    const std::vector<std::uint8_t> abNoData = {0x10, 0x09, 0x01, 0x0A, 0x16};
    const std::vector<std::uint8_t> abEvent = {0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01, 0x01, 0x81, 0x01, 0x01,
                                               0x80, 0x5A, 0x02, 0x39, 0x30, 0x1E, 0x0A, 0x00, 0xFA, 0x16};
    std::vector<CPacedFrame> frames;
    for (int i = 0; i < nFrames; ++i)
    {
        CPacedFrame frame;
        frame.bFromRelay = i % 2 == 1;
        if (!frame.bFromRelay)
        {
            const std::uint8_t nControl = (i / 2) % 2 == 0 ? 0x5B : 0x7B;
            frame.abBytes = {0x10, nControl, 0x01, static_cast<std::uint8_t>(nControl + 1), 0x16};
        }
        else if ((i / 2) % 3 == 0)
            frame.abBytes = abNoData;
        else if ((i / 2) % 3 == 1)
            frame.abBytes = abEvent;
        else
            frame.abBytes = {0xE5};
        frames.push_back(std::move(frame));
    }
    return frames;
}

CPacedLine::CPacedLine(int nBaud, char cParity, std::int64_t nTurnaroundUs, std::int64_t nGapUs)
    : m_nCharacterUs((cParity == 'N' ? 10 : 11) * std::int64_t{1000000} / (nBaud > 0 ? nBaud : 9600)),
      m_nTurnaroundUs(nTurnaroundUs), m_nGapUs(nGapUs)
{
}

void CPacedLine::WritePaced(const std::vector<std::uint8_t>& abBytes, const std::vector<int>& anFds, std::int64_t nStartUs,
                            std::int64_t& nFirstUs, std::int64_t& nFirstWallUs)
{
    const CPacerPriority priority;
    std::size_t nSent = 0;
    // A frame that starts late keeps its own pace from where it starts.
    SleepUntil(nStartUs);
    nStartUs = std::max(nStartUs, SteadyNowUs());
    while (nSent < abBytes.size())
    {
        SleepUntil(nStartUs + static_cast<std::int64_t>(nSent) * m_nCharacterUs);
        // Every byte whose time has come leaves now.
        const std::int64_t nNowUs = SteadyNowUs();
        std::size_t nDue = static_cast<std::size_t>((nNowUs - nStartUs) / m_nCharacterUs) + 1;
        nDue = std::min(nDue, abBytes.size());
        if (nSent == 0)
        {
            nFirstUs = nNowUs;
            nFirstWallUs = WallNowUs();
        }
        for (const int nFd : anFds)
        {
            if (nFd >= 0)
                WriteBytes(nFd, abBytes.data() + nSent, nDue - nSent);
        }
        nSent = nDue;
    }
}

void CPacedLine::Answer(const std::vector<std::uint8_t>& abAnswer, const std::vector<int>& anFds,
                        std::int64_t nRequestEndUs, std::int64_t& nFirstUs, std::int64_t& nFirstWallUs)
{
    WritePaced(abAnswer, anFds, nRequestEndUs + m_nTurnaroundUs, nFirstUs, nFirstWallUs);
}

void CPacedLine::Play(std::vector<CPacedFrame>& frames, int nMasterFd, int nRelayFd,
                      const std::atomic<bool>* pStop)
{
    std::int64_t nNextUs = SteadyNowUs() + 20000;
    for (CPacedFrame& frame : frames)
    {
        if (pStop != nullptr && *pStop)
            return;
        WritePaced(frame.abBytes, {frame.bFromRelay ? nRelayFd : nMasterFd}, nNextUs, frame.nFirstByteUs,
                   frame.nFirstByteWallUs);
        // The next frame starts the turnaround or gap after this one ended on the line; a frame
        // that left late (the pacer was not scheduled in time) moves the rest on, so that no
        // two frames ever come closer than the line allows.
        const std::int64_t nEndUs = std::max(nNextUs, frame.nFirstByteUs) +
                                    static_cast<std::int64_t>(frame.abBytes.size()) * m_nCharacterUs;
        nNextUs = std::max(nEndUs, SteadyNowUs()) + (frame.bFromRelay ? m_nGapUs : m_nTurnaroundUs);
    }
}

} // namespace relvane::test
