#include "app/LogUndo.h"

#include <QScopedValueRollback>
#include <QTextCursor>
#include <algorithm>

namespace relvane
{

namespace
{

QTextDocumentFragment RangeFragment(QTextDocument& document, int nFrom, int nTo)
{
    QTextCursor cursor(&document);
    cursor.setPosition(nFrom);
    cursor.setPosition(nTo, QTextCursor::KeepAnchor);
    return cursor.selection();
}

} // namespace

CLogUndo::CLogUndo(QObject* pParent) : QObject(pParent) {}

CLogUndo::~CLogUndo()
{
    Attach(nullptr);
}

void CLogUndo::Attach(QTextDocument* pDocument)
{
    if (pDocument == m_pDocument)
        return;
    if (m_pDocument != nullptr)
    {
        disconnect(m_connection);
        m_pDocument->setUndoRedoEnabled(m_bDocumentUndo);
    }
    Clear();
    m_nDepth = 0;
    m_whole = QTextDocumentFragment();
    m_pDocument = pDocument;
    if (pDocument == nullptr)
        return;
    m_bDocumentUndo = pDocument->isUndoRedoEnabled();
    // Its own history would keep every removed character and be dropped by the next append.
    pDocument->setUndoRedoEnabled(false);
    m_nLength = pDocument->characterCount();
    m_connection = connect(pDocument, &QTextDocument::contentsChange, this, &CLogUndo::OnContentsChange);
}

void CLogUndo::BeginEdit(bool bTyping)
{
    if (m_nDepth++ > 0 || m_pDocument == nullptr)
        return;
    m_bTyping = bTyping;
    m_bWhole = false;
    m_bLost = false;
    m_change = CChange();
    m_nLengthBefore = m_pDocument->characterCount();
    // The document records this edit only, exactly as it happens; EndEdit reads it back.
    m_pDocument->setUndoRedoEnabled(true);
    m_pDocument->clearUndoRedoStacks();
}

void CLogUndo::BeginWhole()
{
    if (m_nDepth++ > 0 || m_pDocument == nullptr)
        return;
    m_bTyping = false;
    m_bWhole = true;
    m_bLost = false;
    m_change = CChange();
    m_nLengthBefore = m_pDocument->characterCount();
    if (m_nLengthBefore > 1)
        m_whole = QTextDocumentFragment(m_pDocument.data());
}

void CLogUndo::EndWhole()
{
    EndEdit();
}

void CLogUndo::OnContentsChange(int nFrom, int nRemoved, int nAdded)
{
    const int nOldLength = m_nLength;
    m_nLength = m_pDocument->characterCount();
    if (m_bApplying || m_nKeep > 0)
        return;
    if (m_nDepth > 0)
    {
        // A change made outside the document's history (an append flushed, the log cleared)
        // dropped what it had recorded of this edit.
        if (!m_bWhole && !m_pDocument->isUndoRedoEnabled())
            m_bLost = true;
        // Merged with what the edit changed before, in the coordinates of the text before it.
        if (m_change.nFrom < 0)
        {
            m_change = {nFrom, nRemoved, nAdded};
            return;
        }
        const int nLow = std::min(m_change.nFrom, nFrom);
        const int nHighNow = std::max(m_change.nFrom + m_change.nAdded, nFrom + nRemoved);
        const int nHighOld = nHighNow - (m_change.nAdded - m_change.nRemoved);
        m_change = {nLow, nHighOld - nLow, nHighNow + nAdded - nRemoved - nLow};
        return;
    }
    // Entries appended at the end leave every step where it was; anything else the history
    // did not see makes its positions meaningless.
    if (nFrom >= nOldLength - 1)
        return;
    Clear();
}

bool CLogUndo::TakeReplaced(const CChange& change, CStep& step)
{
    QTextDocument& document = *m_pDocument;
    const int nLengthAfter = document.characterCount();
    // A change that reaches the end of the text counts the final paragraph end, which is not
    // text and stays, on both sides.
    step.nFrom = change.nFrom;
    step.nAdded = change.nAdded - std::max(0, change.nFrom + change.nAdded - (nLengthAfter - 1));
    step.nRemoved = change.nRemoved - std::max(0, change.nFrom + change.nRemoved - (m_nLengthBefore - 1));
    if (step.nAdded < 0 || step.nRemoved < 0)
        return false;
    if (step.nRemoved == 0)
        return true; // only inserted: undone by removing it
    // The text as it was before the edit, for as long as it takes to copy the range.
    const QScopedValueRollback<bool> applying(m_bApplying, true);
    while (document.isUndoAvailable())
        document.undo();
    const bool bBefore = document.characterCount() == m_nLengthBefore;
    if (bBefore)
        step.replaced = RangeFragment(document, step.nFrom, step.nFrom + static_cast<int>(step.nRemoved));
    while (document.isRedoAvailable())
        document.redo();
    return bBefore && document.characterCount() == nLengthAfter;
}

void CLogUndo::EndEdit()
{
    if (m_nDepth == 0 || --m_nDepth > 0 || m_pDocument == nullptr)
        return;
    const CChange change = m_change;
    CStep step;
    step.bTyping = m_bTyping;
    bool bKept = !m_bLost;
    if (m_bWhole)
    {
        m_bWhole = false;
        step.replaced = std::move(m_whole);
        m_whole = QTextDocumentFragment();
        step.nFrom = 0;
        step.nAdded = m_pDocument->characterCount() - 1;
        step.nRemoved = m_nLengthBefore - 1;
        if (step.nRemoved == 0)
            step.replaced = QTextDocumentFragment();
    }
    else
    {
        if (change.nFrom >= 0 && bKept)
            bKept = TakeReplaced(change, step);
        m_pDocument->setUndoRedoEnabled(false); // drops what it recorded
    }
    m_nLength = m_pDocument->characterCount();
    if (change.nFrom < 0)
        return; // nothing changed
    if (!bKept)
    {
        // What the edit replaced is not known: the steps before it no longer fit the text.
        Clear();
        return;
    }
    Push(std::move(step));
}

void CLogUndo::Push(CStep step)
{
    const bool bWasAvailable = CanUndo();
    // Typing goes back in one step as far as it went on from the same place.
    if (step.bTyping && step.nRemoved == 0 && !m_steps.empty())
    {
        CStep& last = m_steps.back();
        if (last.bTyping && last.nRemoved == 0 && last.nFrom + last.nAdded == step.nFrom)
        {
            last.nAdded += step.nAdded;
            return;
        }
    }
    m_nKeptChars += step.nRemoved;
    m_steps.push_back(std::move(step));
    while (m_steps.size() > 1 &&
           (static_cast<int>(m_steps.size()) > kMaxSteps || m_nKeptChars > kMaxKeptChars))
    {
        m_nKeptChars -= m_steps.front().nRemoved;
        m_steps.pop_front();
    }
    if (!bWasAvailable)
        emit UndoAvailable(true);
}

int CLogUndo::Undo()
{
    if (m_steps.empty() || m_pDocument == nullptr || m_nDepth > 0)
        return -1;
    CStep step = std::move(m_steps.back());
    m_steps.pop_back();
    m_nKeptChars -= step.nRemoved;
    const int nEnd = m_pDocument->characterCount() - 1;
    QTextCursor cursor(m_pDocument);
    {
        const QScopedValueRollback<bool> applying(m_bApplying, true);
        cursor.beginEditBlock();
        cursor.setPosition(std::clamp(step.nFrom, 0, nEnd));
        cursor.setPosition(std::clamp(step.nFrom + step.nAdded, 0, nEnd), QTextCursor::KeepAnchor);
        if (step.replaced.isEmpty())
            cursor.removeSelectedText();
        else
            cursor.insertFragment(step.replaced);
        cursor.endEditBlock();
    }
    m_nLength = m_pDocument->characterCount();
    if (m_steps.empty())
        emit UndoAvailable(false);
    return cursor.position();
}

void CLogUndo::Clear()
{
    const bool bWasAvailable = CanUndo();
    m_steps.clear();
    m_nKeptChars = 0;
    if (bWasAvailable)
        emit UndoAvailable(false);
}

} // namespace relvane
