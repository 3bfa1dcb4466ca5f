#pragma once

#include "transport/ChannelTime.h"

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
    CChannelTime time;  // its first byte: the read's first byte, plus the bytes before it at the
                        // line's rate when one read held several frames
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

// Cuts the chunks of one line into frames. A frame's time is its read's first byte plus the
// characters before it; a reader that fell behind and then read on without a gap would put a
// frame before the end of the one it follows, so a line's times are kept from going back.
// On a line that carries one direction the direction is
// the line's; on a bus it is read from each frame, and a piece without a readable header takes
// the direction the line's history suggests (marked as inferred): the answer after a good request,
// else the direction of the piece before it.
class CMonitorCutter
{
public:
    CMonitorCutter() = default;
    CMonitorCutter(int nProtocol, int nLine, MonitorDirection eLineDirection, std::int64_t nCharacterUs)
        : m_nProtocol(nProtocol), m_nLine(nLine), m_eLineDirection(eLineDirection), m_nCharacterUs(nCharacterUs)
    {
    }

    // Appends the chunk's frames to frames; returns how many pieces the chunk held.
    int Cut(const std::uint8_t* pBytes, int nCount, const CChannelTime& firstByte, std::vector<CMonitorFrame>& frames);

private:
    int m_nProtocol = MONITOR_103;
    int m_nLine = LINE_MASTER;
    MonitorDirection m_eLineDirection = DIRECTION_UNKNOWN; // DIRECTION_UNKNOWN: a bus
    std::int64_t m_nCharacterUs = 0;
    MonitorDirection m_ePrevious = DIRECTION_UNKNOWN;
    std::int64_t m_nPreviousEndUs = 0; // steady time the frame before ended: a line's times never go back
    bool m_bPreviousRequest = false; // the piece before was a good frame of the master's
};

// Puts the frames of two lines into the order of their times. A frame waits until no frame with an
// earlier time can still come: a reader hands a chunk over only once it is complete, so up to the
// hold time after its first byte. Frames of different lines closer than the resolution are marked
// as ties rather than put in an order that may be wrong.
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

private:
    std::vector<CMonitorFrame> m_waiting; // a heap, earliest on top
    std::int64_t m_nHoldUs = 0;
    std::int64_t m_nResolutionUs = 0;
    std::uint64_t m_nNextSequence = 0;
    bool m_bAnyReleased = false;
    int m_nLastLine = LINE_MASTER;
    std::int64_t m_nLastUs = 0;
};

} // namespace relvane
