// relvane-relay on Windows, run as a user runs it: Ethernet 103 against the Winsock network
// channel (the relay connects to the channel's listener, announces itself, answers a link request
// and hears the channel's UDP frame), the serial protocols on COM202 of the test's COM pair against
// the Win32 serial channel on COM201; a UDP port in use or a missing COM port ends it with status 1.
#include "iec103/UdpFrame.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include "../transport/RecordingSink.h"
#include "ChildProcessWin.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <winsock2.h>

namespace relvane
{
namespace
{

using test::CChildProcess;
using test::CRecordingSink;
using test::ReadText;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1: the only target a test may use

// A port of this type that nobody uses right now, picked by the system.
int FreePort(int nType)
{
    const SOCKET hProbe = socket(AF_INET, nType, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    int nLength = sizeof address;
    bind(hProbe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    getsockname(hProbe, reinterpret_cast<sockaddr*>(&address), &nLength);
    closesocket(hProbe);
    return ntohs(address.sin_port);
}

bool HasFrame(const std::vector<CChannelMessage>& messages, const std::function<bool(const Bytes&)>& match)
{
    return std::any_of(messages.begin(), messages.end(), [&](const CChannelMessage& message)
                       { return message.nMessage == WM_TCP_RECEIVED && match(message.abData); });
}

class WinRelay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        m_output = std::filesystem::temp_directory_path() /
                   ("relvane-relay-" + std::to_string(GetCurrentProcessId()) + ".txt");
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove(m_output, error);
        WSACleanup();
    }

    std::filesystem::path m_output;
};

TEST_F(WinRelay, ConnectsToTheListenerAnswersOverTcpAndHearsUdp)
{
    CRecordingSink sink;
    CNetworkChannel channel(BuildUdpFrame);
    ASSERT_EQ(channel.Startup(&sink), 1);
    channel.SetTargetAddress(kLoopback);
    const int nTcpPort = FreePort(SOCK_STREAM);
    const int nUdpPort = FreePort(SOCK_DGRAM);
    channel.SetLocalTcpPort(nTcpPort);
    channel.SetTargetUdpPort(nUdpPort);
    channel.SetTcpRunFlag(true);
    channel.StartTcpListener();
    ASSERT_TRUE(sink.WaitForStatus(NET_TCP_LISTENING));

    CChildProcess relay(RELVANE_RELAY_PATH, "--protocol eth103 --tcp-port " + std::to_string(nTcpPort) + " --udp-port " +
                            std::to_string(nUdpPort),
                        m_output);
    ASSERT_TRUE(relay.Started());
    ASSERT_TRUE(sink.WaitForStatus(NET_TCP_CONNECTED));
    // The identification first: ASDU 5 with the cause 5 (start/restart).
    ASSERT_TRUE(sink.WaitUntil([](const auto& messages)
                               { return HasFrame(messages, [](const Bytes& ab)
                                                 { return ab.size() > 8 && ab[0] == 0x68 && ab[6] == 5 && ab[8] == 5; }); }));
    // A request for the link status gets the status of the link (function 11).
    const Bytes abRequest = {0x10, 0x49, 0x01, 0x4A, 0x16};
    ASSERT_EQ(channel.SendTcp(abRequest.data(), 5), 5);
    EXPECT_TRUE(sink.WaitUntil([](const auto& messages)
                               { return HasFrame(messages, [](const Bytes& ab)
                                                 { return ab.size() >= 5 && ab[0] == 0x10 && (ab[1] & 0x0F) == 11; }); }));
    ASSERT_EQ(channel.SendUdpOnce(), 41);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadText(m_output).find("RX UDP") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string strOutput = ReadText(m_output);
    EXPECT_NE(strOutput.find("RX UDP"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("TCP connected to 127.0.0.1:" + std::to_string(nTcpPort)), std::string::npos) << strOutput;
}

TEST_F(WinRelay, AnswersBothSerialProtocolsOnAComPort)
{
    CChildProcess relay(RELVANE_RELAY_PATH, "--com 202", m_output);
    ASSERT_TRUE(relay.Started());
    CRecordingSink sink;
    CSerialChannel channel;
    ASSERT_EQ(channel.Configure(&sink, 201, 9600, 'N', 8, 1, 5, 512), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    struct CCase
    {
        Bytes abRequest;
        Bytes abAnswerStart;
    };
    const CCase cases[] = {
        {{0x10, 0x40, 0x01, 0x41, 0x16}, {0x10}}, // 103: reset of the communication unit, confirmed
        {{0x01, 0x83, 0x00, 0x30, 0xF0}, {0x01, 0xBA}}, // '94: the poll, answered with BAH
    };
    std::size_t nSeen = 0;
    for (const CCase& c : cases)
    {
        // The relay may still be starting: the request goes again until an answer comes.
        bool bAnswered = false;
        for (int nTry = 0; nTry < 20 && !bAnswered; ++nTry)
        {
            ASSERT_EQ(channel.Write(c.abRequest.data(), static_cast<int>(c.abRequest.size())), 1);
            bAnswered = sink.WaitForCount(nSeen + 1, std::chrono::milliseconds(500));
            for (; nSeen < sink.Count(); ++nSeen)
                channel.AdvanceChunk();
        }
        ASSERT_TRUE(bAnswered) << ReadText(m_output);
        Bytes abAnswer(512);
        abAnswer.resize(static_cast<std::size_t>(std::max(channel.CopyReceived(abAnswer.data(), 512), 0)));
        ASSERT_GE(abAnswer.size(), c.abAnswerStart.size());
        EXPECT_EQ(Bytes(abAnswer.begin(), abAnswer.begin() + static_cast<long>(c.abAnswerStart.size())),
                  c.abAnswerStart);
    }
    EXPECT_NE(ReadText(m_output).find("relvane-relay: COM202 (\\\\.\\COM202), protocol auto"), std::string::npos)
        << ReadText(m_output);
}

TEST_F(WinRelay, SerialProtocolsAndATakenUdpPortEndWithStatusOne)
{
    const SOCKET hHolder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    int nLength = sizeof address;
    ASSERT_EQ(bind(hHolder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    getsockname(hHolder, reinterpret_cast<sockaddr*>(&address), &nLength);

    struct CCase
    {
        std::string strArguments;
        const char* pszSaid;
    };
    const CCase cases[] = {
        {"--protocol eth103 --udp-port " + std::to_string(ntohs(address.sin_port)), "UDP port"},
        {"--protocol 103 --com 250", "COM250 cannot be opened"},
    };
    for (const CCase& c : cases)
    {
        {
            CChildProcess relay(RELVANE_RELAY_PATH, c.strArguments, m_output);
            ASSERT_TRUE(relay.Started());
            EXPECT_EQ(relay.Wait(), 1) << c.strArguments;
        }
        EXPECT_NE(ReadText(m_output).find(c.pszSaid), std::string::npos) << ReadText(m_output);
    }
    closesocket(hHolder);
}

} // namespace
} // namespace relvane
