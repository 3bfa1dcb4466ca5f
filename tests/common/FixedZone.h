#pragma once

namespace relvane::test
{

// Switches the process's local time to a zone given as a TZ string ("CST-8" is UTC+8); nullptr
// restores the zone the process started with.
void UseTimeZone(const char* pszZone);

} // namespace relvane::test
