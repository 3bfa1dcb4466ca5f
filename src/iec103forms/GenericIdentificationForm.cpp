#include "iec103forms/GenericIdentificationForm.h"

#include "forms/FormButtons.h"
#include "iec103/GenericList.h"
#include "iec103forms/Iec103FormEntries.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>

namespace relvane
{

CExchangeError ExchangeGenericIdentificationForm(const CGenericIdentificationEntries& entries,
                                                 CGenericIdentificationValues& values)
{
    if (QString str = ReadByteField(entries.strGroup, 0, 255, values.nGroup); !str.isEmpty())
        return {IDC_GENERIC_GROUP, str};
    if (QString str = ReadByteField(entries.strEntry, 0, 255, values.nEntry); !str.isEmpty())
        return {IDC_GENERIC_ENTRY, str};
    return {};
}

GenericIdentificationForm::GenericIdentificationForm(CGenericList& list, QWidget* pParent)
    : CFormDialog(pParent), m_list(list)
{
    setWindowTitle(QStringLiteral("通用分类标识"));
    m_pInf = new QComboBox(this);
    m_pInf->addItems(GenericIdentificationInfEntries());
    m_pCount = new QLabel(QStringLiteral("通用分类标识数目  NOG :"), this);
    m_pGroup = new QLineEdit(this);
    m_pEntry = new QLineEdit(this);
    m_pKod = new QComboBox(this);
    m_pKod->setEditable(true);
    m_pKod->setInsertPolicy(QComboBox::NoInsert);
    m_pKod->addItems(KodEntries());
    auto* pAdd = new QPushButton(QStringLiteral("添加"), this);
    auto* pClear = new QPushButton(QStringLiteral("清除"), this);
    pAdd->setAutoDefault(false);
    pClear->setAutoDefault(false);
    auto* pGroupBox = new QGroupBox(QStringLiteral("数据"), this);
    m_pList = new QPlainTextEdit(pGroupBox);
    m_pList->setReadOnly(true);
    (new QVBoxLayout(pGroupBox))->addWidget(m_pList);

    NameControl(m_pInf, IDC_GENERIC_INF);
    NameControl(m_pCount, IDC_GENERIC_NOG);
    NameControl(m_pGroup, IDC_GENERIC_GROUP);
    NameControl(m_pEntry, IDC_GENERIC_ENTRY);
    NameControl(m_pKod, IDC_GENERIC_KOD);
    NameControl(pAdd, IDC_GENERIC_ADD);
    NameControl(pClear, IDC_GENERIC_CLEAR);
    NameControl(m_pList, IDC_GENERIC_LIST);

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("信息序号 INF"), m_pInf);
    pForm->addRow(m_pCount);
    pForm->addRow(QStringLiteral("组号"), m_pGroup);
    pForm->addRow(QStringLiteral("条目号"), m_pEntry);
    pForm->addRow(QStringLiteral("类型描述  KOD"), m_pKod);
    auto* pButtonRow = new QHBoxLayout;
    pButtonRow->addWidget(pAdd);
    pButtonRow->addWidget(pClear);
    pButtonRow->addStretch();
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addLayout(pButtonRow);
    pLayout->addWidget(pGroupBox);
    pLayout->addWidget(CreateOkCancel(this));

    connect(pAdd, &QPushButton::clicked, this, &GenericIdentificationForm::OnAdd);
    connect(pClear, &QPushButton::clicked, this, &GenericIdentificationForm::OnClear);
    SetValues(m_values);
}

void GenericIdentificationForm::SetValues(const CGenericIdentificationValues& values)
{
    m_values = values;
    m_pInf->setCurrentIndex(1);
    m_pKod->setCurrentIndex(1);
    m_pKod->setEditText(KodEntries().at(1));
    Refresh();
    ShowValues();
}

void GenericIdentificationForm::ShowValues()
{
    m_pGroup->setText(QString::number(m_values.nGroup));
    m_pEntry->setText(QString::number(m_values.nEntry));
}

void GenericIdentificationForm::Refresh()
{
    const CGenericListText text = FormatGenericList(m_list, GenericListKind::Identification);
    m_pList->setPlainText(QString::fromStdString(text.strList));
    m_pCount->setText(QString::fromStdString(text.strCount));
}

bool GenericIdentificationForm::ReadFields()
{
    CGenericIdentificationValues values = m_values;
    const CExchangeError error =
        ExchangeGenericIdentificationForm({m_pGroup->text(), m_pEntry->text()}, values);
    if (!error.IsOk())
    {
        FailField(error);
        return false;
    }
    m_values = values;
    return true;
}

void GenericIdentificationForm::OnAdd()
{
    if (!ReadFields())
        return;
    m_list.AddIdentification(static_cast<std::uint8_t>(m_values.nGroup),
                             static_cast<std::uint8_t>(m_values.nEntry), m_pKod->currentText().toStdString());
    Refresh();
    ShowValues();
}

void GenericIdentificationForm::OnClear()
{
    ReadFields(); // a refused field is reported; the list is cleared all the same
    m_list.ClearGenericList();
    Refresh();
    ShowValues();
}

void GenericIdentificationForm::accept()
{
    const int nInf = LeadingNumberOf(m_pInf->currentText());
    if (!ReadFields())
        return;
    m_values.nInf = nInf;
    CFormDialog::accept();
}

} // namespace relvane
