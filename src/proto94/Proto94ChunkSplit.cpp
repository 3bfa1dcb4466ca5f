#include "proto94/Proto94ChunkSplit.h"

#include "proto94/Crc16.h"

namespace relvane
{
namespace
{

constexpr int kOverhead = 5; // address, code, length, two CRC bytes

} // namespace

int Proto94FrameLengthAt(const std::uint8_t* pBytes, int nCount)
{
    if (pBytes == nullptr || nCount < kOverhead)
        return 0;
    const int nLength = pBytes[2] + kOverhead;
    if (nLength > nCount)
        return 0;
    const int nBody = nLength - 2;
    const std::uint16_t nCrc = Crc16Arc(pBytes, static_cast<std::size_t>(nBody));
    const auto nSent = static_cast<std::uint16_t>(pBytes[nBody] | (pBytes[nBody + 1] << 8));
    return nCrc == nSent ? nLength : 0;
}

std::vector<CChunkPiece> SplitProto94Chunk(const std::uint8_t* pBytes, int nCount)
{
    return SplitChunk(pBytes, nCount, Proto94FrameLengthAt);
}

} // namespace relvane
