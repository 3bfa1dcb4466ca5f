#include "FileSizeLimit.h"
#include "FrameFixture.h"
#include "app/RelvaneDoc.h"
#include "rtf/RtfText.h"
#include "session/LogDocument.h"
#include "session/SessionCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>
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
    EXPECT_EQ(messages[1], QStringLiteral("打开文档失败。\n") + QDir::toNativeSeparators(strPlain)) << "named";
    EXPECT_EQ(messages[2], QStringLiteral("保存文档失败。"));
    EXPECT_EQ(Frame().LogEdit()->toPlainText(), QStringLiteral("keep"));
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));
}

// A save that comes up short (a file-size limit: a short write, then EFBIG) or meets a full disk
// keeps the old file, says why, and the title does not say saved.
TEST_F(FrameFixture, SaveThatCannotBeWrittenWholeKeepsTheOldFileAndSaysWhy)
{
    std::vector<QString> messages;
    SetMessageHook([&](QWidget*, const QString& strText) { messages.push_back(strText); });
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("log.rtf"));
    Frame().LogEdit()->setPlainText(QStringLiteral("first"));
    ASSERT_TRUE(Frame().SaveLogFile(strPath));
    QFile saved(strPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray abOld = saved.readAll();
    saved.close();
    Choose(ID_FILE_NEW);
    Frame().LogEdit()->setPlainText(QStringLiteral("发送: 10 49 01 4A 16 \n").repeated(3000));
    {
        test::CFileSizeLimit limit(16384);
        EXPECT_FALSE(Frame().SaveLogFile(strPath));
    }
    EXPECT_FALSE(Frame().SaveLogFile(QStringLiteral("/dev/full")));
    SetMessageHook({});
    EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("保存文档失败。"), QStringLiteral("目的磁盘驱动器已满。")}));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), abOld);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("log.rtf")});
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));
}

// Saving onto a pipe is refused at once (nobody may ever read it); saving onto a link to a file
// that does not exist yet makes that file and keeps the link.
TEST_F(FrameFixture, SavingOntoAPipeIsRefusedAndALinkIsWrittenThrough)
{
    QTemporaryDir dir;
    const QString strPipe = dir.filePath(QStringLiteral("pipe.rtf"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    std::vector<QString> messages;
    SetMessageHook([&](QWidget*, const QString& strText) { messages.push_back(strText); });
    Frame().LogEdit()->setPlainText(QStringLiteral("keep"));
    EXPECT_FALSE(Frame().SaveLogFile(strPipe));
    SetMessageHook({});
    EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("保存文档失败。")});

    const QString strLink = dir.filePath(QStringLiteral("link.rtf"));
    ASSERT_TRUE(QFile::link(QStringLiteral("target.rtf"), strLink));
    ASSERT_TRUE(Frame().SaveLogFile(strLink));
    EXPECT_TRUE(QFileInfo(strLink).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("target.rtf"))));
}

// Devices, pipes and folders are refused at once: /dev/zero never ends, a pipe without a writer
// never answers.
TEST_F(FrameFixture, OnlyRegularFilesOpenAsLogs)
{
    QTemporaryDir dir;
    const QString strPipe = dir.filePath(QStringLiteral("pipe.rtf"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    Frame().LogEdit()->setPlainText(QStringLiteral("keep"));
    for (const QString& strPath : {QStringLiteral("/dev/zero"), strPipe, dir.path()})
    {
        std::vector<QString> messages;
        SetMessageHook([&](QWidget*, const QString& strText) { messages.push_back(strText); });
        EXPECT_FALSE(Frame().OpenLogFile(strPath)) << strPath.toStdString();
        SetMessageHook({});
        EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("打开文档失败。\n") + QDir::toNativeSeparators(strPath)})
            << strPath.toStdString();
    }
    EXPECT_EQ(Frame().LogEdit()->toPlainText(), QStringLiteral("keep"));
}

// Saving and opening agree on the largest file: the largest log under the limit is saved and
// opens again whole; one entry more is saved after a warning naming both sizes, and opening that
// file is refused with the same sizes, the log staying as it was.
TEST(RelvaneDoc, TheLargestLogSavedOpensAgainAndALargerOneIsNamedBySize)
{
    constexpr qint64 kLimit = 64 * 1024;
    CLogDocument log;
    CRelvaneDoc doc(log, kLimit);
    auto AddEntry = [&log](int n)
    {
        log.AppendText("接收: 10 20 01 21 16 \r\n", false);
        log.AppendText(" (\n链路地址: " + std::to_string(n) + ") \r\n", true);
        log.Flush();
    };
    int nEntries = 0;
    for (; BuildRtf(*log.Document()).size() <= kLimit; ++nEntries)
        AddEntry(nEntries);
    // One entry too many: build the largest log under the limit again.
    log.Clear();
    for (int n = 0; n < nEntries - 1; ++n)
        AddEntry(n);
    const std::string strLargest = log.PlainText();
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("largest.rtf"));
    QString strError;
    std::vector<QString> warnings;
    auto Warn = [&warnings](const QString& strText) { warnings.push_back(strText); };
    ASSERT_TRUE(doc.OnSaveDocument(strPath, strError, Warn)) << strError.toStdString();
    EXPECT_TRUE(warnings.empty());
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnOpenDocument(strPath, strError)) << strError.toStdString();
    EXPECT_EQ(log.PlainText(), strLargest);

    AddEntry(nEntries);
    const qint64 nBytes = BuildRtf(*log.Document()).size();
    ASSERT_TRUE(doc.OnSaveDocument(strPath, strError, Warn));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], CRelvaneDoc::TooBigText(nBytes, kLimit));
    EXPECT_EQ(QFileInfo(strPath).size(), nBytes);
    EXPECT_TRUE(warnings[0].contains(QString::number(nBytes)) && warnings[0].contains(QString::number(kLimit)));
    doc.OnNewDocument();
    EXPECT_FALSE(doc.OnOpenDocument(strPath, strError));
    EXPECT_EQ(strError, QStringLiteral("打开文档失败。\n") + QDir::toNativeSeparators(strPath) + u'\n' +
                            CRelvaneDoc::TooBigText(nBytes, kLimit));
    EXPECT_EQ(log.PlainText(), "");
}
