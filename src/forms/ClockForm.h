#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

#include <QDateTime>
#include <functional>

class QCheckBox;
class QLineEdit;
class QTimer;

namespace relvane
{

enum : int
{
    IDC_CLOCK_YEAR = 1016,
    IDC_CLOCK_MONTH = 1017,
    IDC_CLOCK_DAY = 1018,
    IDC_CLOCK_HOUR = 1020,
    IDC_CLOCK_MINUTE = 1021,
    IDC_CLOCK_SECOND = 1022,
    IDC_CLOCK_SYNC = 1023,
    IDC_CLOCK_ANSWER = 1030
};

struct CClockValues
{
    int nYear = 2000;
    int nMonth = 1;
    int nDay = 1;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int bSync = 1;   // "与计算机时间同步"
    int bAnswer = 0; // "要求回答"
};

struct CClockEntries
{
    QString strYear;
    QString strMonth;
    QString strDay;
    QString strHour;
    QString strMinute;
    QString strSecond;
    bool bSync = true;
    bool bAnswer = false;
};

// The six fields of a local time (calendar year, month 1 to 12).
void FillClockValues(const QDateTime& time, CClockValues& values);

// Order: year, day, hour, minute, month, second, then the two check boxes. The day is not
// checked against the month.
CExchangeError ExchangeClockForm(const CClockEntries& entries, CClockValues& values);

class ClockForm : public CFormDialog
{
    Q_OBJECT

public:
    using ClockSource = std::function<QDateTime()>;

    // Filled from `fnClock` (the computer's local time by default), synchronised, no answer.
    explicit ClockForm(QWidget* pParent = nullptr, ClockSource fnClock = {});

    // The 103 clock command asks for the "要求回答" box; the '94 one does not.
    void SetShowAnswer(bool bShow);
    const CClockValues& Values() const { return m_values; }
    bool IsRefreshing() const;

    void accept() override;
    void reject() override;

    // One tick of the per-second refresh: the six fields are replaced by the time now.
    void OnTimer();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void ShowValues();
    CClockEntries Entries() const;
    bool ReadFields();
    void OnSyncClicked();

    ClockSource m_fnClock;
    CClockValues m_values;
    bool m_bShowAnswer = false;
    QLineEdit* m_apFields[6] = {};
    QCheckBox* m_pSync = nullptr;
    QCheckBox* m_pAnswer = nullptr;
    QTimer* m_pTimer = nullptr;
};

} // namespace relvane
