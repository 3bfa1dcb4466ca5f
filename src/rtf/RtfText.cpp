#include "rtf/RtfText.h"

#include "common/LongWordGuard.h"
#include "rtf/RtfCodePage.h"

#include <QColor>
#include <QList>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <vector>


namespace relvane
{

namespace
{

// GBK bytes of one UTF-16 unit for readers without Unicode support, looked up once per character:
// the low 16 bits hold the bytes (first byte high), the top byte their count (0: none in GBK).
class CGbkFallback
{
public:
    CGbkFallback() : m_table(0x10000, kUnknown) {}

    // Number of bytes (0 to 2) put into abBytes.
    int Bytes(char16_t c, char (&abBytes)[2])
    {
        std::uint32_t& nEntry = m_table[c];
        if (nEntry == kUnknown)
        {
            QByteArray abEncoded;
            const bool bEncoded = EncodeGbk(c, abEncoded);
            nEntry = 0;
            if (bEncoded && (abEncoded.size() == 1 || abEncoded.size() == 2))
            {
                nEntry = static_cast<std::uint32_t>(abEncoded.size()) << 24;
                for (const char b : abEncoded)
                    nEntry = (nEntry & 0xFF000000u) | ((nEntry & 0xFFu) << 8) | static_cast<std::uint8_t>(b);
            }
        }
        const int nCount = static_cast<int>(nEntry >> 24);
        for (int n = 0; n < nCount; ++n)
            abBytes[n] = static_cast<char>((nEntry >> (8 * (nCount - 1 - n))) & 0xFF);
        return nCount;
    }

private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    std::vector<std::uint32_t> m_table;
};

// The escaped text is gathered in a small buffer and appended a piece at a time: a log holds
// tens of millions of characters, most of them a byte or a few in the file.
class CEscapedText
{
public:
    explicit CEscapedText(QByteArray& abOut) : m_abOut(abOut) {}
    ~CEscapedText() { Flush(); }
    CEscapedText(const CEscapedText&) = delete;
    CEscapedText& operator=(const CEscapedText&) = delete;

