#pragma once

#include <cstdint>

namespace relvane
{

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back (H. Hinnant's
// days_from_civil and civil_from_days): calendar arithmetic without the machine's time zone.
std::int64_t DaysFromCivil(std::int64_t nYear, int nMonth, int nDay);
void CivilFromDays(std::int64_t nDays, int& nYear, int& nMonth, int& nDay);

} // namespace relvane
