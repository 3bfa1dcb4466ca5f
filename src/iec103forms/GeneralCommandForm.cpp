#include "iec103forms/GeneralCommandForm.h"

#include "forms/FormButtons.h"
#include "iec103forms/Iec103FormEntries.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace relvane
{

CExchangeError ExchangeGeneralCommandForm(const CGeneralCommandEntries& entries,
                                          CGeneralCommandValues& values)
{
    if (QString str = ReadByteField(entries.strFun, 0, 255, values.nFun); !str.isEmpty())
        return {IDC_FUN, str};
    if (QString str = ReadByteField(entries.strInf, 0, 255, values.nInf); !str.isEmpty())
        return {IDC_INF, str};
    values.nDcoIndex = entries.nDcoIndex == 1 ? 1 : 0;
    values.bAnswer = entries.bAnswer ? 1 : 0;
    return {};
}

GeneralCommandForm::GeneralCommandForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("一般命令"));
    m_pFun = new QLineEdit(this);
    m_pInf = new QLineEdit(this);
    m_pDco = new QComboBox(this);
    m_pDco->addItems(DcoEntries());
    m_pAnswer = new QCheckBox(QStringLiteral("要求装置回答本命令"), this);
    NameControl(m_pFun, IDC_FUN);
    NameControl(m_pInf, IDC_INF);
    NameControl(m_pDco, IDC_DCO);
    NameControl(m_pAnswer, IDC_ANSWER_REQUIRED);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("功能类型 FUN(0---255)"), m_pFun);
    pForm->addRow(QStringLiteral("信息序号 INF(0---255)"), m_pInf);
    pForm->addRow(QStringLiteral("双命令    DCO"), m_pDco);
    pForm->addRow(m_pAnswer);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(CreateOkCancel(this));
    SetValues(m_values);
}

void GeneralCommandForm::SetValues(const CGeneralCommandValues& values)
{
    m_values = values;
    m_pFun->setText(QString::number(m_values.nFun));
    m_pInf->setText(QString::number(m_values.nInf));
    m_pDco->setCurrentIndex(m_values.nDcoIndex == 1 ? 1 : 0);
    m_pAnswer->setChecked(m_values.bAnswer != 0);
}

void GeneralCommandForm::accept()
{
    CGeneralCommandValues values = m_values;
    const CExchangeError error = ExchangeGeneralCommandForm(
        {m_pFun->text(), m_pInf->text(), m_pDco->currentIndex(), m_pAnswer->isChecked()}, values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
