#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QWidget;

namespace relvane
{

struct CExchangeError;

// Every message box of the workbench: caption "Relvane", warning icon, one OK button.
// Tests install a hook so that nothing modal opens; with no hook a real box is shown.
using MessageHook = std::function<void(QWidget* pParent, const QString& strText)>;
void SetMessageHook(MessageHook fnHook);
void ShowRelvaneMessage(QWidget* pParent, const QString& strText);

// A question with "是", "否" and "取消" (caption "Relvane"), as Windows programs ask before an
// unsaved document is lost. Tests install a hook that answers; with no hook a real box is shown.
enum class EAnswer
{
    Yes,
    No,
    Cancel,
};
using QuestionHook = std::function<EAnswer(QWidget* pParent, const QString& strText)>;
void SetQuestionHook(QuestionHook fnHook);
EAnswer AskRelvaneQuestion(QWidget* pParent, const QString& strText);

// Base of the modal forms: gives each control an object name "ctl_<id>" after the
// control identifiers the forms are known by, and reports a refused field.
class CFormDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CFormDialog(QWidget* pParent = nullptr);

    // The control with the given identifier, or nullptr.
    QWidget* Control(int nControlId) const;

protected:
    static void NameControl(QWidget* pWidget, int nControlId);
    // The name a refused field's message gives it where no label is the field's buddy.
    static void SetFieldName(QWidget* pWidget, const QString& strName);
    // The field's name: the one set, the text of the label that is its buddy, or for a form of
    // one field its title.
    QString FieldName(const QWidget* pField) const;
    // Shows the message of a refused field, named, and puts the focus on that field.
    void FailField(const CExchangeError& error);
};

} // namespace relvane
