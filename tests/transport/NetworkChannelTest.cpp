#include "transport/NetworkChannel.h"

#include "RecordingSink.h"
#include "TestSockets.h"
#include "iec103/UdpFrame.h"

#include <cerrno>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace relvane
{
namespace
{

using test::CRecordingSink;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1: the only target a test may use

// A socket closed at the end of the scope.
class CSocket
{
public:
    explicit CSocket(int nFd = -1) : m_nFd(nFd) {}
    ~CSocket() { Reset(); }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    int Get() const { return m_nFd; }
    void Reset(int nFd = -1)
    {
        if (m_nFd >= 0)
            test::CloseSocket(m_nFd);
        m_nFd = nFd;
    }

private:
    int m_nFd;
};

sockaddr_in Address(std::uint32_t nAddress, int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(nAddress);
    return address;
}

int BoundPort(int nFd)
{
    sockaddr_in address{};
    socklen_t nLength = sizeof address;
    getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLength);
    return ntohs(address.sin_port);
}

// A TCP port nobody listens on right now, found by letting the system pick one.
int FreeTcpPort()
{
    CSocket probe(socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in any = Address(INADDR_ANY, 0);
    EXPECT_EQ(bind(probe.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    return BoundPort(probe.Get());
}

int ConnectLoopback(int nPort)
{
    int nFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Address(kLoopback, nPort);
    if (connect(nFd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
    {
        test::CloseSocket(nFd);
        return -1;
    }
    return nFd;
}

Bytes ReceiveSome(int nFd, std::size_t nCount)
{
    Bytes abBytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (abBytes.size() < nCount && std::chrono::steady_clock::now() < deadline)
    {
        pollfd in = test::ReadableWait(nFd);
        if (test::PollSockets(&in, 1, 100) <= 0)
            continue;
        std::uint8_t abBuffer[2048];
        const auto n = test::ReceiveBytes(nFd, abBuffer, sizeof abBuffer, 0);
        if (n <= 0)
            break;
        abBytes.insert(abBytes.end(), abBuffer, abBuffer + n);
    }
    return abBytes;
}

// True when the peer sees the connection closed within the limit.
bool WaitForEndOfStream(int nFd)
{
    pollfd in = test::ReadableWait(nFd);
    if (test::PollSockets(&in, 1, 10000) <= 0)
        return false;
    std::uint8_t nByte = 0;
    return test::ReceiveBytes(nFd, &nByte, 1, 0) == 0;
}

Bytes ReceivedTcpBytes(const std::vector<CChannelMessage>& messages)
{
    Bytes abAll;
    for (const CChannelMessage& message : messages)
    {
        if (message.nMessage == WM_TCP_RECEIVED)
        {
            EXPECT_EQ(message.lParam, static_cast<long>(message.abData.size()));
            abAll.insert(abAll.end(), message.abData.begin(), message.abData.end());
        }
    }
    return abAll;
}

std::vector<long> Statuses(const CRecordingSink& sink)
{
    std::vector<long> anCodes;
    for (const CChannelMessage& message : sink.Messages())
    {
        if (message.nMessage == WM_NET_STATUS)
            anCodes.push_back(message.wParam);
    }
    return anCodes;
}

class NetworkChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Declared after the sink, so destroyed (threads joined) before it.
        m_pChannel = std::make_unique<CNetworkChannel>(BuildUdpFrame);
        ASSERT_EQ(m_pChannel->Startup(&m_sink), 1);
        m_pChannel->SetTargetAddress(kLoopback);
    }

    void StartListening(int nPort)
    {
        m_pChannel->SetLocalTcpPort(nPort);
        m_pChannel->SetTcpRunFlag(true);
        EXPECT_EQ(m_pChannel->StartTcpListener(), 1);
    }

    bool WaitForTcpBytes(std::size_t nCount)
    {
        return m_sink.WaitUntil([&](const auto& messages)
                                { return ReceivedTcpBytes(messages).size() >= nCount; });
    }

    CRecordingSink m_sink;
    std::unique_ptr<CNetworkChannel> m_pChannel;
};

TEST_F(NetworkChannelTest, StartsWithThePrivateDefaultsAndKeepsSixteenBitPorts)
{
    CNetworkChannel fresh(BuildUdpFrame);
    EXPECT_EQ(fresh.TargetAddress() & 0xFFF00000u, 0xAC100000u) << "inside 172.16.0.0/12";
    EXPECT_EQ(fresh.TargetUdpPort(), 1032);
    EXPECT_EQ(fresh.LocalTcpPort(), 1048);
    EXPECT_EQ(fresh.UdpInterval(), 15000u);
    EXPECT_FALSE(fresh.TcpRunFlag() || fresh.UdpRunFlag() || fresh.TcpDoNotRead() ||
                 fresh.UdpTimeInformation());
    fresh.SetLocalTcpPort(0x10000 + 1048);
    fresh.SetTargetUdpPort(-1);
    EXPECT_EQ(fresh.LocalTcpPort(), 1048);
    EXPECT_EQ(fresh.TargetUdpPort(), 0xFFFF);
    EXPECT_FALSE(fresh.IsConnected());
}

TEST_F(NetworkChannelTest, OneConnectionFromListeningToDisconnectAndAnImmediateRestart)
{
    const int nPort = FreeTcpPort();
    EXPECT_EQ(m_pChannel->SendTcp(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING));

    CSocket relay(ConnectLoopback(nPort));
    ASSERT_GE(relay.Get(), 0);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_CONNECTED));
    EXPECT_TRUE(m_pChannel->IsConnected());
    EXPECT_TRUE(m_pChannel->TcpRunFlag());

    // While this connection is up, a second relay is refused.
    CSocket second(ConnectLoopback(nPort));
    EXPECT_LT(second.Get(), 0);

    const Bytes abFromRelay = {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x05, 0x81, 0x00, 0x02, 0x03, 0x94, 0x16};
    const CChannelTime beforeSend = CChannelTime::Now();
    ASSERT_EQ(test::SendBytes(relay.Get(), abFromRelay.data(), abFromRelay.size(), 0),
              static_cast<long long>(abFromRelay.size()));
    ASSERT_TRUE(WaitForTcpBytes(abFromRelay.size()));
    const CChannelTime received = CChannelTime::Now();
    EXPECT_EQ(ReceivedTcpBytes(m_sink.Messages()), abFromRelay);
    // Every notice carries the listener thread's time of it.
    for (const CChannelMessage& message : m_sink.Messages())
        EXPECT_TRUE(message.time.IsSet());
    const CChannelTime arrived = m_sink.Messages().back().time;
    EXPECT_GE(arrived.nSteadyUs, beforeSend.nSteadyUs);
    EXPECT_LE(arrived.nSteadyUs, received.nSteadyUs);

    const Bytes abToRelay = {0x10, 0x5B, 0x01, 0x5C, 0x16};
    EXPECT_EQ(m_pChannel->SendTcp(abToRelay.data(), static_cast<int>(abToRelay.size())), 5);
    EXPECT_GE(m_pChannel->LastTcpSendTime().nSteadyUs, received.nSteadyUs);
    EXPECT_EQ(ReceiveSome(relay.Get(), abToRelay.size()), abToRelay);

    relay.Reset();
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_DISCONNECTED));
    EXPECT_FALSE(m_pChannel->IsConnected());
    EXPECT_FALSE(m_pChannel->TcpRunFlag());
    EXPECT_EQ(m_pChannel->SendTcp(abToRelay.data(), 5), -1);
    EXPECT_EQ(Statuses(m_sink),
              (std::vector<long>{NET_TCP_LISTENING, NET_TCP_CONNECTED, NET_TCP_DISCONNECTED}));

    // One start serves one connection: the next relay is refused until listening again.
    CSocket late(ConnectLoopback(nPort));
    EXPECT_LT(late.Get(), 0);

    // Restarting at once on the same port works despite the closed connection's remains.
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING, 2));
    EXPECT_EQ(m_sink.CountOf(WM_NET_STATUS, NET_TCP_BIND_FAILED), 0u);
    CSocket again(ConnectLoopback(nPort));
    ASSERT_GE(again.Get(), 0);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_CONNECTED, 2));
}

