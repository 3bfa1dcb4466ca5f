#include "rtf/RtfText.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace relvane;

namespace
{

// One letter per character of the document: k black, g green, r red, b blue, ? other.
QString ColourLetters(const QTextDocument& document)
{
    QString str;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QColor colour = it.fragment().charFormat().foreground().color();
            QChar c = u'?';
            if (colour == QColor(0, 0, 0))
                c = u'k';
            else if (colour == QColor(0, 128, 0))
                c = u'g';
            else if (colour == QColor(255, 0, 0))
                c = u'r';
            else if (colour == QColor(0, 0, 255))
                c = u'b';
            str += QString(it.fragment().length(), c);
        }
        str += u'|';
    }
    return str;
}

QString ReadText(const QByteArray& abRtf)
{
    QTextDocument document;
    EXPECT_TRUE(ReadRtf(abRtf, document));
    // The raw text keeps no-break spaces; paragraph ends as line feeds.
    return document.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

const char kFonts1252[] = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                          "{\\f1\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}{\\f2\\fnil\\fcharset136 MingLiU;}"
                          "{\\f3\\fnil\\cpg936\\fcharset0 X;}}";

} // namespace

TEST(RtfReader, ReadsWhatOtherWritersProduce)
{
    const struct
    {
        const char* pszName;
        QByteArray abBody; // after the font table of kFonts1252 unless it starts the file itself
        QString strText;
    } kCases[] = {
        {"font charset chooses the code page", "\\f1 \\'b7\\'a2\\'cb\\'cd\\f0  caf\\'e9\\par}",
         QStringLiteral("发送 café")},
        {"default font's charset",
         "{\\rtf1\\ansi\\ansicpg1252\\deff1{\\fonttbl{\\f0\\fcharset0 A;}"
         "{\\f1\\fcharset134 B;}}\\'b7\\'a2{\\f0 \\'e9}\\plain \\'cb\\'cd}",
         QStringLiteral("发é送")},
        {"traditional Chinese font", "\\f2 \\'b5\\'6f\\par}", QStringLiteral("發")},
        {"explicit code page of a font wins", "\\f3 \\'b7\\'a2}", QStringLiteral("发")},
        {"Unicode with two GBK fallback bytes", "\\uc2\\u21457\\'b7\\'a2\\u-28671\\'cb\\'cd!}",
         QStringLiteral("发送!")},
        {"symbol word as a Unicode fallback", "\\uc1\\u8220\\ldblquote x}", QStringLiteral("“x")},
        {"plain fallback characters, and text after them", "\\uc2\\u21457ab\\u-28671\\'cb\\'cdcd}",
         QStringLiteral("发送cd")},
        {"hex in capitals; a broken hex escape", "\\f1 \\'B7\\'A2\\'g1x\\'b}", QStringLiteral("发x")},
        {"a carriage return before a paragraph end", "a\\u13 \\par b}", QStringLiteral("a\n\nb")},
        {"binary data inside a picture", "a{\\*\\blipuid 1}{\\pict\\bin6 }{\\}x}}b\\par}",
         QStringLiteral("ab")},
        {"binary data in the text", "a\\bin3 {{{b}", QStringLiteral("ab")},
        {"binary data cut off", "a\\bin99 xyz", QStringLiteral("a")},
        {"quotes, dashes and bullets",
         "\\ldblquote x\\rdblquote  \\lquote y\\rquote  a\\emdash b\\endash c\\bullet  d\\_e\\~f\\par}",
         QStringLiteral("“x” ‘y’ a—b–c• d‑e\u00A0f")},
        {"page and section breaks end paragraphs", "one\\page two\\sect three\\par}",
         QStringLiteral("one\ntwo\nthree")},
        {"escaped line end is a paragraph end", "one\\\r\ntwo}", QStringLiteral("one\ntwo")},
        {"groups nested beyond any writer's depth",
         "a" + QByteArray(5000, '{') + "\\cf1 b" + QByteArray(5000, '}') + "c}", QStringLiteral("abc")},
    };
    for (const auto& testCase : kCases)
    {
        const QByteArray abRtf =
            testCase.abBody.startsWith("{\\rtf") ? testCase.abBody : QByteArray(kFonts1252) + testCase.abBody;
        EXPECT_EQ(ReadText(abRtf), testCase.strText) << testCase.pszName;
    }
}

