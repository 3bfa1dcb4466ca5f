// The window's help for the first hours at the bench, each part off until turned on: what is
// attached and what connecting did, the user's place in the log, the statistics table, asking
// before an unsaved log is lost, and a window too small to overprint its panes.
#include "app/BenchAssist.h"

#include "FrameFixture.h"
#include "app/OwnSettings.h"
#include "app/RecorderControls.h"
#include "session/SessionStatistics.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>

namespace relvane::test
{
namespace
{

class BenchAssistTest : public FrameFixture
{
protected:
    BenchAssistTest() { OwnSettings().clear(); }
    ~BenchAssistTest() override
    {
        SetQuestionHook({});
        OwnSettings().clear();
    }

    CBenchAssist& Assist() { return *Frame().BenchAssist(); }
    QString Message() { return Frame().statusBar()->currentMessage(); }
    void AppendLines(int nCount)
    {
        for (int i = 0; i < nCount; ++i)
            View().Log().AppendText("接收: 10 20 01 21 16 \r\n", false);
        View().Log().Flush();
        Settle();
    }
};

TEST_F(BenchAssistTest, BesideTheRelayTheStatusBarSaysWhatIsAttachedAndThePanesKeepTheirForm)
{
    // As specified (hints off): connecting strips "COM", the form hands back "None", nothing is said.
    View().PreselectPort("COM200", 0);
    CSerialFields fields = View().SerialFields();
    fields.strPort = "COM200";
    fields.strParity = "None";
    m_ui.SerialForm().Push(Confirm(fields));
    Choose(ID_SERIAL_SETTINGS);
    Choose(ID_SERIAL_CONNECT);
    EXPECT_EQ(PaneText(ID_INDICATOR_PORT), QStringLiteral("200"));
    EXPECT_EQ(PaneText(ID_INDICATOR_PARITY), QStringLiteral("None"));
    EXPECT_TRUE(Message().isEmpty()) << Message().toStdString();
    Choose(ID_SERIAL_DISCONNECT);
    View().ClearLog(); // the disconnect is logged; what follows starts from an empty log

    // `make run`: the relay's port is named once, the log stays empty, connect and disconnect
    // are said with the device, and the panes show what they showed at start.
    View().PreselectPort("COM200", 0);
    Assist().SetSystemPorts(
        {}, [](const QString& strPort)
        { return strPort == QStringLiteral("COM200") ? QStringLiteral("/dev/pts/9") : QString(); });
    Assist().StartBesideRelay(QStringLiteral("COM200"));
    EXPECT_TRUE(Assist().HintsOn());
    EXPECT_TRUE(Assist().AskToSaveOn());
    const QString strHint =
        QStringLiteral("模拟装置已连接在 COM200 (/dev/pts/9): 点击“串口连接”开始, 再点“巡检(83H)”");
    EXPECT_EQ(PaneText(ID_INDICATOR_MESSAGE), strHint);
    // A button's prompt under the mouse covers the hint only while it is there.
    Frame().statusBar()->showMessage(QStringLiteral("串口连接"));
    Frame().statusBar()->clearMessage();
    Settle();
    EXPECT_EQ(PaneText(ID_INDICATOR_MESSAGE), strHint);
    EXPECT_TRUE(View().LogText().empty());
    Frame().UpdateCommandStates();
    EXPECT_EQ(PaneText(ID_INDICATOR_PORT), QStringLiteral("COM200"));
    EXPECT_EQ(PaneText(ID_INDICATOR_PARITY), QStringLiteral("NONE"));
    Choose(ID_SERIAL_CONNECT);
    EXPECT_EQ(Message(), QStringLiteral("串口已连接: COM200 (/dev/pts/9)"));
    EXPECT_EQ(PaneText(ID_INDICATOR_MESSAGE), QStringLiteral("就绪"));
    EXPECT_EQ(PaneText(ID_INDICATOR_PORT), QStringLiteral("COM200"));
    Choose(ID_SERIAL_DISCONNECT);
    EXPECT_EQ(Message(), QStringLiteral("串口已断开: COM200 (/dev/pts/9)"));
    EXPECT_EQ(View().LogText(), "串口已断开: COM200 (用户断开)\r\n");
    // Nothing of it was stored: the next start is as specified unless the user turns it on.
    EXPECT_FALSE(OwnSettings().contains(QStringLiteral("window/hints")));
}

TEST_F(BenchAssistTest, TheLogKeepsTheUsersPlaceWhileTheyReadBack)
{
    Frame().resize(900, 600);
    QScrollBar* pBar = Frame().LogEdit()->verticalScrollBar();
    AppendLines(200);
    ASSERT_GT(pBar->maximum(), 10);
    EXPECT_EQ(pBar->value(), pBar->maximum());

    // As specified: every entry brings the view back to the end.
    pBar->setValue(0);
    AppendLines(1);
    EXPECT_EQ(pBar->value(), pBar->maximum());

    Choose(ID_OPTION_HINTS);
    ASSERT_TRUE(Assist().HintsOn());
    EXPECT_TRUE(OwnSettings().value(QStringLiteral("window/hints")).toBool());
    AppendLines(1);
    EXPECT_EQ(pBar->value(), pBar->maximum()) << "at the end it follows";
    pBar->setValue(5); // Page Up, the wheel, the scroll bar
    AppendLines(3);
    EXPECT_EQ(pBar->value(), 5);
    EXPECT_FALSE(Assist().Following());
    EXPECT_EQ(Message(), CBenchAssist::BelowMessage());

    // End takes the view back to the end and following resumes.
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(Frame().LogEdit(), &end);
    Settle();
    EXPECT_TRUE(Assist().Following());
    EXPECT_GE(pBar->value(), pBar->maximum() - 1); // the last line may be laid out after the jump
    EXPECT_TRUE(Message().isEmpty());
    AppendLines(2);
    EXPECT_EQ(pBar->value(), pBar->maximum());

    // So does scrolling to the bottom.
    pBar->setValue(0);
    AppendLines(1);
    EXPECT_EQ(pBar->value(), 0);
    pBar->setValue(pBar->maximum());
    AppendLines(1);
    EXPECT_EQ(pBar->value(), pBar->maximum());
    EXPECT_TRUE(Assist().Following());
}

TEST_F(BenchAssistTest, StatisticsPanelIsATableInNumericOrderWithNamesAndColumnsThatFit)
{
    CSessionStatistics& statistics = View().Recorder().Statistics();
    for (const char* pszKey : {"ASDU 10", "ASDU 2", "ASDU 1", "ASDU 21", "链路功能码 11"})
        statistics.OnFrame(pszKey, false);
    statistics.OnFrame("链路功能码 9", false);
    statistics.OnFrame("链路功能码 9", true);
    statistics.OnBytes(false, 1234567);
    Choose(ID_VIEW_STATISTICS);
    Settle();

    QTableWidget* pTable = Frame().RecorderControls()->StatisticsTable();
    const QStringList expected{
        QStringLiteral("ASDU 1|1|0|带时标的报文"),
        QStringLiteral("ASDU 2|1|0|具有相对时间的带时标的报文"),
        QStringLiteral("ASDU 10|1|0|通用分类数据"),
        QStringLiteral("ASDU 21|1|0|通用分类命令"),
        QStringLiteral("链路功能码 9|1|1|请求链路状态 / 无所召唤的数据"),
        QStringLiteral("链路功能码 11|1|0|召唤二级用户数据"),
        QStringLiteral("字节|1234567|0|"),
    };
    QStringList rows;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
    {
        QStringList cells;
        for (int nColumn = 0; nColumn < 4; ++nColumn)
            cells << pTable->item(nRow, nColumn)->text();
        rows << cells.join(u'|');
    }
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(Frame().RecorderControls()->StatisticsSummary()->text().startsWith(QStringLiteral("超时 0")));

    // At the panel's default width the key and both counts are whole, each on one line.
    const QFontMetrics metrics(pTable->font());
    int nCounts = 0;
    for (int nColumn = 0; nColumn < 3; ++nColumn)
    {
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
            EXPECT_GE(pTable->columnWidth(nColumn),
                      metrics.horizontalAdvance(pTable->item(nRow, nColumn)->text()))
                << nRow << "," << nColumn;
        nCounts += pTable->columnWidth(nColumn);
    }
    EXPECT_LE(nCounts, pTable->viewport()->width());
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        EXPECT_LT(pTable->rowHeight(nRow), 2 * metrics.lineSpacing()) << nRow;
}

TEST_F(BenchAssistTest, UnsavedEntriesAreNotLostWithoutAQuestionWhenAskingIsOn)
{
    QStringList questions;
    EAnswer eAnswer = EAnswer::Cancel;
    SetQuestionHook(
        [&](QWidget*, const QString& strText)
        {
            questions << strText;
            return eAnswer;
        });
    // Asking is on from the start; turned off, "新建" empties the log without a question, and
    // the choice is kept in our own settings file.
    ASSERT_TRUE(Assist().AskToSaveOn());
    Choose(ID_OPTION_ASK_SAVE);
    ASSERT_FALSE(Assist().AskToSaveOn());
    EXPECT_FALSE(OwnSettings().value(QStringLiteral("file/askToSave")).toBool());
    AppendLines(1);
    Choose(ID_FILE_NEW);
    EXPECT_TRUE(View().LogText().empty());
    EXPECT_TRUE(questions.isEmpty());

    Choose(ID_OPTION_ASK_SAVE);
    ASSERT_TRUE(Assist().AskToSaveOn());
    Choose(ID_FILE_NEW);
    EXPECT_TRUE(questions.isEmpty()) << "an empty log has nothing to lose";
    AppendLines(1);
    Choose(ID_FILE_NEW); // 取消: nothing happens
    EXPECT_EQ(questions, QStringList{QStringLiteral("是否保存对 无标题 的更改?")});
    EXPECT_FALSE(View().LogText().empty());
    Frame().close(); // 取消: the window stays
    EXPECT_TRUE(Frame().isVisible());

    // Before anything was saved the dialogs start in the user's documents or home folder, never
    // in the working folder (the program's own, from a desktop shortcut).
    EXPECT_EQ(LastFolder(), QDir::homePath());

    // 是: saved under its name, then replaced; the folder is remembered for the dialogs.
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("bench.rtf"));
    ASSERT_TRUE(Frame().SaveLogFile(strPath));
    EXPECT_EQ(LastFolder(), dir.path());
    AppendLines(2);
    questions.clear();
    eAnswer = EAnswer::Yes;
    Choose(ID_FILE_NEW);
    EXPECT_EQ(questions, QStringList{QStringLiteral("是否保存对 bench.rtf 的更改?")});
    EXPECT_TRUE(View().LogText().empty());
    QFile saved(strPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count("10 20 01 21 16"), 3);

