#include "common/LocalTimeParts.h"

namespace relvane
{

bool LocalTimeParts(std::time_t nSeconds, std::tm& parts)
{
    return localtime_r(&nSeconds, &parts) != nullptr;
}

} // namespace relvane
