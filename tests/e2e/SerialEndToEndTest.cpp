// The window against relvane-relay on a pseudo-terminal, driven through its menus.
#include "RelayFixture.h"

#include "app/DisturbanceControls.h"
#include "app/record/RecordPlot.h"
#include "app/record/RecordViewer.h"
#include "relay/DisturbanceRecorder.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <ostream>
#include <set>

namespace relvane::test
{
namespace
{

const std::string kComText = std::to_string(RelayFixture::kCom);

class SerialEndToEnd : public RelayFixture
{
};

TEST_F(SerialEndToEnd, Proto94PollingAnswersTheReportRequestByItself)
{
    StartRelay({"--protocol", "94", "--com", kComText});
    ConnectToRelay();
    Choose(ID_94_POLL);
    // 83H; BAH with a waiting report; 8AH at once; B0H; one polling interval later the next 83H,
    // now answered with nothing waiting.
    ASSERT_TRUE(WaitForText("接收: 01 BA 02 01 00")) << Log();
    const std::string strLog = Log();
    EXPECT_NE(strLog.find("接收: 01 BA 02 01 04"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("发送: 01 8A 00"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("装置上电"), std::string::npos) << strLog;
    EXPECT_GE(Count(strLog, "发送: 01 83 00 30 F0"), 2) << strLog;
    EXPECT_EQ(Count(strLog, "CRC错: "), 0) << strLog;
}

TEST_F(SerialEndToEnd, Iec103ResetInterrogationAccessDemandsAndCyclicPolling)
{
    StartRelay({"--protocol", "103", "--com", kComText, "--event-interval", "400"});
    Choose(ID_MODE_103);
    ConnectToRelay();
    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();
    EXPECT_NE(Log().find("接收: 10 20 01 21 16"), std::string::npos) << Log();

    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_INTERROGATION);
    ASSERT_TRUE(WaitForText("COT: 10  总查询(总召唤)终止")) << Log();
    const std::string strLog = Log();
    // Every point of the interrogation was fetched by a class-1 request the relay's ACD asked for.
    EXPECT_GE(Count(strLog, "COT: 9  总查询(总召唤)"), 11) << strLog;
    EXPECT_GE(Count(strLog, "发送: 10 5A 01 5B 16") + Count(strLog, "发送: 10 7A 01 7B 16"), 12) << strLog;

    // Cyclic polling: class-2 requests one interval apart; measurands come, and the spontaneous
    // events the relay raises meanwhile are fetched as class 1.
    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_POLLING);
    Choose(ID_103_CLASS2);
    ASSERT_TRUE(WaitFor(
        [](const std::string& strText)
        {
            return Count(strText, "发送: 10 5B 01 5C 16") + Count(strText, "发送: 10 7B 01 7C 16") >= 3 &&
                   Count(strText, "COT: 1  自发(突发)") >= 1;
        },
        10000))
        << Log();
    EXPECT_NE(Log().find("ASDU 9      COT: 2  循环"), std::string::npos) << Log();
    EXPECT_EQ(Count(Log(), "校验和出错: "), 0) << Log();
}

// A relay that confirms and says "no data" with the single character E5H: the session runs
// without a time-out, and a command held behind a request goes out as soon as E5H answers it.
TEST_F(SerialEndToEnd, Iec103RelayAnsweringWithTheSingleCharacter)
{
    StartRelay({"--protocol", "103", "--com", kComText, "--single-char-ack"});
    Choose(ID_MODE_103);
    ConnectToRelay();
    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();
    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_CLASS2); // the measurands
    ASSERT_TRUE(WaitForText("ASDU 9")) << Log();
    ASSERT_TRUE(WaitForLinkIdle());

    // Nothing waits now: the class 2 request gets E5H, which releases the status request.
    Choose(ID_103_CLASS2);
    Choose(ID_103_LINK_STATUS);
    ASSERT_TRUE(WaitForText("接收: 10 0B 01 0C 16")) << Log();
    ASSERT_NE(Log().find("接收: E5"), std::string::npos) << Log();
    const std::string strAfter = Log().substr(Log().find("接收: E5"));
    EXPECT_EQ(strAfter.find("发送: "), strAfter.find("发送: 10 49 01 4A 16")) << Log();

    // The interrogation, then cyclic polling answered by E5H.
    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_103_INTERROGATION);
    ASSERT_TRUE(WaitForText("COT: 10  总查询(总召唤)终止")) << Log();
    CIntervalFields interval;
    interval.nIntervalMs = 100;
    m_ui.IntervalForm().Push([interval](CIntervalFields& fields) { return fields = interval, true; });
    Choose(ID_POLL_INTERVAL);
    Choose(ID_103_POLLING);
    Choose(ID_103_CLASS2);
    ASSERT_TRUE(WaitForText("接收: E5", 5)) << Log();
    Choose(ID_103_POLLING);
    ASSERT_TRUE(WaitForLinkIdle());
    EXPECT_EQ(Count(Log(), "超时"), 0) << Log();
    EXPECT_EQ(Count(Log(), "校验和出错: "), 0) << Log();
}

