#pragma once

#include <ctime>

namespace relvane
{

// The system's thread-safe local-time conversion (one implementation per system); false when the
// system cannot convert nSeconds.
bool LocalTimeParts(std::time_t nSeconds, std::tm& parts);

} // namespace relvane
