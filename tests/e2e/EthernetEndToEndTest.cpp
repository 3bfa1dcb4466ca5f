// The window's Ethernet-103 mode against relvane-relay on loopback.
#include "RelayFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace relvane::test
{
namespace
{

// A port nobody uses right now (the kernel's choice).
int FreePort(int nType)
{
    const int nSocket = socket(AF_INET, nType, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(nType == SOCK_STREAM ? INADDR_ANY : INADDR_LOOPBACK);
    socklen_t nSize = sizeof address;
    bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nSize);
    close(nSocket);
    return ntohs(address.sin_port);
}

class EthernetEndToEnd : public RelayFixture
{
};

TEST_F(EthernetEndToEnd, ListenerRelayConnectionTcpSendAndTimedUdpFrames)
{
    const int nTcpPort = FreePort(SOCK_STREAM);
    const int nUdpPort = FreePort(SOCK_DGRAM);
    Choose(ID_MODE_ETH103);
    // The UDP target is the relay on loopback before anything is sent.
    m_ui.IpForm().Push(Confirm(CIpFields{0x7F000001, nUdpPort, nTcpPort}));
    Choose(ID_ETH_IP_SETTINGS);
    ASSERT_EQ(m_pView->NetworkChannel().TargetAddress(), 0x7F000001u);
    ASSERT_EQ(m_pView->NetworkChannel().TargetUdpPort(), nUdpPort);
    m_ui.IntervalForm().Push(
        [](CIntervalFields& fields)
        {
            fields.nIntervalMs = 1000;
            return true;
        });
    Choose(ID_ETH_UDP_INTERVAL);
    Choose(ID_ETH_UDP_TIME_INFO);

    StartRelay({"--protocol", "eth103", "--tcp-port", std::to_string(nTcpPort), "--udp-port",
                std::to_string(nUdpPort)},
               false);
    Choose(ID_ETH_CONNECT);
    ASSERT_TRUE(WaitForText("TCP连接建立")) << Log() << RelayOutput();
    // The relay announces itself with its identification (ASDU 5, start/restart).
    ASSERT_TRUE(WaitForText("68 15 15 68 08 01 05 81 05 01")) << Log();

    // A general interrogation typed by hand goes out on the connection; the relay answers it.
    m_ui.AnswerCustomFrame("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    Choose(ID_ETH_TCP_SEND);
    ASSERT_TRUE(WaitForText("TCP发送: 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16")) << Log();
    ASSERT_TRUE(WaitForText("08 81 0A 01 FF 00 00")) << Log() << RelayOutput();

    // Timed UDP frames with the time reach the relay, which reads the time in them.
    ASSERT_TRUE(WaitForText("UDP发送: FF 01", 2)) << Log();
    EXPECT_TRUE(WaitForRelayOutput("RX UDP")) << RelayOutput();
    EXPECT_TRUE(WaitForRelayOutput("(41 bytes, time 20")) << RelayOutput();

    Choose(ID_ETH_CONNECT);
    EXPECT_TRUE(WaitForText("TCP连接断开", 1, 4000)) << Log();
}

} // namespace
} // namespace relvane::test
