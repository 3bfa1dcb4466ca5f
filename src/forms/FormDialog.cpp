#include "forms/FormDialog.h"

#include "forms/FieldExchange.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <utility>

namespace relvane
{

namespace
{
MessageHook& Hook()
{
    static MessageHook s_fnHook;
    return s_fnHook;
}

QuestionHook& AskHook()
{
    static QuestionHook s_fnHook;
    return s_fnHook;
}
} // namespace

void SetMessageHook(MessageHook fnHook)
{
    Hook() = std::move(fnHook);
}

void ShowRelvaneMessage(QWidget* pParent, const QString& strText)
{
    if (Hook())
    {
        Hook()(pParent, strText);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Relvane"), strText, QMessageBox::Ok, pParent);
    // The button says "确定" even where Qt's own translations are missing.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void SetQuestionHook(QuestionHook fnHook)
{
    AskHook() = std::move(fnHook);
}

EAnswer AskRelvaneQuestion(QWidget* pParent, const QString& strText)
{
    if (AskHook())
        return AskHook()(pParent, strText);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Relvane"), strText,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, pParent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec())
    {
    case QMessageBox::Yes:
        return EAnswer::Yes;
    case QMessageBox::No:
        return EAnswer::No;
    default:
        return EAnswer::Cancel;
    }
}

CFormDialog::CFormDialog(QWidget* pParent) : QDialog(pParent)
{
    setModal(true);
}

QWidget* CFormDialog::Control(int nControlId) const
{
    return findChild<QWidget*>(QStringLiteral("ctl_%1").arg(nControlId));
}

void CFormDialog::NameControl(QWidget* pWidget, int nControlId)
{
    pWidget->setObjectName(QStringLiteral("ctl_%1").arg(nControlId));
}

void CFormDialog::FailField(const CExchangeError& error)
{
    ShowRelvaneMessage(this, error.strMessage);
    if (QWidget* pField = Control(error.nControlId))
    {
        pField->setFocus(Qt::OtherFocusReason);
        if (auto* pEdit = qobject_cast<QLineEdit*>(pField))
            pEdit->selectAll();
    }
}

} // namespace relvane
