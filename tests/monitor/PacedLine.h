#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace relvane::test
{

// One frame of a paced exchange, and when the pacer wrote its first byte (steady and wall clock,
// microseconds), which is what the listener's times are measured against.
struct CPacedFrame
{
    std::vector<std::uint8_t> abBytes;
    bool bFromRelay = false;
    std::int64_t nFirstByteUs = 0;
    std::int64_t nFirstByteWallUs = 0;
};

// A master polling a 103 relay back to back, as a real line carries it: class 2 requests with the
// FCB toggling, answered (after the relay's turnaround) with "no data", an event of 20 bytes or E5
// in turn; nFrames frames in all.
std::vector<CPacedFrame> BackToBackPolling103(int nFrames);

// A serial line played on pseudo-terminals at its character rate: every byte leaves when its
// character time is due (start, 8 data bits, parity, stop), a relay's answer the turnaround
// after the request's last byte, the next request a gap of a few characters after the answer's.
// Master frames go to nMasterFd, the relay's to nRelayFd (the same descriptor for a bus).
class CPacedLine
{
public:
    CPacedLine(int nBaud, char cParity, std::int64_t nTurnaroundUs, std::int64_t nGapUs);

    // Plays the frames in order and records each one's first byte; stops early when pStop turns true.
    void Play(std::vector<CPacedFrame>& frames, int nMasterFd, int nRelayFd,
              const std::atomic<bool>* pStop = nullptr);
    // Plays the relay's side of one answer: its bytes at the line's pace, the turnaround after
    // nRequestEndUs (steady), to every descriptor given (those below 0 are left out). Returns when
    // its first byte was written (steady, wall).
    void Answer(const std::vector<std::uint8_t>& abAnswer, const std::vector<int>& anFds, std::int64_t nRequestEndUs,
                std::int64_t& nFirstUs, std::int64_t& nFirstWallUs);

    std::int64_t CharacterUs() const { return m_nCharacterUs; }

private:
    // Writes the bytes, the first at nStartUs and each next one character time later.
    void WritePaced(const std::vector<std::uint8_t>& abBytes, const std::vector<int>& anFds, std::int64_t nStartUs,
                    std::int64_t& nFirstUs, std::int64_t& nFirstWallUs);

    std::int64_t m_nCharacterUs;
    std::int64_t m_nTurnaroundUs;
    std::int64_t m_nGapUs;
};

std::int64_t SteadyNowUs();
// Writes all the bytes, waiting while the descriptor is full; gives up on an error.
void WriteAll(int nFd, const std::vector<std::uint8_t>& abBytes);

} // namespace relvane::test
