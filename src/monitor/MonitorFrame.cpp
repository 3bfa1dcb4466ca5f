#include "monitor/MonitorFrame.h"

#include "iec103/Iec103Codec.h"
#include "iec103/Iec103FrameScan.h"
#include "proto94/Proto94Codec.h"
#include "proto94/Proto94FrameScan.h"

#include <algorithm>

namespace relvane
{
namespace
{

constexpr std::uint8_t kSingleAck = 0xE5;
constexpr std::uint8_t kPrm = 0x40;
constexpr std::uint8_t kFirst94Command = 0x80;
constexpr std::uint8_t kLast94Command = 0x9A;
constexpr int kMinFrame = 5; // the shortest frame of either protocol

// Heap order: the earliest time on top, arrival order among equal times.
bool Later(const CMonitorFrame& a, const CMonitorFrame& b)
{
    if (a.time.nSteadyUs != b.time.nSteadyUs)
        return a.time.nSteadyUs > b.time.nSteadyUs;
    return a.nSequence > b.nSequence;
}

} // namespace

std::int64_t CharacterTimeUs(int nBaud, char cParity)
{
    if (nBaud <= 0)
        return 0;
    const bool bParity = cParity != 'N' && cParity != 'n';
    return (bParity ? 11 : 10) * std::int64_t{1000000} / nBaud;
}

MonitorDirection FrameDirection(int nProtocol, const std::uint8_t* pBytes, int nCount)
{
    if (pBytes == nullptr || nCount < 1)
        return DIRECTION_UNKNOWN;
    if (nProtocol == MONITOR_103)
    {
        std::uint8_t nControl = 0;
        if (pBytes[0] == kSingleAck)
            return DIRECTION_TO_MASTER;
        if (pBytes[0] == 0x10 && nCount >= 2)
            nControl = pBytes[1];
        else if (pBytes[0] == 0x68 && nCount >= 5 && pBytes[3] == 0x68)
            nControl = pBytes[4];
        else
            return DIRECTION_UNKNOWN;
        return (nControl & kPrm) != 0 ? DIRECTION_TO_RELAY : DIRECTION_TO_MASTER;
    }
    if (nCount < 2)
        return DIRECTION_UNKNOWN;
    return pBytes[1] >= kFirst94Command && pBytes[1] <= kLast94Command ? DIRECTION_TO_RELAY : DIRECTION_TO_MASTER;
}

bool CheckMonitorFrame(int nProtocol, const std::uint8_t* pBytes, int nCount)
{
    if (pBytes == nullptr || nCount < 1)
        return false;
    if (nProtocol == MONITOR_103)
        return Iec103Codec::CheckSingleAck(pBytes, nCount) ||
               (nCount >= kMinFrame && Iec103Codec::CheckFrame(pBytes, nCount));
    return nCount >= kMinFrame && Proto94Codec().CheckFrame(pBytes, nCount) != 0;
}

CMonitorCutter::CMonitorCutter(int nProtocol, int nLine, MonitorDirection eLineDirection,
                               std::int64_t nCharacterUs, std::int64_t nQuietUs)
    : m_nProtocol(nProtocol), m_nLine(nLine), m_eLineDirection(eLineDirection), m_nCharacterUs(nCharacterUs),
      m_scanner(nProtocol == MONITOR_94 ? ScanProto94Frame : ScanIec103Frame, nQuietUs)
{
    m_scanner.SetCharacterTime(nCharacterUs);
}

int CMonitorCutter::Cut(const std::uint8_t* pBytes, int nCount, const CChannelTime& read,
                        std::vector<CMonitorFrame>& frames)
{
    return CutReads(pBytes, nCount, {CChunkRead{0, read}}, frames);
}

int CMonitorCutter::CutReads(const std::uint8_t* pBytes, int nCount, const std::vector<CChunkRead>& reads,
                             std::vector<CMonitorFrame>& frames)
{
    if (pBytes == nullptr || nCount <= 0 || reads.empty())
        return 0;
    std::vector<CScanPiece> pieces;
    for (std::size_t i = 0; i < reads.size(); ++i)
    {
        const int nFrom = i == 0 ? 0 : std::clamp(reads[i].nOffset, 0, nCount);
        const int nTo = i + 1 < reads.size() ? std::clamp(reads[i + 1].nOffset, nFrom, nCount) : nCount;
        m_scanner.Feed(pBytes + nFrom, nTo - nFrom,
                       CScanTime{reads[i].time.nWallUs, reads[i].time.nSteadyUs, reads[i].nQuietSinceUs}, pieces);
    }
    return Take(pieces, frames);
}

int CMonitorCutter::Expire(std::int64_t nNowSteadyUs, bool bAll, std::vector<CMonitorFrame>& frames)
{
    std::vector<CScanPiece> pieces;
    if (bAll)
        m_scanner.Flush(pieces);
    else
        m_scanner.Expire(nNowSteadyUs, pieces);
    return Take(pieces, frames);
}

int CMonitorCutter::Take(std::vector<CScanPiece>& pieces, std::vector<CMonitorFrame>& frames)
{
    for (CScanPiece& piece : pieces)
    {
        CMonitorFrame frame;
        frame.abBytes = std::move(piece.abBytes);
        const std::uint8_t* pPiece = frame.abBytes.data();
        const int nLength = static_cast<int>(frame.abBytes.size());
        frame.nLine = m_nLine;
        frame.bValid = CheckMonitorFrame(m_nProtocol, pPiece, nLength);
        frame.time = CChannelTime{piece.firstByte.nWallUs, piece.firstByte.nSteadyUs};
        frame.lastByte = CChannelTime{piece.lastByte.nWallUs, piece.lastByte.nSteadyUs};
        frame.nQuietSinceUs = piece.firstByte.nQuietSinceUs;
        const std::int64_t nShiftUs =
            m_nPreviousUs > frame.time.nSteadyUs ? m_nPreviousUs - frame.time.nSteadyUs : 0;
        frame.time.nWallUs += nShiftUs;
        frame.time.nSteadyUs += nShiftUs;
        m_nPreviousUs = frame.time.nSteadyUs;
        frame.nDurationUs = m_nCharacterUs * nLength;
        frame.eDirection = m_eLineDirection;
        if (frame.eDirection == DIRECTION_UNKNOWN)
        {
            // A '94 frame has no start character: the code of a frame that fails its CRC may be
            // any byte, so only a good frame tells its direction.
            if (m_nProtocol != MONITOR_94 || frame.bValid)
                frame.eDirection = FrameDirection(m_nProtocol, pPiece, nLength);
            if (frame.eDirection == DIRECTION_UNKNOWN)
            {
                frame.bDirectionInferred = true;
                if (m_bPreviousRequest || m_ePrevious == DIRECTION_UNKNOWN)
                    frame.eDirection = DIRECTION_TO_MASTER;
                else
                    frame.eDirection = m_ePrevious;
            }
        }
        m_ePrevious = frame.eDirection;
        m_bPreviousRequest = frame.bValid && frame.eDirection == DIRECTION_TO_RELAY;
        frames.push_back(std::move(frame));
    }
    return static_cast<int>(pieces.size());
}

void CMonitorOrder::Add(CMonitorFrame frame)
{
    frame.nSequence = m_nNextSequence++;
    m_waiting.push_back(std::move(frame));
    std::push_heap(m_waiting.begin(), m_waiting.end(), Later);
}

void CMonitorOrder::Release(std::int64_t nNowSteadyUs, bool bAll, std::vector<CMonitorFrame>& released)
{
    while (!m_waiting.empty() && (bAll || m_waiting.front().time.nSteadyUs <= nNowSteadyUs - m_nHoldUs))
    {
        std::pop_heap(m_waiting.begin(), m_waiting.end(), Later);
        CMonitorFrame frame = std::move(m_waiting.back());
        m_waiting.pop_back();
        const std::int64_t nUs = frame.time.nSteadyUs;
        // The first byte came at nUs at the latest, and no earlier than the resolution before it or,
        // when its reader was held up for longer, than the moment its line was last seen quiet.
        std::int64_t nEarliestUs = nUs - m_nResolutionUs;
        if (frame.nQuietSinceUs != 0)
            nEarliestUs = std::min(nEarliestUs, frame.nQuietSinceUs);
        const std::size_t nOther = frame.nLine == LINE_MASTER ? LINE_RELAY : LINE_MASTER;
        const std::size_t nOwn = frame.nLine == LINE_MASTER ? LINE_MASTER : LINE_RELAY;
        // A frame that came later than the hold allows, or that may have come before a frame of the
        // other line already shown, may belong before it.
        if ((m_nShownUs != INT64_MIN && nUs < m_nShownUs) ||
            (m_anLastUs[nOther] != INT64_MIN && nEarliestUs < m_anLastUs[nOther]))
            frame.bTie = true;
        m_nShownUs = std::max(m_nShownUs, nUs);
        m_anLastUs[nOwn] = std::max(m_anLastUs[nOwn], nUs);
        released.push_back(std::move(frame));
    }
}

} // namespace relvane
