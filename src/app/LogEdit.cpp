#include "app/LogEdit.h"

#include "app/CommandTable.h"
#include "session/SessionCommands.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTextCursor>

namespace relvane
{

CLogEdit::CLogEdit(QWidget* pParent) : QTextEdit(pParent)
{
    setLineWrapMode(QTextEdit::WidgetWidth);
    setAcceptRichText(true);
    setUndoRedoEnabled(true);
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
        cursor.insertText(strReplacement);
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
    return nCount;
}

} // namespace relvane
