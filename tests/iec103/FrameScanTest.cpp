#include "ScanCuts.h"
#include "TestBytes.h"
#include "iec103/Iec103FrameScan.h"

#include <gtest/gtest.h>

namespace
{

using relvane::CFrameScanner;
using relvane::CScanPiece;
using relvane::CScanTime;
using relvane::ScanIec103Frame;
using ByteVector = std::vector<std::uint8_t>;
using relvane::test::Bytes;

// Pieces of a stream in order: 'F' a good frame, 'B' a frame with a wrong checksum, 'G' bytes that
// start no frame. The stream is their bytes one after another; neighbouring 'G' parts are one piece.
struct Part
{
    char cKind;
    const char* pszHex;
};

struct NoisyStream
{
    const char* pszWhat;
    std::vector<Part> parts;
};

constexpr const char* kFixed = "10 09 01 0A 16";
constexpr const char* kPoll = "10 5B 01 5C 16";
constexpr const char* kVariable = "68 09 09 68 08 01 05 81 04 01 FF 03 02 98 16";
constexpr const char* kEvent = "68 0E 0E 68 28 01 01 81 01 01 A0 5A 01 A6 0F 2C 15 00 9E 16";

const NoisyStream kStreams[] = {
    {"frames back to back", {{'F', kPoll}, {'F', kEvent}, {'F', kPoll}, {'F', "E5"}, {'F', kFixed}}},
    {"acknowledgements around a frame", {{'F', "E5"}, {'F', kFixed}, {'F', "E5"}, {'F', "E5"}}},
    {"a stray byte before the answer", {{'G', "FF"}, {'F', kEvent}}},
    {"a stray byte before E5", {{'G', "ED"}, {'F', "E5"}}},
    {"a lone damaged E5", {{'G', "ED"}}},
    {"noise before a frame", {{'G', "16 16 00 FE"}, {'F', kVariable}}},
    {"a start character as noise before a fixed frame", {{'G', "10"}, {'F', kPoll}}},
    {"a start character as noise before a variable frame", {{'G', "68"}, {'F', kEvent}}},
    {"a start character as noise before E5", {{'G', "10"}, {'F', "E5"}}},
    {"garbage between frames", {{'F', kPoll}, {'G', "AA 55"}, {'F', kFixed}}},
    {"garbage after the frames", {{'F', kFixed}, {'F', kEvent}, {'G', "12 34"}}},
    {"E5 inside garbage is a data byte", {{'G', "AA E5 BB"}, {'F', kFixed}}},
    {"a byte slipped into a frame", {{'G', "68 09 09 68 08 00 01 05 81 04 01 FF 03 02 98 16"}, {'F', kPoll}}},
    {"a frame that lost a byte",
     {{'G', "68 0E 0E 68 28 01 01 81 01 A0 5A 01 A6 0F 2C 15 00 9E 16"}, {'F', kFixed}}},
    {"lengths that differ", {{'G', "68 09 08 68 08 01 05 81 04 01 FF 03 02 98 16"}, {'F', kFixed}}},
    {"wrong end character", {{'G', "10 09 01 0A 17"}, {'F', kFixed}}},
    {"a wrong checksum keeps its frame", {{'B', "10 09 01 0B 16"}, {'F', kFixed}}},
    {"a variable frame with a wrong checksum",
     {{'F', kPoll}, {'B', "68 09 09 68 08 01 05 81 04 01 FF 03 02 99 16"}, {'F', "E5"}}},
    {"a frame cut off at the end", {{'F', kFixed}, {'G', "68 09 09 68 08 01"}}},
    {"a fixed frame cut off at the end", {{'F', kVariable}, {'G', "10 09 01"}}},
    {"L too small for C and A", {{'G', "68 01 01 68 05 16"}, {'F', kPoll}}},
    {"nothing but garbage", {{'G', "01 02 03 04 05"}}},
    {"a single E5", {{'F', "E5"}}},
    {"one variable frame", {{'F', kVariable}}},
    // The poll's answer and the hand-sent command's answer in one read.
    {"fixed then variable", {{'F', "10 20 01 21 16"}, {'F', kEvent}}},
    // Three queued answers after a stall.
    {"fixed, variable, fixed",
     {{'F', kFixed}, {'F', "68 10 10 68 08 01 09 04 02 01 A0 94 40 03 48 03 50 03 58 03 89 16"}, {'F', kFixed}}},
    {"garbage behind a good frame", {{'F', kFixed}, {'G', "12 34 56"}}},
    {"second start character missing", {{'G', "68 09 09 67 08 01 05 81 04 01 FF 03 02 98 16"}, {'F', kFixed}}},
    {"variable frame cut short", {{'G', "68 09 09 68 08 01 05"}}},
    {"fixed frame cut short", {{'G', "10 09 01"}}},
    {"empty", {}},
};

TEST(Iec103FrameScan, FindsEveryFrameOfANoisyStreamWhereverItsReadsAreCut)
{
    for (const NoisyStream& stream : kStreams)
    {
        ByteVector abStream;
        std::string strExpected;
        char cLast = 0;
        for (const Part& part : stream.parts)
        {
            const ByteVector abPart = Bytes(part.pszHex);
            abStream.insert(abStream.end(), abPart.begin(), abPart.end());
            if (part.cKind == 'G' && cLast == 'G')
                strExpected += ' ';
            else
                strExpected += std::string(strExpected.empty() ? "" : " | ") + part.cKind + ':';
            strExpected += relvane::test::Hex(abPart);
            cLast = part.cKind;
        }
        relvane::test::ExpectPiecesAtEveryCut(ScanIec103Frame, abStream, strExpected, stream.pszWhat);
    }
}

TEST(Iec103FrameScan, AFrameCutByAReadWaitsForItsRestUntilTheLineIsQuiet)
{
    CFrameScanner scanner(ScanIec103Frame, 5000);
    std::vector<CScanPiece> pieces;
    const ByteVector abEvent = Bytes(kEvent);
    scanner.Feed(abEvent.data(), 7, CScanTime{100, 100}, pieces);
    scanner.Expire(5099, pieces);
    EXPECT_TRUE(pieces.empty());
    EXPECT_TRUE(scanner.IsHolding());
    scanner.Feed(abEvent.data() + 7, static_cast<int>(abEvent.size()) - 7, CScanTime{3000, 3000}, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(relvane::test::DescribePieces(pieces), std::string("F:") + kEvent);
    EXPECT_EQ(pieces[0].firstByte.nSteadyUs, 100);
    EXPECT_EQ(pieces[0].lastByte.nSteadyUs, 3000);

    // The rest never comes: once the line was quiet for the quiet time, what came is given out.
    pieces.clear();
    scanner.Feed(abEvent.data(), 9, CScanTime{10000, 10000}, pieces);
    EXPECT_EQ(scanner.ExpiresAtUs(), 15000);
    scanner.Expire(14999, pieces);
    EXPECT_TRUE(pieces.empty());
    scanner.Expire(15000, pieces);
    EXPECT_EQ(relvane::test::DescribePieces(pieces), "G:68 0E 0E 68 28 01 01 81 01");
    EXPECT_FALSE(scanner.IsHolding());
}

TEST(Iec103FrameScan, EndlessNoiseIsGivenOutInBoundedPieces)
{
    CFrameScanner scanner(ScanIec103Frame, 1000);
    std::vector<CScanPiece> pieces;
    const ByteVector abNoise(3000, 0x55);
    scanner.Feed(abNoise.data(), static_cast<int>(abNoise.size()), CScanTime{1, 1}, pieces);
    std::size_t nTotal = 0;
    for (const CScanPiece& piece : pieces)
    {
        EXPECT_LE(piece.abBytes.size(), static_cast<std::size_t>(CFrameScanner::kMaxGarbled));
        nTotal += piece.abBytes.size();
    }
    scanner.Flush(pieces);
    EXPECT_GE(nTotal, 3000u - CFrameScanner::kMaxGarbled);
    EXPECT_FALSE(scanner.IsHolding());
}

TEST(Iec103FrameScan, ShortAndNullInputsReadNothingPastTheEnd)
{
    EXPECT_EQ(ScanIec103Frame(nullptr, 5, true).eMatch, relvane::SCAN_NONE);
    const ByteVector abHead = Bytes("68 FF FF 68 00 00");
    EXPECT_EQ(ScanIec103Frame(abHead.data(), static_cast<int>(abHead.size()), false).eMatch,
              relvane::SCAN_MORE);
    EXPECT_EQ(ScanIec103Frame(abHead.data(), static_cast<int>(abHead.size()), true).eMatch,
              relvane::SCAN_NONE);
    CFrameScanner scanner(ScanIec103Frame, 1000);
    std::vector<CScanPiece> pieces;
    scanner.Feed(nullptr, 5, CScanTime{}, pieces);
    scanner.Flush(pieces);
    EXPECT_TRUE(pieces.empty());
}

} // namespace
