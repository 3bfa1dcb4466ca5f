#include "FakeNetworkChannel.h"

#include <algorithm>

namespace relvane
{

int CFakeNetworkChannel::Startup(IMessageSink* pOwner)
{
    ++m_nStartupCount;
    m_pOwner = pOwner;
    return m_nStartupResult;
}

int CFakeNetworkChannel::StartUdpSender()
{
    ++m_nUdpSenderStarts;
    return 1;
}

int CFakeNetworkChannel::StartTcpListener()
{
    ++m_nTcpListenerStarts;
    return 1;
}

void CFakeNetworkChannel::StopAll()
{
    ++m_nStopAllCount;
    m_bTcpRun = false;
    m_bUdpRun = false;
}

int CFakeNetworkChannel::SendUdpOnce()
{
    ++m_nUdpOnceCount;
    return m_nSendUdpResult;
}

int CFakeNetworkChannel::SendTcp(const std::uint8_t* pBytes, int nCount)
{
    m_tcpSent.emplace_back(pBytes, pBytes + std::max(nCount, 0));
    return m_bSendTcpScripted ? m_nSendTcpResult : nCount;
}

void CFakeNetworkChannel::PostMessage(CChannelMessage message)
{
    if (m_pOwner != nullptr)
        m_pOwner->PostChannelMessage(std::move(message));
}

void CFakeNetworkChannel::PostStatus(int nCode)
{
    PostMessage(CChannelMessage{WM_NET_STATUS, nCode, 0, {}});
}

void CFakeNetworkChannel::PostTcpData(std::vector<std::uint8_t> abData)
{
    const long nCount = static_cast<long>(abData.size());
    PostMessage(CChannelMessage{WM_TCP_RECEIVED, 0, nCount, std::move(abData)});
}

void CFakeNetworkChannel::PostUdpSent(std::vector<std::uint8_t> abFrame)
{
    const long nCount = static_cast<long>(abFrame.size());
    PostMessage(CChannelMessage{WM_UDP_SENT, 0, nCount, std::move(abFrame)});
}

} // namespace relvane
