#include "session/LogDocument.h"

#include <QFont>
#include <QTextCursor>
#include <algorithm>

namespace relvane
{

namespace
{

// Converts the log's line ends: "\r\n" ends a paragraph, a lone "\n" or "\r" breaks the line.
void AppendConverted(QString& strOut, std::string_view strUtf8)
{
    const QString strText = QString::fromUtf8(strUtf8.data(), static_cast<qsizetype>(strUtf8.size()));
    strOut.reserve(strOut.size() + strText.size());
    for (qsizetype i = 0; i < strText.size(); ++i)
    {
        const QChar ch = strText.at(i);
        if (ch == u'\r' && i + 1 < strText.size() && strText.at(i + 1) == u'\n')
        {
            strOut.append(QChar::ParagraphSeparator);
            ++i;
        }
        else if (ch == u'\n' || ch == u'\r')
            strOut.append(QChar::LineSeparator);
        else
            strOut.append(ch);
    }
}

} // namespace

CLogDocument::CLogDocument(QObject* pParent) : QObject(pParent)
{
    m_textFormat.setForeground(TextColour());
    m_annotationFormat.setForeground(AnnotationColour());
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &CLogDocument::Flush);
    Prepare();
}

CLogDocument::~CLogDocument() = default;

QString& CLogDocument::PendingRun(bool bAnnotation)
{
    if (m_runs.empty() || m_runs.back().bAnnotation != bAnnotation)
        m_runs.push_back(CRun{QString(), bAnnotation});
    if (!m_flushTimer.isActive())
        ScheduleFlush();
    return m_runs.back().strText;
}

void CLogDocument::ScheduleFlush()
{
    // The first append after a quiet spell goes in on the next turn of the event loop; while
    // entries keep coming, the next insertion waits for the rest of the frame interval.
    const qint64 nSince = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kFlushIntervalMs;
    m_flushTimer.start(static_cast<int>(std::clamp<qint64>(kFlushIntervalMs - nSince, 0, kFlushIntervalMs)));
}

void CLogDocument::AppendText(std::string_view strUtf8, bool bAnnotation)
{
    if (strUtf8.empty())
        return;
    QString& strRun = PendingRun(bAnnotation);
    const qsizetype nFrom = strRun.size();
    AppendConverted(strRun, strUtf8);
    Tap(strRun, nFrom, bAnnotation);
}

void CLogDocument::Tap(const QString& strRun, qsizetype nFrom, bool bAnnotation) const
{
    if (m_fnAppendTap)
        m_fnAppendTap(QStringView(strRun).mid(nFrom), bAnnotation);
}

void CLogDocument::AppendBytes(const std::uint8_t* pBytes, int nLength, int nFormat)
{
    if (pBytes == nullptr || nLength <= 0 || (nFormat != 0 && nFormat != 1))
        return;
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString& strOut = PendingRun(false);
    const qsizetype nFrom = strOut.size();
    strOut.reserve(strOut.size() + static_cast<qsizetype>(nLength) * 4);
    for (int i = 0; i < nLength; ++i)
    {
        const unsigned nByte = pBytes[i];
        if (nFormat == 1)
        {
            strOut.append(QLatin1Char(kHex[nByte >> 4]));
            strOut.append(QLatin1Char(kHex[nByte & 0x0F]));
        }
        else
        {
            if (nByte >= 100)
                strOut.append(QLatin1Char(static_cast<char>('0' + nByte / 100)));
            strOut.append(QLatin1Char(static_cast<char>('0' + nByte / 10 % 10)));
            strOut.append(QLatin1Char(static_cast<char>('0' + nByte % 10)));
        }
        strOut.append(QLatin1Char(' '));
    }
    Tap(strOut, nFrom, false);
}

// Runs an edit of the log that must not become an undo step. Switching undo off drops the
// steps recorded so far, since their positions would not survive edits they do not know of.
template <typename Edit> void CLogDocument::EditOutsideUndo(Edit edit)
{
    const bool bUndo = m_document.isUndoRedoEnabled();
    if (bUndo)
        m_document.setUndoRedoEnabled(false);
    edit();
    if (bUndo)
        m_document.setUndoRedoEnabled(true);
}

void CLogDocument::Flush()
{
    m_flushTimer.stop();
    if (m_runs.empty())
        return;
    // Counted from the start: when inserting takes most of a frame, the next insertion is due
    // at once and a flood of entries still gets a repaint between every two insertions.
    m_sinceFlush.start();
    EditOutsideUndo(
        [this]
        {
            // Positioned inside the edit block: a cursor placed outside one lays out its block,
            // and that layout would stay with every entry's paragraph.
            QTextCursor cursor(&m_document);
            cursor.beginEditBlock();
            cursor.setPosition(m_document.characterCount() - 1);
            for (const CRun& run : m_runs)
                cursor.insertText(run.strText, run.bAnnotation ? m_annotationFormat : m_textFormat);
            cursor.endEditBlock();
        });
    m_runs.clear();
    emit Appended();
}

void CLogDocument::RemoveAll()
{
    EditOutsideUndo(
        [this]
        {
            QTextCursor cursor(&m_document);
            cursor.select(QTextCursor::Document);
            cursor.removeSelectedText();
            cursor.setBlockCharFormat(m_textFormat);
            cursor.setCharFormat(m_textFormat);
        });
}

void CLogDocument::Clear()
{
    Flush();
    if (m_document.isEmpty())
        return;
    emit AboutToClear();
    RemoveAll();
    emit Cleared();
}

void CLogDocument::Discard()
{
    m_runs.clear();
    m_flushTimer.stop();
    if (!m_document.isEmpty())
        RemoveAll();
    emit Replaced();
}

bool CLogDocument::Replace(const std::function<bool(QTextDocument&)>& fnRead)
{
    bool bRead = false;
    EditOutsideUndo([&] { bRead = fnRead(m_document); });
    if (bRead)
    {
        m_runs.clear();
        m_flushTimer.stop();
        emit Replaced();
    }
    return bRead;
}

qsizetype CLogDocument::EndPosition() const
{
    qsizetype nEnd = m_document.characterCount() - 1;
    for (const CRun& run : m_runs)
        nEnd += run.strText.size();
    return nEnd;
}

QString CLogDocument::LogText(const QString& strRaw)
{
    // Sized first and written in place: a selection of a big log holds millions of characters.
    const qsizetype nParagraphs = strRaw.count(QChar::ParagraphSeparator);
    QString strText(strRaw.size() + nParagraphs, Qt::Uninitialized);
    QChar* pOut = strText.data();
    for (const QChar ch : strRaw)
    {
        if (ch == QChar::ParagraphSeparator)
        {
            *pOut++ = u'\r';
            *pOut++ = u'\n';
        }
        else
            *pOut++ = ch == QChar::LineSeparator ? QChar(u'\n') : ch;
    }
    return strText;
}

std::string CLogDocument::PlainText()
{
    Flush();
    return LogText(m_document.toRawText()).toStdString();
}

void CLogDocument::Prepare()
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(kFontPoints);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStyleHint(QFont::Serif, QFont::PreferDefault);
    // Setting it again would have a layout look at every paragraph of a big log once more.
    if (m_document.defaultFont() != font)
        m_document.setDefaultFont(font);
}

} // namespace relvane
