#include "Proto94TestUtil.h"
#include "proto94/Proto94ChunkSplit.h"

#include <gtest/gtest.h>

namespace
{

using relvane::CChunkPiece;
using relvane::test::Bytes;
using relvane::test::Concat;
using relvane::test::WithCrc;

const Bytes kPoll = WithCrc({0x01, 0x83, 0x00});
const Bytes kReport = WithCrc({0x01, 0xBA, 0x02, 0x03, 0x06});
const Bytes kClock = WithCrc({0x01, 0xB7, 0x08, 0x01, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45});

std::vector<CChunkPiece> Split(const Bytes& abChunk)
{
    return relvane::SplitProto94Chunk(abChunk.data(), static_cast<int>(abChunk.size()));
}

Bytes Garbled(Bytes abFrame)
{
    abFrame[3] ^= 0x40;
    return abFrame;
}

struct SplitCase
{
    const char* pszWhat;
    Bytes abChunk;
    std::vector<CChunkPiece> pieces;
};

TEST(Proto94ChunkSplit, CutsAChunkIntoItsGoodFrames)
{
    const SplitCase cases[] = {
        {"one frame", kReport, {{0, 7, false}}},
        {"two frames", Concat({kReport, kClock}), {{0, 7, false}, {7, 13, false}}},
        {"three frames", Concat({kPoll, kReport, kPoll}), {{0, 5, false}, {5, 7, false}, {12, 5, false}}},
        // Without start characters a frame is only known by its CRC: a garbled one ends the cutting.
        {"one garbled frame", Garbled(kReport), {{0, 7, true}}},
        {"garbled frame first", Concat({Garbled(kReport), kClock}), {{0, 20, true}}},
        {"garbage behind a good frame", Concat({kReport, {0xAA, 0xBB}}), {{0, 7, false}, {7, 2, true}}},
        {"a cut-off frame behind a good one",
         Concat({kClock, Bytes(kReport.begin(), kReport.end() - 1)}),
         {{0, 13, false}, {13, 6, true}}},
        {"length byte longer than the chunk", {0x01, 0xB0, 0x20, 0x00, 0x00}, {{0, 5, true}}},
        {"shorter than any frame", {0x01, 0xB0}, {{0, 2, true}}},
        {"empty", {}, {}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(Split(c.abChunk), c.pieces) << c.pszWhat;
}

TEST(Proto94ChunkSplit, NullInputGivesNothing)
{
    EXPECT_TRUE(relvane::SplitProto94Chunk(nullptr, 7).empty());
    EXPECT_EQ(relvane::Proto94FrameLengthAt(nullptr, 7), 0);
}

} // namespace
