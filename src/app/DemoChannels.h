#pragma once

#include "relay/Eth103Peer.h"
#include "relay/RelaySession.h"
#include "transport/ChannelMessage.h"
#include "transport/INetworkChannel.h"
#include "transport/ISerialChannel.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace relvane
{

// A serial line without hardware for demonstrations and screenshots, with the simulated relay
// (both serial protocols, address 1) at its far end. Each frame written while the port is open is
// answered at once, delivered like a completed read; a closed port neither sends nor answers.
class CDemoSerialChannel final : public ISerialChannel
{
public:
    CDemoSerialChannel();

    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;

    CRelaySession& Relay() { return m_relay; }

private:
    IMessageSink* m_pOwner = nullptr;
    CRelaySession m_relay;
    bool m_bOpen = false;
    std::deque<CRelayBytes> m_queued;
    CRelayBytes m_current;
};

// The Ethernet-103 transport without sockets: the simulated relay connects as soon as the
// listener starts, announces itself and answers every TCP send; UDP frames are reported as sent
// but never leave the process.
class CDemoNetworkChannel final : public INetworkChannel
{
public:
    CDemoNetworkChannel();

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
    bool TcpDoNotRead() const override { return m_bDoNotRead; }
    void SetTcpDoNotRead(bool bDoNotRead) override { m_bDoNotRead = bDoNotRead; }
    bool UdpTimeInformation() const override { return m_bTimeInformation; }
    void SetUdpTimeInformation(bool bWithTime) override { m_bTimeInformation = bWithTime; }

    int StartUdpSender() override;
    int StartTcpListener() override;
    void StopAll() override;
    int SendUdpOnce() override;
    int SendTcp(const std::uint8_t* pBytes, int nCount) override;
    bool IsConnected() const override { return m_bConnected; }

private:
    void Post(unsigned nMessage, long wParam, CRelayBytes abData);
    CRelayBytes UdpFrame() const;

    IMessageSink* m_pOwner = nullptr;
    CEth103Peer m_relay;
    std::uint32_t m_nTargetAddress = kDefaultTargetAddress;
    int m_nTargetUdpPort = kDefaultTargetUdpPort;
    int m_nLocalTcpPort = kDefaultLocalTcpPort;
    std::uint32_t m_nUdpInterval = kDefaultUdpIntervalMs;
    bool m_bTcpRun = false;
    bool m_bUdpRun = false;
    bool m_bDoNotRead = false;
    bool m_bTimeInformation = false;
    bool m_bConnected = false;
};

// Milliseconds since the epoch: the simulated relay's time base.
std::int64_t DemoNowMs();

} // namespace relvane
