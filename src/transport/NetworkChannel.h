#pragma once

#include "common/CalendarTime.h"
#include "transport/ChannelMessage.h"
#include "transport/INetworkChannel.h"
#include "transport/SocketLayer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace relvane
{

// The Ethernet-103 transport, on the socket layer (POSIX sockets or Windows Sockets):
// TcpListenerThread accepts the relay's one connection on the local TCP port and reports what
// arrives; UdpSenderThread sends the protocol's datagram periodically. Each notification carries its
// own copy of the bytes. Stop requests also wake the threads at once (CSocketWake), so stopping
// and destruction do not wait for the one-second steps.
class CNetworkChannel final : public INetworkChannel
{
public:
    static constexpr std::size_t kTcpReceiveLimit = 16384;
    static constexpr std::size_t kDatagramLimit = 512;

    // Writes the datagram the UDP sender sends into pOut (room for kDatagramLimit bytes), with
    // or without the local time, and returns its length. The protocol above owns its contents;
    // the window thread and the sender thread may call it at once.
    using DatagramBuilder = std::function<int(std::uint8_t* pOut, bool bWithTime, const CCalendarTime& localTime)>;

    explicit CNetworkChannel(DatagramBuilder fnBuildDatagram);
    ~CNetworkChannel() override;
    CNetworkChannel(const CNetworkChannel&) = delete;
    CNetworkChannel& operator=(const CNetworkChannel&) = delete;

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
    void SetTcpRunFlag(bool bRun) override;
    bool UdpRunFlag() const override { return m_bUdpRun; }
    void SetUdpRunFlag(bool bRun) override;
    bool TcpDoNotRead() const override { return m_bTcpDoNotRead; }
    void SetTcpDoNotRead(bool bDoNotRead) override { m_bTcpDoNotRead = bDoNotRead; }
    bool UdpTimeInformation() const override { return m_bUdpTimeInformation; }
    void SetUdpTimeInformation(bool bWithTime) override { m_bUdpTimeInformation = bWithTime; }

    int StartUdpSender() override;
    int StartTcpListener() override;
    void StopAll() override;

    int SendUdpOnce() override;
    int SendTcp(const std::uint8_t* pBytes, int nCount) override;
    bool IsConnected() const override { return m_nConnectedSocket.load() >= 0; }
    CChannelTime LastTcpSendTime() const override { return m_lastTcpSend; }

private:
    void TcpListenerThread();
    // Clears the run flag, marks the thread ended and posts its final status.
    void EndTcpThread(int nStatus);
    void UdpSenderThread();
    // Builds one frame, sends it and posts WM_UDP_SENT with its bytes; bytes sent or -1.
    int SendUdpFrame(SocketValue nSocket, std::uint32_t nAddress, int nPort);
    void PostStatus(int nStatus);
    void Post(CChannelMessage message);
    // Joins a finished or stopping thread; false when it is still running normally.
    static bool ReapThread(std::thread& worker, std::atomic<bool>& bActive, const CSocketWake& wake);

    std::atomic<bool> m_bTcpRun{false};
    std::atomic<bool> m_bUdpRun{false};
    std::atomic<bool> m_bTcpDoNotRead{false};
    std::atomic<bool> m_bUdpTimeInformation{false};
    const DatagramBuilder m_fnBuildDatagram;
    std::atomic<IMessageSink*> m_pOwner{nullptr};
    std::atomic<std::uint32_t> m_nUdpInterval{kDefaultUdpIntervalMs};
    std::atomic<int> m_nLocalTcpPort{kDefaultLocalTcpPort};
    std::atomic<int> m_nTargetUdpPort{kDefaultTargetUdpPort};
    std::atomic<std::uint32_t> m_nTargetAddress{kDefaultTargetAddress};
    const bool m_bShutdownBeforeClose = true;
    std::atomic<SocketValue> m_nConnectedSocket{kNoSocket};
    // SendTcp and the listener's close of the connection exclude each other, so a send never
    // reaches a descriptor number the system has already handed to something else.
    std::mutex m_mutexConnection;
    CChannelTime m_lastTcpSend; // window thread only, as SendTcp

    // Declared before the wake-ups, which are sockets on some systems.
    CSocketsInUse m_socketsInUse;
    CSocketWake m_tcpWake;
    CSocketWake m_udpWake;
    std::atomic<bool> m_bTcpActive{false};
    std::atomic<bool> m_bUdpActive{false};
    std::thread m_tcpThread;
    std::thread m_udpThread;
};

} // namespace relvane