TEST_F(NetworkChannelTest, PortTakenByAnotherListenerGivesBindFailed)
{
    CSocket holder(socket(AF_INET, SOCK_STREAM, 0));
    const int nOn = 1;
    test::SetSocketOption(holder.Get(), SOL_SOCKET, SO_REUSEADDR, nOn);
    const sockaddr_in any = Address(INADDR_ANY, 0);
    ASSERT_EQ(bind(holder.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(holder.Get(), 1), 0);

    StartListening(BoundPort(holder.Get()));
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_BIND_FAILED));
    EXPECT_FALSE(m_pChannel->TcpRunFlag());
    EXPECT_EQ(Statuses(m_sink), (std::vector<long>{NET_TCP_BIND_FAILED}));
}

TEST_F(NetworkChannelTest, StopWhileWaitingGivesListenStoppedAndWhileConnectedDisconnected)
{
    const int nPort = FreeTcpPort();
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING));
    m_pChannel->StopAll();
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTEN_STOPPED));
    EXPECT_FALSE(m_pChannel->TcpRunFlag());

    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING, 2));
    CSocket relay(ConnectLoopback(nPort));
    ASSERT_GE(relay.Get(), 0);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_CONNECTED));
    m_pChannel->SetTcpRunFlag(false);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_DISCONNECTED));
    EXPECT_TRUE(WaitForEndOfStream(relay.Get())) << "the relay sees the connection end";
    EXPECT_EQ(Statuses(m_sink),
              (std::vector<long>{NET_TCP_LISTENING, NET_TCP_LISTEN_STOPPED, NET_TCP_LISTENING,
                                 NET_TCP_CONNECTED, NET_TCP_DISCONNECTED}));
}

