#include "forms/LineLimitForm.h"

#include "forms/FormButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace relvane
{

CExchangeError ExchangeLineLimitForm(const CLineLimitEntries& entries, CLineLimitValues& values)
{
    values.bLineLimit = entries.bLineLimit ? 1 : 0;
    if (QString str = ReadSignedField(entries.strLineLimit, values.nLineLimit); !str.isEmpty())
        return {IDC_LINE_LIMIT, str};
    return {};
}

LineLimitForm::LineLimitForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("显示行数限制"));
    m_pLimitOn = new QCheckBox(QStringLiteral("限制最大行数"), this);
    m_pLimit = new QLineEdit(this);
    NameControl(m_pLimitOn, IDC_LINE_LIMIT_ON);
    NameControl(m_pLimit, IDC_LINE_LIMIT);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pLimitOn);
    pLayout->addWidget(m_pLimit);
    pLayout->addWidget(CreateOkCancel(this));
    SetValues(m_values);
}

void LineLimitForm::SetValues(const CLineLimitValues& values)
{
    m_values = values;
    m_pLimitOn->setChecked(m_values.bLineLimit != 0);
    m_pLimit->setText(QString::number(m_values.nLineLimit));
}

void LineLimitForm::accept()
{
    CLineLimitValues values = m_values;
    const CExchangeError error = ExchangeLineLimitForm({m_pLimitOn->isChecked(), m_pLimit->text()}, values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
