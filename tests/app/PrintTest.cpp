#include "FileSizeLimit.h"
#include "app/CommandLine.h"
#include "app/LogPrinter.h"
#include "rtf/RtfText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using namespace relvane;

TEST(CommandLine, PrintSwitchesAndFiles)
{
    using EPrint = CCommandLine::EPrint;
    const struct
    {
        QStringList args;
        EPrint ePrint;
        QString strFile;
        QString strPrinter;
        bool bError;
    } kCases[] = {
        {{}, EPrint::None, {}, {}, false},
        {{"/home/x/log.rtf"}, EPrint::None, "/home/x/log.rtf", {}, false},
        {{"/p", "a.rtf"}, EPrint::DefaultPrinter, "a.rtf", {}, false},
        {{"a.rtf", "/P"}, EPrint::DefaultPrinter, "a.rtf", {}, false},
        {{"-p", "a.rtf"}, EPrint::DefaultPrinter, "a.rtf", {}, false},
        {{"--print", "a.rtf"}, EPrint::DefaultPrinter, "a.rtf", {}, false},
        {{"/pt", "a.rtf", "laser", "drv", "LPT1:"}, EPrint::NamedPrinter, "a.rtf", "laser", false},
        {{"/pt", "a.rtf", "laser"}, EPrint::NamedPrinter, "a.rtf", "laser", true},
        {{"--print-to-pdf", "out.pdf", "a.rtf"}, EPrint::PdfFile, "a.rtf", {}, false},
        {{"--print-to-pdf"}, EPrint::PdfFile, {}, {}, true},
        {{"/p"}, EPrint::DefaultPrinter, {}, {}, true},
        {{"--bogus", "a.rtf"}, EPrint::None, "a.rtf", {}, true},
    };
    for (const auto& testCase : kCases)
    {
        const CCommandLine line = ParseCommandLine(testCase.args);
        const std::string strName = testCase.args.join(u' ').toStdString();
        EXPECT_EQ(line.ePrint, testCase.ePrint) << strName;
        EXPECT_EQ(line.strFile, testCase.strFile) << strName;
        EXPECT_EQ(line.strPrinter, testCase.strPrinter) << strName;
        EXPECT_EQ(!line.strError.isEmpty(), testCase.bError) << strName;
    }
    EXPECT_EQ(ParseCommandLine({"--print-to-pdf", "out.pdf", "a.rtf"}).strPdfFile, QStringLiteral("out.pdf"));
}

namespace
{

// Runs the workbench as a script would, with no screen and settings in a throw-away place.
int RunWorkbench(const QStringList& args, const QString& strHome, QString* pStdErr = nullptr)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(pszName));
    env.insert(QStringLiteral("HOME"), strHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), strHome);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RELVANE_EXECUTABLE), args);
    if (!process.waitForFinished(60000))
        return -1;
    if (pStdErr != nullptr)
        *pStdErr = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString RunTool(const QString& strTool, const QStringList& args)
{
    const QString strPath = QStandardPaths::findExecutable(strTool);
    EXPECT_FALSE(strPath.isEmpty()) << strTool.toStdString() << " (poppler-utils) is missing";
    QProcess process;
    process.start(strPath, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

TEST(CommandLine, PrintsToPdfWithHalfInchMarginsColoursAndNoPageNumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QTextDocument log;
    QTextCursor cursor(&log);
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    // Enough lines for two pages, so that a page number would show on each.
    for (int n = 0; n < 80; ++n)
    {
        if (n > 0)
            cursor.insertBlock();
        cursor.insertText(QStringLiteral("发送: 10 49 01 4A 16 "), black);
        cursor.insertBlock();
        cursor.insertText(QStringLiteral(" (链路地址 %1) ").arg(n), green);
    }
    const QString strLog = dir.filePath(QStringLiteral("log.rtf"));
    QFile file(strLog);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(BuildRtf(log));
    file.close();

    const QString strPdf = dir.filePath(QStringLiteral("log.pdf"));
    ASSERT_EQ(RunWorkbench({QStringLiteral("--print-to-pdf"), strPdf, strLog}, dir.path()), 0);

    const QString strBoxes =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), strPdf, QStringLiteral("-")});
    static const QRegularExpression kWord(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re"));
    QStringList words;
    int nPages = 0;
    double dFirstX = -1;
    double dFirstY = -1;
    for (const QString& strLine : strBoxes.split(u'\n'))
    {
        if (strLine.contains(QStringLiteral("<page ")))
            ++nPages;
        const QRegularExpressionMatch match = kWord.match(strLine);
        if (!match.hasMatch())
            continue;
        if (dFirstX < 0)
        {
            dFirstX = match.captured(1).toDouble();
            dFirstY = match.captured(2).toDouble();
        }
        words << match.captured(3);
    }
    EXPECT_GE(nPages, 2);
    EXPECT_NEAR(dFirstX, 36.0, 2.0);
    EXPECT_NEAR(dFirstY, 36.0, 2.0);
    // Every word on the paper is a word of the log: no page numbers.
    QStringList logWords =
        log.toPlainText().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    EXPECT_EQ(words.join(u' ').toStdString(), logWords.join(u' ').toStdString());

    // The annotations keep their dark green.
    RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), strPdf, dir.filePath(QStringLiteral("page"))});
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(page.isNull());
    int nGreen = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
        {
            const QColor colour = page.pixelColor(x, y);
            nGreen += colour.green() > colour.red() + 40 && colour.green() > colour.blue() + 40 ? 1 : 0;
        }
    EXPECT_GT(nGreen, 100);
}

