#pragma once

#include <cstdint>
#include <vector>

namespace relvane
{

// What a protocol's frame test finds at the start of some bytes.
enum ScanMatch
{
    SCAN_NONE,  // no frame starts at this byte
    SCAN_MORE,  // a frame may start here: its rest has not come yet
    SCAN_FRAME, // a frame of nLength bytes starts here
};

struct CScanResult
{
    ScanMatch eMatch = SCAN_NONE;
    int nLength = 0;     // SCAN_FRAME: the frame's length; SCAN_MORE: the length it will have, or
                         // at least one byte more than there is when not yet known
    bool bValid = false; // SCAN_FRAME: its checksum or CRC holds too (a frame with intact framing
                         // and a wrong check is still one piece, logged as garbled)
};

// A protocol's frame test: what starts at pBytes[0], given nCount bytes. With bEnd no more bytes
// will come, so SCAN_MORE is never the answer. Reads nothing past nCount.
using ScanFunction = CScanResult (*)(const std::uint8_t* pBytes, int nCount, bool bEnd);

// When a read completed: wall clock for people, steady clock for durations (microseconds).
struct CScanTime
{
    std::int64_t nWallUs = 0;
    std::int64_t nSteadyUs = 0;
    std::int64_t nQuietSinceUs = 0; // steady: none of the read's bytes came earlier (0: unknown)
};

// A piece of a received byte stream: a frame, or a run of bytes that start none (garbled).
struct CScanPiece
{
    std::vector<std::uint8_t> abBytes;
    bool bFrame = false; // a frame by its framing; false for bytes that start no frame
    bool bValid = false; // a frame whose checksum or CRC holds
    CScanTime firstByte; // the time of the read that brought its first byte (see SetCharacterTime)
    CScanTime lastByte;  // the time of the read that brought its last byte
};

// Cuts a received byte stream into frames by their structure, read by read. A byte at which no
// frame starts joins a garbled piece and the scan goes on at the next byte, so that a good frame
// after noise or after a damaged frame is always found. A frame cut at the end of a read waits
// for its rest; so does a garbled run, which may go on. What waits is given out when the rest
// has come, when Expire finds the line quiet for the quiet time, or on Flush. A garbled run
// never grows beyond kMaxGarbled bytes, so nothing waits without bound.
class CFrameScanner
{
public:
    static constexpr int kMaxGarbled = 512;

    CFrameScanner() = default;
    CFrameScanner(ScanFunction fnScan, std::int64_t nQuietUs) : m_fnScan(fnScan), m_nQuietUs(nQuietUs) {}

    // With a character time, each byte of a read is timed back from the read's completion by the
    // characters that followed it in the read (they came at most at the line's rate), never before
    // the previous read: a reader woken late still times the frames as the line carried them.
    void SetCharacterTime(std::int64_t nCharacterUs) { m_nCharacterUs = nCharacterUs; }
    // The bytes of one read; complete pieces are appended to pieces.
    void Feed(const std::uint8_t* pBytes, int nCount, const CScanTime& read, std::vector<CScanPiece>& pieces);
    // Gives out what waits when nothing has come for the quiet time before nNowSteadyUs.
    void Expire(std::int64_t nNowSteadyUs, std::vector<CScanPiece>& pieces);
    // Gives out everything that waits: no more bytes will come to complete it.
    void Flush(std::vector<CScanPiece>& pieces);

    bool IsHolding() const { return !m_abBuffer.empty(); }
    // Steady time at which Expire gives out what waits (meaningless while nothing waits).
    std::int64_t ExpiresAtUs() const { return m_nLastReadUs + m_nQuietUs; }

private:
    // Cuts the front of the buffer into pieces; with bEnd nothing is left waiting.
    void Scan(bool bEnd, std::vector<CScanPiece>& pieces);
    // What starts at byte nAt; a frame whose length would reach over a good frame that starts
    // inside it counts as no frame, so that a hoped-for frame never hides a real one.
    CScanResult MatchAt(std::size_t nAt, bool bEnd) const;
    void Take(std::size_t nCount, bool bFrame, bool bValid, std::vector<CScanPiece>& pieces);

    ScanFunction m_fnScan = nullptr;
    std::int64_t m_nQuietUs = 0;
    std::vector<std::uint8_t> m_abBuffer; // bytes not yet given out
    std::vector<CScanTime> m_times;       // the read time of each of them
    std::size_t m_nGarbled = 0;           // bytes at the front known to start no frame
    std::int64_t m_nLastReadUs = 0;
    std::int64_t m_nCharacterUs = 0;
    bool m_bAnyRead = false;
};

} // namespace relvane
