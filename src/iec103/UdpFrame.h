#pragma once

#include <cstdint>
#include <ctime>

namespace relvane
{

constexpr int kUdpFrameLength = 41;

// Builds the 41-byte UDP frame of the Ethernet mode into pOut (at least 41 bytes): FFH, the time
// flag, then with bWithTime the seven-octet time of localTime (ms of the minute, minute, hour,
// day, month, year in the century), the rest zero. Returns 41.
int BuildUdpFrame(std::uint8_t* pOut, bool bWithTime, const std::tm& localTime);

} // namespace relvane
