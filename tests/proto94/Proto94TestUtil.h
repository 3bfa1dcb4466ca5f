#pragma once

#include "proto94/Crc16.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane::test
{

using Bytes = std::vector<std::uint8_t>;

// The body with its CRC appended low byte first, as the relay sends it.
inline Bytes WithCrc(Bytes abBody)
{
    const std::uint16_t nCrc = Crc16Arc(abBody.data(), abBody.size());
    abBody.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abBody.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abBody;
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes abAll;
    for (const Bytes& part : parts)
        abAll.insert(abAll.end(), part.begin(), part.end());
    return abAll;
}

// 2004-12-31 23:59:58.999 as the relay sends it.
inline const Bytes kLongStamp{0x04, 0x20, 0x12, 0x31, 0x23, 0x59, 0x58, 0x99, 0x09};
inline const std::string kLongStampText = "2004年12月31日 23:59:58.999 ";

} // namespace relvane::test
