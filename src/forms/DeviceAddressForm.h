#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QLineEdit;

namespace relvane
{

enum : int
{
    IDC_DEVICE_ADDRESS = 1001,
    IDC_CPU_NUMBER = 1003,
    IDC_SETTING_GROUP = 1005
};

struct CDeviceAddressValues
{
    int nDeviceAddress = 1;
    int nCpuNumber = 1;
    int nSettingGroup = 0;
};

struct CDeviceAddressEntries
{
    QString strDeviceAddress;
    QString strCpuNumber;
    QString strSettingGroup;
};

// Order: CPU number, device address, setting group; each a signed integer from 0 to 255.
CExchangeError ExchangeDeviceAddressForm(const CDeviceAddressEntries& entries, CDeviceAddressValues& values);

class DeviceAddressForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit DeviceAddressForm(QWidget* pParent = nullptr);

    void SetValues(const CDeviceAddressValues& values);
    const CDeviceAddressValues& Values() const { return m_values; }

    void accept() override;

private:
    CDeviceAddressValues m_values;
    QLineEdit* m_pDeviceAddress = nullptr;
    QLineEdit* m_pCpuNumber = nullptr;
    QLineEdit* m_pSettingGroup = nullptr;
};

} // namespace relvane
