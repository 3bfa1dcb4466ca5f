#include "common/LocalTimeParts.h"

namespace relvane
{

bool LocalTimeParts(std::time_t nSeconds, std::tm& parts)
{
    return localtime_s(&parts, &nSeconds) == 0;
}

} // namespace relvane
