#pragma once

#include "transport/ChannelMessage.h"
#include "transport/PlainNetworkSettings.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// A network channel without sockets: keeps the fields and flags, counts starts and stops,
// answers sends with scripted results and posts the notifications a test asks for.
class CFakeNetworkChannel : public CPlainNetworkSettings
{
public:
    // Loopback: nothing a test sends leaves the machine.
    CFakeNetworkChannel() : CPlainNetworkSettings(0x7F000001) {}

    int Startup(IMessageSink* pOwner) override;

    int StartUdpSender() override;
    int StartTcpListener() override;
    void StopAll() override;
    int SendUdpOnce() override;
    int SendTcp(const std::uint8_t* pBytes, int nCount) override;
    bool IsConnected() const override { return m_bConnected; }

    // Scripting.
    void SetStartupResult(int nResult) { m_nStartupResult = nResult; }
    void SetConnected(bool bConnected) { m_bConnected = bConnected; }
    // Result of the next SendTcp; by default the whole count is accepted.
    void SetSendTcpResult(int nResult)
    {
        m_nSendTcpResult = nResult;
        m_bSendTcpScripted = true;
    }
    void SetSendUdpResult(int nResult) { m_nSendUdpResult = nResult; }

    // Notifications as the channel's threads post them.
    void PostStatus(int nCode);
    void PostTcpData(std::vector<std::uint8_t> abData);
    void PostUdpSent(std::vector<std::uint8_t> abFrame);
    void PostMessage(CChannelMessage message);

    IMessageSink* Owner() const { return m_pOwner; }
    int StartupCount() const { return m_nStartupCount; }
    int UdpSenderStarts() const { return m_nUdpSenderStarts; }
    int TcpListenerStarts() const { return m_nTcpListenerStarts; }
    int StopAllCount() const { return m_nStopAllCount; }
    int UdpOnceCount() const { return m_nUdpOnceCount; }
    const std::vector<std::vector<std::uint8_t>>& TcpSent() const { return m_tcpSent; }

private:
    IMessageSink* m_pOwner = nullptr;
    bool m_bConnected = false;
    int m_nStartupResult = 1;
    int m_nSendTcpResult = 0;
    bool m_bSendTcpScripted = false;
    int m_nSendUdpResult = 41;
    int m_nStartupCount = 0;
    int m_nUdpSenderStarts = 0;
    int m_nTcpListenerStarts = 0;
    int m_nStopAllCount = 0;
    int m_nUdpOnceCount = 0;
    std::vector<std::vector<std::uint8_t>> m_tcpSent;
};

} // namespace relvane
