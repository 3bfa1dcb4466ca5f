#pragma once

#include <cstddef>
#include <cstdint>

namespace relvane
{

// CRC-16/ARC of the '94 frames: polynomial 8005H reflected (A001H), initial value 0, no final
// exclusive-or, input and output reflected. Crc16Arc("123456789") == 0xBB3D.
extern const std::uint16_t kCrc16ArcTable[256];

std::uint16_t Crc16Arc(const std::uint8_t* pData, std::size_t nLength);

} // namespace relvane
