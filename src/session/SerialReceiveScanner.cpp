#include "session/SerialReceiveScanner.h"

#include "iec103/Iec103FrameScan.h"
#include "proto94/Proto94FrameScan.h"
#include "session/SessionCommands.h"

#include <algorithm>

namespace relvane
{
namespace
{

constexpr int kMinChunk = 5; // the shortest frame of either protocol
constexpr std::uint8_t kSingleAck = 0xE5;

CScanTime ScanTime(const CChannelTime& time)
{
    return CScanTime{time.nWallUs, time.nSteadyUs};
}

} // namespace

CReceivedChunk CSerialReceiveScanner::Cut(int nMode, const std::uint8_t* pBytes, int nCount,
                                          const std::vector<CChunkRead>& reads, const CChannelTime& fallback,
                                          int nReadLimit)
{
    CReceivedChunk chunk;
    if (pBytes == nullptr || nCount <= 0)
        return chunk;
    const bool bScanned = nMode == MODE_94 || nMode == MODE_103;
    if (nMode != m_nMode)
    {
        m_nMode = nMode;
        m_scanner = CFrameScanner(nMode == MODE_94 ? ScanProto94Frame : ScanIec103Frame, 0);
    }
    bool bShortTaken = nMode == MODE_103 && (nCount == 1 || pBytes[0] == kSingleAck);
    if (nMode == MODE_103 && !bShortTaken && nCount < kMinChunk)
    {
        // An acknowledgement behind a stray byte is an answer too.
        CFrameScanner probe(ScanIec103Frame, 0);
        std::vector<CScanPiece> pieces;
        probe.Feed(pBytes, nCount, ScanTime(fallback), pieces);
        probe.Flush(pieces);
        bShortTaken =
            std::any_of(pieces.begin(), pieces.end(), [](const CScanPiece& piece) { return piece.bValid; });
    }
    if (!bScanned || (nCount < kMinChunk && !bShortTaken && !m_scanner.IsHolding()))
    {
        CScanPiece piece;
        piece.abBytes.assign(pBytes, pBytes + nCount);
        piece.firstByte = ScanTime(reads.empty() ? fallback : reads.front().time);
        piece.lastByte = ScanTime(reads.empty() ? fallback : reads.back().time);
        chunk.pieces.push_back(std::move(piece));
        chunk.bIgnored = bScanned;
        return chunk;
    }
    if (reads.empty())
        m_scanner.Feed(pBytes, nCount, ScanTime(fallback), chunk.pieces);
    for (std::size_t i = 0; i < reads.size(); ++i)
    {
        const int nFrom = i == 0 ? 0 : std::min(reads[i].nOffset, nCount);
        const int nTo = i + 1 < reads.size() ? std::min(reads[i + 1].nOffset, nCount) : nCount;
        m_scanner.Feed(pBytes + nFrom, nTo - nFrom, ScanTime(reads[i].time), chunk.pieces);
    }
    if (nCount < nReadLimit)
        m_scanner.Flush(chunk.pieces);
    return chunk;
}

} // namespace relvane
