#include "iec103forms/DisturbanceForm.h"

#include "forms/FormButtons.h"
#include "iec103forms/Iec103FormEntries.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace relvane
{

CExchangeError ExchangeDisturbanceForm(const CDisturbanceEntries& entries, CDisturbanceValues& values)
{
    if (QString str = ReadByteField(entries.strFun, 0, 255, values.nFun); !str.isEmpty())
        return {IDC_DIST_FUN, str};
    values.nToo = LeadingNumberOf(entries.strToo);
    if (QString str = ReadByteField(entries.strTov, 0, 255, values.nTov); !str.isEmpty())
        return {IDC_DIST_TOV, str};
    if (QString str = ReadSignedField(entries.strFan, 0, 65535, values.nFan); !str.isEmpty())
        return {IDC_DIST_FAN, str};
    if (QString str = ReadByteField(entries.strAcc, 0, 255, values.nAcc); !str.isEmpty())
        return {IDC_DIST_ACC, str};
    if (entries.nTooIndex >= 0)
        (values.nAsdu == 25 ? values.nTooIndex25 : values.nTooIndex24) = entries.nTooIndex;
    return {};
}

DisturbanceForm::DisturbanceForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("扰动数据传输"));
    m_pFun = new QLineEdit(this);
    m_pToo = new QComboBox(this);
    m_pToo->setEditable(true);
    m_pToo->setInsertPolicy(QComboBox::NoInsert);
    m_pTov = new QLineEdit(this);
    m_pFan = new QLineEdit(this);
    m_pAcc = new QLineEdit(this);
    NameControl(m_pFun, IDC_DIST_FUN);
    NameControl(m_pToo, IDC_DIST_TOO);
    NameControl(m_pTov, IDC_DIST_TOV);
    NameControl(m_pFan, IDC_DIST_FAN);
    NameControl(m_pAcc, IDC_DIST_ACC);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("功能类型  FUN"), m_pFun);
    pForm->addRow(QStringLiteral("命令类型  TOO"), m_pToo);
    pForm->addRow(QStringLiteral("扰动值的类型  TOV"), m_pTov);
    pForm->addRow(QStringLiteral("故障序号  FAN"), m_pFan);
    pForm->addRow(QStringLiteral("实际通道序号  ACC"), m_pAcc);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(CreateOkCancel(this));
    SetValues(m_values);
}

void DisturbanceForm::SetValues(const CDisturbanceValues& values)
{
    m_values = values;
    const bool b25 = m_values.nAsdu == 25;
    setWindowTitle(b25 ? QStringLiteral("扰动数据传输的认可") : QStringLiteral("扰动数据传输的命令"));
    m_pToo->clear();
    m_pToo->addItems(TooEntries(m_values.nAsdu));
    const int nIndex = b25 ? m_values.nTooIndex25 : m_values.nTooIndex24;
    m_pToo->setCurrentIndex(nIndex >= 0 && nIndex < m_pToo->count() ? nIndex : 0);
    m_pFun->setText(QString::number(m_values.nFun));
    m_pTov->setText(QString::number(m_values.nTov));
    m_pFan->setText(QString::number(m_values.nFan));
    m_pAcc->setText(QString::number(m_values.nAcc));
}

void DisturbanceForm::accept()
{
    CDisturbanceValues values = m_values;
    const QString strToo = m_pToo->currentText();
    const CExchangeError error =
        ExchangeDisturbanceForm({m_pFun->text(), strToo, m_pToo->findText(strToo, Qt::MatchExactly),
                                 m_pTov->text(), m_pFan->text(), m_pAcc->text()},
                                values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
