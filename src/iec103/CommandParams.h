#pragma once

#include <cstdint>

namespace relvane
{

// Parameters a command form hands to a 103 frame builder.
struct CommandParams
{
    std::uint8_t nFun = 0; // function type (ASDU 20, 24, 25)
    std::uint8_t nInf = 0; // information number (ASDU 20, 21, 10, 24, 25)
    // Length-prefixed type-specific bytes: pData[0] = count, then the bytes; may be null.
    // The builders check the count byte and read nothing beyond it.
    const std::uint8_t* pData = nullptr;
    std::int32_t bConfirm = 0; // ASDU 6 and 20: non-zero sends with confirmation (send / confirm)
};

} // namespace relvane