TEST_F(SerialEndToEnd, DisturbanceTransferFromListToLastChannel)
{
    StartRelay({"--protocol", "103", "--com", kComText});
    Choose(ID_MODE_103);
    ConnectToRelay();
    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();

    struct CStep
    {
        int nId;
        int nToo;
        int nAcc;
        const char* pszText; // what the relay's last answer of the step shows
    };
    std::vector<CStep> steps = {
        {ID_103_DISTURBANCE_ORDER, 24, 0, "共2个录波"},
        {ID_103_DISTURBANCE_ORDER, 1, 0, "扰动数据传输准备就绪"},
        {ID_103_DISTURBANCE_ORDER, 2, 0, "带标志的状态变位传输准备就绪"},
        {ID_103_DISTURBANCE_ORDER, 16, 0, "不带中止的带标志的状态变位的传输的结束"},
        {ID_103_DISTURBANCE_ACK, 68, 0, "被记录的通道传输准备就绪"},
    };
    for (int nAcc = 1; nAcc <= 8; ++nAcc)
    {
        steps.push_back({ID_103_DISTURBANCE_ORDER, 8, nAcc, "不带中止的通道传输的结束"});
        steps.push_back({ID_103_DISTURBANCE_ACK, 66, nAcc,
                         nAcc == 8 ? "不带中止的扰动数据传输的结束" : "被记录的通道传输准备就绪"});
    }
    for (const CStep& step : steps)
    {
        ASSERT_TRUE(WaitForLinkIdle());
        const int nBefore = Count(Log(), step.pszText);
        m_ui.DisturbanceForm().Push(
            [step](CDisturbanceFields& fields)
            {
                fields.nFun = 128;
                fields.nToo = static_cast<std::uint8_t>(step.nToo);
                fields.nFan = 1;
                fields.nAcc = step.nAcc;
                return true;
            });
        Choose(step.nId);
        ASSERT_TRUE(WaitForText(step.pszText, nBefore + 1)) << "TOO " << step.nToo << "\n" << Log();
    }
    EXPECT_EQ(Count(Log(), "传输扰动值"), 80) << Log();
}

TEST_F(SerialEndToEnd, DisturbanceRecordFromTheWindowWithItsProgress)
{
    StartRelay({"--protocol", "103", "--com", kComText});
    Choose(ID_MODE_103);
    ConnectToRelay();
    Choose(ID_103_RESET_CU);
    ASSERT_TRUE(WaitForText("COT: 4  复位通信单元(CU)")) << Log();
    ASSERT_TRUE(WaitForLinkIdle());

    // "读取录波…" opens the window of its own and asks the relay for its list at once.
    Choose(ID_DISTURBANCE_UPLOAD);
    QDialog* pDialog = m_pFrame->DisturbanceControls()->Dialog();
    ASSERT_NE(pDialog, nullptr);
    EXPECT_TRUE(pDialog->isVisible());
    EXPECT_FALSE(pDialog->isModal());
    auto* pList = pDialog->findChild<QTreeWidget*>(QStringLiteral("disturbanceList"));
    auto* pProgress = pDialog->findChild<QProgressBar*>(QStringLiteral("disturbanceProgress"));
    auto* pStatus = pDialog->findChild<QLabel*>(QStringLiteral("disturbanceStatus"));
    ASSERT_TRUE(pList != nullptr && pProgress != nullptr && pStatus != nullptr);
    ASSERT_TRUE(WaitFor([&](const std::string&) { return pList->topLevelItemCount() == 2; })) << Log();
    EXPECT_TRUE(pList->topLevelItem(0)->text(0).startsWith(QStringLiteral("1    20"))) << pList->topLevelItem(0)->text(0).toStdString();
    EXPECT_TRUE(pList->topLevelItem(0)->text(0).endsWith(QStringLiteral("未传送")));

    // The user picks FAN 1, a folder and the binary format, and reads it.
    pList->setCurrentItem(pList->topLevelItem(0));
    pDialog->findChild<QLineEdit*>(QStringLiteral("disturbanceFolder"))->setText(QString::fromStdString((m_dir / "records").string()));
    pDialog->findChild<QComboBox*>(QStringLiteral("disturbanceFormat"))->setCurrentIndex(1);
    std::set<int> values;
    QObject::connect(pProgress, &QProgressBar::valueChanged, [&values](int nValue) { values.insert(nValue); });
    pDialog->findChild<QPushButton*>(QStringLiteral("disturbanceStart"))->click();
    ASSERT_TRUE(WaitFor([&](const std::string&) { return pStatus->text().contains(QStringLiteral("录波已保存")); }, 30000))
        << pStatus->text().toStdString() << "\n" << Log();
    // The bar went through every channel's blocks to its end.
    EXPECT_EQ(pProgress->maximum(), 8 * 1000);
    EXPECT_EQ(pProgress->value(), pProgress->maximum());
    EXPECT_GE(values.size(), 80u);
    EXPECT_EQ(Count(Log(), "传输扰动值"), 80);
    EXPECT_EQ(Count(Log(), "成功的扰动数据传输"), 1);
    int nFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir / "records"))
        nFiles += entry.path().filename().string().rfind("RELVANE_FAN1_", 0) == 0 ? 1 : 0;
    EXPECT_EQ(nFiles, 2);
    EXPECT_TRUE(m_pFrame->Action(ID_DISTURBANCE_UPLOAD)->isEnabled());

    // "查看录波" draws the record just read: the relay's own waveform, scaled to secondary values.
    auto* pView = pDialog->findChild<QPushButton*>(QStringLiteral("disturbanceView"));
    ASSERT_TRUE(pView != nullptr && pView->isEnabled());
    pView->click();
    auto* pViewer = m_pFrame->findChild<CRecordViewer*>(QStringLiteral("recordViewer"));
    ASSERT_NE(pViewer, nullptr);
    const CComtradeRecord* pRecord = pViewer->Plot()->Record();
    ASSERT_TRUE(pRecord != nullptr && pRecord->analogs.size() == 8u && pRecord->SampleCount() == 1000u);
    for (int c = 0; c < 8; ++c)
    {
        for (const int n : {0, 199, 200, 999})
        {
            const double dExpected = CDisturbanceRecorder::Sample(1, c, n) * CDisturbanceRecorder::ReferenceFactor(c);
            EXPECT_NEAR(pRecord->analogs[c].values[n], dExpected, std::abs(dExpected) * 1e-6 + 1e-6) << c << " " << n;
        }
    }
}

