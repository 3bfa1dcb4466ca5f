#pragma once

#include "transport/ChannelTime.h"

#include <cstdint>

namespace relvane
{

class IMessageSink;

// The Ethernet-103 transport as the session sees it: a TCP listener accepting the relay's one
// connection and a UDP sender of the 41-byte frame. Everything reported goes to the sink as
// WM_UDP_SENT, WM_TCP_RECEIVED and WM_NET_STATUS, each message carrying its own bytes.
class INetworkChannel
{
public:
    static constexpr std::uint32_t kDefaultUdpIntervalMs = 15000;
    static constexpr int kDefaultLocalTcpPort = 1048;
    static constexpr int kDefaultTargetUdpPort = 1032;
    // 172.16.0.100: a fixed address of the private range the relays' test networks use.
    static constexpr std::uint32_t kDefaultTargetAddress = 0xAC100064;

    virtual ~INetworkChannel() = default;

    // 1 on success, -1 when the sockets layer cannot be used.
    virtual int Startup(IMessageSink* pOwner) = 0;

    virtual std::uint32_t TargetAddress() const = 0; // host order, first octet most significant
    virtual void SetTargetAddress(std::uint32_t nAddress) = 0;
    virtual int TargetUdpPort() const = 0;
    virtual void SetTargetUdpPort(int nPort) = 0; // keeps the low 16 bits
    virtual int LocalTcpPort() const = 0;
    virtual void SetLocalTcpPort(int nPort) = 0; // keeps the low 16 bits
    virtual std::uint32_t UdpInterval() const = 0;
    virtual void SetUdpInterval(std::uint32_t nMs) = 0;

    virtual bool TcpRunFlag() const = 0;
    virtual void SetTcpRunFlag(bool bRun) = 0;
    virtual bool UdpRunFlag() const = 0;
    virtual void SetUdpRunFlag(bool bRun) = 0;
    virtual bool TcpDoNotRead() const = 0;
    virtual void SetTcpDoNotRead(bool bDoNotRead) = 0;
    virtual bool UdpTimeInformation() const = 0;
    virtual void SetUdpTimeInformation(bool bWithTime) = 0;

    virtual int StartUdpSender() = 0;
    virtual int StartTcpListener() = 0;
    virtual void StopAll() = 0;

    // Bytes sent or -1.
    virtual int SendUdpOnce() = 0;
    // -1 no connection, -2 not writable within 5 ms, -3 send failed, else bytes accepted.
    virtual int SendTcp(const std::uint8_t* pBytes, int nCount) = 0;
    // True while a relay connection is accepted.
    virtual bool IsConnected() const = 0;
    // When the last SendTcp handed its bytes to the connection (unset: the session takes now).
    virtual CChannelTime LastTcpSendTime() const { return {}; }
};

} // namespace relvane
