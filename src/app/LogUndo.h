#pragma once

#include <QObject>
#include <QPointer>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <deque>

namespace relvane
{

// The undo history of the user's own edits of the log and of its clearing. The log grows at its
// end all the time, outside any history, and the document's own history would be dropped with
// every append. This one keeps each step as the range the step left and the rich text it
// replaced; both stay valid while entries go in after them.
//
// A step's range is never taken from the caller: during an edit the document records its own
// history, and when the edit ends the range comes from the document's change notices; what the
// range held before is read by undoing the document's history once, copying the range and
// redoing it. The clearing of the whole log (the line limit, "清空") keeps a copy of the whole
// text. Anything else the history did not see (a log opened, "新建") drops the history.
//
// Memory: typing keeps nothing of the log, a replaced range keeps that range once, and at most
// kMaxSteps steps stay; the steps before the last are dropped oldest first while the kept text
// would exceed kMaxKeptChars (about 2 bytes and a little more per character). The last step stays
// whatever its size, so that a wiped 100,000-line log can always be had back once.
class CLogUndo : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxSteps = 100;
    static constexpr qsizetype kMaxKeptChars = 16 * 1024 * 1024;

    explicit CLogUndo(QObject* pParent = nullptr);
    ~CLogUndo() override;

    // Follows the document (nullptr: none). Its own undo history is off while followed, except
    // during an edit.
    void Attach(QTextDocument* pDocument);

    // Around a user's edit: what it changes becomes one undo step. Nested calls belong to the
    // outermost edit. Typing (bTyping) that goes on where the typing before it ended joins its
    // step.
    void BeginEdit(bool bTyping = false);
    void EndEdit();
    // Around the clearing of the whole log, which keeps the whole text for one undo step.
    void BeginWhole();
    void EndWhole();
    // Around a rewrite that leaves the text and its formats as they were.
    void BeginKeep() { ++m_nKeep; }
    void EndKeep() { --m_nKeep; }

    bool CanUndo() const { return !m_steps.empty(); }
    // Undoes the last step; returns the position after the restored text (-1: nothing undone).
    int Undo();
    void Clear();

signals:
    void UndoAvailable(bool bAvailable);

private:
    struct CStep
    {
        int nFrom = 0;
        int nAdded = 0; // length of what the step left at nFrom
        qsizetype nRemoved = 0;
        bool bTyping = false;
        QTextDocumentFragment replaced; // empty when nothing was replaced
    };
    struct CChange
    {
        int nFrom = -1; // -1: nothing changed yet
        int nRemoved = 0;
        int nAdded = 0;
    };

    void OnContentsChange(int nFrom, int nRemoved, int nAdded);
    bool TakeReplaced(const CChange& change, CStep& step);
    void Push(CStep step);

    QPointer<QTextDocument> m_pDocument;
    bool m_bDocumentUndo = false;
    QMetaObject::Connection m_connection;
    std::deque<CStep> m_steps;
    qsizetype m_nKeptChars = 0;
    int m_nLength = 0; // characters of the document as of the last change seen
    int m_nDepth = 0;
    int m_nKeep = 0;
    bool m_bApplying = false;
    // The edit under way: its changes so far, merged, in the coordinates of the text before it.
    bool m_bTyping = false;
    bool m_bWhole = false;
    bool m_bLost = false; // the document's history was dropped during the edit
    int m_nLengthBefore = 0;
    QTextDocumentFragment m_whole;
    CChange m_change;
};

} // namespace relvane
