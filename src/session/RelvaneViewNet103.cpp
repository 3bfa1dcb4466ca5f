#include "session/IUserInterface.h"
#include "session/RelvaneView.h"

#include <algorithm>

// CRelvaneView, Ethernet 103: the TCP listener, the UDP sender and what they report.
namespace relvane
{

namespace
{

constexpr const char* kNetworkFailedMessage = "网络初始化失败";
constexpr const char* kUdpIntervalTitle = "UDP发送时间间隔";

} // namespace

bool CRelvaneView::StartupNetwork()
{
    if (m_pNetworkChannel->Startup(&m_messageQueue) > 0)
        return true;
    m_ui.ShowMessage(kNetworkFailedMessage);
    return false;
}

void CRelvaneView::RecomputeNetworkActive()
{
    m_bNetworkActive = (m_pNetworkChannel->UdpRunFlag() || m_pNetworkChannel->TcpRunFlag()) ? 1 : 0;
}

void CRelvaneView::OnIpSettings()
{
    CIpFields fields;
    fields.nTargetAddress = m_pNetworkChannel->TargetAddress();
    fields.nTargetUdpPort = m_pNetworkChannel->TargetUdpPort();
    fields.nLocalTcpPort = m_pNetworkChannel->LocalTcpPort();
    if (!m_ui.ShowIpForm(fields))
        return;
    m_pNetworkChannel->SetTargetAddress(fields.nTargetAddress);
    m_pNetworkChannel->SetTargetUdpPort(fields.nTargetUdpPort & 0xFFFF);
    m_pNetworkChannel->SetLocalTcpPort(fields.nLocalTcpPort & 0xFFFF);
}

void CRelvaneView::OnUdpInterval()
{
    CIntervalFields fields;
    fields.strTitle = kUdpIntervalTitle;
    fields.nIntervalMs = static_cast<int>(m_pNetworkChannel->UdpInterval());
    if (!m_ui.ShowIntervalForm(fields))
        return;
    m_pNetworkChannel->SetUdpInterval(static_cast<std::uint32_t>(std::max(fields.nIntervalMs, 0)));
}

void CRelvaneView::OnTcpListen()
{
    if (m_pNetworkChannel->TcpRunFlag())
    {
        // The listener notices within a second and reports its end itself.
        m_pNetworkChannel->SetTcpRunFlag(false);
        RecomputeNetworkActive();
        return;
    }
    if (!StartupNetwork())
        return;
    m_pNetworkChannel->SetTcpRunFlag(true);
    RecomputeNetworkActive();
    m_pNetworkChannel->StartTcpListener();
}

void CRelvaneView::OnUdpTimed()
{
    if (m_pNetworkChannel->UdpRunFlag())
    {
        m_pNetworkChannel->SetUdpRunFlag(false);
        RecomputeNetworkActive();
        return;
    }
    if (!StartupNetwork())
        return;
    m_pNetworkChannel->SetUdpRunFlag(true);
    RecomputeNetworkActive();
    m_pNetworkChannel->StartUdpSender();
}

void CRelvaneView::OnNetworkConnect()
{
    m_bNetworkActive = m_bNetworkActive ? 0 : 1;
    if (!m_bNetworkActive)
    {
        m_pNetworkChannel->StopAll();
        return;
    }
    if (!StartupNetwork())
    {
        m_bNetworkActive = 0;
        return;
    }
    OnTcpListen();
    OnUdpTimed();
}

void CRelvaneView::OnTcpSend()
{
    m_customFrameFields.bShowChecksumButton = false;
    const CCustomFrame usersFrame = m_customFrame;
    const bool bOk = m_ui.ShowCustomFrameForm(m_customFrame, m_customFrameFields);
    m_customFrameFields.bShowChecksumButton = true;
    const int nLength = m_customFrame.CopyFrame(m_txBuffer.data(), kTxBufferSize);
    if (m_ui.AnswersForTheUser())
        m_customFrame = usersFrame;
    if (!bOk)
        return;
    if (!m_pNetworkChannel->IsConnected())
    {
        WriteEvent(LOG_TCP_NOT_CONNECTED);
        return;
    }
    if (nLength <= 0)
        return;
    const int nSent = m_pNetworkChannel->SendTcp(m_txBuffer.data(), nLength);
    switch (nSent)
    {
    case -1:
        WriteEvent(LOG_SOCKET_INVALID);
        break;
    case -2:
        WriteEvent(LOG_TCP_CANNOT_SEND);
        break;
    case -3:
        WriteEvent(LOG_TCP_SEND_FAILED);
        break;
    default:
        if (nSent < 0)
        {
            // Not a result the channel gives: nothing was sent.
            WriteEvent(LOG_TCP_SEND_FAILED);
            break;
        }
        m_entryTime = m_pNetworkChannel->LastTcpSendTime().OrNow();
        m_recorder.OnNetworkFrame(CAPTURE_TCP, false, m_txBuffer.data(), std::min(nSent, nLength),
                                  m_entryTime);
        WriteEvent(LOG_TCP_SEND);
        WriteFrame(m_txBuffer.data(), std::min(nSent, nLength), m_bHex);
        break;
    }
}

void CRelvaneView::OnUdpSent(const CChannelMessage& message)
{
    WriteEvent(LOG_UDP_SEND);
    // Only the bytes the message carries are shown, however many it claims.
    const auto nCount =
        static_cast<int>(std::min<long long>({std::max<long long>(message.lParam, 0),
                                              static_cast<long long>(message.abData.size()), kRxBufferSize}));
    if (nCount <= 0)
        return;
    std::copy_n(message.abData.begin(), nCount, m_rxBuffer.begin());
    m_recorder.OnNetworkFrame(CAPTURE_UDP, false, m_rxBuffer.data(), nCount, m_entryTime.OrNow());
    WriteFrame(m_rxBuffer.data(), nCount, m_bHex);
}

void CRelvaneView::OnTcpReceived(const CChannelMessage& message)
{
    WriteEvent(LOG_TCP_RECEIVE);
    const auto nCount =
        static_cast<int>(std::min<long long>({std::max<long long>(message.lParam, 0),
                                              static_cast<long long>(message.abData.size()), kRxBufferSize}));
    if (nCount <= 0)
        return;
    std::copy_n(message.abData.begin(), nCount, m_rxBuffer.begin());
    m_recorder.OnNetworkFrame(CAPTURE_TCP, true, m_rxBuffer.data(), nCount, m_entryTime.OrNow());
    WriteFrame(m_rxBuffer.data(), nCount, m_bHex);
}

void CRelvaneView::OnNetStatus(int nCode)
{
    switch (nCode)
    {
    case NET_TCP_BIND_FAILED:
        WriteEvent(LOG_TCP_BIND_FAILED);
        break;
    case NET_TCP_LISTENING:
        WriteEvent(LOG_TCP_LISTENING);
        break;
    case NET_TCP_LISTEN_FAILED:
        WriteEvent(LOG_TCP_LISTEN_FAILED);
        break;
    case NET_TCP_LISTEN_STOPPED:
        WriteEvent(LOG_TCP_LISTEN_STOPPED);
        break;
    case NET_TCP_CONNECTED:
        m_recorder.Stamp().MarkConnected(m_entryTime.OrNow());
        WriteEvent(LOG_TCP_CONNECTED);
        break;
    case NET_TCP_DISCONNECTED:
        WriteEvent(LOG_TCP_DISCONNECTED);
        RecomputeNetworkActive();
        break;
    case NET_UDP_STOPPED:
        RecomputeNetworkActive();
        break;
    default:
        break;
    }
}

} // namespace relvane
