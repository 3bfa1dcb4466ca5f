#include "forms/ClockForm.h"

#include "forms/FormButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace relvane
{

void FillClockValues(const QDateTime& time, CClockValues& values)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    values.nYear = date.year();
    values.nMonth = date.month();
    values.nDay = date.day();
    values.nHour = clock.hour();
    values.nMinute = clock.minute();
    values.nSecond = clock.second();
}

CExchangeError ExchangeClockForm(const CClockEntries& entries, CClockValues& values)
{
    struct CField
    {
        int nControlId;
        const QString& strText;
        int nLower;
        int nUpper;
        int& nValue;
    };
    const CField fields[] = {
        {IDC_CLOCK_YEAR, entries.strYear, 2000, 2050, values.nYear},
        {IDC_CLOCK_DAY, entries.strDay, 1, 31, values.nDay},
        {IDC_CLOCK_HOUR, entries.strHour, 0, 23, values.nHour},
        {IDC_CLOCK_MINUTE, entries.strMinute, 0, 59, values.nMinute},
        {IDC_CLOCK_MONTH, entries.strMonth, 1, 12, values.nMonth},
        {IDC_CLOCK_SECOND, entries.strSecond, 0, 59, values.nSecond},
    };
    for (const CField& field : fields)
    {
        if (QString str = ReadSignedField(field.strText, field.nLower, field.nUpper, field.nValue);
            !str.isEmpty())
            return {field.nControlId, str};
    }
    values.bSync = entries.bSync ? 1 : 0;
    values.bAnswer = entries.bAnswer ? 1 : 0;
    return {};
}

ClockForm::ClockForm(QWidget* pParent, ClockSource fnClock)
    : CFormDialog(pParent), m_fnClock(std::move(fnClock))
{
    if (!m_fnClock)
        m_fnClock = [] { return QDateTime::currentDateTime(); };
    setWindowTitle(QStringLiteral("时间设置"));

    static const int s_anIds[6] = {IDC_CLOCK_YEAR, IDC_CLOCK_MONTH,  IDC_CLOCK_DAY,
                                   IDC_CLOCK_HOUR, IDC_CLOCK_MINUTE, IDC_CLOCK_SECOND};
    static const char16_t* const s_apszUnits[6] = {u"年", u"月", u"日", u"时", u"分", u"秒"};
    auto* pGrid = new QGridLayout;
    for (int i = 0; i < 6; ++i)
    {
        m_apFields[i] = new QLineEdit(this);
        NameControl(m_apFields[i], s_anIds[i]);
        SetFieldName(m_apFields[i], QString::fromUtf16(s_apszUnits[i]));
        const int nRow = i / 3;
        const int nColumn = (i % 3) * 2;
        pGrid->addWidget(m_apFields[i], nRow, nColumn);
        pGrid->addWidget(new QLabel(QString::fromUtf16(s_apszUnits[i]), this), nRow, nColumn + 1);
    }
    m_pSync = new QCheckBox(QStringLiteral("与计算机时间同步"), this);
    m_pAnswer = new QCheckBox(QStringLiteral("要求回答"), this);
    NameControl(m_pSync, IDC_CLOCK_SYNC);
    NameControl(m_pAnswer, IDC_CLOCK_ANSWER);
    m_pAnswer->setVisible(false);
    connect(m_pSync, &QCheckBox::clicked, this, &ClockForm::OnSyncClicked);
    connect(m_pAnswer, &QCheckBox::clicked, this, [this] { ReadFields(); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pGrid);
    pLayout->addWidget(m_pSync);
    pLayout->addWidget(m_pAnswer);
    pLayout->addWidget(CreateOkCancel(this));

    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(1000);
    connect(m_pTimer, &QTimer::timeout, this, &ClockForm::OnTimer);

    FillClockValues(m_fnClock(), m_values);
    ShowValues();
}

void ClockForm::SetShowAnswer(bool bShow)
{
    m_bShowAnswer = bShow;
    m_pAnswer->setVisible(bShow);
}

bool ClockForm::IsRefreshing() const
{
    return m_pTimer->isActive();
}

void ClockForm::showEvent(QShowEvent* pEvent)
{
    CFormDialog::showEvent(pEvent);
    ShowValues();
    m_pAnswer->setVisible(m_bShowAnswer);
    // The refresh runs from the opening whatever the check box holds.
    m_pTimer->start();
}

void ClockForm::ShowValues()
{
    const int anValues[6] = {m_values.nYear, m_values.nMonth,  m_values.nDay,
                             m_values.nHour, m_values.nMinute, m_values.nSecond};
    for (int i = 0; i < 6; ++i)
        m_apFields[i]->setText(QString::number(anValues[i]));
    m_pSync->setChecked(m_values.bSync != 0);
    m_pAnswer->setChecked(m_values.bAnswer != 0);
}

CClockEntries ClockForm::Entries() const
{
    return {m_apFields[0]->text(), m_apFields[1]->text(), m_apFields[2]->text(), m_apFields[3]->text(),
            m_apFields[4]->text(), m_apFields[5]->text(), m_pSync->isChecked(),  m_pAnswer->isChecked()};
}

bool ClockForm::ReadFields()
{
    CClockValues values = m_values;
    const CExchangeError error = ExchangeClockForm(Entries(), values);
    if (!error.IsOk())
    {
        FailField(error);
        return false;
    }
    m_values = values;
    return true;
}

void ClockForm::OnTimer()
{
    // The boxes keep what the user ticked; only the six time fields follow the clock.
    m_values.bSync = m_pSync->isChecked() ? 1 : 0;
    m_values.bAnswer = m_pAnswer->isChecked() ? 1 : 0;
    FillClockValues(m_fnClock(), m_values);
    ShowValues();
}

void ClockForm::OnSyncClicked()
{
    ReadFields();
    // The box decides even when a time field was refused, so the refresh follows the tick.
    m_values.bSync = m_pSync->isChecked() ? 1 : 0;
    if (m_values.bSync)
        m_pTimer->start();
    else
        m_pTimer->stop();
}

void ClockForm::accept()
{
    m_pTimer->stop();
    if (!ReadFields())
        return;
    CFormDialog::accept();
}

void ClockForm::reject()
{
    m_pTimer->stop();
    CFormDialog::reject();
}

} // namespace relvane
