#pragma once

namespace relvane
{

// Relay model selected in the "装置设置(&D)" menu; picks the '94 setting-name table.
enum DeviceModel
{
    KLR10, // line protection (default)
    KTR20, // transformer protection
};

} // namespace relvane
