#include "transport/NetworkChannel.h"

#include "iec103/UdpFrame.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace relvane
{
namespace
{

constexpr int kStepMs = 1000;          // the threads look at their run flags at least this often
constexpr int kDoNotReadPauseMs = 200; // pause between passes while data is left unread
constexpr int kWritableWaitMs = 5;
constexpr int kStopRequested = -2;

void SignalWake(int nWakeFd)
{
    if (nWakeFd < 0)
        return;
    const std::uint64_t nOne = 1;
    while (write(nWakeFd, &nOne, sizeof nOne) < 0 && errno == EINTR)
    {
    }
}

void DrainWake(int nWakeFd)
{
    if (nWakeFd < 0)
        return;
    std::uint64_t nCount = 0;
    while (read(nWakeFd, &nCount, sizeof nCount) < 0 && errno == EINTR)
    {
    }
}

bool CheckWakeSignalled(int nWakeFd)
{
    if (nWakeFd < 0)
        return false;
    pollfd wake{nWakeFd, POLLIN, 0};
    return poll(&wake, 1, 0) > 0 && (wake.revents & POLLIN) != 0;
}

sockaddr_in BuildAddress(std::uint32_t nAddress, int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(nAddress);
    return address;
}

} // namespace

CNetworkChannel::CNetworkChannel()
{
    m_nTcpWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_nUdpWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CNetworkChannel::~CNetworkChannel()
{
    StopAll();
    if (m_tcpThread.joinable())
        m_tcpThread.join();
    if (m_udpThread.joinable())
        m_udpThread.join();
    if (m_nTcpWakeFd >= 0)
        close(m_nTcpWakeFd);
    if (m_nUdpWakeFd >= 0)
        close(m_nUdpWakeFd);
}

int CNetworkChannel::Startup(IMessageSink* pOwner)
{
    // POSIX sockets need no start-up; only the owner is recorded.
    m_pOwner = pOwner;
    return 1;
}

void CNetworkChannel::SetTcpRunFlag(bool bRun)
{
    m_bTcpRun = bRun;
    if (!bRun)
        SignalWake(m_nTcpWakeFd);
}

void CNetworkChannel::SetUdpRunFlag(bool bRun)
{
    m_bUdpRun = bRun;
    if (!bRun)
        SignalWake(m_nUdpWakeFd);
}

void CNetworkChannel::StopAll()
{
    SetTcpRunFlag(false);
    SetUdpRunFlag(false);
}

bool CNetworkChannel::ReapThread(std::thread& worker, std::atomic<bool>& bActive, int nWakeFd)
{
    if (worker.joinable())
    {
        // A thread that still runs and was not asked to stop keeps serving; one that ended or
        // is ending (its wake-up is signalled) is joined at once.
        if (bActive && !CheckWakeSignalled(nWakeFd))
            return false;
        worker.join();
    }
    DrainWake(nWakeFd);
    return true;
}

int CNetworkChannel::StartUdpSender()
{
    if (!ReapThread(m_udpThread, m_bUdpActive, m_nUdpWakeFd))
        return 1;
    // The previous thread clears the flag as it ends; the caller's request stands.
    m_bUdpRun = true;
    m_bUdpActive = true;
    try
    {
        m_udpThread = std::thread(&CNetworkChannel::UdpSenderThread, this);
    }
    catch (const std::system_error&)
    {
        m_bUdpActive = false;
        m_bUdpRun = false;
        PostStatus(NET_UDP_STOPPED);
    }
    return 1;
}

int CNetworkChannel::StartTcpListener()
{
    if (!ReapThread(m_tcpThread, m_bTcpActive, m_nTcpWakeFd))
        return 1;
    m_bTcpRun = true;
    m_bTcpActive = true;
    try
    {
        m_tcpThread = std::thread(&CNetworkChannel::TcpListenerThread, this);
    }
    catch (const std::system_error&)
    {
        m_bTcpActive = false;
        m_bTcpRun = false;
        PostStatus(NET_TCP_LISTEN_FAILED);
    }
    return 1;
}

int CNetworkChannel::SendUdpOnce()
{
    const int nSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0)
        return -1;
    const int nResult = SendUdpFrame(nSocket, m_nTargetAddress, m_nTargetUdpPort);
    close(nSocket);
    return nResult;
}

int CNetworkChannel::SendUdpFrame(int nSocket, std::uint32_t nAddress, int nPort)
{
    if (nSocket < 0)
        return -1;
    // Built into a local frame: the window thread and the sender thread may send at once.
    std::uint8_t abFrame[kUdpFrameLength];
    const std::time_t nNow = std::time(nullptr);
    std::tm localTime{};
    localtime_r(&nNow, &localTime);
    BuildUdpFrame(abFrame, m_bUdpTimeInformation, localTime);

    const sockaddr_in destination = BuildAddress(nAddress, nPort);
    const ssize_t nSent = sendto(nSocket, abFrame, sizeof abFrame, MSG_NOSIGNAL,
                                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (nSent < 0)
        return -1;
    CChannelMessage message;
    message.nMessage = WM_UDP_SENT;
    message.time = CChannelTime::Now();
    message.lParam = static_cast<long>(nSent);
    message.abData.assign(abFrame, abFrame + nSent);
    Post(std::move(message));
    return static_cast<int>(nSent);
}

int CNetworkChannel::SendTcp(const std::uint8_t* pBytes, int nCount)
{
    std::lock_guard<std::mutex> lock(m_mutexConnection);
    const int nSocket = m_nConnectedSocket;
    if (nSocket < 0)
        return -1;
    if (nCount < 0 || (pBytes == nullptr && nCount > 0))
        return -3;
    pollfd out{nSocket, POLLOUT, 0};
    int nReady;
    do
        nReady = poll(&out, 1, kWritableWaitMs);
    while (nReady < 0 && errno == EINTR);
    if (nReady <= 0 || (out.revents & (POLLOUT | POLLERR | POLLHUP)) == 0)
        return -2;
    const ssize_t nSent =
        send(nSocket, pBytes, static_cast<std::size_t>(nCount), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (nSent < 0)
        return -3;
    m_lastTcpSend = CChannelTime::Now();
    return static_cast<int>(nSent);
}

void CNetworkChannel::Post(CChannelMessage message)
{
    IMessageSink* pOwner = m_pOwner;
    if (pOwner != nullptr)
        pOwner->PostChannelMessage(std::move(message));
}

void CNetworkChannel::PostStatus(int nStatus)
{
    CChannelMessage message;
    message.nMessage = WM_NET_STATUS;
    message.wParam = nStatus;
    message.time = CChannelTime::Now();
    Post(std::move(message));
}

int CNetworkChannel::WaitReadable(int nFd, int nWakeFd, int nTimeoutMs)
{
    pollfd fds[2] = {{nFd, POLLIN, 0}, {nWakeFd, POLLIN, 0}};
    int nReady;
    do
        nReady = poll(fds, 2, nTimeoutMs);
    while (nReady < 0 && errno == EINTR);
    if (nReady > 0 && (fds[1].revents & POLLIN) != 0)
        return kStopRequested;
    return nReady;
}

void CNetworkChannel::TcpListenerThread()
{
    pthread_setname_np(pthread_self(), "relvane-tcp");
    const int nPort = m_nLocalTcpPort;
    const int nListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nListen < 0)
    {
        // Reported, so that the session does not believe a listener is running.
        EndTcpThread(NET_TCP_LISTEN_FAILED);
        return;
    }
    // A restart right after a disconnect must not trip over the old connection's TIME_WAIT;
    // a port another socket listens on still refuses the bind.
    const int nOn = 1;
    setsockopt(nListen, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    const sockaddr_in local = BuildAddress(INADDR_ANY, nPort);
    if (bind(nListen, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
    {
        close(nListen);
        EndTcpThread(NET_TCP_BIND_FAILED);
        return;
    }
    if (listen(nListen, 1) != 0)
    {
        close(nListen);
        EndTcpThread(NET_TCP_LISTEN_FAILED);
        return;
    }
    PostStatus(NET_TCP_LISTENING);

    int nConnection = -1;
    while (m_bTcpRun)
    {
        const int nReady = WaitReadable(nListen, m_nTcpWakeFd, kStepMs);
        if (nReady == kStopRequested || nReady < 0)
            break;
        if (nReady == 0)
            continue;
        nConnection = accept4(nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (nConnection >= 0)
            break;
        // Out of descriptors and the like: the connection stays queued and the socket readable,
        // so wait a step instead of spinning.
        if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN && errno != EWOULDBLOCK &&
            WaitReadable(-1, m_nTcpWakeFd, kStepMs) == kStopRequested)
            break;
    }
    // One start serves one connection: the listening socket goes now, so a second relay is
    // refused instead of waiting unanswered in the backlog.
    close(nListen);
    if (nConnection < 0)
    {
        EndTcpThread(NET_TCP_LISTEN_STOPPED);
        return;
    }
    m_nConnectedSocket = nConnection;
    PostStatus(NET_TCP_CONNECTED);

    std::vector<std::uint8_t> abBuffer(kTcpReceiveLimit);
    while (m_bTcpRun)
    {
        if (m_bTcpDoNotRead)
        {
            // Data stays unread in the connection; look again after a short pause.
            if (WaitReadable(-1, m_nTcpWakeFd, kDoNotReadPauseMs) == kStopRequested)
                break;
            continue;
        }
        const int nReady = WaitReadable(nConnection, m_nTcpWakeFd, kStepMs);
        if (nReady == kStopRequested || nReady < 0)
            break;
        if (nReady == 0 || m_bTcpDoNotRead)
            continue;
        const ssize_t nReceived = recv(nConnection, abBuffer.data(), abBuffer.size(), MSG_DONTWAIT);
        if (nReceived < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (nReceived <= 0)
            break;
        CChannelMessage message;
        message.nMessage = WM_TCP_RECEIVED;
        message.time = CChannelTime::Now();
        message.lParam = static_cast<long>(nReceived);
        message.abData.assign(abBuffer.begin(), abBuffer.begin() + nReceived);
        Post(std::move(message));
    }

    {
        std::lock_guard<std::mutex> lock(m_mutexConnection);
        m_nConnectedSocket = -1;
    }
    if (m_bShutdownBeforeClose)
        shutdown(nConnection, SHUT_WR);
    close(nConnection);
    EndTcpThread(NET_TCP_DISCONNECTED);
}

void CNetworkChannel::EndTcpThread(int nStatus)
{
    // The thread counts as ended before its last notification goes out: a start command
    // issued in answer to it then joins this thread instead of taking it for a running one.
    m_bTcpRun = false;
    m_bTcpActive = false;
    PostStatus(nStatus);
}

void CNetworkChannel::UdpSenderThread()
{
    pthread_setname_np(pthread_self(), "relvane-udp");
    // Whole seconds, as the interval has always been honoured; below one second: every second.
    const std::uint32_t nPeriodSeconds = std::max<std::uint32_t>(m_nUdpInterval / 1000, 1);
    const std::uint32_t nAddress = m_nTargetAddress;
    const int nPort = m_nTargetUdpPort;

    const int nSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nSocket >= 0)
    {
        using Clock = std::chrono::steady_clock;
        auto nextSend = Clock::now();
        while (m_bUdpRun)
        {
            const auto now = Clock::now();
            if (now >= nextSend)
            {
                if (SendUdpFrame(nSocket, nAddress, nPort) < 0)
                    break;
                nextSend += std::chrono::seconds(nPeriodSeconds);
                if (nextSend <= now)
                    nextSend = now + std::chrono::seconds(nPeriodSeconds);
            }
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextSend - Clock::now());
            const int nWaitMs = static_cast<int>(std::clamp<long long>(wait.count() + 1, 1, kStepMs));
            if (WaitReadable(-1, m_nUdpWakeFd, nWaitMs) == kStopRequested)
                break;
        }
        close(nSocket);
    }
    m_bUdpRun = false;
    m_bUdpActive = false;
    PostStatus(NET_UDP_STOPPED);
}

} // namespace relvane
