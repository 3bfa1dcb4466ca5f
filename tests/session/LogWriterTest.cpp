#include "SessionFixture.h"

#include <QTextCursor>

namespace relvane
{
namespace
{

class LogWriter : public CSessionFixture
{
protected:
    LogWriter() { View().OnCommand(ID_MODE_ETH103); } // no annotator: plain entries

    void Write(const Bytes& abBytes)
    {
        View().WriteFrame(abBytes.data(), static_cast<int>(abBytes.size()), View().HexFormat());
    }
};

TEST_F(LogWriter, ByteFormats)
{
    const Bytes abBytes = {0, 9, 10, 255};
    View().WriteFrame(abBytes.data(), 4, 1);
    View().WriteFrame(abBytes.data(), 4, 0);
    View().WriteFrame(abBytes.data(), 4, 7); // no such format: the line end only
    View().WriteFrame(abBytes.data(), 0, 1);
    View().WriteFrame(nullptr, 3, 1);
    EXPECT_EQ(Log(), "00 09 0A FF \r\n00 09 10 255 \r\n\r\n\r\n\r\n");
}

TEST_F(LogWriter, FormatCommandsChooseTheFormatOfLaterEntries)
{
    View().OnCommand(ID_FORMAT_DECIMAL);
    EXPECT_TRUE(View().QueryCommand(ID_FORMAT_DECIMAL).bChecked);
    EXPECT_FALSE(View().QueryCommand(ID_FORMAT_HEX).bChecked);
    m_pNetwork->PostTcpData({200, 5});
    Deliver();
    View().OnCommand(ID_FORMAT_HEX);
    m_pNetwork->PostTcpData({200, 5});
    Deliver();
    EXPECT_EQ(Log(), "\r\nTCP接收: 200 05 \r\n\r\nTCP接收: C8 05 \r\n");
}

TEST_F(LogWriter, EventTextsAndUnknownKinds)
{
    View().WriteEvent(LOG_SEND);
    View().WriteEvent(LOG_RECEIVE);
    View().WriteEvent(LOG_CRC_ERROR);
    View().WriteEvent(LOG_TIMEOUT);
    View().WriteEvent(LOG_CHECKSUM_ERROR);
    View().WriteEvent(-1);
    View().WriteEvent(18);
    EXPECT_EQ(Log(), "发送: 接收: CRC错: 超时\r\n校验和出错: ");
    EXPECT_EQ(View().LineCount(), 3) << "only the error and time-out kinds count";
    for (const CColouredRun& run : Runs())
        EXPECT_EQ(run.colour, kBlack);
}

TEST_F(LogWriter, LineLimitCycle)
{
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{true, 3}));
    View().OnCommand(ID_LINE_LIMIT);
    for (int i = 0; i < 4; ++i)
        Write({static_cast<std::uint8_t>(i)});
    EXPECT_EQ(Log(), "00 \r\n01 \r\n02 \r\n03 \r\n");
    EXPECT_EQ(View().LineCount(), 4);

    Write({4}); // inserted, then cleared together with the rest
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(View().LineCount(), 1);
    for (int i = 5; i < 8; ++i)
        Write({static_cast<std::uint8_t>(i)});
    EXPECT_EQ(Log(), "05 \r\n06 \r\n07 \r\n");
    EXPECT_EQ(View().LineCount(), 4);
    Write({8});
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(View().LineCount(), 1);

    // A time-out counts like a line; a send prefix does not.
    View().WriteEvent(LOG_SEND);
    EXPECT_EQ(View().LineCount(), 1);
    View().WriteEvent(LOG_TIMEOUT);
    EXPECT_EQ(View().LineCount(), 2);
}

TEST_F(LogWriter, LimitOffKeepsEverythingAndTheCounterResumes)
{
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{true, 3}));
    View().OnCommand(ID_LINE_LIMIT);
    Write({1});
    Write({2});
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{false, 3}));
    View().OnCommand(ID_LINE_LIMIT);
    EXPECT_FALSE(View().QueryCommand(ID_LINE_LIMIT).bChecked);
    for (int i = 0; i < 10; ++i)
        Write({0xAA});
    EXPECT_EQ(View().LineCount(), 2);
    View().Log().Flush();
    EXPECT_EQ(View().LogDocument()->blockCount(), 13); // 12 lines and the empty one being written

    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{true, 3}));
    View().OnCommand(ID_LINE_LIMIT);
    Write({3});
    Write({4});
    EXPECT_EQ(View().LineCount(), 4);
    Write({5});
    EXPECT_EQ(Log(), "");

    // A cancelled form changes nothing.
    m_ui.LineLimitForm().PushCancel();
    View().OnCommand(ID_LINE_LIMIT);
    EXPECT_EQ(View().LineLimit(), 3);
}

