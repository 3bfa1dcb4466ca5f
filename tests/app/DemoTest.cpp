// The demonstration start runs on the simulated relay with the session's start-up settings.
#include "ScriptedUserInterface.h"
#include "app/DemoChannels.h"
#include "app/DemoSession.h"
#include "app/MainFrame.h"
#include "session/RelvaneView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace relvane::test
{
namespace
{

class DemoTest : public ::testing::Test
{
protected:
    DemoTest()
    {
        m_pView = std::make_unique<CRelvaneView>(std::make_unique<CDemoSerialChannel>(),
                                                 std::make_unique<CDemoNetworkChannel>(), m_ui);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
    }
    ~DemoTest() override
    {
        m_pFrame.reset();
        m_pView.reset();
    }
    void Run(int nMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < nMs)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    static int Count(const std::string& strText, const std::string& strPart)
    {
        int nCount = 0;
        for (std::size_t n = strText.find(strPart); n != std::string::npos; n = strText.find(strPart, n + 1))
            ++nCount;
        return nCount;
    }

    CScriptedUserInterface m_ui;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
};

TEST_F(DemoTest, Start94KeepsAutomaticProcessingAndAnswersTheReportRequest)
{
    StartDemo(*m_pFrame, MODE_94);
    Run(900);
    EXPECT_TRUE(m_pView->AutoProcess());
    const std::string strLog = m_pView->LogText();
    // The poll's report request is answered with 8AH at once, and the report names its event.
    EXPECT_NE(strLog.find("01 8A 00"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("装置上电"), std::string::npos) << strLog;
}

TEST_F(DemoTest, NothingAnswersOnceThePortIsDisconnected)
{
    StartDemo(*m_pFrame, MODE_103);
    Run(900);
    m_pFrame->OnCommand(ID_SERIAL_DISCONNECT);
    const int nReceived = Count(m_pView->LogText(), "接收: ");
    EXPECT_GT(nReceived, 0);
    m_pFrame->OnCommand(ID_103_CLASS2);
    Run(300);
    EXPECT_EQ(Count(m_pView->LogText(), "接收: "), nReceived);
}

} // namespace
} // namespace relvane::test