TEST(RtfReader, ColourZeroIsTheTablesFirstEntryUnlessThatIsEmpty)
{
    const struct
    {
        const char* pszName;
        QByteArray abRtf;
        QString strColours;
    } kCases[] = {
        {"no leading empty entry",
         "{\\rtf1{\\colortbl\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
         "\\cf0 a\\cf1 b\\cf2 c\\cf d}",
         QStringLiteral("rbkr|")},
        {"leading empty entry",
         "{\\rtf1{\\colortbl;\\red0\\green128\\blue0;}\\cf0 a\\cf1 b{\\cf0 c}\\plain d}",
         QStringLiteral("kgkk|")},
        {"no table", "{\\rtf1\\cf3 a\\cf0 b}", QStringLiteral("kk|")},
    };
    for (const auto& testCase : kCases)
    {
        QTextDocument document;
        ASSERT_TRUE(ReadRtf(testCase.abRtf, document)) << testCase.pszName;
        EXPECT_EQ(ColourLetters(document), testCase.strColours) << testCase.pszName;
    }
}

TEST(RtfWriter, WritesGbkFallbacksAndReadsBackToTheSameBytes)
{
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    cursor.insertText(QStringLiteral("发送: 10 {€} ‑ ") + QString::fromUtf8("\xF0\x9F\x98\x80"), black);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral(" (\u2028链路) "), green);

    const QByteArray abRtf = BuildRtf(source);
    EXPECT_TRUE(abRtf.contains("\\uc2\\pard"));
    EXPECT_TRUE(
        abRtf.contains("\\u21457\\'b7\\'a2\\u-28671\\'cb\\'cd: 10 \\{{\\uc1\\u8364\\'80}\\} \\u8209?? "
                       "\\u-10179??\\u-8704??"));
    EXPECT_TRUE(abRtf.contains("\\cf2  (\\line \\u-27394\\'c1\\'b4\\u-29201\\'c2\\'b7) "));

    QTextDocument copy;
    ASSERT_TRUE(ReadRtf(abRtf, copy));
    EXPECT_EQ(copy.toPlainText(), source.toPlainText());
    EXPECT_EQ(ColourLetters(copy), ColourLetters(source));
    EXPECT_EQ(BuildRtf(copy), abRtf);

    // A reader without Unicode support sees the GBK bytes: drop every \uN and decode the rest.
    QByteArray abLegacy = abRtf;
    abLegacy.replace("\\uc2", "\\uc0");
    EXPECT_EQ(ReadText(abLegacy.replace("\\u", "\\x")).left(11), QStringLiteral("发送: 10 {€} "));
}

namespace
{
// Converts with LibreOffice, as a user's script would; the converted file's text or nothing.
QByteArray ConvertWithOffice(const QString& strOffice, const QString& strFile, const QString& strFilter,
                             const QString& strOutDir)
{
    QProcess office;
    office.start(strOffice,
                 {QStringLiteral("-env:UserInstallation=file://") + strOutDir + QStringLiteral("/profile"),
                  QStringLiteral("--headless"), QStringLiteral("--convert-to"), strFilter,
                  QStringLiteral("--outdir"), strOutDir, strFile});
    office.waitForFinished(180000);
    QDir dir(strOutDir);
    const QStringList files = dir.entryList({QStringLiteral("log.*")}, QDir::Files);
    QFile converted(dir.filePath(files.value(0)));
    return converted.open(QIODevice::ReadOnly) ? converted.readAll() : QByteArray();
}
} // namespace

