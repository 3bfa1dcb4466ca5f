#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QLineEdit;

namespace relvane
{

enum : int
{
    IDC_INTERVAL = 1015
};

// An unsigned number of milliseconds from 0 to 65535.
CExchangeError ExchangeIntervalForm(const QString& strInterval, int& nIntervalMs);

// Polling interval by default; the UDP interval of the Ethernet mode under its own title.
class IntervalForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit IntervalForm(QWidget* pParent = nullptr);

    void SetTitle(const QString& strTitle);
    void SetInterval(int nIntervalMs);
    int Interval() const { return m_nIntervalMs; }

    void accept() override;

private:
    int m_nIntervalMs = 1000;
    QLineEdit* m_pInterval = nullptr;
};

} // namespace relvane
