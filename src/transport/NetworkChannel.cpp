#include "transport/NetworkChannel.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

namespace relvane
{
namespace
{

constexpr int kStepMs = 1000;          // the threads look at their run flags at least this often
constexpr int kDoNotReadPauseMs = 200; // pause between passes while data is left unread
constexpr int kWritableWaitMs = 5;

} // namespace

CNetworkChannel::CNetworkChannel(DatagramBuilder fnBuildDatagram) : m_fnBuildDatagram(std::move(fnBuildDatagram)) {}

CNetworkChannel::~CNetworkChannel()
{
    StopAll();
    if (m_tcpThread.joinable())
        m_tcpThread.join();
    if (m_udpThread.joinable())
        m_udpThread.join();
}

int CNetworkChannel::Startup(IMessageSink* pOwner)
{
    m_pOwner = pOwner;
    return StartSocketsForOwner();
}

void CNetworkChannel::SetTcpRunFlag(bool bRun)
{
    m_bTcpRun = bRun;
    if (!bRun)
        m_tcpWake.Signal();
}

void CNetworkChannel::SetUdpRunFlag(bool bRun)
{
    m_bUdpRun = bRun;
    if (!bRun)
        m_udpWake.Signal();
}

void CNetworkChannel::StopAll()
{
    SetTcpRunFlag(false);
    SetUdpRunFlag(false);
}

bool CNetworkChannel::ReapThread(std::thread& worker, std::atomic<bool>& bActive, const CSocketWake& wake)
{
    if (worker.joinable())
    {
        // A thread that still runs and was not asked to stop keeps serving; one that ended or
        // is ending (its wake-up is signalled) is joined at once.
        if (bActive && !wake.IsSignalled())
            return false;
        worker.join();
    }
    wake.Drain();
    return true;
}

int CNetworkChannel::StartUdpSender()
{
    if (!ReapThread(m_udpThread, m_bUdpActive, m_udpWake))
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
    if (!ReapThread(m_tcpThread, m_bTcpActive, m_tcpWake))
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
    const SocketValue nSocket = OpenDatagramSocket();
    if (nSocket < 0)
        return -1;
    const int nResult = SendUdpFrame(nSocket, m_nTargetAddress, m_nTargetUdpPort);
    CloseSocket(nSocket);
    return nResult;
}

int CNetworkChannel::SendUdpFrame(SocketValue nSocket, std::uint32_t nAddress, int nPort)
{
    if (nSocket < 0)
        return -1;
    // Test runs, benchmarks and screenshots set RELVANE_LOOPBACK_ONLY: whatever a form or a random
    // walk typed, no frame of theirs may leave the machine.
    static const bool bLoopbackOnly = std::getenv("RELVANE_LOOPBACK_ONLY") != nullptr;
    if (bLoopbackOnly && (nAddress >> 24) != 127)
        return -1;
    // Built into a local frame: the window thread and the sender thread may send at once.
    std::uint8_t abFrame[kDatagramLimit];
    const CCalendarTime localTime = LocalCalendarTime(std::chrono::system_clock::now());
    const int nLength = m_fnBuildDatagram ? m_fnBuildDatagram(abFrame, m_bUdpTimeInformation, localTime) : -1;
    if (nLength < 0 || static_cast<std::size_t>(nLength) > sizeof abFrame)
        return -1;

    const long nSent = SendDatagram(nSocket, abFrame, static_cast<std::size_t>(nLength), nAddress, nPort);
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
    if (!WaitWritable(nSocket, kWritableWaitMs))
        return -2;
    const long nSent = SendStream(nSocket, pBytes, nCount);
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

void CNetworkChannel::TcpListenerThread()
{
    NameSocketThread("relvane-tcp");
    const int nPort = m_nLocalTcpPort;
    const SocketValue nListen = OpenStreamSocket();
    if (nListen < 0)
    {
        // Reported, so that the session does not believe a listener is running.
        EndTcpThread(NET_TCP_LISTEN_FAILED);
        return;
    }
    const ListenResult listening = BindAndListen(nListen, nPort);
    if (listening != ListenResult::Listening)
    {
        CloseSocket(nListen);
        EndTcpThread(listening == ListenResult::BindFailed ? NET_TCP_BIND_FAILED : NET_TCP_LISTEN_FAILED);
        return;
    }
    PostStatus(NET_TCP_LISTENING);

    SocketValue nConnection = kNoSocket;
    while (m_bTcpRun)
    {
        const int nReady = WaitReadable(nListen, m_tcpWake, kStepMs);
        if (nReady == kStopRequested || nReady < 0)
            break;
        if (nReady == 0)
            continue;
        bool bRetry = false;
        nConnection = AcceptConnection(nListen, bRetry);
        if (nConnection >= 0)
            break;
        // Out of descriptors and the like: the connection stays queued and the socket readable,
        // so wait a step instead of spinning.
        if (!bRetry && WaitReadable(kNoSocket, m_tcpWake, kStepMs) == kStopRequested)
            break;
    }
    // One start serves one connection: the listening socket goes now, so a second relay is
    // refused instead of waiting unanswered in the backlog.
    CloseSocket(nListen);
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
            if (WaitReadable(kNoSocket, m_tcpWake, kDoNotReadPauseMs) == kStopRequested)
                break;
            continue;
        }
        const int nReady = WaitReadable(nConnection, m_tcpWake, kStepMs);
        if (nReady == kStopRequested || nReady < 0)
            break;
        if (nReady == 0 || m_bTcpDoNotRead)
            continue;
        const long nReceived = ReceiveStream(nConnection, abBuffer.data(), abBuffer.size());
        if (nReceived == kReceiveAgain)
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
        m_nConnectedSocket = kNoSocket;
    }
    if (m_bShutdownBeforeClose)
        ShutdownSending(nConnection);
    CloseSocket(nConnection);
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
    NameSocketThread("relvane-udp");
    // Whole seconds, as the interval has always been honoured; below one second: every second.
    const std::uint32_t nPeriodSeconds = std::max<std::uint32_t>(m_nUdpInterval / 1000, 1);
    const std::uint32_t nAddress = m_nTargetAddress;
    const int nPort = m_nTargetUdpPort;

    const SocketValue nSocket = OpenDatagramSocket();
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
            if (WaitReadable(kNoSocket, m_udpWake, nWaitMs) == kStopRequested)
                break;
        }
        CloseSocket(nSocket);
    }
    m_bUdpRun = false;
    m_bUdpActive = false;
    PostStatus(NET_UDP_STOPPED);
}

} // namespace relvane
