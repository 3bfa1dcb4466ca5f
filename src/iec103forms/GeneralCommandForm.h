#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace relvane
{

enum : int
{
    IDC_FUN = 1031,
    IDC_INF = 1032,
    IDC_DCO = 1033,
    IDC_ANSWER_REQUIRED = 1034
};

// Kept by the caller between openings.
struct CGeneralCommandValues
{
    int nFun = 255;
    int nInf = 19;
    int nDcoIndex = 0; // 0 "分(1)", 1 "合(2)"
    int bAnswer = 0;   // "要求装置回答本命令"

    int Dco() const { return nDcoIndex + 1; }
};

struct CGeneralCommandEntries
{
    QString strFun;
    QString strInf;
    int nDcoIndex = 0;
    bool bAnswer = false;
};

// Order: FUN, INF (whole bytes), DCO, the check box.
CExchangeError ExchangeGeneralCommandForm(const CGeneralCommandEntries& entries,
                                          CGeneralCommandValues& values);

class GeneralCommandForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit GeneralCommandForm(QWidget* pParent = nullptr);

    void SetValues(const CGeneralCommandValues& values);
    const CGeneralCommandValues& Values() const { return m_values; }

    void accept() override;

private:
    CGeneralCommandValues m_values;
    QLineEdit* m_pFun = nullptr;
    QLineEdit* m_pInf = nullptr;
    QComboBox* m_pDco = nullptr;
    QCheckBox* m_pAnswer = nullptr;
};

} // namespace relvane
