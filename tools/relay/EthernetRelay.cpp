#include "RelayLoops.h"
#include "RelaySockets.h"
#include "relay/Eth103Peer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace relvane
{
namespace
{

constexpr std::int64_t kRetryMs = 1000;

// Sends all bytes, waiting at most a second for room; false when the connection failed.
bool SendAll(int nSocket, const CRelayBytes& abBytes)
{
    std::size_t nDone = 0;
    while (nDone < abBytes.size())
    {
        const SocketResult nSent = SendSome(nSocket, abBytes.data() + nDone, abBytes.size() - nDone);
        if (nSent > 0)
        {
            nDone += static_cast<std::size_t>(nSent);
            continue;
        }
        const int nError = SocketError();
        if (nSent < 0 && SocketInterrupted(nError))
            continue;
        CSocketPoll out{nSocket, kPollWritable};
        if (nSent < 0 && SocketWouldBlock(nError) && PollSockets(&out, 1, 1000) > 0)
            continue;
        return false;
    }
    return true;
}

class CEthernetLink
{
public:
    CEthernetLink(const CRelayOptions& options, const CRelayConsole& console)
        : m_options(options), m_console(console),
          m_peer(options.settings.nAddress, options.settings.nEventIntervalMs, NowMs())
    {
    }
    ~CEthernetLink()
    {
        Disconnect(false);
        if (m_nUdp >= 0)
            CloseSocket(m_nUdp);
    }

    int Run();

private:
    void StartConnect(std::int64_t nNow);
    void OnConnected(std::int64_t nNow);
    void Disconnect(bool bReport);
    void Send(const std::vector<CRelayBytes>& frames);
    void OnTcpReadable(std::int64_t nNow);
    void OnUdpReadable();

    const CRelayOptions& m_options;
    const CRelayConsole& m_console;
    CEth103Peer m_peer;
    int m_nUdp = -1;
    int m_nTcp = -1;
    bool m_bConnecting = false;
    bool m_bConnected = false;
    std::int64_t m_nNextAttemptMs = 0;
};

int CEthernetLink::Run()
{
    m_nUdp = OpenSocket(SocketKind::Datagram);
    if (m_nUdp < 0 || !BindLoopback(m_nUdp, m_options.nUdpPort))
    {
        std::fprintf(stderr, "relvane-relay: cannot receive on UDP port %d of 127.0.0.1: %s\n",
                     m_options.nUdpPort, SocketErrorText(SocketError()).c_str());
        return 1;
    }
    m_console.Note(
        "relvane-relay: Ethernet 103, connecting to TCP 127.0.0.1:" + std::to_string(m_options.nTcpPort) +
        ", receiving UDP on 127.0.0.1:" + std::to_string(m_options.nUdpPort) + ", address " +
        std::to_string(m_options.settings.nAddress));
    while (!g_bStopRequested)
    {
        std::int64_t nNow = NowMs();
        if (m_nTcp < 0 && nNow >= m_nNextAttemptMs)
            StartConnect(nNow);
        Send(m_peer.Idle(nNow, m_bConnected));
        std::fflush(stdout);

        int nWaitMs = m_peer.WaitMs(nNow);
        if (m_nTcp < 0)
            nWaitMs = static_cast<int>(
                std::max<std::int64_t>(1, std::min<std::int64_t>(nWaitMs, m_nNextAttemptMs - nNow)));
        // The stop descriptor first; the TCP socket only while there is one (Windows refuses a
        // list with a socket that is none).
        CSocketPoll fds[3] = {{StopFd(), kPollReadable}, {m_nUdp, kPollReadable},
                              {m_nTcp, m_bConnecting ? kPollWritable : kPollReadable}};
        const int nFirst = StopFd() >= 0 ? 0 : 1;
        const std::size_t nCount = m_nTcp >= 0 ? 3 : 2;
        if (PollSockets(fds + nFirst, nCount - static_cast<std::size_t>(nFirst), nWaitMs) <= 0)
            continue;
        nNow = NowMs();
        if ((fds[1].nReady & kPollReadable) != 0)
            OnUdpReadable();
        if (m_nTcp >= 0 && fds[2].nReady != 0)
        {
            if (m_bConnecting)
            {
                const int nError = PendingSocketError(m_nTcp);
                if (nError == 0)
                    OnConnected(nNow);
                else
                    Disconnect(false);
            }
            else
                OnTcpReadable(nNow);
        }
    }
    return 0;
}

void CEthernetLink::StartConnect(std::int64_t nNow)
{
    m_nNextAttemptMs = nNow + kRetryMs;
    m_nTcp = OpenSocket(SocketKind::Stream);
    if (m_nTcp < 0)
        return;
    if (ConnectLoopback(m_nTcp, m_options.nTcpPort) == 0)
        OnConnected(nNow);
    else if (SocketConnecting(SocketError()))
        m_bConnecting = true;
    else
        Disconnect(false);
}

void CEthernetLink::OnConnected(std::int64_t nNow)
{
    m_bConnecting = false;
    m_bConnected = true;
    m_console.Note("TCP connected to 127.0.0.1:" + std::to_string(m_options.nTcpPort));
    Send(m_peer.OnConnected(nNow));
}

void CEthernetLink::Disconnect(bool bReport)
{
    if (m_nTcp >= 0)
        CloseSocket(m_nTcp);
    if (bReport && m_bConnected)
        m_console.Note("TCP connection closed; connecting again");
    m_nTcp = -1;
    m_bConnecting = false;
    m_bConnected = false;
}

void CEthernetLink::Send(const std::vector<CRelayBytes>& frames)
{
    for (const CRelayBytes& abFrame : frames)
    {
        if (!m_bConnected)
            return;
        if (!SendAll(m_nTcp, abFrame))
        {
            Disconnect(true);
            return;
        }
        m_console.Frame("TX", "TCP", abFrame);
    }
}

void CEthernetLink::OnTcpReadable(std::int64_t nNow)
{
    std::uint8_t abBuffer[4096];
    const SocketResult nRead = ReceiveSome(m_nTcp, abBuffer, sizeof abBuffer);
    if (nRead < 0 && (SocketWouldBlock(SocketError()) || SocketInterrupted(SocketError())))
        return;
    if (nRead <= 0)
    {
        Disconnect(true);
        m_nNextAttemptMs = nNow + kRetryMs;
        return;
    }
    std::vector<CRelayBytes> received;
    const std::vector<CRelayBytes> answers =
        m_peer.OnReceived(abBuffer, static_cast<std::size_t>(nRead), nNow, received);
    if (received.empty())
        m_console.Frame("RX", "TCP", CRelayBytes(abBuffer, abBuffer + nRead), "no frame in it");
    for (const CRelayBytes& abFrame : received)
        m_console.Frame("RX", "TCP", abFrame);
    Send(answers);
}

void CEthernetLink::OnUdpReadable()
{
    std::uint8_t abBuffer[2048];
    const SocketResult nRead = ReceiveSome(m_nUdp, abBuffer, sizeof abBuffer);
    if (nRead <= 0)
        return;
    const auto nCount = static_cast<std::size_t>(nRead);
    m_console.Frame("RX", "UDP", CRelayBytes(abBuffer, abBuffer + nRead),
                    CEth103Peer::DescribeUdpFrame(abBuffer, nCount));
}

} // namespace

int RunEthernetRelay(const CRelayOptions& options, const CRelayConsole& console)
{
    CEthernetLink link(options, console);
    return link.Run();
}

} // namespace relvane
