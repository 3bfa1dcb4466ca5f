// "撤消" takes back the user's own edits of the log, also those that wiped entries, while the
// session keeps appending at the end.
#include "FrameFixture.h"
#include "session/SessionCommands.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <functional>

namespace relvane::test
{
namespace
{

class LogUndoTest : public FrameFixture
{
protected:
    void Append(const char* pszText)
    {
        View().Log().AppendText(pszText, false);
        View().Log().Flush();
        Settle();
    }
    void Key(int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& strText = {})
    {
        QKeyEvent press(QEvent::KeyPress, nKey, modifiers, strText);
        QApplication::sendEvent(Frame().LogEdit(), &press);
        Settle();
    }
    void Type(const QString& strText)
    {
        for (const QChar c : strText)
            Key(c.unicode() >= u'a' && c.unicode() <= u'z' ? Qt::Key_A + (c.unicode() - u'a') : Qt::Key_Space,
                Qt::NoModifier, QString(c));
    }
    std::string Log() { return View().LogText(); }
    void Caret(int nPosition, int nAnchor = -1)
    {
        QTextCursor cursor(View().LogDocument());
        cursor.setPosition(nAnchor < 0 ? nPosition : nAnchor);
        cursor.setPosition(nPosition, QTextCursor::KeepAnchor);
        Frame().LogEdit()->setTextCursor(cursor);
    }
    // Entries in both colours, several paragraphs, the last one ended.
    void AppendColouredEntries(int nCount)
    {
        for (int n = 0; n < nCount; ++n)
        {
            View().Log().AppendText("发送: 10 7B 01 7C 16 ", false);
            View().Log().AppendText("\r\n (\n请求二级数据) \r\n", true);
            View().Log().AppendText("接收: 10 09 01 0A 16 \r\n", false);
        }
        View().Log().Flush();
        Settle();
    }
};

TEST_F(LogUndoTest, WipingEditsComeBackWithTheEntriesThatArrivedSince)
{
    const std::string strOld = "发送: 10 7B 01 7C 16 \r\n接收: 10 09 01 0A 16 \r\n超时\r\n";
    struct CCase
    {
        const char* pszName;
        std::function<void()> fnEdit;
        int nUndos; // steps back to the old text
    };
    const CCase cases[] = {
        {"Ctrl+A then a key", [this] { Choose(ID_EDIT_SELECT_ALL), Type(QStringLiteral("x")); }, 1},
        {"Ctrl+A then typing", [this] { Key(Qt::Key_A, Qt::ControlModifier), Type(QStringLiteral("300")); }, 2},
        {"Ctrl+A then Delete", [this] { Choose(ID_EDIT_SELECT_ALL), Key(Qt::Key_Delete); }, 1},
        {"cut", [this] { Choose(ID_EDIT_SELECT_ALL), Choose(ID_EDIT_CUT); }, 1},
        {"清空", [this] { Choose(ID_CLEAR_LOG); }, 1},
        {"Backspace in the middle",
         [this]
         {
             QTextCursor cursor(View().LogDocument());
             cursor.setPosition(5);
             Frame().LogEdit()->setTextCursor(cursor);
             Key(Qt::Key_Backspace), Key(Qt::Key_Backspace);
         },
         2},
        {"replace all", [this] { Frame().LogEdit()->ReplaceAll(QStringLiteral("10"), QStringLiteral("xx"), {}); }, 1},
    };
    for (const CCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        View().Log().Discard(); // a new log: nothing to undo
        Append(strOld.c_str());
        Settle();
        EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
        c.fnEdit();
        ASSERT_NE(Log(), strOld);
        Frame().UpdateCommandStates();
        ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
        // The relay goes on talking; the edit can still be undone.
        Append("接收: 10 20 01 21 16 \r\n");
        for (int n = 0; n < c.nUndos; ++n)
        {
            Frame().UpdateCommandStates();
            ASSERT_TRUE(Enabled(ID_EDIT_UNDO)) << n;
            Choose(ID_EDIT_UNDO);
        }
        EXPECT_EQ(Log().substr(0, strOld.size()), strOld);
        EXPECT_NE(Log().find("10 20 01 21 16"), std::string::npos);
        Frame().UpdateCommandStates();
        EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    }
}

TEST_F(LogUndoTest, CtrlZUndoesTypingAndAnOpenedLogStartsWithoutHistory)
{
    Append("超时\r\n");
    Frame().LogEdit()->moveCursor(QTextCursor::End);
    Type(QStringLiteral("note"));
    EXPECT_EQ(Log(), "超时\r\nnote");
    // A paste right after the typing is a step of its own.
    QApplication::clipboard()->setText(QStringLiteral("P"));
    Settle();
    Frame().UpdateCommandStates();
    Choose(ID_EDIT_PASTE);
    EXPECT_EQ(Log(), "超时\r\nnoteP");
    Choose(ID_EDIT_UNDO);
    EXPECT_EQ(Log(), "超时\r\nnote");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Log(), "超时\r\n");
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));

    // An edit the history did not see (the log replaced) leaves nothing to undo.
    Type(QStringLiteral("ab"));
    Frame().UpdateCommandStates();
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    View().Log().Replace([](QTextDocument& document) { document.setPlainText(QStringLiteral("opened")); return true; });
    Settle();
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    // Also when the log was empty before: "清空" is not undone into the log opened after it.
    Choose(ID_CLEAR_LOG);
    Frame().UpdateCommandStates();
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    View().Log().Replace([](QTextDocument& document) { document.setPlainText(QStringLiteral("second")); return true; });
    Settle();
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(Log(), "second");
}