    void Add(char c) { m_abBuffer[m_nUsed++] = c; }
    void Add(const char* psz)
    {
        while (*psz != 0)
            m_abBuffer[m_nUsed++] = *psz++;
    }
    void Add(const char* pFirst, const char* pLast)
    {
        while (pFirst != pLast)
            m_abBuffer[m_nUsed++] = *pFirst++;
    }
    void AddHexByte(char b)
    {
        static const char kDigits[] = "0123456789abcdef";
        const auto n = static_cast<std::uint8_t>(b);
        Add("\\'");
        Add(kDigits[n >> 4]);
        Add(kDigits[n & 0x0F]);
    }
    // Room for the longest escape of one character.
    void MakeRoom()
    {
        if (m_nUsed > sizeof m_abBuffer - 32)
            Flush();
    }
    void Flush()
    {
        m_abOut.append(m_abBuffer, static_cast<qsizetype>(m_nUsed));
        m_nUsed = 0;
    }

private:
    QByteArray& m_abOut;
    char m_abBuffer[1024];
    std::size_t m_nUsed = 0;
};

// The document declares \uc2: each \uN is followed by two fallback characters, the character's
// two GBK bytes where it has them.
void AppendEscaped(QByteArray& abOut, QStringView strText, CGbkFallback& fallback)
{
    CEscapedText out(abOut);
    for (const QChar ch : strText)
    {
        out.MakeRoom();
        const char16_t c = ch.unicode();
        if (c == u'\\' || c == u'{' || c == u'}')
        {
            out.Add('\\');
            out.Add(static_cast<char>(c));
        }
        else if (c == QChar::LineSeparator || c == u'\n')
            out.Add("\\line ");
        else if (c == u'\t')
            out.Add("\\tab ");
        else if (c == QChar::Nbsp)
            out.Add("\\~");
        else if (c >= 0x20 && c < 0x80)
            out.Add(static_cast<char>(c));
        else if (c < 0x20)
            continue; // other control characters have no place in the log text
        else
        {
            // \uN takes a signed 16-bit number.
            char szNumber[8];
            const auto result = std::to_chars(szNumber, szNumber + sizeof szNumber,
                                              static_cast<int>(static_cast<std::int16_t>(c)));
            char abBytes[2] = {};
            const int nBytes = fallback.Bytes(c, abBytes);
            if (nBytes == 2)
            {
                out.Add("\\u");
                out.Add(szNumber, result.ptr);
                out.AddHexByte(abBytes[0]);
                out.AddHexByte(abBytes[1]);
            }
            else if (nBytes == 1)
            {
                // A one-byte fallback (the euro sign) needs its own skip count.
                out.Add("{\\uc1\\u");
                out.Add(szNumber, result.ptr);
                out.AddHexByte(abBytes[0]);
                out.Add('}');
            }
            else
            {
                out.Add("\\u");
                out.Add(szNumber, result.ptr);
                out.Add("??");
            }
        }
    }
}

// Windows character sets of the font table and the code pages of their \'hh bytes; a set not
// listed (ANSI default, symbol) leaves the document's \ansicpg in force.
int CodePageOfCharset(long long nCharset)
{
    static const std::map<long long, int> kCodePages = {
        {0, 1252},   {77, 10000}, {128, 932},  {129, 949},  {134, 936},  {136, 950}, {161, 1253}, {162, 1254},
        {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874}, {238, 1250}, {255, 437},
    };
    const auto it = kCodePages.find(nCharset);
    return it != kCodePages.end() ? it->second : 0;
}


// Characters of the control words that stand for one character.
char16_t SymbolOfWord(QByteArrayView abWord)
{
    struct CSymbol
    {
        QByteArrayView abWord;
        char16_t cSymbol;
    };
    static constexpr CSymbol kSymbols[] = {
        {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"lquote", u'\u2018'}, {"rquote", u'\u2019'},
        {"emdash", u'\u2014'},    {"endash", u'\u2013'},    {"bullet", u'\u2022'}, {"emspace", u'\u2003'},
        {"enspace", u'\u2002'},   {"qmspace", u'\u2005'},   {"tab", u'\t'},        {"cell", u'\t'},
    };
    for (const CSymbol& symbol : kSymbols)
    {
        if (symbol.abWord == abWord)
            return symbol.cSymbol;
    }
    return 0;
}

// Destinations whose text is not part of the log.
bool IsSkippedDestination(QByteArrayView abWord)
{
    static constexpr QByteArrayView kWords[] = {
        "stylesheet", "info",    "pict",    "header",   "headerl", "headerr",   "headerf",
        "footer",     "footerl", "footerr", "footerf",  "object",  "listtable", "listoverridetable",
        "revtbl",     "rsidtbl", "fldinst", "footnote", "filetbl", "themedata", "xmlnstbl",
    };
    return std::find(std::begin(kWords), std::end(kWords), abWord) != std::end(kWords);
}

struct CGroupState
{
    int nColour = 0;
    int nFont = -1;
    int nSkipAfterUnicode = 1;
    bool bSkip = false;
};

struct CColourEntry
{
    QColor colour{0, 0, 0};
    bool bAutomatic = true; // an empty entry: the automatic colour
};

struct CRun
{
    QString strText;
    int nColour = 0;
};

// One pass over the RTF: text runs with their colour indices, and the colour table.
class CRtfReader
{
public:
    explicit CRtfReader(const QByteArray& abRtf) : m_abRtf(abRtf) {}

    void Read();
    std::vector<CRun>& Runs() { return m_runs; }
    // Colour of \cfN: the table's entry, black for the automatic colour and for missing entries.
    QColor Colour(int nIndex) const;

private:
    void OnControl();
    void OnControlWord(QByteArrayView abWord, bool bHasParam, long long nParam);
    void OnFontTableWord(QByteArrayView abWord, bool bHasParam, long long nParam);
    void AddByte(char c);
    void AddBytes(QByteArrayView abBytes);
    void EmitText(const QString& strText);
    void EmitChar(QChar ch);
    void FlushBytes();
    void CloseRun();
    int CodePage() const;

    static constexpr std::size_t kMaxGroupDepth = 1000;

