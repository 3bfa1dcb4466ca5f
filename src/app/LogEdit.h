#pragma once

#include <QTextDocument>
#include <QTextEdit>

class QMenu;

namespace relvane
{

// The log on screen: a rich-text edit over the session's document, wrapped at the window width,
// editable by the user. The right button opens the log's popup; the chosen item is reported as
// its command id and routed like the menu command of the same id.
class CLogEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit CLogEdit(QWidget* pParent = nullptr);

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
};

} // namespace relvane
