#include "common/ChunkPiece.h"

namespace relvane
{

std::vector<CChunkPiece> SplitChunk(const std::uint8_t* pBytes, int nCount,
                                    FrameLengthAtFunction fnFrameLengthAt)
{
    std::vector<CChunkPiece> pieces;
    if (pBytes == nullptr)
        return pieces;
    int nOffset = 0;
    while (nOffset < nCount)
    {
        const int nRest = nCount - nOffset;
        const int nLength = fnFrameLengthAt(pBytes + nOffset, nRest);
        if (nLength == 0)
        {
            pieces.push_back(CChunkPiece{nOffset, nRest, true});
            break;
        }
        pieces.push_back(CChunkPiece{nOffset, nLength, false});
        nOffset += nLength;
    }
    return pieces;
}

} // namespace relvane
