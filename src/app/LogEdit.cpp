#include "app/LogEdit.h"

#include "app/CommandTable.h"
#include "rtf/RtfText.h"
#include "session/LogDocument.h"
#include "session/SessionCommands.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QStyleHints>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QPaintEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <algorithm>

namespace relvane
{

namespace
{

const QString kRtfMimeType = QStringLiteral("text/rtf");
const QString kRtfMimeTypeAlias = QStringLiteral("application/rtf");
const QString kTextMimeType = QStringLiteral("text/plain");

// The log's text between two positions, with the log's own line ends.
QString RangeText(const QTextDocument& document, int nStart, int nEnd)
{
    const int nLast = document.characterCount() - 1; // the final paragraph end is not text
    nEnd = std::min(nEnd, nLast);
    if (nStart <= 0 && nEnd >= nLast)
        return CLogDocument::LogText(document.toRawText()); // read in one piece
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(std::clamp(nStart, 0, nLast));
    cursor.setPosition(std::max(nEnd, 0), QTextCursor::KeepAnchor);
    return CLogDocument::LogText(cursor.selectedText());
}

// The primary selection's offer: the selected range of the log as plain text, read when it is
// first asked for. An edit inside or before the range (a clear, the line limit, the user's own
// typing) withdraws the offer that was not read yet; entries appended after it leave it alone.
class CSelectionText : public QMimeData
{
public:
    CSelectionText(QTextDocument* pDocument, int nStart, int nEnd)
        : m_pDocument(pDocument), m_nStart(nStart), m_nEnd(nEnd)
    {
        QObject::connect(pDocument, &QTextDocument::contentsChange, this,
                         [this](int nFrom, int, int)
                         {
                             if (nFrom < m_nEnd && !m_bRead)
                                 m_pDocument = nullptr;
                         });
    }

