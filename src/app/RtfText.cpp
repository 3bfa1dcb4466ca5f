#include "app/RtfText.h"

#include <QColor>
#include <QList>
#include <QStringDecoder>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace relvane
{

namespace
{

void AppendEscaped(QByteArray& abOut, const QString& strText)
{
    for (const QChar ch : strText)
    {
        const char16_t c = ch.unicode();
        if (c == u'\\' || c == u'{' || c == u'}')
        {
            abOut += '\\';
            abOut += static_cast<char>(c);
        }
        else if (c == QChar::LineSeparator || c == u'\n')
            abOut += "\\line ";
        else if (c == u'\t')
            abOut += "\\tab ";
        else if (c == QChar::Nbsp)
            abOut += "\\~";
        else if (c >= 0x20 && c < 0x80)
            abOut += static_cast<char>(c);
        else if (c < 0x20)
            continue; // other control characters have no place in the log text
        else
        {
            // \uN takes a signed 16-bit number; one '?' stands in for readers without Unicode.
            // Written in place: a log holds millions of these.
            char szNumber[8];
            const auto result = std::to_chars(szNumber, szNumber + sizeof szNumber,
                                              static_cast<int>(static_cast<std::int16_t>(c)));
            abOut += "\\u";
            abOut.append(szNumber, result.ptr - szNumber);
            abOut += '?';
        }
    }
}

// State of one RTF group while reading.
struct CGroupState
{
    int nColour = 0;
    int nSkipAfterUnicode = 1;
    bool bSkip = false;
};

} // namespace

QByteArray BuildRtf(const QTextDocument& document)
{
    // Colour table: entry 0 is the automatic colour, the others as they occur.
    QList<QRgb> colours;
    auto colourIndex = [&colours](const QColor& colour)
    {
        const QRgb rgb = colour.rgb();
        qsizetype n = colours.indexOf(rgb);
        if (n < 0)
        {
            colours.append(rgb);
            n = colours.size() - 1;
        }
        return static_cast<int>(n + 1);
    };

    QByteArray abBody;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            const QColor colour =
                format.foreground().style() != Qt::NoBrush ? format.foreground().color() : QColor(Qt::black);
            abBody += "\\cf";
            abBody += QByteArray::number(colourIndex(colour));
            abBody += ' ';
            AppendEscaped(abBody, fragment.text());
        }
        if (block.next().isValid())
            abBody += "\\par\r\n";
    }

    QByteArray abOut = "{\\rtf1\\ansi\\ansicpg936\\deff0"
                       "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n{\\colortbl ;";
    for (const QRgb rgb : colours)
        abOut += QByteArray("\\red") + QByteArray::number(qRed(rgb)) + "\\green" +
                 QByteArray::number(qGreen(rgb)) + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
    abOut += "}\r\n\\uc1\\pard\\f0\\fs21 ";
    abOut += abBody;
    abOut += "\\par\r\n}\r\n";
    return abOut;
}

