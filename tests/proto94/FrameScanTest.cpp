#include "Proto94TestUtil.h"
#include "ScanCuts.h"
#include "proto94/Proto94FrameScan.h"

#include <gtest/gtest.h>

namespace
{

using relvane::ScanProto94Frame;
using relvane::test::Bytes;
using relvane::test::Concat;
using relvane::test::WithCrc;

const Bytes kPoll = WithCrc({0x01, 0x83, 0x00});
const Bytes kReport = WithCrc({0x01, 0xBA, 0x02, 0x03, 0x06});
const Bytes kZeros = WithCrc({0x01, 0xB7, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
const Bytes kClock = WithCrc({0x01, 0xB7, 0x08, 0x01, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45});

Bytes Garbled(Bytes abFrame)
{
    abFrame[3] ^= 0x40;
    return abFrame;
}

std::string Text(char cKind, const Bytes& abBytes)
{
    std::string strText(1, cKind);
    strText += ':';
    for (std::size_t i = 0; i < abBytes.size(); ++i)
    {
        char sz[4];
        std::snprintf(sz, sizeof sz, "%02X", abBytes[i]);
        strText += (i > 0 ? " " : "") + std::string(sz);
    }
    return strText;
}

TEST(Proto94FrameScan, FindsEveryGoodFrameOfANoisyStreamWhereverItsReadsAreCut)
{
    const Bytes abCut(kReport.begin(), kReport.end() - 2);
    const struct
    {
        const char* pszWhat;
        Bytes abStream;
        std::string strPieces;
    } cases[] = {
        {"frames back to back", Concat({kPoll, kReport, kPoll, kClock}),
         Text('F', kPoll) + " | " + Text('F', kReport) + " | " + Text('F', kPoll) + " | " +
             Text('F', kClock)},
        {"a stray byte before a frame", Concat({{0xFF}, kPoll}), "G:FF | " + Text('F', kPoll)},
        {"a stray byte whose length would reach far", Concat({{0x7F, 0x01}, kReport}),
         "G:7F 01 | " + Text('F', kReport)},
        // No start character: the garbled frame's bytes form one piece, the next frame is its own.
        {"a garbled frame before a good one", Concat({Garbled(kReport), kClock}),
         Text('G', Garbled(kReport)) + " | " + Text('F', kClock)},
        {"garbage between frames", Concat({kReport, {0xAA, 0xBB}, kPoll}),
         Text('F', kReport) + " | G:AA BB | " + Text('F', kPoll)},
        {"garbage after the frames", Concat({kReport, {0xAA, 0xBB}}), Text('F', kReport) + " | G:AA BB"},
        {"a frame cut off at the end", Concat({kClock, abCut}), Text('F', kClock) + " | " + Text('G', abCut)},
        {"a frame cut off between two", Concat({kPoll, abCut, kClock}),
         Text('F', kPoll) + " | " + Text('G', abCut) + " | " + Text('F', kClock)},
        // Five zeros are a frame of their own: the frame that holds them is still one frame.
        {"a frame that holds a frame", kZeros, Text('F', kZeros)},
        {"one frame", kReport, Text('F', kReport)},
        {"two frames", Concat({kReport, kClock}), Text('F', kReport) + " | " + Text('F', kClock)},
        {"one garbled frame", Garbled(kReport), Text('G', Garbled(kReport))},
        {"a frame cut off by one byte", Concat({kClock, Bytes(kReport.begin(), kReport.end() - 1)}),
         Text('F', kClock) + " | " + Text('G', Bytes(kReport.begin(), kReport.end() - 1))},
        {"length byte longer than the stream", {0x01, 0xB0, 0x20, 0x00, 0x00}, "G:01 B0 20 00 00"},
        {"shorter than any frame", {0x01, 0xB0}, "G:01 B0"},
        {"empty", {}, ""},
    };
    for (const auto& c : cases)
        relvane::test::ExpectPiecesAtEveryCut(ScanProto94Frame, c.abStream, c.strPieces, c.pszWhat);
}

TEST(Proto94FrameScan, NullInputGivesNothing)
{
    EXPECT_EQ(ScanProto94Frame(nullptr, 7, true).eMatch, relvane::SCAN_NONE);
    relvane::CFrameScanner scanner(ScanProto94Frame, 1000);
    std::vector<relvane::CScanPiece> pieces;
    scanner.Feed(nullptr, 7, relvane::CScanTime{}, pieces);
    scanner.Flush(pieces);
    EXPECT_TRUE(pieces.empty());
}

} // namespace
