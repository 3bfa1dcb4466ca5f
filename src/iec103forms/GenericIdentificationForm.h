#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"
#include "iec103forms/GenericDataForm.h"

namespace relvane
{

struct CGenericIdentificationValues
{
    int nGroup = 1;
    int nEntry = 1;
    int nInf = 0; // yielded on OK
};

struct CGenericIdentificationEntries
{
    QString strGroup;
    QString strEntry;
};

// Order: group, entry (0 to 255).
CExchangeError ExchangeGenericIdentificationForm(const CGenericIdentificationEntries& entries,
                                                 CGenericIdentificationValues& values);

// Composes the generic read (ASDU 21) on the list shared with the data form.
class GenericIdentificationForm : public CFormDialog
{
    Q_OBJECT

public:
    GenericIdentificationForm(CGenericList& list, QWidget* pParent = nullptr);

    // Opening: the field values, the second INF entry and KOD "1  实际值".
    void SetValues(const CGenericIdentificationValues& values);
    const CGenericIdentificationValues& Values() const { return m_values; }

    void accept() override;
    void OnAdd();
    void OnClear();

private:
    bool ReadFields();
    void Refresh();
    void ShowValues();

    CGenericList& m_list;
    CGenericIdentificationValues m_values;
    QComboBox* m_pInf = nullptr;
    QLabel* m_pCount = nullptr;
    QLineEdit* m_pGroup = nullptr;
    QLineEdit* m_pEntry = nullptr;
    QComboBox* m_pKod = nullptr;
    QPlainTextEdit* m_pList = nullptr;
};

} // namespace relvane
