#pragma once

#include "common/CalendarTime.h"

#include <cstdint>

namespace relvane
{

constexpr int kUdpFrameLength = 41;

// Builds the 41-byte UDP frame of the Ethernet mode into pOut (at least 41 bytes): FFH, the time
// flag, then with bWithTime the seven-octet time of localTime (ms of the minute, minute, hour,
// day, month, year in the century; whole seconds, as the clock has one-second resolution), the
// rest zero. Returns 41.
int BuildUdpFrame(std::uint8_t* pOut, bool bWithTime, const CCalendarTime& localTime);

} // namespace relvane
