#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QCheckBox;
class QLineEdit;

namespace relvane
{

enum : int
{
    IDC_LINE_LIMIT_ON = 1012,
    IDC_LINE_LIMIT = 1013
};

struct CLineLimitValues
{
    int bLineLimit = 1;
    int nLineLimit = 2000;
};

struct CLineLimitEntries
{
    bool bLineLimit = true;
    QString strLineLimit;
};

// The check box, then the number: any signed 32-bit value, zero and negatives included.
CExchangeError ExchangeLineLimitForm(const CLineLimitEntries& entries, CLineLimitValues& values);

class LineLimitForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit LineLimitForm(QWidget* pParent = nullptr);

    void SetValues(const CLineLimitValues& values);
    const CLineLimitValues& Values() const { return m_values; }

    void accept() override;

private:
    CLineLimitValues m_values;
    QCheckBox* m_pLimitOn = nullptr;
    QLineEdit* m_pLimit = nullptr;
};

} // namespace relvane
