#pragma once

#include "relay/Eth103Peer.h"
#include "relay/RelaySession.h"
#include "transport/ChannelMessage.h"
#include "transport/PlainNetworkSettings.h"
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
class CDemoNetworkChannel final : public CPlainNetworkSettings
{
public:
    CDemoNetworkChannel();

    int Startup(IMessageSink* pOwner) override;

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
    bool m_bConnected = false;
};

// Milliseconds since the epoch: the simulated relay's time base.
std::int64_t DemoNowMs();

} // namespace relvane
