#include "SessionFixture.h"

#include <thread>

namespace relvane
{
namespace
{

class EthernetSession : public CSessionFixture
{
protected:
    EthernetSession() { View().OnCommand(ID_MODE_ETH103); }

    // The TCP send with the custom-frame form confirming the text.
    void SendTcp(const std::string& strText)
    {
        m_ui.AnswerCustomFrame(strText);
        View().OnCommand(ID_ETH_TCP_SEND);
    }
};

TEST_F(EthernetSession, NetworkNotificationsWriteTheirLines)
{
    ASSERT_EQ(m_pNetwork->Owner(), View().MessageSink()) << "the view starts the sockets layer with its sink";
    struct CCase
    {
        int nCode;
        const char* pszLine;
    };
    const CCase cases[] = {
        {NET_TCP_BIND_FAILED, "\r\nTCP绑定失败\r\n"},
        {NET_TCP_LISTENING, "\r\nTCP开始侦听\r\n"},
        {NET_TCP_LISTEN_FAILED, "\r\nTCP侦听失败\r\n"},
        {NET_TCP_LISTEN_STOPPED, "\r\nTCP停止侦听\r\n"},
        {NET_TCP_CONNECTED, "\r\nTCP连接建立\r\n"},
        {NET_TCP_DISCONNECTED, "\r\nTCP连接断开\r\n"},
        {NET_UDP_STOPPED, ""},
        {9, ""},
    };
    for (const CCase& c : cases)
    {
        View().ClearLog();
        m_pNetwork->PostStatus(c.nCode);
        Deliver();
        EXPECT_EQ(Log(), c.pszLine) << "status " << c.nCode;
        EXPECT_EQ(View().LineCount(), 0) << "network lines are not counted";
    }
}

TEST_F(EthernetSession, ReceivedAndSentBytesAreShownWithAGreenLineEndOnly)
{
    m_pNetwork->PostTcpData({0x68, 0x04, 0x04, 0x68, 0x01, 0x02, 0x03, 0x04, 0x0A, 0x16});
    m_pNetwork->PostUdpSent(Bytes(41, 0x00));
    Deliver();
    const std::string strUdp = "\r\nUDP发送: " +
                               []
    {
        std::string s;
        for (int i = 0; i < 41; ++i)
            s += "00 ";
        return s;
    }() + "\r\n";
    EXPECT_EQ(Log(), "\r\nTCP接收: 68 04 04 68 01 02 03 04 0A 16 \r\n" + strUdp);

    const std::vector<CColouredRun> runs = Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].colour, kBlack);
    EXPECT_EQ(runs[1].strText, "\r\n");
    EXPECT_EQ(runs[1].colour, kGreen);
    EXPECT_EQ(runs[2].colour, kBlack);
    EXPECT_EQ(runs[3].strText, "\r\n");
    EXPECT_EQ(runs[3].colour, kGreen);
}

TEST_F(EthernetSession, ANotificationClaimingMoreBytesThanItCarriesShowsOnlyItsBytes)
{
    m_pNetwork->PostMessage(CChannelMessage{WM_TCP_RECEIVED, 0, 100000, {0x01, 0x02}});
    m_pNetwork->PostMessage(CChannelMessage{WM_UDP_SENT, 0, 41, {}});
    Deliver();
    EXPECT_EQ(Log(), "\r\nTCP接收: 01 02 \r\n\r\nUDP发送: ");
}

