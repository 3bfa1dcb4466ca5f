#pragma once

#include "transport/ChannelMessage.h"
#include "transport/INetworkChannel.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// A network channel without sockets: keeps the fields and flags, counts starts and stops,
// answers sends with scripted results and posts the notifications a test asks for.
class CFakeNetworkChannel : public INetworkChannel
{
public:
    int Startup(IMessageSink* pOwner) override;

    std::uint32_t TargetAddress() const override { return m_nTargetAddress; }
    void SetTargetAddress(std::uint32_t nAddress) override { m_nTargetAddress = nAddress; }
    int TargetUdpPort() const override { return m_nTargetUdpPort; }
    void SetTargetUdpPort(int nPort) override { m_nTargetUdpPort = nPort & 0xFFFF; }
    int LocalTcpPort() const override { return m_nLocalTcpPort; }
    void SetLocalTcpPort(int nPort) override { m_nLocalTcpPort = nPort & 0xFFFF; }
    std::uint32_t UdpInterval() const override { return m_nUdpInterval; }
    void SetUdpInterval(std::uint32_t nMs) override { m_nUdpInterval = nMs; }

    bool TcpRunFlag() const override { return m_bTcpRun; }
    void SetTcpRunFlag(bool bRun) override { m_bTcpRun = bRun; }
    bool UdpRunFlag() const override { return m_bUdpRun; }
    void SetUdpRunFlag(bool bRun) override { m_bUdpRun = bRun; }
    bool TcpDoNotRead() const override { return m_bTcpDoNotRead; }
    void SetTcpDoNotRead(bool bDoNotRead) override { m_bTcpDoNotRead = bDoNotRead; }
    bool UdpTimeInformation() const override { return m_bUdpTime; }
    void SetUdpTimeInformation(bool bWithTime) override { m_bUdpTime = bWithTime; }

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
    std::uint32_t m_nTargetAddress = 0x7F000001; // loopback: nothing leaves the machine
    int m_nTargetUdpPort = kDefaultTargetUdpPort;
    int m_nLocalTcpPort = kDefaultLocalTcpPort;
    std::uint32_t m_nUdpInterval = kDefaultUdpIntervalMs;
    bool m_bTcpRun = false;
    bool m_bUdpRun = false;
    bool m_bTcpDoNotRead = false;
    bool m_bUdpTime = false;
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
