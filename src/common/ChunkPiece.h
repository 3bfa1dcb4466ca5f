#pragma once

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

} // namespace relvane
