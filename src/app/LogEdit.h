#pragma once

#include "app/LogUndo.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>
#include <utility>
#include <vector>

class QMenu;

namespace relvane
{

class CLogDocument;

// The log on screen: an edit over the session's document, wrapped at the window width, editable
// by the user. It lays out only the paragraphs it shows, so a log of a million entries scrolls
// and grows as lightly as a short one; the characters keep their colours. The clipboard gets the
// selection as the log's text and as RTF; pasted RTF keeps its colours. The right button opens
// the log's popup; the chosen item is reported as its command id and routed like the menu
// command of the same id. A selection made with the mouse or the keys goes to the primary
// selection (X11) as plain text only, read from the log when another program asks for it: a
// select-all of a big log costs nothing until someone pastes it. The caret stops blinking after
// a few seconds without input, as Windows and GTK desktops stop theirs: a blinking caret
// repaints twice a second for as long as the window sits idle. Paragraphs that were painted keep
// a layout (about 0.6 KB each) that Qt frees only with the paragraph: once a stretch of painted
// paragraphs has scrolled well above the view while the view follows the end, those paragraphs
// are written again as they are, outside the undo history, which frees what they kept. The
// user's edits (typing, a replaced or cut selection, paste, drop, replace, "清空") can be undone
// step by step while entries keep arriving at the end.
class CLogEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kBlinkPauseMs = 5000;
    // Painted paragraphs gathered before they are renewed, and how far above the view they must be.
    static constexpr int kRenewParagraphs = 2000;
    static constexpr int kRenewDistance = 200;

    explicit CLogEdit(QWidget* pParent = nullptr);
    ~CLogEdit() override;

    // Shows the document (nullptr: none). The document gets the line-by-line layout the edit
    // needs; the one it had before loses its layout, so that it can be filled without any.
    void SetLogDocument(QTextDocument* pDocument);

    // The user's own edits, undone step by step ("撤消", Ctrl+Z).
    bool CanUndo() const { return m_undo.CanUndo(); }
    void Undo();
    // Follows the clearing of the log ("清空", the line limit), each a step that can be undone,
    // and its replacement (a log opened, "新建"), which drops the steps.
    void WatchLog(CLogDocument& log);

    // Copy and cut to the clipboard, with the text and RTF.
    void Copy();
    void Cut();

    // After new entries went in at the end: moves the caret there (dropping any selection) and
    // scrolls it into view.
    void ShowAppended();

    // The popup's items: cut, copy, paste, -, select all, -, clear (ids in the action data).
    QMenu* CreatePopupMenu(QWidget* pParent);

    // Searches from the caret (or the selection's end) and wraps once to the start; selects
    // the match. False when the text does not occur.
    bool FindText(const QString& strText, QTextDocument::FindFlags flags);
    // Replaces the selection when it is the searched text, then finds the next occurrence.
    bool ReplaceSelection(const QString& strText, const QString& strReplacement,
                          QTextDocument::FindFlags flags);
    int ReplaceAll(const QString& strText, const QString& strReplacement, QTextDocument::FindFlags flags);

signals:
    void CommandChosen(int nId);
    void UndoAvailable(bool bAvailable);

protected:
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void inputMethodEvent(QInputMethodEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* pSource) const override;
    void insertFromMimeData(const QMimeData* pSource) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    // Input or focus: the caret blinks again, until the next pause.
    void ResumeBlinking();
    void PauseBlinking();

    // Writes the painted paragraphs well above the view again, so that their layouts go.
    void RenewPainted();

    // The range a key may change: the selection, or the text around the caret.
    void BeginKeyEdit(QKeyEvent* pEvent, bool& bEditing);
    // Ends an edit begun with m_undo.BeginEdit; the caret and selection stay where the edit left them.
    void EndEdit();
    void InsertMimeData(const QMimeData* pSource);

    CLogUndo m_undo;
    QPointer<QTextDocument> m_pLogDocument;
    // Paragraph numbers painted since the last renewal: first and last of each stretch.
    std::vector<std::pair<int, int>> m_painted;
    int m_nPaintedParagraphs = 0;
    bool m_bRenewDue = false;
    bool m_bPaintedAtEnd = false;
    QTimer m_blinkPause;
    bool m_bBlinkPaused = false;
    // Set while the selection's data is made for the clipboard or a drag; otherwise it is for
    // the primary selection.
    bool m_bFullMimeData = false;
};

} // namespace relvane
