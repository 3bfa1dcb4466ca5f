#include "common/CivilDays.h"

namespace relvane
{

std::int64_t DaysFromCivil(std::int64_t nYear, int nMonth, int nDay)
{
    nYear -= nMonth <= 2 ? 1 : 0;
    const std::int64_t nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    const std::int64_t nYoe = nYear - nEra * 400;
    const std::int64_t nDoy = (153 * (nMonth + (nMonth > 2 ? -3 : 9)) + 2) / 5 + nDay - 1;
    const std::int64_t nDoe = nYoe * 365 + nYoe / 4 - nYoe / 100 + nDoy;
    return nEra * 146097 + nDoe - 719468;
}

void CivilFromDays(std::int64_t nDays, int& nYear, int& nMonth, int& nDay)
{
    const std::int64_t z = nDays + 719468;
    const std::int64_t nEra = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t nDoe = z - nEra * 146097;
    const std::int64_t nYoe = (nDoe - nDoe / 1460 + nDoe / 36524 - nDoe / 146096) / 365;
    const std::int64_t nDoy = nDoe - (365 * nYoe + nYoe / 4 - nYoe / 100);
    const std::int64_t nMp = (5 * nDoy + 2) / 153;
    nDay = static_cast<int>(nDoy - (153 * nMp + 2) / 5 + 1);
    nMonth = static_cast<int>(nMp < 10 ? nMp + 3 : nMp - 9);
    nYear = static_cast<int>(nYoe + nEra * 400 + (nMonth <= 2 ? 1 : 0));
}

} // namespace relvane