    QStringList formats() const override
    {
        return m_bRead || m_pDocument != nullptr ? QStringList{kTextMimeType} : QStringList();
    }
    bool hasFormat(const QString& strType) const override { return formats().contains(strType); }

protected:
    QVariant retrieveData(const QString& strType, QMetaType type) const override
    {
        if (strType != kTextMimeType || (!m_bRead && m_pDocument == nullptr))
            return QVariant();
        if (!m_bRead)
        {
            m_strText = RangeText(*m_pDocument, m_nStart, m_nEnd);
            m_bRead = true;
        }
        if (type.id() == QMetaType::QByteArray)
            return m_strText.toUtf8();
        return m_strText;
    }

private:
    QPointer<QTextDocument> m_pDocument;
    int m_nStart;
    int m_nEnd;
    mutable QString m_strText;
    mutable bool m_bRead = false;
};

} // namespace

CLogEdit::CLogEdit(QWidget* pParent) : QPlainTextEdit(pParent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A scroll bar that came and went with the length of the log would change the text width,
    // and every change of width gives every paragraph of the log a layout object of its own:
    // 0.7 KB per entry, kept until the log is replaced.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false); // the log's own history (m_undo) stands in for the document's
    connect(&m_undo, &CLogUndo::UndoAvailable, this, &CLogEdit::UndoAvailable);
    m_undo.Attach(document());
    m_blinkPause.setSingleShot(true);
    m_blinkPause.setInterval(kBlinkPauseMs);
    connect(&m_blinkPause, &QTimer::timeout, this, &CLogEdit::PauseBlinking);
}

CLogEdit::~CLogEdit()
{
    if (m_bBlinkPaused)
        QGuiApplication::styleHints()->setCursorFlashTime(-1); // the platform's own again
    SetLogDocument(nullptr);
}

void CLogEdit::PauseBlinking()
{
    // A flash time of 0 leaves the caret shown, steady.
    if (!hasFocus())
        return;
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    m_bBlinkPaused = true;
}

void CLogEdit::ResumeBlinking()
{
    if (m_bBlinkPaused)
    {
        QGuiApplication::styleHints()->setCursorFlashTime(-1);
        m_bBlinkPaused = false;
    }
    if (hasFocus())
        m_blinkPause.start();
    else
        m_blinkPause.stop();
}

void CLogEdit::mousePressEvent(QMouseEvent* pEvent)
{
    ResumeBlinking();
    QPlainTextEdit::mousePressEvent(pEvent);
}

void CLogEdit::inputMethodEvent(QInputMethodEvent* pEvent)
{
    ResumeBlinking();
    const bool bEditing = !isReadOnly();
    if (bEditing)
        m_undo.BeginEdit(true);
    QPlainTextEdit::inputMethodEvent(pEvent);
    if (bEditing)
        EndEdit();
}

void CLogEdit::focusInEvent(QFocusEvent* pEvent)
{
    QPlainTextEdit::focusInEvent(pEvent);
    ResumeBlinking();
}

void CLogEdit::focusOutEvent(QFocusEvent* pEvent)
{
    QPlainTextEdit::focusOutEvent(pEvent);
    ResumeBlinking(); // other widgets blink as the platform wants
}

void CLogEdit::SetLogDocument(QTextDocument* pDocument)
{
    if (pDocument == m_pLogDocument)
        return;
    if (pDocument != nullptr &&
        pDocument->findChild<QPlainTextDocumentLayout*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
        pDocument->setDocumentLayout(new QPlainTextDocumentLayout(pDocument));
    m_undo.Attach(nullptr);
    setDocument(pDocument); // nullptr: an empty document of the edit's own
    m_undo.Attach(document()); // switches the document's own history off until it is detached
    m_painted.clear();
    m_nPaintedParagraphs = 0;
    if (m_pLogDocument != nullptr)
    {
        // Without a layout, the document keeps no line breaks and no layout per paragraph
        // while no window shows it, and takes a whole file in one go.
        m_pLogDocument->setDocumentLayout(nullptr);
    }
    m_pLogDocument = pDocument;
}

void CLogEdit::WatchLog(CLogDocument& log)
{
    connect(&log, &CLogDocument::AboutToClear, this,
            [this, pLog = &log]
            {
                if (pLog->Document() == m_pLogDocument)
                    m_undo.BeginWhole();
            });
    connect(&log, &CLogDocument::Cleared, this,
            [this, pLog = &log]
            {
                if (pLog->Document() == m_pLogDocument)
                    m_undo.EndWhole();
            });
    connect(&log, &CLogDocument::Replaced, this, [this] { m_undo.Clear(); });
}

void CLogEdit::EndEdit()
{
    // Reading back what the edit replaced undoes and redoes it in the document, which may move
    // the caret.
    const QTextCursor before = textCursor();
    const int nAnchor = before.anchor();
    const int nPosition = before.position();
    m_undo.EndEdit();
    const QTextCursor after = textCursor();
    if (after.anchor() == nAnchor && after.position() == nPosition)
        return;
    const int nEnd = document()->characterCount() - 1;
    QTextCursor cursor = after;
    cursor.setPosition(std::clamp(nAnchor, 0, nEnd));
    cursor.setPosition(std::clamp(nPosition, 0, nEnd), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void CLogEdit::Copy()
{
    const QScopedValueRollback<bool> full(m_bFullMimeData, true);
    copy();
}

void CLogEdit::Cut()
{
    const QScopedValueRollback<bool> full(m_bFullMimeData, true);
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() || isReadOnly())
        return;
    m_undo.BeginEdit();
    cut();
    EndEdit();
}

void CLogEdit::Undo()
{
    const int nPosition = m_undo.Undo();
    if (nPosition < 0)
        return;
    QTextCursor cursor = textCursor();
    cursor.setPosition(nPosition);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CLogEdit::BeginKeyEdit(QKeyEvent* pEvent, bool& bEditing)
{
    // Only keys that may change the text: a selection of the whole log is not copied for
    // every Shift+Down.
    static const QKeySequence::StandardKey deletions[] = {
        QKeySequence::Delete,           QKeySequence::Backspace,        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine,
        QKeySequence::Paste,            QKeySequence::InsertParagraphSeparator,
        QKeySequence::InsertLineSeparator};
    bool bMay = false;
    for (const QKeySequence::StandardKey key : deletions)
        bMay = bMay || pEvent->matches(key);
    const QString strText = pEvent->text();
    bMay = bMay || pEvent->key() == Qt::Key_Backspace || pEvent->key() == Qt::Key_Delete ||
           (!strText.isEmpty() && (strText.front().isPrint() || strText.front() == u'\t'));
    if (!bMay || isReadOnly())
        return;
    m_undo.BeginEdit(!pEvent->matches(QKeySequence::Paste));
    bEditing = true;
}

void CLogEdit::keyPressEvent(QKeyEvent* pEvent)
{
    ResumeBlinking();
    if (pEvent->matches(QKeySequence::Copy))
    {
        Copy();
        pEvent->accept();
        return;
    }
    if (pEvent->matches(QKeySequence::Cut) && !isReadOnly())
    {
        Cut();
        pEvent->accept();
        return;
    }
    if (pEvent->matches(QKeySequence::Undo))
    {
        if (!isReadOnly())
            Undo();
        pEvent->accept();
        return;
    }
    if (pEvent->matches(QKeySequence::Redo))
    {
        pEvent->accept(); // no redo: the document's own would act on a history it does not keep
        return;
    }
    bool bEditing = false;
    BeginKeyEdit(pEvent, bEditing);
    QPlainTextEdit::keyPressEvent(pEvent);
    if (bEditing)
        EndEdit();
}

void CLogEdit::mouseMoveEvent(QMouseEvent* pEvent)
{
    // A drag starts here and carries the colours, as a copy does.
    const QScopedValueRollback<bool> full(m_bFullMimeData, true);
    QPlainTextEdit::mouseMoveEvent(pEvent);
}

void CLogEdit::paintEvent(QPaintEvent* pEvent)
{
    QPlainTextEdit::paintEvent(pEvent);
    m_bPaintedAtEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    QTextBlock block = firstVisibleBlock();
    if (!block.isValid())
        return;
    const int nFirst = block.blockNumber();
    const qreal dBottom = viewport()->rect().bottom() - contentOffset().y();
    int nLast = nFirst;
    for (block = block.next(); block.isValid() && blockBoundingGeometry(block).top() <= dBottom;
         block = block.next())
        nLast = block.blockNumber();
    // Scrolling down to here laid out the paragraphs up to two views past the last stretch too.
    if (!m_painted.empty() && nFirst > m_painted.back().second + 1)
    {
        auto& last = m_painted.back();
        const int nReach = std::min(nFirst - 1, last.second + 3 * (nLast - nFirst + 1));
        m_nPaintedParagraphs += nReach - last.second;
        last.second = nReach;
    }
    // Stretches in the order painted; a paint that continues the last stretch extends it.
    if (!m_painted.empty() && nFirst <= m_painted.back().second + 1 && nLast >= m_painted.back().first)
    {
        auto& last = m_painted.back();
        m_nPaintedParagraphs += std::max(0, nLast - last.second) + std::max(0, last.first - nFirst);
        last = {std::min(last.first, nFirst), std::max(last.second, nLast)};
    }
    else
    {
        m_painted.emplace_back(nFirst, nLast);
        m_nPaintedParagraphs += nLast - nFirst + 1;
    }
    if (m_nPaintedParagraphs >= kRenewParagraphs && !m_bRenewDue)
    {
        m_bRenewDue = true;
        QTimer::singleShot(0, this, &CLogEdit::RenewPainted); // not while painting
    }
}

void CLogEdit::RenewPainted()
{
    m_bRenewDue = false;
    QTextDocument* pDocument = document();
    // Only while the view follows the end (as it was painted last; entries that went in since
    // may not be scrolled to yet): a user reading further up keeps the place, and the paragraphs
    // that have scrolled away are renewed once the view is back at the end.
    if (pDocument != m_pLogDocument || !m_bPaintedAtEnd)
        return;
    const int nBefore = firstVisibleBlock().blockNumber() - kRenewDistance;
    const QTextCursor user = textCursor();
    const int nUserFrom = user.selectionStart();
    const int nUserTo = user.selectionEnd();
    std::vector<std::pair<int, int>> kept;
    int nKept = 0;
    const bool bUndo = pDocument->isUndoRedoEnabled();
    bool bEdited = false;
    for (const auto& [nFirst, nLast] : m_painted)
    {
        // The part of a stretch near the view stays for the next time.
        if (nLast >= nBefore)
        {
            const int nKeepFrom = std::max(nFirst, nBefore);
            kept.emplace_back(nKeepFrom, nLast);
            nKept += nLast - nKeepFrom + 1;
        }
        const QTextBlock first = pDocument->findBlockByNumber(nFirst);
        const QTextBlock end = pDocument->findBlockByNumber(std::min(nLast, nBefore - 1) + 1);
        if (nFirst >= nBefore || !first.isValid() || !end.isValid())
            continue;
        const int nFrom = first.position();
        const int nTo = end.position(); // the paragraph ends of the stretch included
        if (nUserTo >= nFrom && nUserFrom <= nTo)
            continue; // the user's caret or selection is there: leave the stretch as it is
        if (!bEdited)
        {
            // Outside the undo history, as the log's own appends are.
            if (bUndo)
                pDocument->setUndoRedoEnabled(false);
            bEdited = true;
        }
        // Removing the paragraphs frees their layouts; the copy goes back with the same text
        // and formats, in paragraphs without any.
        m_undo.BeginKeep();
        QTextCursor cursor(pDocument);
        cursor.beginEditBlock();
        cursor.setPosition(nFrom);
        cursor.setPosition(nTo, QTextCursor::KeepAnchor);
        const QTextDocumentFragment copy = cursor.selection();
        cursor.removeSelectedText();
        cursor.insertFragment(copy);
        cursor.endEditBlock();
        m_undo.EndKeep();

    }
    if (bEdited && bUndo)
        pDocument->setUndoRedoEnabled(true);
    m_painted = std::move(kept);
    m_nPaintedParagraphs = nKept;
}

void CLogEdit::ShowAppended()
{
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}

QMenu* CLogEdit::CreatePopupMenu(QWidget* pParent)
{
    auto* pMenu = new QMenu(pParent);
    auto add = [&](int nId, const QString& strCaption, bool bEnabled)
    {
        QAction* pAction = pMenu->addAction(strCaption);
        pAction->setData(nId);
        pAction->setObjectName(QStringLiteral("popup_%1").arg(nId));
        pAction->setEnabled(bEnabled);
        connect(pAction, &QAction::triggered, this, [this, nId] { emit CommandChosen(nId); });
    };
    const bool bSelection = textCursor().hasSelection();
    add(ID_EDIT_CUT, QStringLiteral("剪切"), bSelection && !isReadOnly());
    add(ID_EDIT_COPY, QStringLiteral("复制"), bSelection);
    add(ID_EDIT_PASTE, QStringLiteral("粘贴"), canPaste());
    pMenu->addSeparator();
    add(ID_EDIT_SELECT_ALL, QStringLiteral("全选"), true);
    pMenu->addSeparator();
    add(ID_CLEAR_LOG, QStringLiteral("清空"), true);
    return pMenu;
}

void CLogEdit::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QMenu* pMenu = CreatePopupMenu(this);
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    pMenu->popup(pEvent->globalPos());
    pEvent->accept();
}

QMimeData* CLogEdit::createMimeDataFromSelection() const
{
    // Only what the log needs: its text and RTF. Qt's own offer would convert the whole
    // selection to HTML, ODF and Markdown as soon as anything asks the clipboard.
    const QTextCursor cursor = textCursor();
    if (!m_bFullMimeData)
        return new CSelectionText(document(), cursor.selectionStart(), cursor.selectionEnd());
    const bool bAll =
        cursor.selectionStart() == 0 && cursor.selectionEnd() >= document()->characterCount() - 1;
    auto* pData = new QMimeData;
    pData->setText(RangeText(*document(), cursor.selectionStart(), cursor.selectionEnd()));
    QByteArray abRtf;
    if (bAll)
        abRtf = BuildRtf(*document()); // no copy of the text needed
    else
    {
        QTextDocument selection;
        selection.setUndoRedoEnabled(false);
        QTextCursor(&selection).insertFragment(cursor.selection());
        abRtf = BuildRtf(selection);
    }
    pData->setData(kRtfMimeType, abRtf);
    return pData;
}

bool CLogEdit::canInsertFromMimeData(const QMimeData* pSource) const
{
    return pSource->hasFormat(kRtfMimeType) || pSource->hasFormat(kRtfMimeTypeAlias) ||
           QPlainTextEdit::canInsertFromMimeData(pSource);
}

void CLogEdit::insertFromMimeData(const QMimeData* pSource)
{
    m_undo.BeginEdit();
    InsertMimeData(pSource);
    EndEdit();
}

void CLogEdit::dropEvent(QDropEvent* pEvent)
{
    // A move within the log takes the selection away and puts it where it was dropped.
    m_undo.BeginEdit();
    QPlainTextEdit::dropEvent(pEvent);
    EndEdit();
}

void CLogEdit::InsertMimeData(const QMimeData* pSource)
{
    const QString strRtfType = pSource->hasFormat(kRtfMimeType)        ? kRtfMimeType
                               : pSource->hasFormat(kRtfMimeTypeAlias) ? kRtfMimeTypeAlias
                                                                       : QString();
    QTextDocument pasted;
    pasted.setUndoRedoEnabled(false);
    if (strRtfType.isEmpty() || !ReadRtf(pSource->data(strRtfType), pasted))
    {
        QPlainTextEdit::insertFromMimeData(pSource);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.insertFragment(QTextDocumentFragment(&pasted));
    setTextCursor(cursor);
    ensureCursorVisible();
}

bool CLogEdit::FindText(const QString& strText, QTextDocument::FindFlags flags)
{
    if (strText.isEmpty())
        return false;
    QTextDocument* pDocument = document();
    const QTextCursor from = textCursor();
    QTextCursor found = pDocument->find(strText, from, flags);
    if (found.isNull())
    {
        // Wrap once: from the start (or, searching backwards, from the end).
        QTextCursor restart(pDocument);
        if (flags & QTextDocument::FindBackward)
            restart.movePosition(QTextCursor::End);
        found = pDocument->find(strText, restart, flags);
    }
    if (found.isNull())
        return false;
    setTextCursor(found);
    ensureCursorVisible();
    return true;
}

bool CLogEdit::ReplaceSelection(const QString& strText, const QString& strReplacement,
                                QTextDocument::FindFlags flags)
{
    QTextCursor cursor = textCursor();
    const Qt::CaseSensitivity cs =
        (flags & QTextDocument::FindCaseSensitively) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && cursor.selectedText().compare(strText, cs) == 0)
    {
        m_undo.BeginEdit();
        cursor.insertText(strReplacement);
        EndEdit();
        setTextCursor(cursor);
    }
    return FindText(strText, flags);
}

int CLogEdit::ReplaceAll(const QString& strText, const QString& strReplacement,
                         QTextDocument::FindFlags flags)
{
    if (strText.isEmpty())
        return 0;
    flags &= ~QTextDocument::FindBackward;
    int nCount = 0;
    // Undone as one step.
    if (document()->find(strText, 0, flags).isNull())
        return 0;
    m_undo.BeginEdit();
    QTextCursor edit(document());
    edit.beginEditBlock();
    QTextCursor found = document()->find(strText, 0, flags);
    while (!found.isNull())
    {
        found.insertText(strReplacement);
        ++nCount;
        found = document()->find(strText, found, flags);
    }
    edit.endEditBlock();
    EndEdit();
    return nCount;
}

} // namespace relvane
