#include "iec103forms/GenericDataForm.h"

#include "forms/FormButtons.h"
#include "iec103/GenericList.h"
#include "iec103forms/Iec103FormEntries.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdint>

namespace relvane
{

CExchangeError ExchangeGenericDataForm(const CGenericDataEntries& entries, CGenericDataValues& values)
{
    if (QString str = ReadByteField(entries.strGroup, 0, 255, values.nGroup); !str.isEmpty())
        return {IDC_GENERIC_GROUP, str};
    if (QString str = ReadByteField(entries.strEntry, 0, 255, values.nEntry); !str.isEmpty())
        return {IDC_GENERIC_ENTRY, str};
    if (QString str = ReadByteField(entries.strWidth, 1, 255, values.nWidth); !str.isEmpty())
        return {IDC_GENERIC_WIDTH, str};
    if (QString str = ReadByteField(entries.strNumber, 1, 255, values.nNumber); !str.isEmpty())
        return {IDC_GENERIC_NUMBER, str};
    values.strGid = entries.strGid;
    values.bHex = entries.bHex;
    return {};
}

bool AddGenericDataSet(CGenericList& list, CGenericDataValues& values, const QString& strKod,
                       const QString& strType)
{
    auto nWidth = static_cast<std::uint8_t>(values.nWidth);
    auto nNumber = static_cast<std::uint8_t>(values.nNumber);
    if (!list.AddDataSet(static_cast<std::uint8_t>(values.nGroup), static_cast<std::uint8_t>(values.nEntry),
                         strKod.toStdString(), strType.toStdString(), nWidth, nNumber,
                         values.strGid.toStdString(), values.bHex))
        return false;
    values.nWidth = nWidth;
    values.nNumber = nNumber;
    return true;
}

GenericDataForm::GenericDataForm(CGenericList& list, QWidget* pParent) : CFormDialog(pParent), m_list(list)
{
    setWindowTitle(QStringLiteral("通用分类数据"));
    m_pInf = new QComboBox(this);
    m_pInf->addItems(GenericDataInfEntries());
    m_pCount = new QLabel(QStringLiteral("通用分类数据集数目  NGD :"), this);
    m_pGroup = new QLineEdit(this);
    m_pEntry = new QLineEdit(this);
    m_pKod = new QComboBox(this);
    m_pKod->setEditable(true);
    m_pKod->setInsertPolicy(QComboBox::NoInsert);
    m_pKod->addItems(KodEntries());
    m_pType = new QComboBox(this);
    m_pType->setEditable(true);
    m_pType->setInsertPolicy(QComboBox::NoInsert);
    m_pType->addItems(DataTypeEntries());
    m_pWidth = new QLineEdit(this);
    m_pNumber = new QLineEdit(this);
    m_pGid = new QLineEdit(this);
    m_pDecimal = new QRadioButton(QStringLiteral("十进制"), this);
    m_pHex = new QRadioButton(QStringLiteral("十六进制"), this);
    auto* pBase = new QButtonGroup(this);
    pBase->addButton(m_pDecimal);
    pBase->addButton(m_pHex);
    auto* pAdd = new QPushButton(QStringLiteral("添加"), this);
    auto* pClear = new QPushButton(QStringLiteral("清除"), this);
    pAdd->setAutoDefault(false);
    pClear->setAutoDefault(false);
    auto* pGroupBox = new QGroupBox(QStringLiteral("数据"), this);
    m_pList = new QPlainTextEdit(pGroupBox);
    m_pList->setReadOnly(true);
    (new QVBoxLayout(pGroupBox))->addWidget(m_pList);

    NameControl(m_pInf, IDC_GENERIC_INF);
    NameControl(m_pCount, IDC_GENERIC_NGD);
    NameControl(m_pGroup, IDC_GENERIC_GROUP);
    NameControl(m_pEntry, IDC_GENERIC_ENTRY);
    NameControl(m_pKod, IDC_GENERIC_KOD);
    NameControl(m_pType, IDC_GENERIC_TYPE);
    NameControl(m_pWidth, IDC_GENERIC_WIDTH);
    NameControl(m_pNumber, IDC_GENERIC_NUMBER);
    NameControl(m_pGid, IDC_GENERIC_GID);
    NameControl(m_pDecimal, IDC_GENERIC_DECIMAL);
    NameControl(m_pHex, IDC_GENERIC_HEX);
    NameControl(pAdd, IDC_GENERIC_ADD);
    NameControl(pClear, IDC_GENERIC_CLEAR);
    NameControl(m_pList, IDC_GENERIC_LIST);

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("信息序号 INF"), m_pInf);
    pForm->addRow(m_pCount);
    pForm->addRow(QStringLiteral("组号"), m_pGroup);
    pForm->addRow(QStringLiteral("条目号"), m_pEntry);
    pForm->addRow(QStringLiteral("类型描述  KOD"), m_pKod);
    pForm->addRow(QStringLiteral("数据类型"), m_pType);
    pForm->addRow(QStringLiteral("数据宽度"), m_pWidth);
    pForm->addRow(QStringLiteral("数目"), m_pNumber);
    pForm->addRow(QStringLiteral("通用分类标识数据  GID"), m_pGid);
    auto* pBaseRow = new QHBoxLayout;
    pBaseRow->addWidget(m_pDecimal);
    pBaseRow->addWidget(m_pHex);
    pForm->addRow(QStringLiteral("通用分类标识数据数制"), pBaseRow);
    auto* pButtonRow = new QHBoxLayout;
    pButtonRow->addWidget(pAdd);
    pButtonRow->addWidget(pClear);
    pButtonRow->addStretch();
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addLayout(pButtonRow);
    pLayout->addWidget(pGroupBox);
    pLayout->addWidget(CreateOkCancel(this));