// LibreOffice, where installed, reads our files with their Chinese text and colours, and we read
// what it writes back.
TEST(RtfWriter, LibreOfficeReadsTheLogAndWeReadItsRtf)
{
    QString strOffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (strOffice.isEmpty())
        strOffice = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (strOffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCharFormat green;
    green.setForeground(QColor(0, 128, 0));
    cursor.insertText(QStringLiteral("发送: 10 49 01 4A 16 "), black);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral(" (链路地址: 1) “确定” "), green);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("超时"), black);
    const QString strRtf = dir.filePath(QStringLiteral("log.rtf"));
    QFile file(strRtf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(BuildRtf(source));
    file.close();

    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("txt")) &&
                QDir(dir.path()).mkpath(QStringLiteral("rtf")));
    QString strText = QString::fromUtf8(ConvertWithOffice(
        strOffice, strRtf, QStringLiteral("txt:Text (encoded):UTF8"), dir.filePath(QStringLiteral("txt"))));
    strText.remove(QChar(0xFEFF));
    strText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(strText.trimmed().toStdString(), source.toPlainText().trimmed().toStdString());

    const QByteArray abOffice =
        ConvertWithOffice(strOffice, strRtf, QStringLiteral("rtf"), dir.filePath(QStringLiteral("rtf")));
    QTextDocument copy;
    ASSERT_TRUE(ReadRtf(abOffice, copy));
    EXPECT_EQ(copy.toPlainText().trimmed().toStdString(), source.toPlainText().trimmed().toStdString());
    EXPECT_TRUE(ColourLetters(copy).contains(QStringLiteral("gggggggggg")))
        << ColourLetters(copy).toStdString();
}

// A word longer than kLongestWord characters gets a line break after each kLongestWord of them,
// across colour runs, so that laying it out costs linear time; every character stays, and
// spaces, line ends and Han ideographs end a word, no-break spaces and CJK punctuation do not.
TEST(RtfText, BreaksEndlessWordsKeepingEveryCharacter)
{
    const QString strBreak(QChar::LineSeparator);
    const QString strWord(kLongestWord, u'A');
    const struct
    {
        QByteArray abRtf;
        QString strText;
    } kCases[] = {
        {"{\\rtf1 " + QByteArray(kLongestWord, 'A') + "}", strWord},
        {"{\\rtf1 " + QByteArray(2 * kLongestWord + 5, 'A') + "}",
         strWord + strBreak + strWord + strBreak + QStringLiteral("AAAAA")},
        {"{\\rtf1{\\colortbl;\\red0\\green128\\blue0;}" + QByteArray(kLongestWord - 1, 'A') + "\\cf1 BB}",
         QString(kLongestWord - 1, u'A') + QStringLiteral("B") + strBreak + QStringLiteral("B")},
        {"{\\rtf1 " + QByteArray(kLongestWord, 'A') + " " + QByteArray(kLongestWord, 'A') + "}",
         strWord + QStringLiteral(" ") + strWord},
        {"{\\rtf1 " + QByteArray(kLongestWord, 'A') + "\\u26102?" + QByteArray(kLongestWord, 'A') + "}",
         strWord + QStringLiteral("时") + strWord},
        // No-break spaces and CJK punctuation glue to their neighbours: long runs of them are broken.
        {"{\\rtf1 " + QByteArray("x\\u160?").repeated(kLongestWord) + "}",
         QStringLiteral("x\u00A0").repeated(kLongestWord / 2) + strBreak + QStringLiteral("x\u00A0").repeated(kLongestWord / 2)},
        {"{\\rtf1 " + QByteArray("\\u12289?").repeated(kLongestWord + 1) + "}",
         QString(kLongestWord, QChar(0x3001)) + strBreak + QChar(0x3001)},
    };
    for (const auto& testCase : kCases)
    {
        QTextDocument document;
        ASSERT_TRUE(ReadRtf(testCase.abRtf, document));
        EXPECT_EQ(document.toRawText(), testCase.strText) << testCase.abRtf.left(60).toStdString();
    }
}
