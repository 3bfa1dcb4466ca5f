// "撤消" takes back the user's own edits of the log, also those that wiped entries, while the
// session keeps appending at the end.
#include "FrameFixture.h"
#include "session/SessionCommands.h"

#include <QClipboard>
#include <QKeyEvent>
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
        View().Log().Clear();
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
}

} // namespace
} // namespace relvane::test
