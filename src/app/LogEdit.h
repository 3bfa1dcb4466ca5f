#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>

class QMenu;

namespace relvane
{

// The log on screen: an edit over the session's document, wrapped at the window width, editable
// by the user. It lays out only the paragraphs it shows, so a log of a million entries scrolls
// and grows as lightly as a short one; the characters keep their colours. The clipboard gets the
// selection as the log's text and as RTF; pasted RTF keeps its colours. The right button opens
// the log's popup; the chosen item is reported as its command id and routed like the menu
// command of the same id.
class CLogEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CLogEdit(QWidget* pParent = nullptr);
    ~CLogEdit() override;

    // Shows the document (nullptr: none). The document gets the line-by-line layout the edit
    // needs; the one it had before loses its layout, so that it can be filled without any.
    void SetLogDocument(QTextDocument* pDocument);

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

protected:
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* pSource) const override;
    void insertFromMimeData(const QMimeData* pSource) override;

private:
    QPointer<QTextDocument> m_pLogDocument;
};

} // namespace relvane