TEST(CommandLine, PrintOfAMissingFileSaysSoAndFails)
{
    QTemporaryDir dir;
    QString strError;
    EXPECT_EQ(RunWorkbench({QStringLiteral("/p"), dir.filePath(QStringLiteral("missing.rtf"))}, dir.path(),
                           &strError),
              1);
    EXPECT_TRUE(strError.contains(QStringLiteral("无法找到该文件。"))) << strError.toStdString();
    EXPECT_EQ(RunWorkbench({QStringLiteral("/pt"), QStringLiteral("a.rtf")}, dir.path()), 2);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing.pdf"))));
}

TEST(LogPrinter, PrintsThePageRangeOfThePrintDialog)
{
    QTemporaryDir dir;
    QTextDocument log;
    QTextCursor cursor(&log);
    for (int n = 0; n < 200; ++n)
        cursor.insertText(QStringLiteral("line %1\n").arg(n));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("range.pdf")));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    ASSERT_TRUE(PrintLogDocument(log, printer));
    const QString strText =
        RunTool(QStringLiteral("pdftotext"), {printer.outputFileName(), QStringLiteral("-")});
    EXPECT_FALSE(strText.contains(QStringLiteral("line 0\n"))) << strText.toStdString();
    EXPECT_TRUE(strText.contains(QStringLiteral("line 100\n"))) << strText.toStdString();
    EXPECT_FALSE(strText.contains(QStringLiteral("line 199\n"))) << strText.toStdString();
    EXPECT_EQ(strText.count(u'\f'), 1) << "one page";
}

// A PDF that cannot be written whole (a file-size limit: a short write, then EFBIG; a full disk)
// leaves the old file, says why and ends with 1; so does a log that is no regular file, at once.
TEST(CommandLine, PrintToPdfThatCannotBeWrittenWholeOrReadFails)
{
    QTemporaryDir dir;
    const QString strLog = dir.filePath(QStringLiteral("log.rtf"));
    {
        QTextDocument log;
        QTextCursor(&log).insertText(QStringLiteral("发送: 10 49 01 4A 16 \n").repeated(200));
        QFile file(strLog);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(BuildRtf(log));
    }
    const QString strOld = dir.filePath(QStringLiteral("old.pdf"));
    {
        QFile file(strOld);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    const QString strPipe = dir.filePath(QStringLiteral("pipe.rtf"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    // A pipe nobody reads as the PDF: refused at once instead of waiting for ever.
    const QString strPipeOut = dir.filePath(QStringLiteral("fifo-target"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipeOut).constData(), 0600), 0);
    const struct
    {
        QString strPdf;
        QString strLog;
        rlim_t nLimit; // 0: none
        QString strMessage;
    } kCases[] = {
        {strOld, strLog, 4096, QStringLiteral("保存文档失败。")},
        {QStringLiteral("/dev/full"), strLog, 0, QStringLiteral("目的磁盘驱动器已满。")},
        {strOld, QStringLiteral("/dev/zero"), 0, QStringLiteral("打开文档失败。")},
        {strOld, strPipe, 0, QStringLiteral("打开文档失败。")},
        {strPipeOut, strLog, 0, QStringLiteral("保存文档失败。")},
    };
    for (const auto& testCase : kCases)
    {
        QString strError;
        int nStatus = -1;
        {
            std::unique_ptr<test::CFileSizeLimit> pLimit;
            if (testCase.nLimit != 0)
                pLimit = std::make_unique<test::CFileSizeLimit>(testCase.nLimit);
            nStatus = RunWorkbench({QStringLiteral("--print-to-pdf"), testCase.strPdf, testCase.strLog}, dir.path(),
                                   &strError);
        }
        EXPECT_EQ(nStatus, 1) << testCase.strLog.toStdString();
        EXPECT_TRUE(strError.contains(testCase.strMessage)) << strError.toStdString();
    }
    QFile old(strOld);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.pdf")});
}

// A paragraph is laid out a piece at a time; every character of a word that never ends (and
// would take a text layout time growing with the square of its length) is printed.
TEST(LogPrinter, PrintsEveryCharacterOfAnEndlessWord)
{
    QTemporaryDir dir;
    QTextDocument log;
    QTextCursor cursor(&log);
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    cursor.insertText(QString(12000, u'A'));
    cursor.insertText(QString(8000, u'B'), green);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("end"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("word.pdf")));
    ASSERT_TRUE(PrintLogDocument(log, printer));
    QString strText = RunTool(QStringLiteral("pdftotext"), {printer.outputFileName(), QStringLiteral("-")});
    strText.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_EQ(strText, QString(12000, u'A') + QString(8000, u'B') + QStringLiteral("end"));
}

// A screenshot run ends by itself even when its demonstration left entries in the log: no one is
// there to answer the question before unsaved entries are dropped.
TEST(CommandLine, ScreenshotOfADemonstrationEndsWithoutAQuestion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strPng = dir.filePath(QStringLiteral("demo.png"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RELVANE_EXECUTABLE),
                  {QStringLiteral("--demo-mode"), QStringLiteral("103"), QStringLiteral("--screenshot"), strPng});
    const bool bEnded = process.waitForFinished(60000);
    if (!bEnded)
        process.kill();
    ASSERT_TRUE(bEnded) << "the screenshot run waited for an answer";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_FALSE(QImage(strPng).isNull());
}
