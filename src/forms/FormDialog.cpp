#include "forms/FormDialog.h"

#include "forms/FieldExchange.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <utility>

namespace relvane
{

namespace
{
constexpr const char* kFieldNameProperty = "relvaneFieldName";

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

void CFormDialog::SetFieldName(QWidget* pWidget, const QString& strName)
{
    pWidget->setProperty(kFieldNameProperty, strName);
}

QString CFormDialog::FieldName(const QWidget* pField) const
{
    if (pField == nullptr)
        return {};
    if (const QVariant name = pField->property(kFieldNameProperty); name.isValid())
        return name.toString();
    for (const QLabel* pLabel : findChildren<QLabel*>())
    {
        if (pLabel->buddy() == pField)
            return pLabel->text();
    }
    const QList<QLineEdit*> edits = findChildren<QLineEdit*>();
    return edits.size() == 1 && edits.front() == pField ? windowTitle() : QString();
}

void CFormDialog::FailField(const CExchangeError& error)
{
    QWidget* pField = Control(error.nControlId);
    ShowRelvaneMessage(this, NamedFieldMessage(FieldName(pField), error.strMessage));
    if (pField != nullptr)
    {
        pField->setFocus(Qt::OtherFocusReason);
        if (auto* pEdit = qobject_cast<QLineEdit*>(pField))
            pEdit->selectAll();
    }
}

} // namespace relvane