// Sequences the window walk found, each of which used to lose entries for good: after the edits,
// "撤消" as often as there were edits gives back the log as it was, text and colours.
TEST_F(LogUndoTest, UndoGivesBackExactlyWhatTheEditsTook)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strFile = dir.filePath(QStringLiteral("kept.rtf"));
    auto openRecent = [&]
    {
        AppendColouredEntries(150);
        ASSERT_TRUE(Frame().SaveLogFile(strFile));
        Choose(ID_OPTION_ASK_SAVE); // off: no question before the log goes
        // The recent entries go into "文件" as it opens.
        QMenu* pFileMenu = Frame().menuBar()->actions().front()->menu();
        pFileMenu->popup(QPoint(0, 0));
        Settle();
        pFileMenu->hide();
        auto* pRecent = Frame().findChild<QAction*>(QStringLiteral("recent_1"));
        ASSERT_NE(pRecent, nullptr);
        pRecent->trigger();
        Settle();
    };
    auto copyPart = [this](int nFrom, int nTo)
    {
        Caret(nTo, nFrom);
        Frame().LogEdit()->Copy();
        Settle();
    };
    struct CCase
    {
        const char* pszName;
        std::function<void()> fnBefore; // brings the log to the state the undos go back to
        std::function<void()> fnEdits;
        int nUndos;
    };
    const CCase cases[] = {
        {"recent file, 统计信息, 粘贴, typing",
         [&]
         {
             openRecent();
             copyPart(30, 95);
             Caret(200);
         },
         [&]
         {
             Choose(ID_VIEW_STATISTICS);
             Choose(ID_EDIT_PASTE);
             Key(Qt::Key_unknown, Qt::NoModifier, QStringLiteral("10 7B"));
         },
         2},
        {"全选, Backspace, Ctrl+Z, 粘贴, 撤消",
         [&]
         {
             AppendColouredEntries(1);
             copyPart(0, View().LogDocument()->characterCount() - 1); // the whole log
         },
         [&]
         {
             Choose(ID_EDIT_SELECT_ALL);
             Key(Qt::Key_Backspace);
             Key(Qt::Key_Z, Qt::ControlModifier);
             Choose(ID_EDIT_PASTE);
         },
         1},
        {"recent file, 清空", [&] { openRecent(); }, [&] { Choose(ID_CLEAR_LOG); }, 1},
        {"a replaced selection undone, then typing over the start",
         [&] { AppendColouredEntries(3); },
         [&]
         {
             Caret(40, 10);
             Type(QStringLiteral("ab"));
             Choose(ID_EDIT_UNDO);
             Caret(0, 60);
             Key(Qt::Key_Delete);
             Type(QStringLiteral("x"));
         },
         3}, // "a" over the selection, Delete, "x"
        {"selection to the end replaced by a paste",
         [&]
         {
             AppendColouredEntries(2);
             copyPart(0, 30);
             Caret(View().LogDocument()->characterCount() - 1, 50);
         },
         [&] { Choose(ID_EDIT_PASTE), Choose(ID_EDIT_PASTE); },
         2},
    };
    for (const CCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        View().Log().Discard();
        Settle();
        c.fnBefore();
        const std::string strBefore = Log();
        const QString strRich = View().LogDocument()->toHtml();
        ASSERT_FALSE(strBefore.empty());
        c.fnEdits();
        for (int n = 0; n < c.nUndos; ++n)
        {
            Frame().UpdateCommandStates();
            ASSERT_TRUE(Enabled(ID_EDIT_UNDO)) << n;
            Choose(ID_EDIT_UNDO);
        }
        EXPECT_EQ(Log(), strBefore);
        EXPECT_EQ(View().LogDocument()->toHtml(), strRich);
        if (Checked(ID_VIEW_STATISTICS))
            Choose(ID_VIEW_STATISTICS);
        if (!Checked(ID_OPTION_ASK_SAVE))
            Choose(ID_OPTION_ASK_SAVE);
    }
}

// The line limit empties the log as the user set it to; "撤消" brings the emptied entries back
// ahead of those that came since.
TEST_F(LogUndoTest, UndoBringsBackWhatTheLineLimitEmptied)
{
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{true, 3}));
    Choose(ID_LINE_LIMIT);
    const std::uint8_t abFrame[] = {0x10, 0x7B, 0x01, 0x7C, 0x16};
    for (int n = 0; n < 4; ++n)
        View().WriteFrame(abFrame, 5, 1);
    View().Log().Flush();
    const std::string strFull = Log();
    ASSERT_FALSE(strFull.empty());
    View().WriteFrame(abFrame, 5, 1); // over the limit: everything goes
    Settle();
    ASSERT_EQ(Log(), "");
    View().Log().AppendText("超时\r\n", false);
    View().Log().Flush();
    Settle();
    const std::string strSince = Log();
    Frame().UpdateCommandStates();
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    Choose(ID_EDIT_UNDO);
    // The line that went over the limit went with the rest, and comes back with it.
    EXPECT_EQ(Log(), strFull + strFull.substr(0, strFull.size() / 4) + strSince);
}

} // namespace
} // namespace relvane::test