// One fault kind at a time, on every answer.
struct CFaultCase
{
    const char* pszFault;
    const char* pszProtocol;
    int nCommand;
    std::function<bool(const std::string&)> fnSeen; // what the log must come to show
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CFaultCase& c, std::ostream* pStream)
{
    *pStream << c.pszFault << " on " << c.pszProtocol;
}

class FaultEndToEnd : public RelayFixture, public ::testing::WithParamInterface<CFaultCase>
{
};

TEST_P(FaultEndToEnd, IsLoggedAsSpecified)
{
    const CFaultCase& c = GetParam();
    StartRelay(
        {"--protocol", c.pszProtocol, "--com", kComText, "--fault-rate", "100", "--faults", c.pszFault});
    if (std::string(c.pszProtocol) == "103")
        Choose(ID_MODE_103);
    ConnectToRelay();
    Choose(c.nCommand);
    EXPECT_TRUE(WaitFor(c.fnSeen)) << c.pszFault << "\n" << Log() << "\n" << RelayOutput();
}

bool Has(const std::string& strLog, const char* pszText)
{
    return strLog.find(pszText) != std::string::npos;
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, FaultEndToEnd,
    ::testing::Values(
        CFaultCase{"checksum", "94", ID_94_POLL, [](const std::string& s) { return Has(s, "CRC错: 01 BA"); }},
        CFaultCase{"checksum", "103", ID_103_CLASS2,
                   [](const std::string& s) { return Has(s, "校验和出错: 68"); }},
        CFaultCase{"silence", "94", ID_94_POLL, [](const std::string& s) { return Has(s, "超时"); }},
        // Function 14: the workbench resets the link at once.
        CFaultCase{"nack", "103", ID_103_CLASS2,
                   [](const std::string& s)
                   { return Has(s, "接收: 10 0E 01 0F 16") && Has(s, "发送: 10 40 01 41 16"); }},
        // The halves of a split answer: too short to be taken, so the request times out, unless the
        // workbench joins them.
        CFaultCase{"split", "94", ID_94_POLL,
                   [](const std::string& s) { return Has(s, "超时") || Has(s, "接收: 01 BA"); }},
        // Two answers in one burst: both reach the log, in one entry or in two.
        CFaultCase{"merge", "94", ID_94_POLL,
                   [](const std::string& s) { return RelayFixture::Count(s, "01 BA 02 01 04") >= 2; }}),
    [](const ::testing::TestParamInfo<CFaultCase>& param)
    { return std::string(param.param.pszFault) + param.param.pszProtocol; });

} // namespace
} // namespace relvane::test