TEST_F(NetworkChannelTest, StartRightAfterAStopRequestReplacesTheOldListener)
{
    const int nPort = FreeTcpPort();
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING));
    // The old thread may not have seen the stop yet; the new start must still get a listener.
    m_pChannel->StopAll();
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING, 2));
    EXPECT_EQ(Statuses(m_sink),
              (std::vector<long>{NET_TCP_LISTENING, NET_TCP_LISTEN_STOPPED, NET_TCP_LISTENING}));
    EXPECT_TRUE(m_pChannel->TcpRunFlag());
    CSocket relay(ConnectLoopback(nPort));
    ASSERT_GE(relay.Get(), 0);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_CONNECTED));
}

TEST_F(NetworkChannelTest, DoNotReadLeavesDataInTheConnectionUntilCleared)
{
    const int nPort = FreeTcpPort();
    m_pChannel->SetTcpDoNotRead(true);
    StartListening(nPort);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING));
    CSocket relay(ConnectLoopback(nPort));
    ASSERT_GE(relay.Get(), 0);
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_CONNECTED));

    // More than one receive can take: it must come out in pieces of at most 16384 bytes.
    Bytes abBlock(40000);
    for (std::size_t i = 0; i < abBlock.size(); ++i)
        abBlock[i] = static_cast<std::uint8_t>(i % 251);
    ASSERT_EQ(test::SendBytes(relay.Get(), abBlock.data(), abBlock.size(), 0), static_cast<long long>(abBlock.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(m_sink.CountOf(WM_TCP_RECEIVED), 0u);

    m_pChannel->SetTcpDoNotRead(false);
    ASSERT_TRUE(WaitForTcpBytes(abBlock.size()));
    EXPECT_EQ(ReceivedTcpBytes(m_sink.Messages()), abBlock);
    for (const CChannelMessage& message : m_sink.Messages())
        EXPECT_LE(message.abData.size(), 16384u);
    EXPECT_GE(m_sink.CountOf(WM_TCP_RECEIVED), 3u);
}

class CUdpReceiver
{
public:
    CUdpReceiver() : m_socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        const sockaddr_in local = Address(kLoopback, 0);
        EXPECT_EQ(bind(m_socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    }
    int Port() const { return BoundPort(m_socket.Get()); }
    Bytes Receive() const
    {
        pollfd in = test::ReadableWait(m_socket.Get());
        if (test::PollSockets(&in, 1, 10000) <= 0)
            return {};
        std::uint8_t abBuffer[1024];
        const auto n = test::ReceiveBytes(m_socket.Get(), abBuffer, sizeof abBuffer, 0);
        return n > 0 ? Bytes(abBuffer, abBuffer + n) : Bytes{};
    }

private:
    CSocket m_socket;
};

Bytes FrameTime(std::time_t nTime)
{
    std::tm local{};
    localtime_r(&nTime, &local);
    const int nMs = std::min(local.tm_sec, 59) * 1000;
    return {static_cast<std::uint8_t>(nMs & 0xFF),         static_cast<std::uint8_t>(nMs >> 8),
            static_cast<std::uint8_t>(local.tm_min),       static_cast<std::uint8_t>(local.tm_hour),
            static_cast<std::uint8_t>(local.tm_mday),      static_cast<std::uint8_t>(local.tm_mon + 1),
            static_cast<std::uint8_t>(local.tm_year % 100)};
}

TEST_F(NetworkChannelTest, OneUdpFrameWithAndWithoutTimeReachesTheTarget)
{
    CUdpReceiver receiver;
    m_pChannel->SetTargetUdpPort(receiver.Port());

    ASSERT_EQ(m_pChannel->SendUdpOnce(), 41);
    Bytes abExpected(41, 0);
    abExpected[0] = 0xFF;
    EXPECT_EQ(receiver.Receive(), abExpected);
    ASSERT_TRUE(m_sink.WaitForCount(1));
    const CChannelMessage sent = m_sink.Messages()[0];
    EXPECT_EQ(sent.nMessage, WM_UDP_SENT);
    EXPECT_EQ(sent.lParam, 41);
    EXPECT_EQ(sent.abData, abExpected);
    EXPECT_TRUE(sent.time.IsSet());

    m_pChannel->SetUdpTimeInformation(true);
    const std::time_t nBefore = std::time(nullptr);
    ASSERT_EQ(m_pChannel->SendUdpOnce(), 41);
    const std::time_t nAfter = std::time(nullptr);
    const Bytes abFrame = receiver.Receive();
    ASSERT_EQ(abFrame.size(), 41u);
    EXPECT_EQ(abFrame[0], 0xFF);
    EXPECT_EQ(abFrame[1], 0x01);
    const Bytes abTime(abFrame.begin() + 2, abFrame.begin() + 9);
    EXPECT_TRUE(abTime == FrameTime(nBefore) || abTime == FrameTime(nAfter));
    EXPECT_EQ(Bytes(abFrame.begin() + 9, abFrame.end()), Bytes(32, 0));
    ASSERT_TRUE(m_sink.WaitForCount(2));
    EXPECT_EQ(m_sink.Messages()[1].abData, abFrame);
}

TEST_F(NetworkChannelTest, TimedSenderRepeatsAndReportsItsStop)
{
    CUdpReceiver receiver;
    m_pChannel->SetTargetUdpPort(receiver.Port());
    m_pChannel->SetUdpInterval(200); // below a second: one frame every second
    m_pChannel->SetUdpRunFlag(true);
    EXPECT_EQ(m_pChannel->StartUdpSender(), 1);

    EXPECT_EQ(receiver.Receive().size(), 41u);
    // A new target serves one-off sends at once; the running sender keeps its own until restarted.
    CUdpReceiver other;
    m_pChannel->SetTargetUdpPort(other.Port());
    EXPECT_EQ(m_pChannel->SendUdpOnce(), 41);
    EXPECT_EQ(other.Receive().size(), 41u);
    EXPECT_EQ(receiver.Receive().size(), 41u);
    ASSERT_TRUE(m_sink.WaitForMessages(WM_UDP_SENT, -1, 3));

    m_pChannel->StopAll();
    ASSERT_TRUE(m_sink.WaitForStatus(NET_UDP_STOPPED));
    EXPECT_FALSE(m_pChannel->UdpRunFlag());

    // A new start after the stop sends again at once.
    const std::size_t nSent = m_sink.CountOf(WM_UDP_SENT);
    m_pChannel->SetUdpRunFlag(true);
    m_pChannel->StartUdpSender();
    ASSERT_TRUE(m_sink.WaitForMessages(WM_UDP_SENT, -1, nSent + 1));
}

TEST_F(NetworkChannelTest, DestructionStopsBothThreads)
{
    CUdpReceiver receiver;
    m_pChannel->SetTargetUdpPort(receiver.Port());
    m_pChannel->SetUdpRunFlag(true);
    m_pChannel->StartUdpSender();
    StartListening(FreeTcpPort());
    ASSERT_TRUE(m_sink.WaitForStatus(NET_TCP_LISTENING));

    const auto start = std::chrono::steady_clock::now();
    m_pChannel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(m_sink.CountOf(WM_NET_STATUS, NET_TCP_LISTEN_STOPPED), 1u);
    EXPECT_EQ(m_sink.CountOf(WM_NET_STATUS, NET_UDP_STOPPED), 1u);
}

} // namespace
} // namespace relvane
