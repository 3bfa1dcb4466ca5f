// The network channel on Windows Sockets (version 1.2 asked for, as the relay tools always did).
// The threads and their rules are those of the POSIX channel; a stop request wakes a thread
// through a datagram that the channel sends to a loopback socket of its own, which the thread
// waits on beside its TCP socket (WSAPoll).
#include "transport/NetworkChannel.h"

#include "iec103/UdpFrame.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <system_error>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace relvane
{
namespace
{

constexpr int kStepMs = 1000;          // the threads look at their run flags at least this often
constexpr int kDoNotReadPauseMs = 200; // pause between passes while data is left unread
constexpr int kWritableWaitMs = 5;
constexpr int kStopRequested = -2;

SOCKET AsSocket(std::int64_t nSocket)
{
    return nSocket < 0 ? INVALID_SOCKET : static_cast<SOCKET>(nSocket);
}

std::int64_t AsValue(SOCKET hSocket)
{
    return hSocket == INVALID_SOCKET ? -1 : static_cast<std::int64_t>(hSocket);
}

// A datagram socket on 127.0.0.1 connected to itself: a send to it makes it readable, the way
// writing to an eventfd does. Non-blocking, so draining it stops when it is empty.
std::int64_t MakeWakeSocket()
{
    SOCKET hSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (hSocket == INVALID_SOCKET)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int nLength = sizeof address;
    u_long nNonBlocking = 1;
    if (bind(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(hSocket, reinterpret_cast<sockaddr*>(&address), &nLength) != 0 ||
        connect(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ioctlsocket(hSocket, FIONBIO, &nNonBlocking) != 0)
    {
        closesocket(hSocket);
        return -1;
    }
    return AsValue(hSocket);
}

void SignalWake(std::int64_t nWakeFd)
{
    if (nWakeFd < 0)
        return;
    const char cOne = 1;
    send(AsSocket(nWakeFd), &cOne, 1, 0);
}

void DrainWake(std::int64_t nWakeFd)
{
    if (nWakeFd < 0)
        return;
    char abBuffer[16];
    while (recv(AsSocket(nWakeFd), abBuffer, sizeof abBuffer, 0) > 0)
    {
    }
}

bool CheckWakeSignalled(std::int64_t nWakeFd)
{
    if (nWakeFd < 0)
        return false;
    WSAPOLLFD wake{AsSocket(nWakeFd), POLLRDNORM, 0};
    return WSAPoll(&wake, 1, 0) > 0 && (wake.revents & POLLRDNORM) != 0;
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
    // The wake-up sockets need the sockets layer before Startup is called.
    WSADATA data;
    m_bSocketsStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    m_nTcpWakeFd = MakeWakeSocket();
    m_nUdpWakeFd = MakeWakeSocket();
}

CNetworkChannel::~CNetworkChannel()
{
    StopAll();
    if (m_tcpThread.joinable())
        m_tcpThread.join();
    if (m_udpThread.joinable())
        m_udpThread.join();
    if (m_nTcpWakeFd >= 0)
        closesocket(AsSocket(m_nTcpWakeFd));
    if (m_nUdpWakeFd >= 0)
        closesocket(AsSocket(m_nUdpWakeFd));
    if (m_bSocketsStarted)
        WSACleanup();
}

int CNetworkChannel::Startup(IMessageSink* pOwner)
{
    m_pOwner = pOwner;
    // Every successful start-up stays counted until the process ends, as the sockets layer allows.
    WSADATA data;
    if (WSAStartup(0x0102, &data) != 0)
    {
        WSACleanup();
        return -1;
    }
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

bool CNetworkChannel::ReapThread(std::thread& worker, std::atomic<bool>& bActive, SocketValue nWakeFd)
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
    const SOCKET hSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (hSocket == INVALID_SOCKET)
        return -1;
    const int nResult = SendUdpFrame(AsValue(hSocket), m_nTargetAddress, m_nTargetUdpPort);
    closesocket(hSocket);
    return nResult;
}

int CNetworkChannel::SendUdpFrame(SocketValue nSocket, std::uint32_t nAddress, int nPort)
{
    if (nSocket < 0)
        return -1;
    // Built into a local frame: the window thread and the sender thread may send at once.
    std::uint8_t abFrame[kUdpFrameLength];
    const std::time_t nNow = std::time(nullptr);
    std::tm localTime{};
    localtime_s(&localTime, &nNow);
    BuildUdpFrame(abFrame, m_bUdpTimeInformation, localTime);

    const sockaddr_in destination = BuildAddress(nAddress, nPort);
    const int nSent = sendto(AsSocket(nSocket), reinterpret_cast<const char*>(abFrame), sizeof abFrame, 0,
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
    const SocketValue nSocket = m_nConnectedSocket;
    if (nSocket < 0)
        return -1;
    if (nCount < 0 || (pBytes == nullptr && nCount > 0))
        return -3;
    WSAPOLLFD out{AsSocket(nSocket), POLLWRNORM, 0};
    const int nReady = WSAPoll(&out, 1, kWritableWaitMs);
    if (nReady <= 0 || (out.revents & (POLLWRNORM | POLLERR | POLLHUP)) == 0)
        return -2;
    // The connection is non-blocking (the listener made it so): send takes what fits now.
    const int nSent = send(AsSocket(nSocket), reinterpret_cast<const char*>(pBytes), nCount, 0);
    if (nSent == SOCKET_ERROR)
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

int CNetworkChannel::WaitReadable(SocketValue nFd, SocketValue nWakeFd, int nTimeoutMs)
{
    // WSAPoll takes sockets only; a missing one is left out of the list.
    WSAPOLLFD fds[2];
    ULONG nCount = 0;
    int nWakeIndex = -1;
    int nFdIndex = -1;
    if (nFd >= 0)
    {
        nFdIndex = static_cast<int>(nCount);
        fds[nCount++] = {AsSocket(nFd), POLLRDNORM, 0};
    }
    if (nWakeFd >= 0)
    {
        nWakeIndex = static_cast<int>(nCount);
        fds[nCount++] = {AsSocket(nWakeFd), POLLRDNORM, 0};
    }
    if (nCount == 0)
    {
        Sleep(static_cast<DWORD>(nTimeoutMs));
        return 0;
    }
    const int nReady = WSAPoll(fds, nCount, nTimeoutMs);
    if (nReady > 0 && nWakeIndex >= 0 && (fds[nWakeIndex].revents & POLLRDNORM) != 0)
        return kStopRequested;
    // A closed or failed connection counts as readable: the receive then says which.
    if (nReady > 0 && nFdIndex >= 0 && (fds[nFdIndex].revents & (POLLRDNORM | POLLHUP | POLLERR)) == 0)
        return 0;
    return nReady;
}

void CNetworkChannel::TcpListenerThread()
{
    const int nPort = m_nLocalTcpPort;
    const SOCKET hListen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const SocketValue nListen = AsValue(hListen);
    if (hListen == INVALID_SOCKET)
    {
        // Reported, so that the session does not believe a listener is running.
        EndTcpThread(NET_TCP_LISTEN_FAILED);
        return;
    }
    // No SO_REUSEADDR: on Windows it would let the bind take a port another socket listens on,
    // while a restart over the old connection's TIME_WAIT works without it.
    const sockaddr_in local = BuildAddress(INADDR_ANY, nPort);
    if (bind(hListen, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
    {
        closesocket(hListen);
        EndTcpThread(NET_TCP_BIND_FAILED);
        return;
    }
    if (listen(hListen, 1) != 0)
    {
        closesocket(hListen);
        EndTcpThread(NET_TCP_LISTEN_FAILED);
        return;
    }
    PostStatus(NET_TCP_LISTENING);

    SocketValue nConnection = -1;
    while (m_bTcpRun)
    {
        const int nReady = WaitReadable(nListen, m_nTcpWakeFd, kStepMs);
        if (nReady == kStopRequested || nReady < 0)
            break;
        if (nReady == 0)
            continue;
        nConnection = AsValue(accept(hListen, nullptr, nullptr));
        if (nConnection >= 0)
            break;
        // Out of resources and the like: the connection stays queued and the socket readable,
        // so wait a step instead of spinning.
        const int nError = WSAGetLastError();
        if (nError != WSAEINTR && nError != WSAECONNRESET && nError != WSAEWOULDBLOCK &&
            WaitReadable(-1, m_nTcpWakeFd, kStepMs) == kStopRequested)
            break;
    }
    // One start serves one connection: the listening socket goes now, so a second relay is
    // refused instead of waiting unanswered in the backlog.
    closesocket(hListen);
    if (nConnection < 0)
    {
        EndTcpThread(NET_TCP_LISTEN_STOPPED);
        return;
    }
    // Non-blocking: a send from the window thread never waits on a full connection.
    u_long nNonBlocking = 1;
    ioctlsocket(AsSocket(nConnection), FIONBIO, &nNonBlocking);
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
        const int nReceived = recv(AsSocket(nConnection), reinterpret_cast<char*>(abBuffer.data()),
                                   static_cast<int>(abBuffer.size()), 0);
        if (nReceived < 0 && (WSAGetLastError() == WSAEINTR || WSAGetLastError() == WSAEWOULDBLOCK))
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
        shutdown(AsSocket(nConnection), SD_SEND);
    closesocket(AsSocket(nConnection));
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
    // Whole seconds, as the interval has always been honoured; below one second: every second.
    const std::uint32_t nPeriodSeconds = std::max<std::uint32_t>(m_nUdpInterval / 1000, 1);
    const std::uint32_t nAddress = m_nTargetAddress;
    const int nPort = m_nTargetUdpPort;

    const SOCKET hSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const SocketValue nSocket = AsValue(hSocket);
    if (hSocket != INVALID_SOCKET)
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
        closesocket(hSocket);
    }
    m_bUdpRun = false;
    m_bUdpActive = false;
    PostStatus(NET_UDP_STOPPED);
}

} // namespace relvane
