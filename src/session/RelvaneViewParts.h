#pragma once

// What the files of CRelvaneView (the common part and one file per protocol mode) share.

#include <cstdint>

namespace relvane::view_parts
{

inline constexpr const char* kPortClosedMessage = "串口尚未打开,不能发送报文.";

inline std::uint8_t LowByte(int nValue)
{
    return static_cast<std::uint8_t>(nValue & 0xFF);
}

} // namespace relvane::view_parts
