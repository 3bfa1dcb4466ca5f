#include "common/CalendarTime.h"
#include "common/CivilDays.h"
#include "common/LocalTimeParts.h"

#include "FixedZone.h"

#include <ctime>
#include <gtest/gtest.h>

namespace
{

using relvane::CCalendarTime;

class CalendarTimeTest : public ::testing::Test
{
protected:
    void TearDown() override { relvane::test::UseTimeZone(nullptr); }
};

struct CZoneCase
{
    const char* pszZone;
    std::int64_t nEpochMs;
    CCalendarTime local;
};

// Fixed zones without daylight saving, so the table holds on every machine and system.
const CZoneCase kCases[] = {
    {"UTC0", 0, {1970, 1, 1, 0, 0, 0, 0}},
    {"UTC0", 1796702706789, {2026, 12, 8, 4, 5, 6, 789}},
    {"CST-8", 1796702706789, {2026, 12, 8, 12, 5, 6, 789}},
    {"EST+5", 1796702706789, {2026, 12, 7, 23, 5, 6, 789}},
    {"CST-8", 951782399999, {2000, 2, 29, 7, 59, 59, 999}},  // leap day
    {"EST+5", 1709269200000, {2024, 3, 1, 0, 0, 0, 0}},      // day after a leap day
    {"CST-8", 1767196800000, {2026, 1, 1, 0, 0, 0, 0}},      // new year, local
    {"UTC0", 4102444799001, {2099, 12, 31, 23, 59, 59, 1}},
};

TEST_F(CalendarTimeTest, EpochMillisecondsToLocalAndBack)
{
    for (const CZoneCase& c : kCases)
    {
        relvane::test::UseTimeZone(c.pszZone);
        SCOPED_TRACE(std::string(c.pszZone) + " " + std::to_string(c.nEpochMs));
        EXPECT_EQ(relvane::LocalCalendarTime(c.nEpochMs), c.local);
        const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(c.nEpochMs));
        EXPECT_EQ(relvane::LocalCalendarTime(when), c.local);
        EXPECT_EQ(relvane::LocalCalendarTimeToMs(c.local), std::optional<std::int64_t>(c.nEpochMs));
    }
}

TEST_F(CalendarTimeTest, MillisecondsBeforeTheEpochRoundTowardsTheEarlierSecond)
{
    relvane::test::UseTimeZone("CST-8");
    // Windows' C library has no local time before 1970 (UTC): nothing to round there.
    std::tm parts{};
    if (!relvane::LocalTimeParts(-1, parts))
        GTEST_SKIP() << "this system's C library has no local times before 1970";
    EXPECT_EQ(relvane::LocalCalendarTime(-1), (CCalendarTime{1970, 1, 1, 7, 59, 59, 999}));
    EXPECT_EQ(relvane::LocalCalendarTime(-1000), (CCalendarTime{1970, 1, 1, 7, 59, 59, 0}));
}

TEST_F(CalendarTimeTest, FieldsOutOfRangeRollOverAsTheSystemDoes)
{
    relvane::test::UseTimeZone("UTC0");
    EXPECT_EQ(relvane::LocalCalendarTimeToMs({2026, 12, 31, 23, 59, 60, 5}),
              std::optional<std::int64_t>(1798761600005));
}

TEST(CivilDaysTest, DatesToDaysSinceTheEpochAndBack)
{
    struct CCase
    {
        int nYear, nMonth, nDay;
        std::int64_t nDays;
    };
    const CCase kDays[] = {
        {1970, 1, 1, 0},     {1969, 12, 31, -1}, {2000, 2, 29, 11016}, {2000, 3, 1, 11017},
        {1900, 3, 1, -25508}, {2026, 12, 8, 20795}, {9999, 12, 31, 2932896}, {1600, 1, 1, -135140},
    };
    for (const CCase& c : kDays)
    {
        EXPECT_EQ(relvane::DaysFromCivil(c.nYear, c.nMonth, c.nDay), c.nDays) << c.nYear << "-" << c.nMonth;
        int nYear = 0, nMonth = 0, nDay = 0;
        relvane::CivilFromDays(c.nDays, nYear, nMonth, nDay);
        EXPECT_EQ(nYear * 10000 + nMonth * 100 + nDay, c.nYear * 10000 + c.nMonth * 100 + c.nDay) << c.nDays;
    }
}

} // namespace
