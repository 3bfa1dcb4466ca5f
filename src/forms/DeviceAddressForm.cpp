#include "forms/DeviceAddressForm.h"

#include "forms/FormButtons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace relvane
{

CExchangeError ExchangeDeviceAddressForm(const CDeviceAddressEntries& entries, CDeviceAddressValues& values)
{
    if (QString str = ReadSignedField(entries.strCpuNumber, 0, 255, values.nCpuNumber); !str.isEmpty())
        return {IDC_CPU_NUMBER, str};
    if (QString str = ReadSignedField(entries.strDeviceAddress, 0, 255, values.nDeviceAddress);
        !str.isEmpty())
        return {IDC_DEVICE_ADDRESS, str};
    if (QString str = ReadSignedField(entries.strSettingGroup, 0, 255, values.nSettingGroup); !str.isEmpty())
        return {IDC_SETTING_GROUP, str};
    return {};
}

DeviceAddressForm::DeviceAddressForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("装置地址设置"));
    auto* pForm = new QFormLayout;
    m_pDeviceAddress = new QLineEdit(this);
    m_pCpuNumber = new QLineEdit(this);
    m_pSettingGroup = new QLineEdit(this);
    NameControl(m_pDeviceAddress, IDC_DEVICE_ADDRESS);
    NameControl(m_pCpuNumber, IDC_CPU_NUMBER);
    NameControl(m_pSettingGroup, IDC_SETTING_GROUP);
    pForm->addRow(QStringLiteral("装置地址"), m_pDeviceAddress);
    pForm->addRow(QStringLiteral("CPU号"), m_pCpuNumber);
    pForm->addRow(QStringLiteral("定值区号"), m_pSettingGroup);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(CreateOkCancel(this));
    SetValues(m_values);
}

void DeviceAddressForm::SetValues(const CDeviceAddressValues& values)
{
    m_values = values;
    m_pDeviceAddress->setText(QString::number(m_values.nDeviceAddress));
    m_pCpuNumber->setText(QString::number(m_values.nCpuNumber));
    m_pSettingGroup->setText(QString::number(m_values.nSettingGroup));
}

void DeviceAddressForm::accept()
{
    CDeviceAddressValues values = m_values;
    const CExchangeError error = ExchangeDeviceAddressForm(
        {m_pDeviceAddress->text(), m_pCpuNumber->text(), m_pSettingGroup->text()}, values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
