#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QComboBox;
class QLineEdit;

namespace relvane
{

enum : int
{
    IDC_DIST_FUN = 1031,
    IDC_DIST_TOO = 1052,
    IDC_DIST_FAN = 1053,
    IDC_DIST_TOV = 1054,
    IDC_DIST_ACC = 1055
};

// Kept by the caller between openings; nAsdu is set before each opening.
struct CDisturbanceValues
{
    int nAsdu = 24; // 24: order, 25: acknowledgement
    int nFun = 0;
    int nTov = 1;
    int nFan = 0;
    int nAcc = 0;
    int nTooIndex24 = 0; // entry chosen at the last OK in each mode
    int nTooIndex25 = 0;
    int nToo = 0; // yielded: leading number of the TOO text
};

struct CDisturbanceEntries
{
    QString strFun;
    QString strToo;
    int nTooIndex = -1; // the entry the TOO text names, -1 for a typed text
    QString strTov;
    QString strFan;
    QString strAcc;
};

// Order: FUN, TOO, TOV, FAN, ACC. A named TOO entry is remembered for the current mode.
CExchangeError ExchangeDisturbanceForm(const CDisturbanceEntries& entries, CDisturbanceValues& values);

class DisturbanceForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit DisturbanceForm(QWidget* pParent = nullptr);

    // Also sets the caption and the TOO list of the mode and selects the remembered entry.
    void SetValues(const CDisturbanceValues& values);
    const CDisturbanceValues& Values() const { return m_values; }

    void accept() override;

private:
    CDisturbanceValues m_values;
    QLineEdit* m_pFun = nullptr;
    QComboBox* m_pToo = nullptr;
    QLineEdit* m_pTov = nullptr;
    QLineEdit* m_pFan = nullptr;
    QLineEdit* m_pAcc = nullptr;
};

} // namespace relvane
