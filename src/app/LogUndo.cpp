#include "app/LogUndo.h"

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
        if (m_bDocumentUndo)
            m_pDocument->setUndoRedoEnabled(true);
    }
    Clear();
    m_pDocument = pDocument;
    if (pDocument == nullptr)
        return;
    m_bDocumentUndo = pDocument->isUndoRedoEnabled();
    // Its own history would keep every removed character and be dropped by the next append.
    pDocument->setUndoRedoEnabled(false);
    m_nLength = pDocument->characterCount();
    m_connection = connect(pDocument, &QTextDocument::contentsChange, this, &CLogUndo::OnContentsChange);
}

void CLogUndo::BeginEdit(int nFrom, int nTo, bool bTyping)
{
    if (m_nDepth++ > 0 || m_pDocument == nullptr)
        return;
    m_bTyping = bTyping;
    const int nEnd = m_pDocument->characterCount() - 1;
    m_nSnapFrom = std::clamp(std::min(nFrom, nTo), 0, nEnd);
    m_nSnapTo = std::clamp(std::max(nFrom, nTo), 0, nEnd);
    m_nSnapEnd = nEnd;
    m_snapshot = m_nSnapTo > m_nSnapFrom ? RangeFragment(*m_pDocument, m_nSnapFrom, m_nSnapTo)
                                         : QTextDocumentFragment();
    m_change = CChange();
}

void CLogUndo::OnContentsChange(int nFrom, int nRemoved, int nAdded)
{
    const int nOldLength = m_nLength;
    m_nLength = m_pDocument->characterCount();
    if (m_bApplying || m_nKeep > 0)
        return;
    if (m_nDepth > 0)
    {
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

void CLogUndo::EndEdit()
{
    if (m_nDepth == 0 || --m_nDepth > 0 || m_pDocument == nullptr)
        return;
    CChange change = m_change;
    QTextDocumentFragment snapshot = std::move(m_snapshot);
    m_snapshot = QTextDocumentFragment();
    if (change.nFrom < 0)
        return; // nothing changed
    // A change that reaches the end of the text counts the final paragraph end on both sides.
    const int nExcess = change.nFrom + change.nRemoved - m_nSnapTo;
    if (nExcess > 0 && nExcess <= change.nAdded && m_nSnapTo == m_nSnapEnd)
    {
        change.nRemoved -= nExcess;
        change.nAdded -= nExcess;
    }
    CStep step;
    step.nFrom = change.nFrom;
    step.nAdded = change.nAdded;
    step.nRemoved = change.nRemoved;
    step.bTyping = m_bTyping;
    if (change.nRemoved > 0)
    {
        if (change.nFrom < m_nSnapFrom || change.nFrom + change.nRemoved > m_nSnapTo)
        {
            // More went than the edit said it would touch: it cannot be undone, and the steps
            // before it no longer fit the text.
            Clear();
            return;
        }
        if (change.nFrom == m_nSnapFrom && change.nRemoved == m_nSnapTo - m_nSnapFrom)
            step.replaced = std::move(snapshot);
        else
        {
            QTextDocument scratch;
            scratch.setUndoRedoEnabled(false);
            QTextCursor(&scratch).insertFragment(snapshot);
            step.replaced = RangeFragment(scratch, change.nFrom - m_nSnapFrom,
                                          change.nFrom - m_nSnapFrom + change.nRemoved);
        }
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
    if (m_steps.empty() || m_pDocument == nullptr)
        return -1;
    CStep step = std::move(m_steps.back());
    m_steps.pop_back();
    m_nKeptChars -= step.nRemoved;
    const int nEnd = m_pDocument->characterCount() - 1;
    QTextCursor cursor(m_pDocument);
    m_bApplying = true;
    cursor.beginEditBlock();
    cursor.setPosition(std::clamp(step.nFrom, 0, nEnd));
    cursor.setPosition(std::clamp(step.nFrom + step.nAdded, 0, nEnd), QTextCursor::KeepAnchor);
    if (step.replaced.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertFragment(step.replaced);
    cursor.endEditBlock();
    m_bApplying = false;
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
