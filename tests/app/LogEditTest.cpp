#include "app/LogEdit.h"

#include "FrameFixture.h"
#include "app/FindReplaceDialog.h"
#include "rtf/RtfText.h"
#include "session/SessionCommands.h"

#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{
// Typed at the end of the log, key by key.
void Type(CLogEdit* pEdit, const QString& strText)
{
    pEdit->moveCursor(QTextCursor::End);
    for (const QChar c : strText)
    {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(pEdit, &key);
    }
}

int GreenCharacters(const QTextDocument& document)
{
    int nGreen = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            if (it.fragment().charFormat().foreground().color() == QColor(0, 128, 0))
                nGreen += it.fragment().length();
        }
    }
    return nGreen;
}
} // namespace

TEST_F(FrameFixture, LogEditShowsTheSessionDocumentEditable)
{
    CLogEdit* pEdit = Frame().LogEdit();
    EXPECT_EQ(pEdit->document(), View().LogDocument());
    EXPECT_EQ(pEdit->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(pEdit->isReadOnly());
    Choose(ID_SERIAL_CONNECT);
    Choose(32792);
    Type(pEdit, QStringLiteral("备注"));
    Settle();
    EXPECT_TRUE(Enabled(57643)) << "the user's edit can be undone";
    Choose(32792);
    EXPECT_TRUE(pEdit->toPlainText().contains(QStringLiteral("备注"))) << "the user's edit stays";
}

TEST(LogFonts, ChineseLogFontResolvesToAFontWithChinese)
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(10.5);
    EXPECT_TRUE(QFontMetrics(font).inFontUcs4(0x53D1)) << QFontInfo(font).family().toStdString(); // 发
}

TEST_F(FrameFixture, PopupHoldsItsItemsAndRoutesThem)
{
    CLogEdit* pEdit = Frame().LogEdit();
    std::unique_ptr<QMenu> pMenu(pEdit->CreatePopupMenu(nullptr));
    QStringList items;
    for (QAction* pAction : pMenu->actions())
        items << (pAction->isSeparator() ? QStringLiteral("-")
                                         : pAction->text() + u'=' + QString::number(pAction->data().toInt()));
    EXPECT_EQ(items.join(u','), QStringLiteral("剪切=57635,复制=57634,粘贴=57637,-,全选=57642,-,清空=32809"));
    EXPECT_FALSE(pMenu->actions().at(0)->isEnabled()) << "nothing selected to cut";

    Choose(ID_SERIAL_CONNECT);
    Choose(32792);
    ASSERT_FALSE(pEdit->toPlainText().isEmpty());
    std::unique_ptr<QMenu> pAgain(pEdit->CreatePopupMenu(nullptr));
    pAgain->actions().at(4)->trigger(); // 全选
    EXPECT_TRUE(pEdit->textCursor().hasSelection());
    pAgain->actions().at(6)->trigger(); // 清空
    Settle();
    EXPECT_TRUE(pEdit->toPlainText().isEmpty());
}

TEST_F(FrameFixture, FindReplaceAndFindNext)
{
    CLogEdit* pEdit = Frame().LogEdit();
    Type(pEdit, QStringLiteral("接收 abc 发送 ABC 接收 abc"));
    pEdit->moveCursor(QTextCursor::Start);
    Choose(ID_EDIT_FIND);
    CFindReplaceDialog* pFind = Frame().FindDialog();
    EXPECT_TRUE(pFind->isVisible());
    EXPECT_EQ(pFind->windowTitle(), QStringLiteral("查找"));
    pFind->findChild<QLineEdit*>(QStringLiteral("findWhat"))->setText(QStringLiteral("接收"));
    Choose(ID_EDIT_REPEAT);
    EXPECT_EQ(pEdit->textCursor().selectionStart(), 0);
    Choose(ID_EDIT_REPEAT);
    EXPECT_EQ(pEdit->textCursor().selectedText(), QStringLiteral("接收"));
    EXPECT_GT(pEdit->textCursor().selectionStart(), 0);
    Choose(ID_EDIT_REPEAT); // wraps to the first one
    EXPECT_EQ(pEdit->textCursor().selectionStart(), 0);

    Choose(ID_EDIT_REPLACE);
    EXPECT_EQ(pFind->windowTitle(), QStringLiteral("替换"));
    EXPECT_EQ(
        pEdit->ReplaceAll(QStringLiteral("abc"), QStringLiteral("x"), QTextDocument::FindCaseSensitively), 2);
    EXPECT_EQ(pEdit->toPlainText(), QStringLiteral("接收 x 发送 ABC 接收 x"));
    EXPECT_FALSE(pEdit->FindText(QStringLiteral("abc"), QTextDocument::FindCaseSensitively));
}

