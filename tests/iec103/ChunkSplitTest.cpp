#include "TestBytes.h"
#include "iec103/Iec103ChunkSplit.h"

#include <gtest/gtest.h>

namespace
{

using relvane::CChunkPiece;
using relvane::test::Bytes;

// Pieces as offset:length, a remainder marked with "+", e.g. "0:5 5:20 25:3+".
std::string Pieces(const std::string& strHex)
{
    const std::vector<std::uint8_t> abChunk = Bytes(strHex);
    std::string strText;
    for (const CChunkPiece& piece :
         relvane::SplitIec103Chunk(abChunk.data(), static_cast<int>(abChunk.size())))
    {
        if (!strText.empty())
            strText += ' ';
        strText += std::to_string(piece.nOffset) + ':' + std::to_string(piece.nLength) +
                   (piece.bRemainder ? "+" : "");
    }
    return strText;
}

struct SplitCase
{
    const char* pszWhat;
    const char* pszChunk;
    const char* pszPieces;
};

const SplitCase kCases[] = {
    {"one fixed frame", "10 09 01 0A 16", "0:5"},
    {"one variable frame", "68 09 09 68 08 01 05 81 04 01 FF 03 02 98 16", "0:15"},
    {"a single E5", "E5", "0:1"},
    // The poll's answer and the hand-sent command's answer in one read.
    {"fixed then variable", "10 20 01 21 16 68 0E 0E 68 28 01 01 81 01 01 A0 5A 01 A6 0F 2C 15 00 9E 16",
     "0:5 5:20"},
    // Three queued answers after a stall.
    {"fixed, variable, fixed",
     "10 09 01 0A 16 68 10 10 68 08 01 09 04 02 01 A0 94 40 03 48 03 50 03 58 03 89 16 10 09 01 0A 16",
     "0:5 5:22 27:5"},
    {"acknowledgements around a frame", "E5 10 09 01 0A 16 E5", "0:1 1:5 6:1"},
    // A frame garbled inside still has its place: its checksum is the caller's business.
    {"bad checksum keeps its frame", "10 09 01 0B 16 10 09 01 0A 16", "0:5 5:5"},
    {"garbage behind good frames", "10 09 01 0A 16 12 34 56", "0:5 5:3+"},
    {"a cut-off frame behind a good one", "10 09 01 0A 16 68 09 09 68 08 01", "0:5 5:6+"},
    {"wrong end character", "10 09 01 0A 17 10 09 01 0A 16", "0:10+"},
    {"length bytes that differ", "68 09 08 68 08 01 05 81 04 01 FF 03 02 98 16", "0:15+"},
    {"second start character missing", "68 09 09 67 08 01 05 81 04 01 FF 03 02 98 16", "0:15+"},
    {"variable frame cut short", "68 09 09 68 08 01 05", "0:7+"},
    {"fixed frame cut short", "10 09 01", "0:3+"},
    {"nothing but garbage", "01 02 03 04 05", "0:5+"},
    {"L too small for C and A", "68 01 01 68 05 16", "0:6+"},
    {"empty", "", ""},
};

TEST(Iec103ChunkSplit, CutsAChunkIntoItsFrames)
{
    for (const SplitCase& c : kCases)
        EXPECT_EQ(Pieces(c.pszChunk), c.pszPieces) << c.pszWhat;
}

TEST(Iec103ChunkSplit, NullAndShortInputsReadNothingPastTheEnd)
{
    EXPECT_TRUE(relvane::SplitIec103Chunk(nullptr, 5).empty());
    EXPECT_EQ(relvane::Iec103FrameLengthAt(nullptr, 5), 0);
    // The length byte asks for more than there is: not a frame, and nothing beyond is read.
    const std::vector<std::uint8_t> abHead = Bytes("68 FF FF 68 00 00");
    EXPECT_EQ(relvane::Iec103FrameLengthAt(abHead.data(), static_cast<int>(abHead.size())), 0);
}

} // namespace
