// The window while a test plan runs against relvane-relay: the commands that would disturb the
// plan are off until it ends, and closing the window asks first, then stops the plan in order.
#include "RelayFixture.h"
#include "app/CommandTable.h"
#include "app/TestPlanDialog.h"
#include "forms/FormDialog.h"
#include "testplan/PlanUserInterface.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace relvane::test
{
namespace
{

// Off while a plan runs; the last two are not.
const int kGuarded[] = {ID_MODE_103,        ID_MODE_ETH103, ID_SERIAL_CONNECT, ID_SERIAL_DISCONNECT,
                        ID_SERIAL_SETTINGS, ID_94_POLL,     ID_AUTO_PROCESS};
const int kFree[] = {ID_EDIT_SELECT_ALL, ID_FILE_SAVE_AS};

class PlanWindow : public RelayFixture
{
protected:
    void SetUp() override
    {
        RelayFixture::SetUp();
        // The window as the program builds it for plans.
        m_pFrame.reset();
        m_pView = std::make_unique<CRelvaneView>(std::make_unique<CSerialChannel>(),
                                                 std::make_unique<CNetworkChannel>(BuildUdpFrame), m_planUi);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
        m_pFrame->SetPlanUserInterface(&m_planUi);
        m_pFrame->show();
        QApplication::setQuitOnLastWindowClosed(false);
        SetQuestionHook(
            [this](QWidget*, const QString& strText)
            {
                // The question about the unsaved log follows a stopped plan: "否", the log goes.
                if (!strText.contains(QStringLiteral("测试计划")))
                {
                    ++m_nSaveQuestions;
                    return EAnswer::No;
                }
                m_questions.push_back(strText.toStdString());
                return m_eAnswer;
            });
        StartRelay({"--protocol", "94", "--com", std::to_string(kCom), "--quiet"});
        ConnectToRelay();
        Choose(ID_TEST_PLAN);
        m_pDialog = m_pFrame->TestPlanDialog();
        ASSERT_NE(m_pDialog, nullptr);
    }
    void TearDown() override
    {
        SetQuestionHook({});
        RelayFixture::TearDown();
    }

    // Starts the whole '94 plan and runs the window until the plan has ended.
    void RunPlan()
    {
        m_pDialog->OnStart();
        ASSERT_FALSE(m_pDialog->StartButton()->isEnabled()) << m_pDialog->StatusLabel()->text().toStdString();
        QElapsedTimer timer;
        timer.start();
        while ((m_pDialog->Runner().IsRunning() || !m_pDialog->StartButton()->isEnabled()) &&
               timer.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        QObject::disconnect(m_atCase);
        ASSERT_FALSE(m_pDialog->Runner().IsRunning());
        QApplication::processEvents();
    }

    // Calls fnAct from the runner's own event loop when the case at nPosition starts.
    void AtCase(int nPosition, std::function<void()> fnAct)
    {
        m_atCase = QObject::connect(&m_pDialog->Runner(), &CTestPlanRunner::CaseStarted, m_pFrame.get(),
                                    [nPosition, fnAct](int n, int, const QString&)
                                    {
                                        if (n == nPosition)
                                            QTimer::singleShot(0, fnAct);
                                    });
    }

    int Unfinished() const
    {
        int nCount = 0;
        for (const CCaseResult& result : m_pDialog->Runner().Results())
            nCount += result.eVerdict == VERDICT_UNFINISHED ? 1 : 0;
        return nCount;
    }
    // Every frame the plan sent is in the log.
    void ExpectEveryFrameLogged()
    {
        int nSent = 0;
        for (const CPlanFrame& frame : m_pDialog->Runner().Frames())
            nSent += frame.bInbound ? 0 : 1;
        EXPECT_GT(nSent, 0);
        EXPECT_EQ(Count(Log(), "发送: "), nSent);
    }

    CPlanUserInterface m_planUi{&m_ui};
    CTestPlanDialog* m_pDialog = nullptr;
    EAnswer m_eAnswer = EAnswer::No;
    std::vector<std::string> m_questions;
    int m_nSaveQuestions = 0;
    QMetaObject::Connection m_atCase;
};

TEST_F(PlanWindow, CommandsThatWouldDisturbThePlanAreOffWhileItRuns)
{
    std::vector<bool> before;
    for (const int nId : kGuarded)
        before.push_back(m_pFrame->Action(nId)->isEnabled());
    bool bChecked = false;
    AtCase(1,
           [&]
           {
               bChecked = true;
               for (const int nId : kGuarded)
                   EXPECT_FALSE(m_pFrame->Action(nId)->isEnabled()) << nId;
               for (const int nId : kFree)
                   EXPECT_TRUE(m_pFrame->Action(nId)->isEnabled()) << nId;
               // Not even by a route other than the menu.
               m_pFrame->OnCommand(ID_SERIAL_DISCONNECT);
               EXPECT_TRUE(m_pView->PortOpen());
           });
    RunPlan();
    EXPECT_TRUE(bChecked);
    EXPECT_EQ(Unfinished(), 0);
    m_pFrame->UpdateCommandStates();
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(m_pFrame->Action(kGuarded[i])->isEnabled(), before[i]) << kGuarded[i];
    EXPECT_TRUE(m_pFrame->Action(ID_MODE_103)->isEnabled());
}

TEST_F(PlanWindow, ClosingAsksAndKeepsThePlanOrStopsItBeforeClosing)
{
    // "否": the window and the plan go on.
    m_eAnswer = EAnswer::No;
    AtCase(1, [this] { m_pFrame->close(); });
    RunPlan();
    ASSERT_EQ(m_questions.size(), 1u);
    EXPECT_TRUE(m_pFrame->isVisible());
    EXPECT_EQ(Unfinished(), 0);
    ExpectEveryFrameLogged();

    // "是": the plan stops after the step it is in, puts the session back, then the window closes.
    m_eAnswer = EAnswer::Yes;
    m_pView->ClearLog();
    bool bOpenWhileStopping = false;
    AtCase(1,
           [this, &bOpenWhileStopping]
           {
               m_pFrame->close();
               bOpenWhileStopping = m_pFrame->isVisible();
           });
    RunPlan();
    EXPECT_EQ(m_questions.size(), 2u);
    EXPECT_TRUE(bOpenWhileStopping);
    EXPECT_GT(Unfinished(), 0);
    QElapsedTimer timer;
    timer.start();
    while (m_pFrame->isVisible() && timer.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(m_pFrame->isVisible());
    ExpectEveryFrameLogged();
    EXPECT_EQ(m_questions.size(), 2u);
    EXPECT_LE(m_nSaveQuestions, 1);
}

} // namespace
} // namespace relvane::test