    connect(pAdd, &QPushButton::clicked, this, &GenericDataForm::OnAdd);
    connect(pClear, &QPushButton::clicked, this, &GenericDataForm::OnClear);
    SetValues(m_values);
}

void GenericDataForm::SetValues(const CGenericDataValues& values)
{
    m_values = values;
    m_pInf->setCurrentIndex(0);
    m_pKod->setCurrentIndex(1);
    m_pKod->setEditText(KodEntries().at(1));
    m_pType->setCurrentIndex(0);
    m_pType->setEditText(DataTypeEntries().at(0));
    Refresh();
    ShowValues();
}

void GenericDataForm::ShowValues()
{
    m_pGroup->setText(QString::number(m_values.nGroup));
    m_pEntry->setText(QString::number(m_values.nEntry));
    m_pWidth->setText(QString::number(m_values.nWidth));
    m_pNumber->setText(QString::number(m_values.nNumber));
    m_pGid->setText(m_values.strGid);
    (m_values.bHex ? m_pHex : m_pDecimal)->setChecked(true);
}

void GenericDataForm::Refresh()
{
    const CGenericListText text = FormatGenericList(m_list, GenericListKind::Data);
    m_pList->setPlainText(QString::fromStdString(text.strList));
    m_pCount->setText(QString::fromStdString(text.strCount));
}

bool GenericDataForm::ReadFields()
{
    CGenericDataValues values = m_values;
    const CExchangeError error =
        ExchangeGenericDataForm({m_pGroup->text(), m_pEntry->text(), m_pWidth->text(), m_pNumber->text(),
                                 m_pGid->text(), m_pHex->isChecked()},
                                values);
    if (!error.IsOk())
    {
        FailField(error);
        return false;
    }
    m_values = values;
    return true;
}

void GenericDataForm::OnAdd()
{
    // A refused field keeps its text and the focus so that the user can correct it.
    if (!ReadFields())
        return;
    AddGenericDataSet(m_list, m_values, m_pKod->currentText(), m_pType->currentText());
    Refresh();
    ShowValues();
}

void GenericDataForm::OnClear()
{
    ReadFields(); // a refused field is reported; the list is cleared all the same
    m_list.ClearGenericList();
    m_values.strGid.clear();
    Refresh();
    ShowValues();
}

void GenericDataForm::accept()
{
    const int nInf = LeadingNumberOf(m_pInf->currentText());
    if (!ReadFields())
        return;
    m_values.nInf = nInf;
    CFormDialog::accept();
}

} // namespace relvane
