#pragma once

#include "transport/ChannelMessage.h"
#include "transport/INetworkChannel.h"
#include "transport/ISerialChannel.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace relvane
{

using DemoBytes = std::vector<std::uint8_t>;

// A serial line without hardware for demonstrations and screenshots: every frame written is
// answered by the reply function (an empty reply is silence), delivered like a completed read.
class CDemoSerialChannel final : public ISerialChannel
{
public:
    using Replier = std::function<DemoBytes(const DemoBytes& abWritten)>;

    void SetReplier(Replier fnReply) { m_fnReply = std::move(fnReply); }

    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;

private:
    IMessageSink* m_pOwner = nullptr;
    Replier m_fnReply;
    bool m_bOpen = false;
    std::deque<DemoBytes> m_queued;
    DemoBytes m_current;
};

// The Ethernet-103 transport without sockets: the "relay" connects as soon as the listener
// starts, sends a frame, and answers every TCP send; UDP frames are reported as sent but never
// leave the process.
class CDemoNetworkChannel final : public INetworkChannel
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
    void Post(unsigned nMessage, long wParam, DemoBytes abData);
    DemoBytes UdpFrame() const;

    IMessageSink* m_pOwner = nullptr;
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

// FT1.2 frames for the demonstration relay: a fixed frame, or a variable frame around the given
// user data, each with its checksum and end character.
DemoBytes DemoFixedFrame(std::uint8_t nControl, std::uint8_t nAddress);
DemoBytes DemoVariableFrame(const DemoBytes& abUserData);

} // namespace relvane