bool ReadRtf(const QByteArray& abRtf, QTextDocument& document)
{
    if (!abRtf.startsWith("{\\rtf"))
        return false;

    QString strPending;
    struct CRun
    {
        QString strText;
        int nColour = 0;
    };
    std::vector<CRun> runs;
    QList<QColor> colourTable;
    QByteArray abCodePage = "GBK";
    QByteArray abBytes; // \'hh bytes waiting to be decoded together
    std::vector<CGroupState> stack{CGroupState{}};
    bool bInColourTable = false;
    std::size_t nColourTableDepth = 0;
    int nRed = 0;
    int nGreen = 0;
    int nBlue = 0;
    int nPendingSkip = 0; // characters to drop after a \uN

    auto flushBytes = [&]
    {
        if (abBytes.isEmpty())
            return;
        // ASCII reads the same in every code page: only other bytes need a decoder, whose set-up
        // costs more than a whole line of log text.
        if (std::all_of(abBytes.cbegin(), abBytes.cend(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            strPending += QString::fromLatin1(abBytes);
        else
        {
            QStringDecoder decoder(abCodePage.constData());
            strPending += decoder.isValid() ? decoder.decode(abBytes) : QString::fromLatin1(abBytes);
        }
        abBytes.clear();
    };
    auto emitText = [&](const QString& strText)
    {
        flushBytes();
        strPending += strText;
    };
    auto closeRun = [&]
    {
        flushBytes();
        if (strPending.isEmpty())
            return;
        const int nColour = stack.back().nColour;
        if (!runs.empty() && runs.back().nColour == nColour)
            runs.back().strText += strPending;
        else
            runs.push_back({strPending, nColour});
        strPending.clear();
    };

    const qsizetype nSize = abRtf.size();
    qsizetype i = 0;
    while (i < nSize)
    {
        const char c = abRtf[i];
        if (c == '{')
        {
            closeRun();
            stack.push_back(stack.back());
            ++i;
            continue;
        }
        if (c == '}')
        {
            closeRun();
            if (bInColourTable && stack.size() <= nColourTableDepth)
                bInColourTable = false;
            if (stack.size() > 1)
                stack.pop_back();
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n')
        {
            ++i;
            continue;
        }
        if (c != '\\')
        {
            if (bInColourTable && c == ';')
            {
                colourTable.append(QColor(nRed, nGreen, nBlue));
                nRed = nGreen = nBlue = 0;
            }
            else if (!stack.back().bSkip && !bInColourTable)
            {
                if (nPendingSkip > 0)
                    --nPendingSkip;
                else
                    abBytes += c;
            }
            ++i;
            continue;
        }
        // A control symbol or word.
        ++i;
        if (i >= nSize)
            break;
        const char s = abRtf[i];
        if (s == '\\' || s == '{' || s == '}')
        {
            if (!stack.back().bSkip)
            {
                if (nPendingSkip > 0)
                    --nPendingSkip;
                else
                    abBytes += s;
            }
            ++i;
            continue;
        }
        if (s == '\'')
        {
            const QByteArray abHex = abRtf.mid(i + 1, 2);
            i += 3;
            bool bOk = false;
            const int nByte = abHex.toInt(&bOk, 16);
            if (bOk && !stack.back().bSkip)
            {
                if (nPendingSkip > 0)
                    --nPendingSkip;
                else
                    abBytes += static_cast<char>(nByte);
            }
            continue;
        }
        if (s == '*')
        {
            stack.back().bSkip = true;
            ++i;
            continue;
        }
        if (s == '~')
        {
            if (!stack.back().bSkip)
                emitText(QString(QChar::Nbsp));
            ++i;
            continue;
        }
        if (!((s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z')))
        {
            ++i; // other control symbols carry nothing for the log
            continue;
        }
        qsizetype nStart = i;
        while (i < nSize && ((abRtf[i] >= 'a' && abRtf[i] <= 'z') || (abRtf[i] >= 'A' && abRtf[i] <= 'Z')))
            ++i;
        const QByteArray abWord = abRtf.mid(nStart, i - nStart);
        bool bHasParam = false;
        long long nParam = 0;
        nStart = i;
        if (i < nSize && (abRtf[i] == '-' || (abRtf[i] >= '0' && abRtf[i] <= '9')))
        {
            ++i;
            while (i < nSize && abRtf[i] >= '0' && abRtf[i] <= '9' && i - nStart < 11)
                ++i;
            nParam = abRtf.mid(nStart, i - nStart).toLongLong(&bHasParam);
        }
        if (i < nSize && abRtf[i] == ' ')
            ++i;

        CGroupState& state = stack.back();
        if (abWord == "fonttbl" || abWord == "stylesheet" || abWord == "info" || abWord == "pict" ||
            abWord == "header" || abWord == "footer" || abWord == "object" || abWord == "listtable")
        {
            state.bSkip = true;
            continue;
        }
        if (abWord == "colortbl")
        {
            bInColourTable = true;
            nColourTableDepth = stack.size();
            continue;
        }
        if (bInColourTable)
        {
            if (abWord == "red")
                nRed = static_cast<int>(nParam);
            else if (abWord == "green")
                nGreen = static_cast<int>(nParam);
            else if (abWord == "blue")
                nBlue = static_cast<int>(nParam);
            continue;
        }
        if (state.bSkip)
            continue;
        if (abWord == "ansicpg" && bHasParam)
        {
            abCodePage = nParam == 936 ? QByteArray("GBK") : "windows-" + QByteArray::number(nParam);
        }
        else if (abWord == "uc" && bHasParam)
            state.nSkipAfterUnicode = static_cast<int>(std::max<long long>(nParam, 0));
        else if (abWord == "u" && bHasParam)
        {
            emitText(QString(QChar(static_cast<char16_t>(static_cast<std::uint16_t>(nParam)))));
            nPendingSkip = state.nSkipAfterUnicode;
            continue;
        }
        else if (abWord == "cf")
        {
            closeRun();
            state.nColour = bHasParam ? static_cast<int>(nParam) : 0;
        }
        else if (abWord == "par")
            emitText(QStringLiteral("\n"));
        else if (abWord == "line")
            emitText(QString(QChar::LineSeparator));
        else if (abWord == "tab")
            emitText(QStringLiteral("\t"));
        nPendingSkip = 0;
    }
    closeRun();

    // The last \par ends the last paragraph; the document has one of its own.
    if (!runs.empty() && runs.back().strText.endsWith(u'\n'))
    {
        runs.back().strText.chop(1);
        if (runs.back().strText.isEmpty())
            runs.pop_back();
    }

    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (const CRun& run : runs)
    {
        QTextCharFormat format;
        // Entry 0 of the table is the automatic colour (black for the log).
        const QColor colour = run.nColour >= 1 && run.nColour < colourTable.size() ? colourTable[run.nColour]
                                                                                   : QColor(Qt::black);
        format.setForeground(colour);
        // One insertion per run: the cursor starts a paragraph at every paragraph separator.
        cursor.insertText(QString(run.strText).replace(u'\n', QChar::ParagraphSeparator), format);
    }
    cursor.endEditBlock();
    return true;
}

} // namespace relvane
