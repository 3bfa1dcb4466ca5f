#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace relvane
{

class CGenericList;

enum : int
{
    IDC_GENERIC_INF = 1035,
    IDC_GENERIC_GROUP = 1036,
    IDC_GENERIC_ENTRY = 1037,
    IDC_GENERIC_KOD = 1038,
    IDC_GENERIC_ADD = 1039,
    IDC_GENERIC_CLEAR = 1040,
    IDC_GENERIC_LIST = 1041,
    IDC_GENERIC_NOG = 1042,
    IDC_GENERIC_TYPE = 1043,
    IDC_GENERIC_WIDTH = 1044,
    IDC_GENERIC_NUMBER = 1045,
    IDC_GENERIC_GID = 1046,
    IDC_GENERIC_NGD = 1047,
    IDC_GENERIC_DECIMAL = 1048,
    IDC_GENERIC_HEX = 1049
};

// Field values the caller keeps between openings, and the INF the form yields.
struct CGenericDataValues
{
    int nGroup = 5;
    int nEntry = 1;
    int nWidth = 2;
    int nNumber = 1;
    QString strGid;
    bool bHex = false;
    int nInf = 0; // yielded on OK
};

struct CGenericDataEntries
{
    QString strGroup;
    QString strEntry;
    QString strWidth;
    QString strNumber;
    QString strGid;
    bool bHex = false;
};

// Order: group, entry (0 to 255), width, number (1 to 255), then the GID text and its base.
CExchangeError ExchangeGenericDataForm(const CGenericDataEntries& entries, CGenericDataValues& values);

// "添加" with values that passed: one data set onto the shared list; a type that forces its size
// changes width and number in `values`. False when the list has no room (nothing changes).
bool AddGenericDataSet(CGenericList& list, CGenericDataValues& values, const QString& strKod,
                       const QString& strType);

// Composes the generic write (ASDU 10) on the list shared with the identification form.
class GenericDataForm : public CFormDialog
{
    Q_OBJECT

public:
    GenericDataForm(CGenericList& list, QWidget* pParent = nullptr);

    // Opening: the field values, the first INF entry, KOD "1  实际值", type "3  UI  无符号整数".
    void SetValues(const CGenericDataValues& values);
    const CGenericDataValues& Values() const { return m_values; }

    void accept() override;
    void OnAdd();
    void OnClear();

private:
    bool ReadFields();
    void Refresh();
    void ShowValues();

    CGenericList& m_list;
    CGenericDataValues m_values;
    QComboBox* m_pInf = nullptr;
    QLabel* m_pCount = nullptr;
    QLineEdit* m_pGroup = nullptr;
    QLineEdit* m_pEntry = nullptr;
    QComboBox* m_pKod = nullptr;
    QComboBox* m_pType = nullptr;
    QLineEdit* m_pWidth = nullptr;
    QLineEdit* m_pNumber = nullptr;
    QLineEdit* m_pGid = nullptr;
    QRadioButton* m_pDecimal = nullptr;
    QRadioButton* m_pHex = nullptr;
    QPlainTextEdit* m_pList = nullptr;
};

} // namespace relvane
