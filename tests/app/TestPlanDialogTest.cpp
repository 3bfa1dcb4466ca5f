// "测试计划": the form's logic in plain functions, and the dialog run over the simulated relay of
// the demonstration channel, from the menu to the verdicts and back into the log.
#include "app/TestPlanDialog.h"

#include "FakeNetworkChannel.h"
#include "ScriptedUserInterface.h"
#include "app/CommandTable.h"
#include "app/DemoChannels.h"
#include "app/LogEdit.h"
#include "app/MainFrame.h"
#include "app/TestPlanForm.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestPlans.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace relvane::test
{
namespace
{

TEST(TestPlanForm, ListsTheCasesUnderTheirLayers)
{
    for (const CTestPlan& plan : TestPlans())
    {
        const std::vector<CPlanListRow> rows = BuildPlanList(plan);
        std::size_t nCases = 0;
        std::string strGroup;
        for (const CPlanListRow& row : rows)
        {
            if (row.nCase < 0)
            {
                strGroup = row.strText;
                continue;
            }
            ++nCases;
            const CTestCase& testCase = plan.cases.at(static_cast<std::size_t>(row.nCase));
            EXPECT_EQ(testCase.strGroup, strGroup) << row.strId;
            EXPECT_EQ(row.strText, testCase.strId + "  " + testCase.strTitle + (testCase.bActs ? "  [操作]" : ""));
        }
        EXPECT_EQ(nCases, plan.cases.size()) << plan.strId;
        EXPECT_LT(rows.front().nCase, 0) << "a heading comes first";
    }
}

TEST(TestPlanForm, OptionFieldsRoundTripAndRefuseBadNumbers)
{
    CDeviceOptions options;
    options.nDeviceAddress = 7;
    options.bSingleCharAck = true;
    const std::vector<COptionFieldText> fields = OptionFieldTexts(options);
    ASSERT_EQ(fields.size(), DescribeDeviceOptions(options).size());
    std::vector<std::string> values;
    for (const COptionFieldText& field : fields)
        values.push_back(field.strValue);
    CDeviceOptions read;
    std::string strError;
    ASSERT_TRUE(ReadOptionFieldTexts(values, read, strError)) << strError;
    EXPECT_EQ(read, options);

    struct CCase
    {
        std::size_t nField; // 0 device address, 4 response limit
        const char* pszValue;
        const char* pszError;
    };
    for (const CCase& c : {CCase{0, "x1", "请填入一个整数"}, CCase{0, "256", "256"},
                           CCase{4, "", "请填入一个整数"}, CCase{4, "5", "5"}})
    {
        std::vector<std::string> bad = values;
        bad[c.nField] = c.pszValue;
        CDeviceOptions unchanged = options;
        EXPECT_FALSE(ReadOptionFieldTexts(bad, unchanged, strError)) << c.pszValue;
        EXPECT_NE(strError.find(c.pszError), std::string::npos) << strError;
        EXPECT_NE(strError.find(fields[c.nField].strLabel), std::string::npos) << strError;
        EXPECT_EQ(unchanged, options);
    }
}

TEST(TestPlanForm, RefusalsColoursModesAndLogPositions)
{
    EXPECT_EQ(StartRefusal(0, true, false), "请至少选择一个测试项。");
    EXPECT_EQ(StartRefusal(3, false, false), "串口尚未打开,请先连接串口。");
    EXPECT_EQ(StartRefusal(3, true, true), "测试正在进行。");
    EXPECT_EQ(StartRefusal(3, true, false), "");
    EXPECT_NE(VerdictColour(VERDICT_PASS), VerdictColour(VERDICT_FAIL));
    EXPECT_NE(VerdictColour(VERDICT_NOT_APPLICABLE), VerdictColour(VERDICT_UNFINISHED));
    EXPECT_NE(VerdictBackground(VERDICT_PASS), VerdictBackground(VERDICT_FAIL));
    std::vector<CCaseResult> results(4);
    results[0].eVerdict = VERDICT_PASS;
    results[1].eVerdict = VERDICT_PASS;
    results[2].eVerdict = VERDICT_FAIL;
    results[3].eVerdict = VERDICT_NOT_APPLICABLE;
    EXPECT_EQ(VerdictSummary(results), "通过 2, 不通过 1, 不适用 1, 未完成 0");
    EXPECT_EQ(ReportBaseName("/tmp/r.html"), "/tmp/r");
    EXPECT_EQ(ReportBaseName("/tmp/r.pcapng"), "/tmp/r");
    EXPECT_EQ(ReportBaseName("/tmp/r"), "/tmp/r");
    // The '94 plan has no general commands, the 103 plan no relay model.
    std::size_t nCommandInf = 0;
    std::size_t nModel = 0;
    for (std::size_t i = 0; i < DeviceOptionFields().size(); ++i)
    {
        const std::string strKey = DeviceOptionFields()[i].pszKey;
        nCommandInf = strKey == "commandInf" ? i : nCommandInf;
        nModel = strKey == "model" ? i : nModel;
    }
    EXPECT_TRUE(OptionShownForPlan(nCommandInf, "103"));
    EXPECT_FALSE(OptionShownForPlan(nCommandInf, "94"));
    EXPECT_TRUE(OptionShownForPlan(nModel, "94"));
    EXPECT_FALSE(OptionShownForPlan(nModel, "103"));
    EXPECT_EQ(PlanIdForMode(MODE_94), "94");
    EXPECT_EQ(PlanIdForMode(MODE_103), "103");
    EXPECT_EQ(PlanIdForMode(MODE_ETH103), "");

    std::vector<CPlanFrame> frames(3);
    for (int i = 0; i < 3; ++i)
        frames[static_cast<std::size_t>(i)].nLogPosition = i == 0 ? -1 : 100 * i;
    const auto Find = [&](int n)
    { return n >= 1 && n <= 3 ? &frames[static_cast<std::size_t>(n - 1)] : nullptr; };
    CCaseResult result;
    EXPECT_EQ(CaseLogPosition(result, Find), -1);
    result.nFirstFrame = 2;
    EXPECT_EQ(CaseLogPosition(result, Find), 100);
    result.proofFrames = {1, 3}; // frame 1 has no log entry any more
    EXPECT_EQ(CaseLogPosition(result, Find), 200);
}

// The window over the demonstration relay, built as the program builds it for plans.
class TestPlanWindow : public ::testing::Test
{
protected:
    TestPlanWindow()
        : m_planUi(&m_ui),
          m_view(std::make_unique<CDemoSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), m_planUi),
          m_frame(m_view)
    {
        m_frame.SetPlanUserInterface(&m_planUi);
        m_frame.show();
        m_frame.UpdateCommandStates();
    }

    void Choose(int nId)
    {
        QAction* pAction = m_frame.Action(nId);
        ASSERT_NE(pAction, nullptr) << nId;
        ASSERT_TRUE(pAction->isEnabled()) << nId;
        pAction->trigger();
        QApplication::processEvents();
    }

    CScriptedUserInterface m_ui;
    CPlanUserInterface m_planUi;
    CRelvaneView m_view;
    CMainFrame m_frame;
};

TEST_F(TestPlanWindow, RunsChosenCasesAndShowsTheirFramesInTheLog)
{
    ASSERT_NE(m_frame.Action(ID_TEST_PLAN), nullptr);
    Choose(ID_TEST_PLAN);
    CTestPlanDialog* pDialog = m_frame.TestPlanDialog();
    ASSERT_NE(pDialog, nullptr);
    EXPECT_TRUE(pDialog->isVisible());
    EXPECT_EQ(pDialog->windowTitle(), QStringLiteral("测试计划"));
    // The '94 mode is on show: its plan is chosen, its layers hold its cases, all ticked.
    EXPECT_EQ(pDialog->PlanBox()->currentData().toString(), QStringLiteral("94"));
    QTreeWidget* pTree = pDialog->CaseTree();
    ASSERT_EQ(pTree->topLevelItemCount(), 2);
    EXPECT_EQ(pTree->topLevelItem(0)->text(0), QStringLiteral("链路层"));

    // With the port closed nothing starts.
    pDialog->OnStart();
    EXPECT_EQ(pDialog->StatusLabel()->text(), QStringLiteral("串口尚未打开,请先连接串口。"));
    EXPECT_TRUE(pDialog->StartButton()->isEnabled());

    Choose(ID_SERIAL_CONNECT);
    ASSERT_TRUE(m_view.PortOpen());
    // Only the link layer's first two cases; a short limit.
    pTree->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    for (int i = 2; i < pTree->topLevelItem(0)->childCount(); ++i)
        pTree->topLevelItem(0)->child(i)->setCheckState(0, Qt::Unchecked);
    auto* pLimit = qobject_cast<QLineEdit*>(pDialog->OptionEditors().at(4));
    ASSERT_NE(pLimit, nullptr);
    pLimit->setText(QStringLiteral("200"));
    pDialog->OnStart();
    EXPECT_FALSE(pDialog->StartButton()->isEnabled());
    EXPECT_TRUE(pDialog->StopButton()->isEnabled());
    QElapsedTimer timer;
    timer.start();
    QApplication::processEvents();
    while ((pDialog->Runner().IsRunning() || !pDialog->StartButton()->isEnabled()) && timer.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    QTableWidget* pTable = pDialog->VerdictTable();
    ASSERT_EQ(pTable->rowCount(), 2);
    EXPECT_EQ(pTable->item(0, 0)->text(), QStringLiteral("94-LNK-01"));
    for (int nRow = 0; nRow < 2; ++nRow)
    {
        EXPECT_EQ(pTable->item(nRow, 2)->text(), QStringLiteral("通过"))
            << pTable->item(nRow, 3)->text().toStdString();
        EXPECT_EQ(pTable->item(nRow, 2)->foreground().color(), QColor::fromRgb(VerdictColour(VERDICT_PASS)));
    }
    EXPECT_EQ(pDialog->Progress()->value(), 2);
    EXPECT_EQ(pDialog->Progress()->maximum(), 2);
    EXPECT_EQ(pDialog->SummaryLabel()->text(), QStringLiteral("通过 2, 不通过 0, 不适用 0, 未完成 0"));
    // The whole row in the verdict's shade, the reason readable in a tooltip.
    EXPECT_EQ(pTable->item(0, 3)->background().color(), QColor::fromRgb(VerdictBackground(VERDICT_PASS)));
    EXPECT_EQ(pTable->item(0, 3)->toolTip(), pTable->item(0, 3)->text());

    // The report of the run, as the runner writes it.
    ASSERT_TRUE(pDialog->ExportButton()->isEnabled());
    const QString strBase = QDir::temp().filePath(QStringLiteral("relvane-export-%1").arg(QCoreApplication::applicationPid()));
    std::string strError;
    ASSERT_TRUE(pDialog->ExportReport(strBase.toStdString(), strError)) << strError;
    for (const char* pszExtension : {".html", ".xml", ".pcapng"})
    {
        QFile file(strBase + QString::fromLatin1(pszExtension));
        EXPECT_GT(file.size(), 100) << pszExtension;
        if (QString::fromLatin1(pszExtension) == QStringLiteral(".html"))
        {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QStringLiteral("94-LNK-02")));
            file.close();
        }
        file.remove();
    }

    // A double-click selects the case's first proving frame in the log: the poll as sent.
    pDialog->OnVerdictActivated(0);
    EXPECT_TRUE(m_frame.LogEdit()->textCursor().selectedText().startsWith(QStringLiteral("发送: ")))
        << m_frame.LogEdit()->textCursor().selectedText().toStdString();
    pDialog->close();
}

TEST_F(TestPlanWindow, TheMenuOfTheSerialModesOffersIt)
{
    for (const int nMode : {ID_MODE_103, ID_MODE_94})
    {
        Choose(nMode);
        QAction* pLast = m_frame.menuBar()->actions().last();
        ASSERT_NE(pLast->menu(), nullptr);
        EXPECT_EQ(pLast->menu()->title(), QStringLiteral("测试(&T)"));
        EXPECT_EQ(pLast->menu()->actions().front()->data().toInt(), int{ID_TEST_PLAN});
    }
}

} // namespace
} // namespace relvane::test
