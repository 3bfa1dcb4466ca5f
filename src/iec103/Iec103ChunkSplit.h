#pragma once

#include "common/ChunkPiece.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// Cuts a received serial chunk into the FT1.2 frames it holds, front to back: the single
// character E5H, a fixed frame 10H C A CS 16H, a variable frame 68H L L 68H ... CS 16H. A frame is
// recognised by its start characters, its repeated length (at least 2: C and A) and its end
// character where the length puts it, the framing Iec103Codec::CheckFrame demands; the checksum
// is left to CheckFrame, so a garbled frame still is its own piece, while damaged framing starts
// the remainder. From the first byte that starts no complete frame, the rest of the chunk is one
// remainder piece. An empty or null chunk gives no pieces.
std::vector<CChunkPiece> SplitIec103Chunk(const std::uint8_t* pBytes, int nCount);

// Length of the complete frame at the start of the bytes, or 0 when none starts there.
int Iec103FrameLengthAt(const std::uint8_t* pBytes, int nCount);

} // namespace relvane
