#pragma once

#include <cstdint>

namespace relvane
{

// The latency timer of a USB serial adapter (FTDI and kin hold received bytes up to that many
// milliseconds), or 0 when the port is no such adapter or the system does not say.
std::int64_t AdapterLatencyUs(int nPort);

} // namespace relvane
