#include "app/DemoChannels.h"

#include "iec103/UdpFrame.h"

#include <algorithm>
#include <chrono>

namespace relvane
{

std::int64_t DemoNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

CDemoSerialChannel::CDemoSerialChannel() : m_relay(CRelaySettings{}, DemoNowMs()) {}

int CDemoSerialChannel::Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int)
{
    m_pOwner = pOwner;
    return CHANNEL_OK;
}

int CDemoSerialChannel::Open()
{
    if (m_bOpen)
        return CHANNEL_FAILED;
    m_bOpen = true;
    return CHANNEL_OK;
}

int CDemoSerialChannel::Close()
{
    m_bOpen = false;
    return CHANNEL_OK;
}

int CDemoSerialChannel::Write(const std::uint8_t* pBytes, int nCount)
{
    // A closed port reaches no relay.
    if (!m_bOpen || pBytes == nullptr || nCount <= 0)
        return 0;
    std::vector<CRelayExchange> exchanges;
    m_relay.Receive(pBytes, static_cast<std::size_t>(nCount), DemoNowMs(), exchanges);
    for (const CRelayExchange& exchange : exchanges)
    {
        for (const CRelayWrite& write : exchange.writes)
        {
            m_queued.push_back(write.abBytes);
            if (m_pOwner != nullptr)
                m_pOwner->PostChannelMessage({WM_SERIAL_DATA, 0, 0, {}});
        }
    }
    return 1;
}

void CDemoSerialChannel::AdvanceChunk()
{
    m_current.clear();
    if (!m_queued.empty())
    {
        m_current = std::move(m_queued.front());
        m_queued.pop_front();
    }
}

int CDemoSerialChannel::BytesAvailable() const
{
    return static_cast<int>(m_current.size());
}

int CDemoSerialChannel::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    if (m_current.empty() || pDestination == nullptr || nCapacity <= 0)
        return -1;
    const int nCount = std::min(nCapacity, static_cast<int>(m_current.size()));
    std::copy_n(m_current.begin(), nCount, pDestination);
    return nCount;
}

CDemoNetworkChannel::CDemoNetworkChannel() : m_relay(1, 0, DemoNowMs()) {}

int CDemoNetworkChannel::Startup(IMessageSink* pOwner)
{
    m_pOwner = pOwner;
    return 1;
}

void CDemoNetworkChannel::Post(unsigned nMessage, long wParam, CRelayBytes abData)
{
    if (m_pOwner == nullptr)
        return;
    const long lParam = static_cast<long>(abData.size());
    m_pOwner->PostChannelMessage({nMessage, wParam, lParam, std::move(abData)});
}

CRelayBytes CDemoNetworkChannel::UdpFrame() const
{
    CRelayBytes abFrame(kUdpFrameLength);
    BuildUdpFrame(abFrame.data(), m_bUdpTimeInformation, LocalCalendarTime(std::chrono::system_clock::now()));
    return abFrame;
}

int CDemoNetworkChannel::StartUdpSender()
{
    Post(WM_UDP_SENT, 0, UdpFrame());
    return 1;
}

int CDemoNetworkChannel::StartTcpListener()
{
    Post(WM_NET_STATUS, NET_TCP_LISTENING, {});
    Post(WM_NET_STATUS, NET_TCP_CONNECTED, {});
    m_bConnected = true;
    for (CRelayBytes& abFrame : m_relay.OnConnected(DemoNowMs()))
        Post(WM_TCP_RECEIVED, 0, std::move(abFrame));
    return 1;
}

void CDemoNetworkChannel::StopAll()
{
    const bool bWasListening = m_bTcpRun;
    m_bTcpRun = false;
    m_bUdpRun = false;
    if (bWasListening)
        Post(WM_NET_STATUS, m_bConnected ? NET_TCP_DISCONNECTED : NET_TCP_LISTEN_STOPPED, {});
    m_bConnected = false;
    Post(WM_NET_STATUS, NET_UDP_STOPPED, {});
}

int CDemoNetworkChannel::SendUdpOnce()
{
    Post(WM_UDP_SENT, 0, UdpFrame());
    return kUdpFrameLength;
}

int CDemoNetworkChannel::SendTcp(const std::uint8_t* pBytes, int nCount)
{
    if (!m_bConnected)
        return -1;
    if (pBytes == nullptr || nCount <= 0)
        return 0;
    std::vector<CRelayBytes> received;
    for (CRelayBytes& abFrame :
         m_relay.OnReceived(pBytes, static_cast<std::size_t>(nCount), DemoNowMs(), received))
        Post(WM_TCP_RECEIVED, 0, std::move(abFrame));
    return nCount;
}

} // namespace relvane
