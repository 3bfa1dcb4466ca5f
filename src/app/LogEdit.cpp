#include "app/LogEdit.h"

#include "app/CommandTable.h"
#include "app/RtfText.h"
#include "session/LogDocument.h"
#include "session/SessionCommands.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace relvane
{

namespace
{

const QString kRtfMimeType = QStringLiteral("text/rtf");
const QString kRtfMimeTypeAlias = QStringLiteral("application/rtf");

} // namespace

CLogEdit::CLogEdit(QWidget* pParent) : QPlainTextEdit(pParent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(true);
}

CLogEdit::~CLogEdit()
{
    SetLogDocument(nullptr);
}

void CLogEdit::SetLogDocument(QTextDocument* pDocument)
{
    if (pDocument == m_pLogDocument)
        return;
    if (pDocument != nullptr &&
        pDocument->findChild<QPlainTextDocumentLayout*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
        pDocument->setDocumentLayout(new QPlainTextDocumentLayout(pDocument));
    setDocument(pDocument); // nullptr: an empty document of the edit's own
    if (m_pLogDocument != nullptr)
    {
        // Without a layout, the document keeps no line breaks and no layout per paragraph
        // while no window shows it, and takes a whole file in one go.
        m_pLogDocument->setDocumentLayout(nullptr);
    }
    m_pLogDocument = pDocument;
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
    const bool bAll =
        cursor.selectionStart() == 0 && cursor.selectionEnd() >= document()->characterCount() - 1;
    auto* pData = new QMimeData;
    pData->setText(CLogDocument::LogText(bAll ? document()->toRawText() : cursor.selectedText()));
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
