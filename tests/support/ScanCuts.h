#pragma once

#include "common/FrameScanner.h"

#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace relvane::test
{

// The pieces as "F:10 09 01 0A 16" (good frame), "B:..." (framing intact, check wrong) or
// "G:..." (bytes that start no frame), joined by " | ".
inline std::string DescribePieces(const std::vector<CScanPiece>& pieces)
{
    std::string strText;
    for (const CScanPiece& piece : pieces)
    {
        if (!strText.empty())
            strText += " | ";
        strText += !piece.bFrame ? "G:" : (piece.bValid ? "F:" : "B:");
        for (std::size_t i = 0; i < piece.abBytes.size(); ++i)
        {
            char sz[4];
            std::snprintf(sz, sizeof sz, "%02X", piece.abBytes[i]);
            strText += (i > 0 ? " " : "") + std::string(sz);
        }
    }
    return strText;
}

// Feeds the stream as reads ending at the cuts (read n has the time n + 1 ms), then flushes.
inline std::vector<CScanPiece> ScanReads(ScanFunction fnScan, const std::vector<std::uint8_t>& abStream,
                                         std::vector<std::size_t> cuts)
{
    CFrameScanner scanner(fnScan, 1000);
    std::vector<CScanPiece> pieces;
    cuts.push_back(abStream.size());
    std::size_t nFrom = 0;
    std::int64_t nRead = 0;
    for (const std::size_t nTo : cuts)
    {
        ++nRead;
        if (nTo <= nFrom)
            continue;
        scanner.Feed(abStream.data() + nFrom, static_cast<int>(nTo - nFrom),
                     CScanTime{nRead * 1000, nRead * 1000}, pieces);
        nFrom = nTo;
    }
    scanner.Flush(pieces);
    return pieces;
}

// The stream gives the expected pieces read whole, cut in two at every byte boundary and read
// byte by byte; every piece carries the time of the read that brought its first byte, and no byte
// is lost or doubled.
inline void ExpectPiecesAtEveryCut(ScanFunction fnScan, const std::vector<std::uint8_t>& abStream,
                                   const std::string& strExpected, const char* pszWhat)
{
    EXPECT_EQ(DescribePieces(ScanReads(fnScan, abStream, {})), strExpected) << pszWhat;
    for (std::size_t nCut = 1; nCut < abStream.size(); ++nCut)
    {
        const std::vector<CScanPiece> pieces = ScanReads(fnScan, abStream, {nCut});
        EXPECT_EQ(DescribePieces(pieces), strExpected) << pszWhat << ", cut at " << nCut;
        std::size_t nOffset = 0;
        for (const CScanPiece& piece : pieces)
        {
            EXPECT_EQ(piece.firstByte.nSteadyUs, nOffset < nCut ? 1000 : 2000)
                << pszWhat << ", cut at " << nCut;
            nOffset += piece.abBytes.size();
            EXPECT_EQ(piece.lastByte.nSteadyUs, nOffset <= nCut ? 1000 : 2000)
                << pszWhat << ", cut at " << nCut;
        }
        EXPECT_EQ(nOffset, abStream.size()) << pszWhat;
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t n = 1; n < abStream.size(); ++n)
        everyByte.push_back(n);
    EXPECT_EQ(DescribePieces(ScanReads(fnScan, abStream, everyByte)), strExpected)
        << pszWhat << ", byte by byte";
}

} // namespace relvane::test
