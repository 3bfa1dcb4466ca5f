#include "forms/ClockForm.h"

#include "FormsTestSupport.h"

#include <QCheckBox>
#include <QDeadlineTimer>

using namespace relvane;
using relvane::test::FormTest;

namespace
{
CClockEntries Entries(const char* pszYear, const char* pszMonth, const char* pszDay, const char* pszHour,
                      const char* pszMinute, const char* pszSecond)
{
    return {QString::fromLatin1(pszYear),
            QString::fromLatin1(pszMonth),
            QString::fromLatin1(pszDay),
            QString::fromLatin1(pszHour),
            QString::fromLatin1(pszMinute),
            QString::fromLatin1(pszSecond),
            true,
            false};
}
} // namespace

TEST(ClockExchange, RangesAndOrder)
{
    CClockValues values;
    EXPECT_EQ(ExchangeClockForm(Entries("1999", "1", "1", "0", "0", "0"), values).strMessage,
              QStringLiteral("“请填入一个在2000和2050之间的整数。”"));
    EXPECT_EQ(ExchangeClockForm(Entries("2051", "1", "1", "0", "0", "0"), values).nControlId, IDC_CLOCK_YEAR);
    EXPECT_TRUE(ExchangeClockForm(Entries("2024", "2", "31", "23", "59", "59"), values).IsOk())
        << "the day is not checked against the month";
    EXPECT_EQ(values.nDay, 31);
    // Year, day, hour, minute, month, second: the month is reported after the minute.
    EXPECT_EQ(ExchangeClockForm(Entries("2024", "13", "1", "0", "60", "60"), values).nControlId,
              IDC_CLOCK_MINUTE);
    EXPECT_EQ(ExchangeClockForm(Entries("2024", "13", "1", "0", "0", "60"), values).nControlId,
              IDC_CLOCK_MONTH);
    EXPECT_EQ(ExchangeClockForm(Entries("2024", "12", "1", "0", "0", "60"), values).nControlId,
              IDC_CLOCK_SECOND);
    EXPECT_EQ(ExchangeClockForm(Entries("2024", "12", "0", "24", "0", "0"), values).nControlId,
              IDC_CLOCK_DAY);
    EXPECT_EQ(ExchangeClockForm(Entries("2024", "12", "1", "24", "0", "0"), values).strMessage,
              QStringLiteral("“请填入一个在0和23之间的整数。”"));
}

using ClockFormTest = FormTest;

TEST_F(ClockFormTest, FillsItselfFromTheClockAndHidesTheAnswerBox)
{
    const QDateTime now(QDate(2024, 3, 9), QTime(8, 7, 6));
    ClockForm form(nullptr, [&] { return now; });
    EXPECT_EQ(form.windowTitle(), QStringLiteral("时间设置"));
    EXPECT_EQ(Text(form, IDC_CLOCK_YEAR), QStringLiteral("2024"));
    EXPECT_EQ(Text(form, IDC_CLOCK_MONTH), QStringLiteral("3"));
    EXPECT_EQ(Text(form, IDC_CLOCK_SECOND), QStringLiteral("6"));
    Open(form);
    EXPECT_TRUE(Get<QCheckBox>(form, IDC_CLOCK_SYNC)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(form, IDC_CLOCK_ANSWER)->isVisible());
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nHour, 8);
    EXPECT_EQ(form.Values().nMinute, 7);
    EXPECT_EQ(form.Values().bAnswer, 0);
}

TEST_F(ClockFormTest, AnswerBoxShownOnRequest)
{
    ClockForm form;
    form.SetShowAnswer(true);
    Open(form);
    auto* pAnswer = Get<QCheckBox>(form, IDC_CLOCK_ANSWER);
    EXPECT_TRUE(pAnswer->isVisible());
    EXPECT_EQ(pAnswer->text(), QStringLiteral("要求回答"));
    pAnswer->click();
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().bAnswer, 1);
}

TEST_F(ClockFormTest, RefreshOverwritesTypedFieldsWhileSynchronised)
{
    QDateTime now(QDate(2024, 3, 9), QTime(8, 7, 6));
    ClockForm form(nullptr, [&] { return now; });
    Open(form);
    EXPECT_TRUE(form.IsRefreshing()) << "the refresh starts on opening";
    SetText(form, IDC_CLOCK_MINUTE, QStringLiteral("33"));
    now = now.addSecs(1);
    // The real one-second timer replaces the typed minute; wait generously for it.
    const QDeadlineTimer deadline(30000);
    while (Text(form, IDC_CLOCK_MINUTE) == QStringLiteral("33") && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(Text(form, IDC_CLOCK_MINUTE), QStringLiteral("7"));
    EXPECT_EQ(Text(form, IDC_CLOCK_SECOND), QStringLiteral("7"));

    Get<QCheckBox>(form, IDC_CLOCK_SYNC)->click(); // untick: the refresh stops
    EXPECT_FALSE(form.IsRefreshing());
    Get<QCheckBox>(form, IDC_CLOCK_SYNC)->click();
    EXPECT_TRUE(form.IsRefreshing());
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(ClockFormTest, RefusedOkStopsTheRefreshAndKeepsTheForm)
{
    ClockForm form;
    Open(form);
    SetText(form, IDC_CLOCK_YEAR, QStringLiteral("1999"));
    Click(form, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.IsRefreshing());
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("年: “请填入一个在2000和2050之间的整数。”")});
    form.OnTimer();
    EXPECT_NE(Text(form, IDC_CLOCK_YEAR), QStringLiteral("1999"));
    Click(form, 2);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.IsRefreshing());
}