TEST_F(EthernetSession, TcpSendResults)
{
    SendTcp("10 49 01 4A 16");
    EXPECT_EQ(Log(), "\r\nTCP连接未建立\r\n");
    EXPECT_TRUE(m_pNetwork->TcpSent().empty());

    m_pNetwork->SetConnected(true);
    const std::pair<int, const char*> results[] = {
        {-1, "\r\nSocket无效\r\n"},        {-2, "\r\nTCP数据不能发送\r\n"},
        {-3, "\r\nTCP发送失败\r\n"},       {5, "\r\nTCP发送: 10 49 01 4A 16 \r\n"},
        {3, "\r\nTCP发送: 10 49 01 \r\n"}, // only what the connection accepted
    };
    for (const auto& [nResult, pszLine] : results)
    {
        View().ClearLog();
        m_pNetwork->SetSendTcpResult(nResult);
        SendTcp("10 49 01 4A 16");
        EXPECT_EQ(Log(), pszLine) << "result " << nResult;
    }
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(EthernetSession, TcpSendHidesTheChecksumButtonAndSkipsAnEmptyFrame)
{
    m_pNetwork->SetConnected(true);
    bool bShown = true;
    m_ui.CustomFrameForm().Push(
        [&bShown](CCustomFrame& frame, CCustomFrameFields& fields)
        {
            bShown = fields.bShowChecksumButton;
            frame.Clear();
            return true;
        });
    View().OnCommand(ID_ETH_TCP_SEND);
    EXPECT_FALSE(bShown);
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(m_pNetwork->TcpSent().empty());

    // The serial custom frame shows the button again and sees the frame stored here.
    View().OnCommand(ID_MODE_103);
    m_ui.CustomFrameForm().Push(
        [&bShown](CCustomFrame&, CCustomFrameFields& fields)
        {
            bShown = fields.bShowChecksumButton;
            return false;
        });
    View().OnCommand(ID_103_CUSTOM_FRAME);
    EXPECT_TRUE(bShown);
}

TEST_F(EthernetSession, ConnectStartsAndStopsBothAndTracksTheActiveFlag)
{
    View().OnCommand(ID_ETH_CONNECT);
    EXPECT_TRUE(View().NetworkActive());
    EXPECT_EQ(m_pNetwork->TcpListenerStarts(), 1);
    EXPECT_EQ(m_pNetwork->UdpSenderStarts(), 1);
    EXPECT_TRUE(View().QueryCommand(ID_ETH_CONNECT).bChecked);
    EXPECT_TRUE(View().QueryCommand(ID_ETH_TCP_LISTEN).bChecked);
    EXPECT_TRUE(View().QueryCommand(ID_ETH_UDP_TIMED).bChecked);

    View().OnCommand(ID_ETH_CONNECT);
    EXPECT_FALSE(View().NetworkActive());
    EXPECT_EQ(m_pNetwork->StopAllCount(), 1);
    EXPECT_FALSE(View().QueryCommand(ID_ETH_TCP_LISTEN).bChecked);
}

TEST_F(EthernetSession, ListenerEndingClearsTheActiveFlag)
{
    View().OnCommand(ID_ETH_TCP_LISTEN);
    EXPECT_TRUE(View().NetworkActive());
    // The listener clears its own run flag when the peer goes, then reports it.
    m_pNetwork->SetTcpRunFlag(false);
    m_pNetwork->PostStatus(NET_TCP_DISCONNECTED);
    Deliver();
    EXPECT_FALSE(View().NetworkActive());

    View().OnCommand(ID_ETH_UDP_TIMED);
    EXPECT_TRUE(View().NetworkActive());
    View().OnCommand(ID_ETH_UDP_TIMED); // stopping only clears the flag
    EXPECT_FALSE(View().NetworkActive());
    EXPECT_EQ(m_pNetwork->StopAllCount(), 0);
}

TEST_F(EthernetSession, SocketsLayerFailureIsReportedAndNothingStarts)
{
    m_pNetwork->SetStartupResult(-1);
    View().OnCommand(ID_ETH_CONNECT);
    EXPECT_FALSE(View().NetworkActive());
    View().OnCommand(ID_ETH_TCP_LISTEN);
    View().OnCommand(ID_ETH_UDP_TIMED);
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"网络初始化失败", "网络初始化失败", "网络初始化失败"}));
    EXPECT_EQ(m_pNetwork->TcpListenerStarts() + m_pNetwork->UdpSenderStarts(), 0);
    EXPECT_FALSE(m_pNetwork->TcpRunFlag());
}

TEST_F(EthernetSession, SettingsFormsAndToggles)
{
    m_ui.IpForm().Push(
        [](CIpFields& fields)
        {
            EXPECT_EQ(fields.nTargetUdpPort, 1032);
            EXPECT_EQ(fields.nLocalTcpPort, 1048);
            fields = CIpFields{0x7F000001, 2000, 70000};
            return true;
        });
    View().OnCommand(ID_ETH_IP_SETTINGS);
    EXPECT_EQ(m_pNetwork->TargetAddress(), 0x7F000001u);
    EXPECT_EQ(m_pNetwork->TargetUdpPort(), 2000);
    EXPECT_EQ(m_pNetwork->LocalTcpPort(), 70000 & 0xFFFF);

    m_ui.IntervalForm().Push(
        [](CIntervalFields& fields)
        {
            EXPECT_EQ(fields.strTitle, "UDP发送时间间隔");
            EXPECT_EQ(fields.nIntervalMs, 15000);
            fields.nIntervalMs = 5000;
            return true;
        });
    View().OnCommand(ID_ETH_UDP_INTERVAL);
    EXPECT_EQ(m_pNetwork->UdpInterval(), 5000u);

    View().OnCommand(ID_ETH_TCP_NO_READ);
    View().OnCommand(ID_ETH_UDP_TIME_INFO);
    EXPECT_TRUE(View().QueryCommand(ID_ETH_TCP_NO_READ).bChecked);
    EXPECT_TRUE(View().QueryCommand(ID_ETH_UDP_TIME_INFO).bChecked);
    View().OnCommand(ID_ETH_UDP_ONCE);
    EXPECT_EQ(m_pNetwork->UdpOnceCount(), 1);
    EXPECT_EQ(Log(), "") << "a one-off send is logged when the channel reports it";
}

TEST_F(EthernetSession, TimersFiringInThisModeAreOnlyKilled)
{
    View().StartTimer(TIMER_RESPONSE, 1500);
    View().StartTimer(TIMER_POLL, 1000);
    View().OnTimer(TIMER_RESPONSE);
    View().OnTimer(TIMER_POLL);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(EthernetSession, MessagesFromWorkerThreadsArriveInOrder)
{
    std::thread worker(
        [this]
        {
            for (int i = 0; i < 200; ++i)
                m_pNetwork->PostTcpData({static_cast<std::uint8_t>(i)});
        });
    worker.join();
    Deliver();
    std::string strExpected;
    char sz[32];
    for (int i = 0; i < 200; ++i)
    {
        std::snprintf(sz, sizeof(sz), "%.2X ", i);
        strExpected += std::string("\r\nTCP接收: ") + sz + "\r\n";
    }
    EXPECT_EQ(Log(), strExpected);
}

} // namespace
} // namespace relvane