TEST_F(FrameFixture, CopyOffersTheLogTextAndRtfAndPastedRtfKeepsItsColours)
{
    View().WriteEvent(LOG_RECEIVE);
    View().Log().AppendText("01 B0 \r\n (\n事件\n报告) \r\n", true);
    Settle();
    const std::string strLog = View().LogText();
    const int nGreen = GreenCharacters(*View().LogDocument());
    ASSERT_GT(nGreen, 0);

    Choose(ID_EDIT_SELECT_ALL);
    Choose(ID_EDIT_COPY);
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    ASSERT_NE(pData, nullptr);
    EXPECT_EQ(pData->formats(), QStringList({QStringLiteral("text/plain"), QStringLiteral("text/rtf")}));
    EXPECT_EQ(pData->text().toStdString(), strLog) << "the log's own line ends";

    Frame().LogEdit()->moveCursor(QTextCursor::End);
    Choose(ID_EDIT_PASTE);
    EXPECT_EQ(View().LogText(), strLog + strLog);
    EXPECT_EQ(GreenCharacters(*View().LogDocument()), 2 * nGreen);
}

// Where the display has a primary selection (X11; the suite also runs this on a private Xvfb
// display): select-all puts the log's text alone there, read when asked, and entries logged
// meanwhile stay out of it; copy puts text and RTF on the clipboard; clearing withdraws an
// offer nobody read.
TEST_F(FrameFixture, PrimarySelectionHoldsTextOnlyAfterSelectAll)
{
    QClipboard* pClipboard = QApplication::clipboard();
    if (!pClipboard->supportsSelection())
        GTEST_SKIP() << "no primary selection on " << QGuiApplication::platformName().toStdString();
    View().WriteEvent(LOG_RECEIVE);
    View().Log().AppendText("01 B0 \r\n (\n事件\n报告) \r\n", true);
    Settle();
    const std::string strLog = View().LogText();
    CLogEdit* pEdit = Frame().LogEdit();
    const auto press = [pEdit](int nKey)
    {
        QKeyEvent event(QEvent::KeyPress, nKey, Qt::ControlModifier);
        QApplication::sendEvent(pEdit, &event);
        Settle();
    };

    press(Qt::Key_A);
    View().WriteEvent(LOG_TIMEOUT);
    View().Log().Flush(); // appended now, not whenever the coalescing timer comes round
    Settle();
    const QMimeData* pPrimary = pClipboard->mimeData(QClipboard::Selection);
    ASSERT_NE(pPrimary, nullptr);
    EXPECT_EQ(pPrimary->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(pPrimary->text().toStdString(), strLog);

    press(Qt::Key_A);
    press(Qt::Key_C);
    EXPECT_EQ(pClipboard->mimeData()->formats(),
              QStringList({QStringLiteral("text/plain"), QStringLiteral("text/rtf")}));
    EXPECT_EQ(pClipboard->mimeData()->text(), CLogDocument::LogText(pEdit->textCursor().selectedText()));

    Choose(ID_CLEAR_LOG);
    pPrimary = pClipboard->mimeData(QClipboard::Selection);
    EXPECT_TRUE(pPrimary == nullptr || pPrimary->formats().isEmpty());
}

// Paragraphs painted while the log follows the end are written again once they are far above
// the view, which frees the layouts Qt keeps for them: the log stays as logged, byte for byte in
// its RTF, colours included.
TEST_F(FrameFixture, PaintedParagraphsFarAboveTheViewAreRenewedUnchanged)
{
    // How much memory it frees is for bench_append to measure.
    CLogEdit* pEdit = Frame().LogEdit();
    CLogDocument reference;
    for (int i = 0; i < 1500; ++i)
    {
        for (auto* pLog : {&View().Log(), &reference})
        {
            pLog->AppendText("接收: 01 B0 " + std::to_string(i) + " ", false);
            pLog->AppendText("\r\n (\n事件\n报告 " + std::to_string(i) + ") \r\n", true);
        }
        if (i % 10 == 9)
        {
            Settle();
            pEdit->viewport()->repaint();
        }
    }
    Settle();
    View().Log().Flush();
    reference.Flush();
    EXPECT_EQ(BuildRtf(*View().LogDocument()), BuildRtf(*reference.Document()));
    EXPECT_EQ(View().LogText(), reference.PlainText());
}
