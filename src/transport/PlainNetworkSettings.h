#pragma once

#include "transport/INetworkChannel.h"

#include <cstdint>

namespace relvane
{

// The addresses, ports and flags of a network channel that has no threads of its own (the
// demonstration channel, the test channels), kept as plain fields. The socket channel keeps them
// in atomics instead, since its threads read them.
class CPlainNetworkSettings : public INetworkChannel
{
public:
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
    bool UdpTimeInformation() const override { return m_bUdpTimeInformation; }
    void SetUdpTimeInformation(bool bWithTime) override { m_bUdpTimeInformation = bWithTime; }

protected:
    explicit CPlainNetworkSettings(std::uint32_t nTargetAddress = kDefaultTargetAddress)
        : m_nTargetAddress(nTargetAddress)
    {
    }

    std::uint32_t m_nTargetAddress;
    int m_nTargetUdpPort = kDefaultTargetUdpPort;
    int m_nLocalTcpPort = kDefaultLocalTcpPort;
    std::uint32_t m_nUdpInterval = kDefaultUdpIntervalMs;
    bool m_bTcpRun = false;
    bool m_bUdpRun = false;
    bool m_bTcpDoNotRead = false;
    bool m_bUdpTimeInformation = false;
};

} // namespace relvane
