#include "transport/SerialChannel.h"

#include "transport/SerialPortMap.h"
#include "transport/SerialPortPosix.h"
#include "transport/SerialLinePosix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace relvane
{
namespace
{

enum ChunkEnd
{
    CHUNK_DONE,   // gap or read limit: the chunk is complete
    CHUNK_STOP,   // Close asked the reader to end
    CHUNK_HANGUP, // the device went away
};

// A readable terminal that keeps answering zero bytes without a hang-up mark is treated as
// gone after this many tries, so an odd driver cannot make the reader spin.
constexpr int kMaxEmptyReads = 64;

int AsDescriptor(std::intptr_t nValue)
{
    return static_cast<int>(nValue);
}

// Where a port map entry leads (the path itself when it is no link), for messages.
std::string LinkTarget(const std::string& strPath)
{
    std::error_code error;
    if (strPath.empty() || !std::filesystem::is_symlink(strPath, error))
        return strPath;
    const std::filesystem::path target = std::filesystem::read_symlink(strPath, error);
    return error ? strPath : target.string();
}

void WaitForWake(int nWakeFd)
{
    pollfd wake{nWakeFd, POLLIN, 0};
    while (poll(&wake, 1, -1) < 0 && errno == EINTR)
    {
    }
}

std::int64_t SteadyNowUs()
{
    return CChannelTime::Now().nSteadyUs;
}

timespec AsTimespec(std::int64_t nUs)
{
    return timespec{static_cast<time_t>(nUs / 1000000), static_cast<long>(nUs % 1000000) * 1000};
}

// Reads one chunk into abChunk, waiting for the device or the wake-up descriptor: the first byte
// without limit (its time goes to firstByte; with nWatchUs the idle line is looked at that often),
// after it until the gap's silence or the read limit. Each read's offset and time go to reads,
// with nQuietUs: the last moment the reader knew the line to hold none of its bytes (a wait that
// ran out, or a read that emptied the device's buffer), kept across chunks.
ChunkEnd ReadChunk(int nFd, int nWakeFd, std::size_t nReadLimit, std::int64_t nGapUs, std::int64_t nWatchUs,
                   std::int64_t& nQuietUs, std::vector<std::uint8_t>& abChunk, CChannelTime& firstByte,
                   std::vector<CChunkRead>& reads)
{
    std::uint8_t abBuffer[CSerialChannel::kReadLimit];
    int nEmptyReads = 0;
    for (;;)
    {
        pollfd fds[2] = {{nFd, POLLIN, 0}, {nWakeFd, POLLIN, 0}};
        const std::int64_t nWaitUs = abChunk.empty() ? nWatchUs : nGapUs;
        const timespec wait = AsTimespec(nWaitUs);
        const std::int64_t nWaitFromUs = nWaitUs > 0 ? SteadyNowUs() : 0;
        const int nReady = ppoll(fds, 2, nWaitUs > 0 ? &wait : nullptr, nullptr);
        if (nReady < 0)
        {
            if (errno == EINTR)
                continue;
            return CHUNK_HANGUP;
        }
        if ((fds[1].revents & POLLIN) != 0)
            return CHUNK_STOP;
        if (nReady == 0)
        {
            // Nothing came before the wait ran out.
            nQuietUs = std::max(nQuietUs, nWaitFromUs + nWaitUs);
            if (abChunk.empty())
                continue;
            return CHUNK_DONE;
        }
        if ((fds[0].revents & POLLIN) != 0)
        {
            const std::size_t nWanted = std::min(nReadLimit - abChunk.size(), sizeof abBuffer);
            const std::int64_t nBeforeUs = SteadyNowUs();
            const ssize_t nRead = read(nFd, abBuffer, nWanted);
            if (nRead > 0)
            {
                nEmptyReads = 0;
                const CChannelTime read = CChannelTime::Now();
                if (abChunk.empty())
                    firstByte = read;
                reads.push_back(CChunkRead{static_cast<int>(abChunk.size()), read, nQuietUs});
                // A read that took less than it could emptied the buffer: what comes next came after.
                if (static_cast<std::size_t>(nRead) < nWanted)
                    nQuietUs = std::max(nQuietUs, nBeforeUs);
                abChunk.insert(abChunk.end(), abBuffer, abBuffer + nRead);
                if (abChunk.size() >= nReadLimit)
                    return CHUNK_DONE;
                continue;
            }
            if (nRead < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (nRead < 0 || (fds[0].revents & (POLLHUP | POLLERR)) != 0 || ++nEmptyReads >= kMaxEmptyReads)
                return CHUNK_HANGUP;
            continue;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return CHUNK_HANGUP;
    }
}

} // namespace

int CSerialChannel::Open()
{
    if (!m_bConfigured || m_bOpen)
        return CHANNEL_FAILED;
    m_eOpenFailure = CPortDescription::EState::Failed;

    // The line is always 8 data bits and 1 stop bit; only baud and parity reach it.
    CTermiosSettings settings;
    if (BuildTermios(m_nBaud, m_cParity, settings) != TERMIOS_OK)
        return CHANNEL_FAILED;

    m_strDevicePath = PortDevicePath(m_nPort);
    m_strOpenedDevice = LinkTarget(m_strDevicePath);
    if (m_strDevicePath.empty())
    {
        m_eOpenFailure = CPortDescription::EState::Missing;
        return CHANNEL_NO_PORT;
    }
    int nFd = open(m_strDevicePath.c_str(), (m_bReadOnly ? O_RDONLY : O_RDWR) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
    {
        m_eOpenFailure = StateOfOpenError(errno);
        return CHANNEL_NO_PORT;
    }
    // Missing hardware or a line another program holds count as no port.
    if (!CheckSerialDevice(nFd))
    {
        // A terminal without its hardware (an empty UART slot) is as good as missing.
        m_eOpenFailure = isatty(nFd) ? CPortDescription::EState::Missing : CPortDescription::EState::NotSerial;
        close(nFd);
        return CHANNEL_NO_PORT;
    }
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0)
    {
        close(nFd);
        m_eOpenFailure = CPortDescription::EState::Busy;
        return CHANNEL_NO_PORT;
    }
    ioctl(nFd, TIOCEXCL);

    // Settings are applied step by step and a refused step is not fatal. Parity comes last and
    // on its own: pseudo-terminals refuse it, and the raw mode must hold regardless.
    if (m_bReadOnly)
        settings.tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL); // closing must not drop the lines either
    const termios plain = BuildTermiosWithoutParity(settings.tio);
    if (tcsetattr(nFd, TCSANOW, &plain) == 0)
    {
        if (settings.nCustomBaud != 0)
            WriteCustomBaud(nFd, settings.nCustomBaud);
        if ((settings.tio.c_cflag & PARENB) != 0)
        {
            termios withParity;
            if (tcgetattr(nFd, &withParity) == 0)
            {
                withParity.c_cflag |= settings.tio.c_cflag & (PARENB | PARODD | CMSPAR);
                tcsetattr(nFd, TCSANOW, &withParity);
            }
        }
        if (!m_bReadOnly)
        {
            int nLines = TIOCM_RTS;
            ioctl(nFd, TIOCMBIS, &nLines);
        }
    }
    tcflush(nFd, m_bReadOnly ? TCIFLUSH : TCIOFLUSH);

    const int nWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (nWakeFd < 0)
    {
        ioctl(nFd, TIOCNXCL);
        close(nFd);
        return CHANNEL_FAILED;
    }
    m_nDevice = nFd;
    m_nStop = nWakeFd;
    const int nResult = StartReader();
    if (nResult > 0)
        m_eOpenFailure = CPortDescription::EState::Available;
    return nResult;
}

void CSerialChannel::SignalStop()
{
    const std::uint64_t nOne = 1;
    while (write(AsDescriptor(m_nStop), &nOne, sizeof nOne) < 0 && errno == EINTR)
    {
    }
}

void CSerialChannel::ReleasePort()
{
    ioctl(AsDescriptor(m_nDevice), TIOCNXCL);
    close(AsDescriptor(m_nDevice));
    close(AsDescriptor(m_nStop));
    m_nDevice = -1;
    m_nStop = -1;
}

int CSerialChannel::Write(const std::uint8_t* pBytes, int nCount)
{
    if (!m_bOpen || m_bReadOnly || nCount < 0 || (pBytes == nullptr && nCount > 0))
        return 0;

    // Bounded by the time the bytes need on the wire (12 bit times each, generously) plus a
    // second, so a stuck line cannot hold the window thread for long.
    const long long nBaud = std::max(m_nBaud, 1);
    const long long nBudgetMs = 1000 + (static_cast<long long>(nCount) * 12 * 1000) / nBaud;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nBudgetMs);

    const int nFd = AsDescriptor(m_nDevice);
    int nDone = 0;
    while (nDone < nCount)
    {
        ssize_t nWritten = write(nFd, pBytes + nDone, static_cast<std::size_t>(nCount - nDone));
        if (nWritten > 0)
        {
            nDone += static_cast<int>(nWritten);
            if (nDone == nCount)
                m_lastWrite = CChannelTime::Now();
            continue;
        }
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return 0;
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0)
            return 0;
        pollfd out{nFd, POLLOUT, 0};
        int nReady = poll(&out, 1, static_cast<int>(std::min<long long>(remaining.count(), 1000)));
        if (nReady < 0 && errno != EINTR)
            return 0;
        if (nReady > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return 0;
    }
    return 1;
}

void CSerialChannel::SerialReaderThread()
{
    pthread_setname_np(pthread_self(), "relvane-serial");
    const int nFd = AsDescriptor(m_nDevice);
    const int nWakeFd = AsDescriptor(m_nStop);
    std::int64_t nQuietUs = 0;
    for (;;)
    {
        CChunk chunk;
        chunk.abBytes.reserve(static_cast<std::size_t>(m_nReadLimit));
        const ChunkEnd end = ReadChunk(nFd, nWakeFd, static_cast<std::size_t>(m_nReadLimit), m_nGapUs, m_nWatchUs,
                                       nQuietUs, chunk.abBytes, chunk.firstByte, chunk.reads);
        if (!chunk.abBytes.empty())
            QueueChunk(std::move(chunk));
        if (end == CHUNK_STOP)
            break;
        if (end == CHUNK_HANGUP)
        {
            // The descriptor will stay readable-with-error for good: stop watching it and wait
            // for Close. A new Open (after the device is back) starts afresh.
            PostHangup();
            WaitForWake(nWakeFd);
            break;
        }
    }
}

} // namespace relvane
