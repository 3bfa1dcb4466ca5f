#pragma once

#include <cstdint>
#include <vector>

namespace relvane
{

// One piece of a received chunk: a frame the splitter recognised, or the rest of the chunk from
// the first byte that does not start one (bRemainder). A chunk that is not split at all is one
// piece covering it whole, marked as a frame or a remainder by the same rule.
struct CChunkPiece
{
    int nOffset = 0;
    int nLength = 0;
    bool bRemainder = false;

    friend bool operator==(const CChunkPiece&, const CChunkPiece&) = default;
};

// Length of the complete frame at the start of the bytes, or 0 when none starts there.
using FrameLengthAtFunction = int (*)(const std::uint8_t* pBytes, int nCount);

// Cuts a chunk into the frames fnFrameLengthAt finds one after another from its first byte; from
// the first byte that starts no frame, the rest is one remainder piece. An empty or null chunk
// gives no pieces.
std::vector<CChunkPiece> SplitChunk(const std::uint8_t* pBytes, int nCount,
                                    FrameLengthAtFunction fnFrameLengthAt);

} // namespace relvane
