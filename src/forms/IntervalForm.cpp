#include "forms/IntervalForm.h"

#include "forms/FormButtons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace relvane
{

CExchangeError ExchangeIntervalForm(const QString& strInterval, int& nIntervalMs)
{
    if (QString str = ReadUnsignedField(strInterval, 0, 65535, nIntervalMs); !str.isEmpty())
        return {IDC_INTERVAL, str};
    return {};
}

IntervalForm::IntervalForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("巡检时间设置"));
    m_pInterval = new QLineEdit(this);
    NameControl(m_pInterval, IDC_INTERVAL);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pInterval);
    pRow->addWidget(new QLabel(QStringLiteral("ms"), this));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pRow);
    pLayout->addWidget(CreateOkCancel(this));
    SetInterval(m_nIntervalMs);
}

void IntervalForm::SetTitle(const QString& strTitle)
{
    setWindowTitle(strTitle);
}

void IntervalForm::SetInterval(int nIntervalMs)
{
    m_nIntervalMs = nIntervalMs;
    m_pInterval->setText(QString::number(nIntervalMs));
}

void IntervalForm::accept()
{
    int nInterval = m_nIntervalMs;
    const CExchangeError error = ExchangeIntervalForm(m_pInterval->text(), nInterval);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_nIntervalMs = nInterval;
    CFormDialog::accept();
}

} // namespace relvane
