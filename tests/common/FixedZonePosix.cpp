#include "FixedZone.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace relvane::test
{

void UseTimeZone(const char* pszZone)
{
    static const std::optional<std::string> s_original = [] {
        const char* psz = std::getenv("TZ");
        return psz ? std::optional<std::string>(psz) : std::nullopt;
    }();
    if (pszZone)
        setenv("TZ", pszZone, 1);
    else if (s_original)
        setenv("TZ", s_original->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace relvane::test
