// The Windows window on the Win32 serial channel and on Winsock, against the host's relvane-relay:
// scripts/wine-e2e.sh starts the relay on a pseudo-terminal linked as a COM port of the Wine
// prefix (or on loopback for Ethernet 103) and names it in RELVANE_E2E_COM, or in
// RELVANE_E2E_TCP_PORT and RELVANE_E2E_UDP_PORT; without them the tests are skipped.
#include "ScriptedUserInterface.h"
#include "app/MainFrame.h"
#include "iec103/UdpFrame.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace relvane::test
{
namespace
{

std::string Environment(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

int Count(const std::string& strText, const std::string& strPart)
{
    int nCount = 0;
    for (std::size_t n = strText.find(strPart); n != std::string::npos; n = strText.find(strPart, n + 1))
        ++nCount;
    return nCount;
}

class WineEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pView = std::make_unique<CRelvaneView>(std::make_unique<CSerialChannel>(),
                                                 std::make_unique<CNetworkChannel>(BuildUdpFrame), m_ui);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
        m_pFrame->show();
    }
    void TearDown() override
    {
        m_pFrame.reset();
        m_pView.reset();
    }

    void Choose(int nId)
    {
        QAction* pAction = m_pFrame->Action(nId);
        ASSERT_NE(pAction, nullptr) << nId;
        ASSERT_TRUE(pAction->isEnabled()) << nId;
        pAction->trigger();
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    std::string Log() { return m_pView->LogText(); }
    bool WaitFor(const std::function<bool(const std::string&)>& fnDone, int nMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < nMs)
        {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (fnDone(Log()))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return fnDone(Log());
    }
    bool WaitForText(const std::string& strText, int nCount = 1)
    {
        return WaitFor([&](const std::string& strLog) { return Count(strLog, strText) >= nCount; });
    }
    bool WaitForLinkIdle()
    {
        return WaitFor(
            [this](const std::string&)
            { return !m_pView->IsTimerActive(TIMER_RESPONSE) && !m_pView->IsTimerActive(TIMER_POLL); });
    }

    CScriptedUserInterface m_ui;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
};

// 103 on the serial line: reset, general interrogation, then cyclic class-2 polling.
TEST_F(WineEndToEnd, SerialIec103ResetInterrogationAndClass2Polling)
{
    const std::string strPort = Environment("RELVANE_E2E_COM");
    if (strPort.empty())
        GTEST_SKIP() << "no relay: run through scripts/wine-e2e.sh";
    Choose(ID_MODE_103);
    m_ui.SerialForm().Push(
        [strPort](CSerialFields& fields)
        {
            fields.strPort = strPort; // 8N1: a pseudo-terminal takes no parity
            return true;
        });
    Choose(ID_SERIAL_SETTINGS);
    Choose(ID_SERIAL_CONNECT);
    ASSERT_TRUE(m_pView->PortOpen()) << ::testing::PrintToString(m_ui.Messages());

    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();
    EXPECT_NE(Log().find("接收: 10 20 01 21 16"), std::string::npos) << Log();

    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_INTERROGATION);
    ASSERT_TRUE(WaitForText("COT: 10  总查询(总召唤)终止")) << Log();
    EXPECT_GE(Count(Log(), "COT: 9  总查询(总召唤)"), 11) << Log();

    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_POLLING);
    Choose(ID_103_CLASS2);
    ASSERT_TRUE(WaitFor([](const std::string& strText)
                        { return Count(strText, "发送: 10 5B 01 5C 16") + Count(strText, "发送: 10 7B 01 7C 16") >= 3; }))
        << Log();
    EXPECT_NE(Log().find("ASDU 9      COT: 2  循环"), std::string::npos) << Log();
    Choose(ID_103_POLLING);
    ASSERT_TRUE(WaitForLinkIdle());
    EXPECT_EQ(Count(Log(), "校验和出错: "), 0) << Log();
    EXPECT_EQ(Count(Log(), "超时"), 0) << Log();
}

// A relay that stays silent for a while is normal: the port stays open through 10 s of quiet
// and the next exchange is answered. The silence itself is what is tested, so the wait is fixed.
TEST_F(WineEndToEnd, SerialQuietLineStaysConnected)
{
    const std::string strPort = Environment("RELVANE_E2E_COM");
    if (strPort.empty())
        GTEST_SKIP() << "no relay: run through scripts/wine-e2e.sh";
    Choose(ID_MODE_103);
    m_ui.SerialForm().Push(
        [strPort](CSerialFields& fields)
        {
            fields.strPort = strPort;
            return true;
        });
    Choose(ID_SERIAL_SETTINGS);
    Choose(ID_SERIAL_CONNECT);
    ASSERT_TRUE(m_pView->PortOpen()) << ::testing::PrintToString(m_ui.Messages());

    WaitFor([](const std::string&) { return false; }, 10000);
    EXPECT_TRUE(m_pView->PortOpen());
    EXPECT_EQ(Log().find("串口已断开"), std::string::npos) << Log();

    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();
    EXPECT_EQ(Count(Log(), "超时"), 0) << Log();
}

// Ethernet 103 on loopback: the relay connects to the listener, a hand-typed interrogation goes
// out over TCP and is answered, and a UDP frame leaves for the relay.
TEST_F(WineEndToEnd, EthernetIec103ListenerTcpAndUdp)
{
    const std::string strTcp = Environment("RELVANE_E2E_TCP_PORT");
    const std::string strUdp = Environment("RELVANE_E2E_UDP_PORT");
    if (strTcp.empty() || strUdp.empty())
        GTEST_SKIP() << "no relay: run through scripts/wine-e2e.sh";
    Choose(ID_MODE_ETH103);
    m_ui.IpForm().Push(Confirm(CIpFields{0x7F000001, std::stoi(strUdp), std::stoi(strTcp)}));
    Choose(ID_ETH_IP_SETTINGS);
    ASSERT_EQ(m_pView->NetworkChannel().TargetAddress(), 0x7F000001u);
    Choose(ID_ETH_CONNECT);
    ASSERT_TRUE(WaitForText("TCP连接建立")) << Log();
    ASSERT_TRUE(WaitForText("68 15 15 68 08 01 05 81 05 01")) << Log();

    m_ui.AnswerCustomFrame("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    Choose(ID_ETH_TCP_SEND);
    ASSERT_TRUE(WaitForText("TCP发送: 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16")) << Log();
    ASSERT_TRUE(WaitForText("08 81 0A 01 FF 00 00")) << Log();

    Choose(ID_ETH_UDP_ONCE);
    ASSERT_TRUE(WaitForText("UDP发送: FF 00")) << Log(); // without the time
    Choose(ID_ETH_CONNECT);
    EXPECT_TRUE(WaitForText("TCP连接断开")) << Log();
}

} // namespace
} // namespace relvane::test
