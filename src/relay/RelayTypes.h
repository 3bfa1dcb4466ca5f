#pragma once

#include <cstdint>
#include <vector>

namespace relvane
{

using CRelayBytes = std::vector<std::uint8_t>;

// Which protocol a simulated relay answers on a serial line. RELAY_AUTO answers each frame in the
// protocol it arrived in.
enum RelayProtocol : int
{
    RELAY_AUTO = 0,
    RELAY_94 = 1,
    RELAY_103 = 2,
};

} // namespace relvane
