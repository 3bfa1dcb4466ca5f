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
    // An empty TZ makes the C runtime fall back to the system's zone.
    _putenv_s("TZ", pszZone ? pszZone : (s_original ? s_original->c_str() : ""));
    _tzset();
}

} // namespace relvane::test
