#pragma once

#include "common/FrameScanner.h"

#include <cstdint>

namespace relvane
{

// The '94 frame test of the frame scanner. A '94 frame has no start or end character: address,
// code, length n, n data bytes and a CRC-16 over all before it, so a frame is recognised only
// whole and good (bValid always); the bytes of a damaged frame start none and form a garbled run.
CScanResult ScanProto94Frame(const std::uint8_t* pBytes, int nCount, bool bEnd);

} // namespace relvane
