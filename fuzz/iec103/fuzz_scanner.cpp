// The frame scanners of both serial protocols on any stream, cut into reads anywhere: no byte is
// lost, doubled or read past the end; every frame given out is one by its protocol's own test;
// garbled runs stay bounded; and the cuts between reads never change the pieces.
#include "common/FrameScanner.h"
#include "iec103/Iec103FrameScan.h"
#include "proto94/Proto94FrameScan.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{

std::vector<relvane::CScanPiece> Scan(relvane::ScanFunction fnScan, const std::uint8_t* pData,
                                      std::size_t nSize, std::uint8_t nCutSeed)
{
    relvane::CFrameScanner scanner(fnScan, 1000);
    std::vector<relvane::CScanPiece> pieces;
    std::size_t nFrom = 0;
    std::int64_t nRead = 0;
    while (nFrom < nSize)
    {
        // Reads of 1 to 16 bytes, or the whole rest for seed 0.
        std::size_t nCount = nCutSeed == 0 ? nSize - nFrom : 1 + (pData[nFrom] ^ nCutSeed) % 16;
        if (nCount > nSize - nFrom)
            nCount = nSize - nFrom;
        ++nRead;
        scanner.Feed(pData + nFrom, static_cast<int>(nCount), relvane::CScanTime{nRead, nRead}, pieces);
        nFrom += nCount;
    }
    scanner.Flush(pieces);
    return pieces;
}

void Check(relvane::ScanFunction fnScan, const std::uint8_t* pData, std::size_t nSize, std::uint8_t nCutSeed)
{
    const std::vector<relvane::CScanPiece> whole = Scan(fnScan, pData, nSize, 0);
    const std::vector<relvane::CScanPiece> cut = Scan(fnScan, pData, nSize, nCutSeed);
    if (whole.size() != cut.size())
        std::abort();
    std::size_t nOffset = 0;
    for (std::size_t i = 0; i < whole.size(); ++i)
    {
        const relvane::CScanPiece& piece = whole[i];
        if (piece.abBytes != cut[i].abBytes || piece.bFrame != cut[i].bFrame || piece.bValid != cut[i].bValid)
            std::abort();
        if (piece.abBytes.empty() || nOffset + piece.abBytes.size() > nSize)
            std::abort();
        for (std::size_t k = 0; k < piece.abBytes.size(); ++k)
        {
            if (piece.abBytes[k] != pData[nOffset + k])
                std::abort();
        }
        nOffset += piece.abBytes.size();
        const int nLength = static_cast<int>(piece.abBytes.size());
        if (piece.bFrame)
        {
            const relvane::CScanResult result = fnScan(piece.abBytes.data(), nLength, true);
            if (result.eMatch != relvane::SCAN_FRAME || result.nLength != nLength ||
                result.bValid != piece.bValid)
                std::abort();
        }
        else if (nLength > relvane::CFrameScanner::kMaxGarbled)
            std::abort();
    }
    if (nOffset != nSize)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::uint8_t nCutSeed = pData[0];
    std::vector<std::uint8_t> abStream(pData + 1, pData + nSize); // exact size, so overreads show
    Check(relvane::ScanIec103Frame, abStream.data(), abStream.size(), nCutSeed);
    Check(relvane::ScanProto94Frame, abStream.data(), abStream.size(), nCutSeed);
    return 0;
}