    // 否: the entries go; a saved log asks nothing.
    AppendLines(1);
    questions.clear();
    eAnswer = EAnswer::No;
    Frame().close();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_FALSE(Frame().isVisible());
}

TEST_F(BenchAssistTest, FullExplanationIsA103OptionKeptInOurOwnSettings)
{
    Choose(ID_MODE_103);
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Checked(ID_OPTION_FULL_EXPLANATION));
    EXPECT_FALSE(View().FullExplanation());
    Choose(ID_OPTION_FULL_EXPLANATION);
    Frame().UpdateCommandStates();
    EXPECT_TRUE(Checked(ID_OPTION_FULL_EXPLANATION));
    EXPECT_TRUE(View().FullExplanation());
    EXPECT_TRUE(OwnSettings().value(QStringLiteral("log/fullExplanation")).toBool());

    // The '94 annotator has no such thing.
    Choose(ID_MODE_94);
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Enabled(ID_OPTION_FULL_EXPLANATION));

    // The next window starts with it as stored.
    View().SetFullExplanation(false);
    CBenchAssist stored(View(), Frame(), *Frame().LogEdit());
    EXPECT_TRUE(View().FullExplanation());
}

TEST_F(BenchAssistTest, TheSmallestWindowKeepsMenusToolbarsAndPanesReadable)
{
    for (const int nMode : {ID_MODE_94, ID_MODE_103, ID_MODE_ETH103})
    {
        Choose(nMode);
        Frame().resize(200, 150);
        Settle();
        SCOPED_TRACE(nMode);
        EXPECT_GE(Frame().width(), Frame().menuBar()->sizeHint().width());
        EXPECT_GE(Frame().LogEdit()->height(), 4 * Frame().LogEdit()->fontMetrics().lineSpacing());
        // The panes side by side, each as wide as its text, none over the next.
        QLabel* pPrevious = nullptr;
        for (const int nPane : {ID_INDICATOR_ADDRESS, ID_INDICATOR_CPU, ID_INDICATOR_PORT, ID_INDICATOR_BAUD,
                                ID_INDICATOR_PARITY})
        {
            QLabel* pPane = Frame().Pane(nPane);
            EXPECT_GE(pPane->width(), pPane->fontMetrics().horizontalAdvance(pPane->text())) << nPane;
            if (pPrevious != nullptr)
            {
                EXPECT_LE(pPrevious->geometry().right(), pPane->geometry().left()) << nPane;
            }
            pPrevious = pPane;
        }
    }
}

} // namespace
} // namespace relvane::test
