#include "FrameFixture.h"
#include "app/RtfText.h"
#include "session/SessionCommands.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{

// The colours of a document's text, one letter per character: k black, g green.
QString Colours(const QTextDocument& document)
{
    QString str;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QColor colour = it.fragment().charFormat().foreground().color();
            str += QString(it.fragment().length(), colour == QColor(0, 128, 0) ? u'g' : u'k');
        }
        str += u'|';
    }
    return str;
}

} // namespace

TEST(RtfText, RoundTripKeepsTextParagraphsBreaksAndColours)
{
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    cursor.insertText(QStringLiteral("接收: 10 0B 01 0C 16 {x}\\"), black);
    cursor.insertBlock();
    cursor.insertText(
        QStringLiteral("（链路地址: 1") + QChar(QChar::LineSeparator) + QStringLiteral("ASDU 5）"), green);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("超时"), black);

    const QByteArray abRtf = BuildRtf(source);
    EXPECT_TRUE(abRtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(abRtf.contains("\\fs21"));
    QTextDocument copy;
    ASSERT_TRUE(ReadRtf(abRtf, copy));
    EXPECT_EQ(copy.toPlainText(), source.toPlainText());
    EXPECT_EQ(copy.blockCount(), 3);
    EXPECT_EQ(Colours(copy), Colours(source));
}

TEST(RtfText, ReadsCodePageBytesUnicodeAndSkipsDestinations)
{
    const QByteArray abRtf = "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 \\'cb\\'ce\\'cc\\'e5;}}"
                             "{\\colortbl ;\\red0\\green128\\blue0;}{\\*\\generator x;}"
                             "\\uc1\\pard \\'b7\\'a2\\'cb\\'cd: 01\\par\\cf1 \\u25509?\\u25910?\\par}";
    QTextDocument document;
    ASSERT_TRUE(ReadRtf(abRtf, document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("发送: 01\n接收"));
    EXPECT_EQ(Colours(document), QStringLiteral("kkkkkk|gg|"));
}

TEST(RtfText, RefusesWhatIsNotRtf)
{
    QTextDocument document;
    document.setPlainText(QStringLiteral("keep"));
    EXPECT_FALSE(ReadRtf("hello", document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("keep"));
    EXPECT_TRUE(ReadRtf("{\\rtf1 \\'", document)) << "a cut-off file reads what is there";
    EXPECT_TRUE(ReadRtf("{\\rtf1 }}}}{{{{\\u-1", document));
}

TEST_F(FrameFixture, SaveAndOpenKeepTheLogAndSetTheTitle)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strPath = dir.filePath(QStringLiteral("log.rtf"));
    Choose(ID_SERIAL_CONNECT);
    Choose(32792);
    const QString strText = Frame().LogEdit()->toPlainText();
    ASSERT_FALSE(strText.isEmpty());
    ASSERT_TRUE(Frame().SaveLogFile(strPath));
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("log.rtf - Relvane"));

    Choose(ID_FILE_NEW);
    EXPECT_TRUE(Frame().LogEdit()->toPlainText().isEmpty());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));

    ASSERT_TRUE(Frame().OpenLogFile(strPath));
    EXPECT_EQ(Frame().LogEdit()->toPlainText(), strText);
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("log.rtf - Relvane"));
    EXPECT_EQ(Frame().Document().RecentFiles().value(0), QFileInfo(strPath).absoluteFilePath());
    EXPECT_TRUE(View().PortOpen()) << "opening a log keeps the session";
    Choose(32792);
    EXPECT_TRUE(Frame().LogEdit()->toPlainText().startsWith(strText)) << "new entries follow the opened text";
}

TEST_F(FrameFixture, OpenFailuresAreReportedAndChangeNothing)
{
    std::vector<QString> messages;
    SetMessageHook([&](QWidget*, const QString& strText) { messages.push_back(strText); });
    QTemporaryDir dir;
    const QString strPlain = dir.filePath(QStringLiteral("plain.rtf"));
    {
        QFile file(strPlain);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not rtf");
    }
    Frame().LogEdit()->setPlainText(QStringLiteral("keep"));
    EXPECT_FALSE(Frame().OpenLogFile(dir.filePath(QStringLiteral("missing.rtf"))));
    EXPECT_FALSE(Frame().OpenLogFile(strPlain));
    EXPECT_FALSE(Frame().SaveLogFile(dir.filePath(QStringLiteral("no/such/dir/x.rtf"))));
    SetMessageHook({});
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], QStringLiteral("无法找到该文件。\n请验证给出的路径和文件名是否正确。"));
    EXPECT_EQ(messages[1], QStringLiteral("打开文档失败。"));
    EXPECT_EQ(messages[2], QStringLiteral("保存文档失败。"));
    EXPECT_EQ(Frame().LogEdit()->toPlainText(), QStringLiteral("keep"));
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));
}
