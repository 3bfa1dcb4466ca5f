#pragma once

#include "common/ChunkPiece.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// Cuts a received serial chunk into the '94 frames it holds, front to back. A '94 frame has no
// start or end character, so a frame is recognised only whole and good: address, code, length n,
// n data bytes and a CRC-16 that matches them. From the first byte where no such frame starts, the
// rest of the chunk is one remainder piece. An empty or null chunk gives no pieces.
std::vector<CChunkPiece> SplitProto94Chunk(const std::uint8_t* pBytes, int nCount);

// Length of the complete frame with a good CRC at the start of the bytes, or 0 when none starts
// there.
int Proto94FrameLengthAt(const std::uint8_t* pBytes, int nCount);

} // namespace relvane
