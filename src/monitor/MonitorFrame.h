#pragma once

#include "common/FrameScanner.h"
#include "transport/ChannelTime.h"
#include "transport/ISerialChannel.h"

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace relvane
{

// The protocols a monitor listens to; the numbers are the session's serial modes, so the
// statistics count frames under the same keys.
enum MonitorProtocol : int
{
    MONITOR_94 = 0,
    MONITOR_103 = 1,
};

// Which way a frame went on the tapped line.
enum MonitorDirection : int
{
    DIRECTION_UNKNOWN = 0,
    DIRECTION_TO_RELAY = 1,  // 主站→装置: the master's transmit line
    DIRECTION_TO_MASTER = 2, // 装置→主站: the relay's transmit line
};

// Lines of a monitor: two receive-only ports, or one shared pair that carries both directions.
enum MonitorLine : int
{
    LINE_MASTER = 0, // hears what the master sends (also the one line of a bus)
    LINE_RELAY = 1,  // hears what the relay sends
};

// One frame heard on a line, cut the way the workbench cuts a received chunk.
struct CMonitorFrame
{
    std::vector<std::uint8_t> abBytes;
    int nLine = LINE_MASTER;
    MonitorDirection eDirection = DIRECTION_UNKNOWN;
    bool bDirectionInferred = false; // on a bus, no header told the direction
    bool bValid = false;             // its checksum (103) or CRC ('94) holds
    bool bTie = false;  // closer in time than the lines' resolution to the frame before it on the
                        // other line: the two may have been the other way round
    CChannelTime time;  // its first byte: when the read that brought it completed, less
                        // the characters after it in that read (not before the read before)
    CChannelTime lastByte;        // its last byte, the same way
    std::int64_t nQuietSinceUs = 0; // steady: its line was last seen without it then (0: unknown)
    std::int64_t nDurationUs = 0; // its bytes at the line's rate
    std::uint64_t nSequence = 0;  // order of arrival, which breaks ties of equal times
};

// Microseconds one character takes on the line: start bit, 8 data bits, parity bit when there is
// one, stop bit.
std::int64_t CharacterTimeUs(int nBaud, char cParity);

// The direction a frame's own bytes tell: 103 by the PRM bit of the control field (E5H is only
// ever a secondary station's), '94 by its code (80H to 9AH are the master's commands, every other
// code is an answer). DIRECTION_UNKNOWN when the bytes hold no such field.
MonitorDirection FrameDirection(int nProtocol, const std::uint8_t* pBytes, int nCount);

// True when the piece passes the check the workbench applies before logging a frame as received:
// 103 the FT1.2 checksum (or the single character E5H), '94 the CRC-16.
bool CheckMonitorFrame(int nProtocol, const std::uint8_t* pBytes, int nCount);

// Cuts the reads of one line into frames with the protocol's frame scanner: a frame is found by
// its structure wherever the reads cut it and however much noise comes before it, and takes the
// time of the read that brought its first byte, less the characters that followed it in that read
// at the line's rate (a line's times are kept from going back). What a
// read leaves incomplete waits for the next read, or for Expire once the line was quiet.
// On a line that carries one direction the direction is
// the line's; on a bus it is read from each frame, and a piece without a readable header takes
// the direction the line's history suggests (marked as inferred): the answer after a good request,
// else the direction of the piece before it.
class CMonitorCutter
{
public:
    CMonitorCutter() = default;
    CMonitorCutter(int nProtocol, int nLine, MonitorDirection eLineDirection, std::int64_t nCharacterUs,
                   std::int64_t nQuietUs = 0);

    // One read; appends the frames it completed and returns how many.
    int Cut(const std::uint8_t* pBytes, int nCount, const CChannelTime& read,
            std::vector<CMonitorFrame>& frames);
    // A chunk of several reads (each with its offset and time); returns the frames completed.
    int CutReads(const std::uint8_t* pBytes, int nCount, const std::vector<CChunkRead>& reads,
                 std::vector<CMonitorFrame>& frames);
    // Gives out what waits once the line has been quiet for the quiet time (all of it with bAll).
    int Expire(std::int64_t nNowSteadyUs, bool bAll, std::vector<CMonitorFrame>& frames);
    bool IsHolding() const { return m_scanner.IsHolding(); }

private:
    int Take(std::vector<CScanPiece>& pieces, std::vector<CMonitorFrame>& frames);

    int m_nProtocol = MONITOR_103;
    int m_nLine = LINE_MASTER;
    MonitorDirection m_eLineDirection = DIRECTION_UNKNOWN; // DIRECTION_UNKNOWN: a bus
    std::int64_t m_nCharacterUs = 0;
    CFrameScanner m_scanner;
    MonitorDirection m_ePrevious = DIRECTION_UNKNOWN;
    std::int64_t m_nPreviousUs = INT64_MIN; // steady time of the frame before: a line's times never go back
    bool m_bPreviousRequest = false; // the piece before was a good frame of the master's
};

// Puts the frames of two lines into the order of their times. A frame waits until no frame with an
// earlier time can still come: a reader hands a chunk over only once it is complete, so up to the
// hold time after its first byte. A frame's first byte came at its time at the latest, and no
// earlier than the resolution before it or the moment its line was last seen quiet, whichever is
// earlier (a reader woken late knows only the latter): a frame that may have come before a frame
// of the other line already shown is marked as a tie rather than put in an order that may be wrong.
class CMonitorOrder
{
public:
    CMonitorOrder() = default;
    CMonitorOrder(std::int64_t nHoldUs, std::int64_t nResolutionUs) : m_nHoldUs(nHoldUs), m_nResolutionUs(nResolutionUs) {}

    void Add(CMonitorFrame frame);
    // Moves the frames whose time lies at least the hold time before nNowSteadyUs (every frame when
    // bAll) into released, earliest first.
    void Release(std::int64_t nNowSteadyUs, bool bAll, std::vector<CMonitorFrame>& released);
    std::size_t Waiting() const { return m_waiting.size(); }
    std::int64_t HoldUs() const { return m_nHoldUs; }

private:
    std::vector<CMonitorFrame> m_waiting; // a heap, earliest on top
    std::int64_t m_nHoldUs = 0;
    std::int64_t m_nResolutionUs = 0;
    std::uint64_t m_nNextSequence = 0;
    std::int64_t m_nShownUs = INT64_MIN;                   // the latest time released
    std::array<std::int64_t, 2> m_anLastUs{INT64_MIN, INT64_MIN}; // the latest time released per line
};

} // namespace relvane
