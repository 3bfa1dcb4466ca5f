#pragma once

#include <QObject>
#include <QPointer>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <deque>

namespace relvane
{

// The undo history of the user's own edits of the log. The log grows at its end all the time,
// outside any history, and the document's own history would be dropped with every append. This
// one keeps each edit as the range it produced and the text it replaced, which stay valid while
// entries go in after them; an edit elsewhere that it did not see (a log opened, the line limit)
// drops the history. An edit keeps only what it replaced: typing keeps nothing of the log, a
// replaced selection keeps that selection once, so a big log is never copied per keystroke.
class CLogUndo : public QObject
{
    Q_OBJECT

public:
    // At most this many steps, and this many characters of replaced text beyond the last step.
    static constexpr int kMaxSteps = 100;
    static constexpr qsizetype kMaxKeptChars = 32 * 1024 * 1024;

    explicit CLogUndo(QObject* pParent = nullptr);
    ~CLogUndo() override;

    // Follows the document (nullptr: none). Its own undo history is off while followed.
    void Attach(QTextDocument* pDocument);

    // Around a user's edit that may change [nFrom, nTo) of the text and insert there: the range
    // is kept until the edit ends, and what the edit replaced becomes one undo step. Nested
    // calls belong to the outermost edit. Typing (bTyping) that goes on where the typing before
    // it ended joins its step.
    void BeginEdit(int nFrom, int nTo, bool bTyping = false);
    void EndEdit();
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
        int nAdded = 0; // length of what the edit put at nFrom
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
    // The edit under way: the kept range and the changes seen so far, merged.
    int m_nSnapFrom = 0;
    int m_nSnapTo = 0;
    int m_nSnapEnd = 0; // the end of the text when the edit began
    bool m_bTyping = false;
    QTextDocumentFragment m_snapshot;
    CChange m_change;
};

} // namespace relvane
