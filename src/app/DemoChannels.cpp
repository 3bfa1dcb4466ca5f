#include "app/DemoChannels.h"

#include "iec103/UdpFrame.h"

#include <algorithm>
#include <ctime>

namespace relvane
{

int CDemoSerialChannel::Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int)
{
    m_pOwner = pOwner;
    return CHANNEL_OK;
}

int CDemoSerialChannel::Open()
{
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
    if (pBytes == nullptr || nCount <= 0)
        return 0;
    const DemoBytes abWritten(pBytes, pBytes + nCount);
    if (m_fnReply && m_pOwner != nullptr)
    {
        DemoBytes abReply = m_fnReply(abWritten);
        if (!abReply.empty())
        {
            m_queued.push_back(std::move(abReply));
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

int CDemoNetworkChannel::Startup(IMessageSink* pOwner)
{
    m_pOwner = pOwner;
    return 1;
}

void CDemoNetworkChannel::Post(unsigned nMessage, long wParam, DemoBytes abData)
{
    if (m_pOwner == nullptr)
        return;
    const long lParam = static_cast<long>(abData.size());
    m_pOwner->PostChannelMessage({nMessage, wParam, lParam, std::move(abData)});
}

DemoBytes CDemoNetworkChannel::UdpFrame() const
{
    DemoBytes abFrame(kUdpFrameLength);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    BuildUdpFrame(abFrame.data(), m_bTimeInformation, local);
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
    // The relay announces itself with its identification (ASDU 5).
    Post(WM_TCP_RECEIVED, 0,
         DemoVariableFrame({0x08, 0x01, 0x05, 0x81, 0x04, 0x01, 0xFF, 0x03, 0x02, 'R', 'E',
                            'L',  'V',  'A',  'N',  'E',  ' ',  0x01, 0x00, 0x00, 0x00}));
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
    // The relay confirms what it got.
    Post(WM_TCP_RECEIVED, 0, DemoFixedFrame(0x00, 0x01));
    return nCount;
}

DemoBytes DemoFixedFrame(std::uint8_t nControl, std::uint8_t nAddress)
{
    return {0x10, nControl, nAddress, static_cast<std::uint8_t>(nControl + nAddress), 0x16};
}

DemoBytes DemoVariableFrame(const DemoBytes& abUserData)
{
    const auto nLength = static_cast<std::uint8_t>(abUserData.size());
    DemoBytes abFrame{0x68, nLength, nLength, 0x68};
    std::uint8_t nSum = 0;
    for (const std::uint8_t b : abUserData)
    {
        abFrame.push_back(b);
        nSum = static_cast<std::uint8_t>(nSum + b);
    }
    abFrame.push_back(nSum);
    abFrame.push_back(0x16);
    return abFrame;
}

} // namespace relvane
