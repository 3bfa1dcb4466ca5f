#include "iec103/Iec103ChunkSplit.h"

namespace relvane
{
namespace
{

constexpr std::uint8_t kSingleAck = 0xE5;
constexpr std::uint8_t kFixedStart = 0x10;
constexpr std::uint8_t kVariableStart = 0x68;
constexpr std::uint8_t kEnd = 0x16;
constexpr int kFixedLength = 5;
constexpr int kVariableOverhead = 6; // 68 L L 68 before the L bytes, CS 16 after them
constexpr int kMinVariableLength = 2; // C and A

} // namespace

int Iec103FrameLengthAt(const std::uint8_t* pBytes, int nCount)
{
    if (pBytes == nullptr || nCount < 1)
        return 0;
    switch (pBytes[0])
    {
    case kSingleAck:
        return 1;
    case kFixedStart:
        return nCount >= kFixedLength && pBytes[kFixedLength - 1] == kEnd ? kFixedLength : 0;
    case kVariableStart:
    {
        // L covers at least the control field and the link address.
        if (nCount < kVariableOverhead || pBytes[1] != pBytes[2] || pBytes[3] != kVariableStart ||
            pBytes[1] < kMinVariableLength)
            return 0;
        const int nLength = pBytes[1] + kVariableOverhead;
        return nCount >= nLength && pBytes[nLength - 1] == kEnd ? nLength : 0;
    }
    default:
        return 0;
    }
}

std::vector<CChunkPiece> SplitIec103Chunk(const std::uint8_t* pBytes, int nCount)
{
    return SplitChunk(pBytes, nCount, Iec103FrameLengthAt);
}

} // namespace relvane