    const QByteArray& m_abRtf;
    qsizetype m_i = 0;
    std::vector<CGroupState> m_stack{CGroupState{}};
    std::size_t m_nDeeperGroups = 0;
    std::vector<CRun> m_runs;
    QString m_strPending;
    QByteArray m_abBytes; // \'hh bytes waiting to be decoded together
    int m_nBytesCodePage = 0;
    int m_nPendingSkip = 0; // fallback characters still to drop after a \uN
    int m_nAnsiCodePage = 936;
    int m_nDefaultFont = -1;
    std::map<int, int> m_fontCodePages;
    std::map<int, CCodePageDecoder> m_decoders;
    std::size_t m_nFontTableDepth = 0; // depth of the font table's group, 0 outside it
    int m_nFontDefined = -1;
    std::size_t m_nColourTableDepth = 0;
    QList<CColourEntry> m_colourTable;
    CColourEntry m_colourEntry;
};

QColor CRtfReader::Colour(int nIndex) const
{
    if (nIndex >= 0 && nIndex < m_colourTable.size() && !m_colourTable[nIndex].bAutomatic)
        return m_colourTable[nIndex].colour;
    return QColor(Qt::black);
}

int CRtfReader::CodePage() const
{
    const auto it = m_fontCodePages.find(m_stack.back().nFont);
    return it != m_fontCodePages.end() && it->second != 0 ? it->second : m_nAnsiCodePage;
}

void CRtfReader::FlushBytes()
{
    if (m_abBytes.isEmpty())
        return;
    // ASCII reads the same in every code page the reader knows: only other bytes need a decoder.
    if (std::all_of(m_abBytes.cbegin(), m_abBytes.cend(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    {
        m_strPending += QLatin1StringView(m_abBytes);
        m_abBytes.clear();
        return;
    }
    auto it = m_decoders.find(m_nBytesCodePage);
    if (it == m_decoders.end())
        it = m_decoders.emplace(m_nBytesCodePage, CCodePageDecoder(m_nBytesCodePage)).first;
    m_strPending += it->second.IsValid() ? it->second.Decode(m_abBytes) : QString::fromLatin1(m_abBytes);
    m_abBytes.clear();
}

void CRtfReader::AddBytes(QByteArrayView abBytes)
{
    if (m_stack.back().bSkip || m_nFontTableDepth != 0 || m_nColourTableDepth != 0)
        return;
    const qsizetype nSkipped = std::min<qsizetype>(m_nPendingSkip, abBytes.size());
    m_nPendingSkip -= static_cast<int>(nSkipped);
    abBytes = abBytes.sliced(nSkipped);
    if (abBytes.isEmpty())
        return;
    const int nCodePage = CodePage();
    if (nCodePage != m_nBytesCodePage)
    {
        FlushBytes();
        m_nBytesCodePage = nCodePage;
    }
    m_abBytes += abBytes;
}

void CRtfReader::AddByte(char c)
{
    if (m_stack.back().bSkip || m_nFontTableDepth != 0 || m_nColourTableDepth != 0)
        return;
    if (m_nPendingSkip > 0)
    {
        --m_nPendingSkip;
        return;
    }
    const int nCodePage = CodePage();
    if (nCodePage != m_nBytesCodePage)
    {
        FlushBytes();
        m_nBytesCodePage = nCodePage;
    }
    m_abBytes += c;
}

void CRtfReader::EmitText(const QString& strText)
{
    FlushBytes();
    m_strPending += strText;
}

void CRtfReader::EmitChar(QChar ch)
{
    FlushBytes();
    m_strPending += ch;
}

void CRtfReader::CloseRun()
{
    FlushBytes();
    if (m_strPending.isEmpty())
        return;
    const int nColour = m_stack.back().nColour;
    if (!m_runs.empty() && m_runs.back().nColour == nColour)
        m_runs.back().strText += m_strPending;
    else
        m_runs.push_back({m_strPending, nColour});
    m_strPending.clear();
}

void CRtfReader::Read()
{
    const qsizetype nSize = m_abRtf.size();
    while (m_i < nSize)
    {
        const char c = m_abRtf[m_i];
        if (c == '{')
        {
            CloseRun();
            // Deeper groups than any writer makes share the innermost state, so that a file of
            // braces cannot make the reader's memory grow with it.
            if (m_stack.size() < kMaxGroupDepth)
                m_stack.push_back(m_stack.back());
            else
                ++m_nDeeperGroups;
            ++m_i;
        }
        else if (c == '}' && m_nDeeperGroups > 0)
        {
            CloseRun();
            --m_nDeeperGroups;
            ++m_i;
        }
        else if (c == '}')
        {
            CloseRun();
            if (m_nColourTableDepth != 0 && m_stack.size() <= m_nColourTableDepth)
                m_nColourTableDepth = 0;
            if (m_nFontTableDepth != 0 && m_stack.size() <= m_nFontTableDepth)
                m_nFontTableDepth = 0;
            if (m_stack.size() > 1)
                m_stack.pop_back();
            m_nPendingSkip = 0;
            ++m_i;
        }
        else if (c == '\\')
            OnControl();
        else
        {
            if (m_nColourTableDepth != 0 && c == ';')
            {
                m_colourTable.append(m_colourEntry);
                m_colourEntry = CColourEntry{};
            }
            else if (c != '\r' && c != '\n')
            {
                // A run of plain bytes goes in at once, as it would byte by byte.
                qsizetype nEnd = m_i + 1;
                if (m_nColourTableDepth == 0)
                {
                    while (nEnd < nSize && m_abRtf[nEnd] != '{' && m_abRtf[nEnd] != '}' &&
                           m_abRtf[nEnd] != '\\' && m_abRtf[nEnd] != '\r' && m_abRtf[nEnd] != '\n')
                        ++nEnd;
                }
                AddBytes(QByteArrayView(m_abRtf.constData() + m_i, nEnd - m_i));
                m_i = nEnd - 1;
            }
            ++m_i;
        }
    }
    CloseRun();
}

void CRtfReader::OnControl()
{
    const qsizetype nSize = m_abRtf.size();
    ++m_i;
    if (m_i >= nSize)
        return;
    const char s = m_abRtf[m_i];
    const bool bSkip = m_stack.back().bSkip;
    if (s == '\\' || s == '{' || s == '}')
    {
        AddByte(s);
        ++m_i;
        return;
    }
    if (s == '\'')
    {
        // Two hex digits, as every writer puts them, are read in place: a log holds millions.
        const auto hexValue = [](char h) -> int
        {
            if (h >= '0' && h <= '9')
                return h - '0';
            if (h >= 'a' && h <= 'f')
                return h - 'a' + 10;
            if (h >= 'A' && h <= 'F')
                return h - 'A' + 10;
            return -1;
        };
        if (m_i + 2 < nSize)
        {
            const int nHigh = hexValue(m_abRtf[m_i + 1]);
            const int nLow = hexValue(m_abRtf[m_i + 2]);
            if (nHigh >= 0 && nLow >= 0)
            {
                m_i += 3;
                AddByte(static_cast<char>(nHigh * 16 + nLow));
                return;
            }
        }
        const QByteArray abHex = m_abRtf.mid(m_i + 1, 2);
        m_i += 3;
        bool bOk = false;
        const int nByte = abHex.toInt(&bOk, 16);
        if (bOk)
            AddByte(static_cast<char>(nByte));
        return;
    }
    ++m_i;
    if (!((s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z')))
    {
        // Control symbols.
        QString strText;
        if (s == '*')
            m_stack.back().bSkip = true;
        else if (s == '~')
            strText = QChar(QChar::Nbsp);
        else if (s == '_')
            strText = QChar(0x2011); // non-breaking hyphen
        else if (s == '\r' || s == '\n')
            strText = QStringLiteral("\n"); // an escaped line end is a paragraph end
        if (strText.isEmpty() || bSkip || m_nFontTableDepth != 0 || m_nColourTableDepth != 0)
            return;
        if (m_nPendingSkip > 0)
            --m_nPendingSkip;
        else
            EmitText(strText);
        return;
    }
    const qsizetype nStart = m_i - 1;
    while (m_i < nSize &&
           ((m_abRtf[m_i] >= 'a' && m_abRtf[m_i] <= 'z') || (m_abRtf[m_i] >= 'A' && m_abRtf[m_i] <= 'Z')))
        ++m_i;
    // Views into the file, not copies: the word and its number are looked at once.
    const QByteArrayView abWord(m_abRtf.constData() + nStart, m_i - nStart);
    bool bHasParam = false;
    long long nParam = 0;
    const qsizetype nParamStart = m_i;
    if (m_i < nSize && (m_abRtf[m_i] == '-' || (m_abRtf[m_i] >= '0' && m_abRtf[m_i] <= '9')))
    {
        ++m_i;
        while (m_i < nSize && m_abRtf[m_i] >= '0' && m_abRtf[m_i] <= '9' && m_i - nParamStart < 11)
            ++m_i;
        const char* pFirst = m_abRtf.constData() + nParamStart;
        const char* pLast = m_abRtf.constData() + m_i;
        const auto result = std::from_chars(pFirst, pLast, nParam);
        bHasParam = result.ec == std::errc() && result.ptr == pLast;
        if (!bHasParam)
            nParam = 0;
    }
    if (m_i < nSize && m_abRtf[m_i] == ' ')
        ++m_i;
    OnControlWord(abWord, bHasParam, nParam);
}

void CRtfReader::OnFontTableWord(QByteArrayView abWord, bool bHasParam, long long nParam)
{
    if (!bHasParam)
        return;
    if (abWord == "f")
        m_nFontDefined = static_cast<int>(std::clamp<long long>(nParam, -1, 1 << 20));
    else if (abWord == "fcharset")
        m_fontCodePages.try_emplace(m_nFontDefined, CodePageOfCharset(nParam));
    else if (abWord == "cpg" && nParam > 0 && nParam < 0x10000)
        m_fontCodePages[m_nFontDefined] = static_cast<int>(nParam); // an explicit code page wins
}

void CRtfReader::OnControlWord(QByteArrayView abWord, bool bHasParam, long long nParam)
{
    if (abWord == "bin")
    {
        // Binary data of the given length: skipped whole, whatever bytes it holds.
        if (bHasParam && nParam > 0)
            m_i += std::min<long long>(nParam, m_abRtf.size() - m_i);
        return;
    }
    CGroupState& state = m_stack.back();
    if (state.bSkip)
        return;
    if (abWord == "fonttbl")
    {
        m_nFontTableDepth = m_stack.size();
        return;
    }
    if (m_nFontTableDepth != 0)
    {
        OnFontTableWord(abWord, bHasParam, nParam);
        return;
    }
    if (abWord == "colortbl")
    {
        m_nColourTableDepth = m_stack.size();
        m_colourEntry = CColourEntry{};
        return;
    }
    if (m_nColourTableDepth != 0)
    {
        const int nValue = static_cast<int>(std::clamp<long long>(nParam, 0, 255));
        if (abWord == "red")
            m_colourEntry.colour.setRed(nValue);
        else if (abWord == "green")
            m_colourEntry.colour.setGreen(nValue);
        else if (abWord == "blue")
            m_colourEntry.colour.setBlue(nValue);
        else
            return;
        m_colourEntry.bAutomatic = false;
        return;
    }
    if (IsSkippedDestination(abWord))
    {
        state.bSkip = true;
        return;
    }
    if (const char16_t cSymbol = SymbolOfWord(abWord))
    {
        // A symbol word can also be the fallback of a \uN.
        if (m_nPendingSkip > 0)
            --m_nPendingSkip;
        else
            EmitChar(QChar(cSymbol));
        return;
    }
    if (abWord == "u" && bHasParam)
    {
        EmitChar(QChar(static_cast<char16_t>(static_cast<std::uint16_t>(nParam))));
        m_nPendingSkip = state.nSkipAfterUnicode;
        return;
    }
    m_nPendingSkip = 0;
    if (abWord == "ansicpg" && bHasParam && nParam > 0 && nParam < 0x10000)
        m_nAnsiCodePage = static_cast<int>(nParam);
    else if (abWord == "deff" && bHasParam)
    {
        m_nDefaultFont = static_cast<int>(std::clamp<long long>(nParam, -1, 1 << 20));
        if (state.nFont < 0)
            state.nFont = m_nDefaultFont;
    }
    else if (abWord == "f" && bHasParam)
        state.nFont = static_cast<int>(std::clamp<long long>(nParam, -1, 1 << 20));
    else if (abWord == "uc" && bHasParam)
        state.nSkipAfterUnicode = static_cast<int>(std::clamp<long long>(nParam, 0, 16));
    else if (abWord == "cf")
    {
        CloseRun();
        state.nColour = bHasParam ? static_cast<int>(std::clamp<long long>(nParam, -1, 1 << 20)) : 0;
    }
    else if (abWord == "plain")
    {
        CloseRun();
        state.nColour = 0;
        state.nFont = m_nDefaultFont;
    }
    else if (abWord == "par" || abWord == "page" || abWord == "sect" || abWord == "row")
        EmitChar(u'\n');
    else if (abWord == "line")
        EmitChar(QChar::LineSeparator);
}

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

    CGbkFallback fallback;
    QByteArray abBody;
    // The text is read once, each fragment's part of it in place; a format's colour number is
    // looked up once (a log has a handful of formats and millions of fragments).
    const QString strText = document.toRawText();
    std::map<int, int> colourOfFormat;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        // A block's fragments follow each other: their positions are counted, not looked up.
        int nPosition = block.position();
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const int nLength = fragment.length();
            auto colourIt = colourOfFormat.find(fragment.charFormatIndex());
            if (colourIt == colourOfFormat.end())
            {
                const QTextCharFormat format = fragment.charFormat();
                const QColor colour = format.foreground().style() != Qt::NoBrush ? format.foreground().color()
                                                                                 : QColor(Qt::black);
                colourIt = colourOfFormat.emplace(fragment.charFormatIndex(), colourIndex(colour)).first;
            }
            char szNumber[16];
            const auto result = std::to_chars(szNumber, szNumber + sizeof szNumber, colourIt->second);
            abBody += "\\cf";
            abBody += QByteArrayView(szNumber, result.ptr - szNumber);
            abBody += ' ';
            AppendEscaped(abBody, QStringView(strText).mid(nPosition, nLength), fallback);
            nPosition += nLength;
        }
        if (block.next().isValid())
            abBody += "\\par\r\n";
    }

    QByteArray abOut = "{\\rtf1\\ansi\\ansicpg936\\deff0"
                       "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n{\\colortbl ;";
    for (const QRgb rgb : colours)
        abOut += QByteArray("\\red") + QByteArray::number(qRed(rgb)) + "\\green" +
                 QByteArray::number(qGreen(rgb)) + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
    abOut += "}\r\n\\uc2\\pard\\f0\\fs21 ";
    abOut += abBody;
    abOut += "\\par\r\n}\r\n";
    return abOut;
}

namespace
{

// Breaks every stretch longer than kLongestWord characters in which a layout finds no place to
// end a line with a line break (see CLongWordGuard). Laying out a word costs time that grows with
// the square of its length (each line looks for the word's end first); a file of one endless word
// would freeze the window. Every character is kept; the words the log itself writes are far
// shorter. Linear in the text.
void BreakLongWords(std::vector<CRun>& runs)
{
    CLongWordGuard guard(kLongestWord);
    std::vector<std::size_t> positions;
    for (CRun& run : runs)
    {
        positions.clear();
        guard.FindBreaks(std::u16string_view(reinterpret_cast<const char16_t*>(run.strText.utf16()),
                                             static_cast<std::size_t>(run.strText.size())),
                         positions);
        if (positions.empty())
            continue;
        QString strBroken;
        strBroken.reserve(run.strText.size() + static_cast<qsizetype>(positions.size()));
        qsizetype nCopied = 0;
        for (const std::size_t nPosition : positions)
        {
            const qsizetype nAt = static_cast<qsizetype>(nPosition);
            strBroken += QStringView(run.strText).mid(nCopied, nAt - nCopied);
            strBroken += QChar(QChar::LineSeparator);
            nCopied = nAt;
        }
        strBroken += QStringView(run.strText).mid(nCopied);
        run.strText = std::move(strBroken);
    }
}

} // namespace

bool ReadRtf(const QByteArray& abRtf, QTextDocument& document)
{
    if (!abRtf.startsWith("{\\rtf"))
        return false;

    CRtfReader reader(abRtf);
    reader.Read();
    std::vector<CRun>& runs = reader.Runs();

    // The last \par ends the last paragraph; the document has one of its own.
    if (!runs.empty() && runs.back().strText.endsWith(u'\n'))
    {
        runs.back().strText.chop(1);
        if (runs.back().strText.isEmpty())
            runs.pop_back();
    }

    BreakLongWords(runs);

    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    std::map<int, QTextCharFormat> formats; // one per colour index, made once
    for (CRun& run : runs)
    {
        auto it = formats.find(run.nColour);
        if (it == formats.end())
        {
            QTextCharFormat format;
            format.setForeground(reader.Colour(run.nColour));
            it = formats.emplace(run.nColour, format).first;
        }
        // One insertion per run: the cursor starts a paragraph at every paragraph end ("\n" as
        // well as the paragraph separator). A "\r" right before one would make the pair a
        // single paragraph end, so such a run has its ends replaced first.
        if (run.strText.contains(u'\r'))
            run.strText.replace(u'\n', QChar::ParagraphSeparator);
        cursor.insertText(run.strText, it->second);
    }
    cursor.endEditBlock();
    return true;
}

} // namespace relvane