TEST_F(LogWriter, AnnotationsOnInTheEthernetModeWriteAGreenLineEndOnly)
{
    Write({0x10, 0x49});
    View().WriteEvent(LOG_TIMEOUT);
    const std::vector<CColouredRun> runs = Runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].strText, "10 49 ");
    EXPECT_EQ(runs[0].colour, kBlack);
    EXPECT_EQ(runs[1].strText, "\r\n");
    EXPECT_EQ(runs[1].colour, kGreen);
    EXPECT_EQ(runs[2].strText, "超时\r\n");
    EXPECT_EQ(runs[2].colour, kBlack) << "the colour is black again after the entry";

    View().ClearLog();
    View().OnCommand(ID_SHOW_ANNOTATIONS);
    Write({0x10});
    const std::vector<CColouredRun> plain = Runs();
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].strText, "10 \r\n");
    EXPECT_EQ(plain[0].colour, kBlack);
}

TEST_F(LogWriter, FullExplanationFollowsThe103AnnotationOnlyWhenTurnedOn)
{
    View().OnCommand(ID_MODE_103);
    const Bytes abEnd = {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x08, 0x81,
                         0x0A, 0x01, 0xFF, 0x00, 0x07, 0x9C, 0x16};
    const std::string strAnnotated = "68 09 09 68 08 01 08 81 0A 01 FF 00 07 9C 16 \r\n (\n"
                                     "链路地址: 1      ASDU 8      COT: 10  总查询(总召唤)终止\n"
                                     "应用服务数据单元公共地址: 1\n";
    EXPECT_FALSE(View().FullExplanation());
    Write(abEnd);
    EXPECT_EQ(Log(), strAnnotated + ") \r\n");

    View().ClearLog();
    View().SetFullExplanation(true);
    Write(abEnd);
    EXPECT_EQ(
        Log(),
        strAnnotated +
            "控制域: 08H    PRM: 0    ACD: 0    DFC: 0    功能码: 8 (以数据响应请求帧)\n"
            "可变结构限定词(VSQ): 81H    SQ: 1    数目: 1\n"
            "功能类型: 255 (全局功能类型)    信息序号: 0 (总查询(总召唤)终止)\n扫描序号(SCN): 7\n) \r\n");
}

TEST_F(LogWriter, AnnotationLineFeedsBreakTheLineInsideOneParagraph)
{
    View().Log().AppendText("\r\n (\nA\nB) \r\n", true);
    EXPECT_EQ(Log(), "\r\n (\nA\nB) \r\n");
    EXPECT_EQ(View().LogDocument()->blockCount(), 3) << "two paragraph ends, the line feeds stay inside";
}

TEST_F(LogWriter, SelectionTextReadsLikeTheLog)
{
    View().Log().AppendText("发送: 01 \r\n (\nA\nB) \r\n", true);
    View().Log().Flush();
    QTextCursor cursor(View().LogDocument());
    cursor.select(QTextCursor::Document);
    EXPECT_EQ(CLogDocument::LogText(cursor.selectedText()).toStdString(), "发送: 01 \r\n (\nA\nB) \r\n");
}

TEST_F(LogWriter, ClearLogEmptiesTheTextAndTheCounter)
{
    View().WriteEvent(LOG_TIMEOUT);
    View().WriteEvent(LOG_TIMEOUT);
    Deliver();
    View().WriteEvent(LOG_TIMEOUT); // still queued
    View().OnCommand(ID_CLEAR_LOG);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(View().LineCount(), 0);
    EXPECT_EQ(View().LogDocument()->blockCount(), 1);
    // Clearing is no undo step either: undoing must not bring back old entries.
    View().LogDocument()->undo();
    EXPECT_EQ(Log(), "");
}

TEST_F(LogWriter, AppendsAreBatchedAndKeptOutOfTheUndoHistory)
{
    QTextDocument* pDocument = View().LogDocument();
    int nChanges = 0;
    QObject::connect(pDocument, &QTextDocument::contentsChanged, [&nChanges] { ++nChanges; });
    for (int i = 0; i < 50; ++i)
        View().WriteEvent(LOG_TIMEOUT);
    EXPECT_TRUE(pDocument->isEmpty()) << "nothing is inserted before control returns to the event loop";
    Deliver();
    EXPECT_EQ(nChanges, 1) << "one turn of the event loop, one insertion";
    EXPECT_EQ(pDocument->blockCount(), 51);
    EXPECT_FALSE(pDocument->isUndoAvailable());

    // The user's own edit can be undone.
    QTextCursor cursor(pDocument);
    cursor.insertText(QStringLiteral("注"));
    EXPECT_TRUE(pDocument->isUndoAvailable());
    pDocument->undo();
    EXPECT_EQ(Log().rfind("超时\r\n", 0), 0u);
}

TEST_F(LogWriter, UserEditsElsewhereDoNotMoveTheAppendPoint)
{
    View().WriteEvent(LOG_TIMEOUT);
    Deliver();
    QTextCursor cursor(View().LogDocument());
    cursor.setPosition(1);
    cursor.insertText(QStringLiteral("X"));
    View().WriteEvent(LOG_TIMEOUT);
    EXPECT_EQ(Log(), "超X时\r\n超时\r\n");
}

} // namespace
} // namespace relvane
