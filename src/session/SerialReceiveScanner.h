#pragma once

#include "common/FrameScanner.h"
#include "transport/ISerialChannel.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// What one received serial chunk brought: its pieces (frames and garbled runs) with the times of
// the reads that brought their first bytes, or, for a chunk the receive path leaves alone, the
// whole chunk as one piece marked ignored (it still reaches the capture and the byte counts).
struct CReceivedChunk
{
    std::vector<CScanPiece> pieces;
    bool bIgnored = false;
};

// Cuts the session's received chunks into pieces with the protocol's frame scanner. A chunk ends on
// 30 ms of silence, so what waits at its end is given out with it, except when the read limit
// cut it: then a frame cut there takes its rest from the next chunk. Reads shorter than a frame
// are left alone as they always were, except in the 103 mode a lone byte (E5H is the
// acknowledgement, any other lone byte a damaged one) and a read that holds an E5H taken as the
// acknowledgement (also behind a stray byte).
class CSerialReceiveScanner
{
public:
    CReceivedChunk Cut(int nMode, const std::uint8_t* pBytes, int nCount,
                       const std::vector<CChunkRead>& reads, const CChannelTime& fallback, int nReadLimit);
    // Forgets what waits (the port closed, the protocol changed).
    void Reset() { m_nMode = -1; }

private:
    int m_nMode = -1;
    CFrameScanner m_scanner;
};

} // namespace relvane
