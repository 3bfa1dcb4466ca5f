#pragma once

#include "PacedLine.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace relvane::test
{

// Where a tap hears a paced relay's line.
struct CPacedTap
{
    int nRequestFd = -1; // hears the master's line
    int nAnswerFd = -1;  // hears the relay's line (the same descriptor for a bus)
};

// The relay's end of a serial line, at the line's pace, on a thread of its own: the master's
// bytes are read from a pseudo-terminal and cut into FT1.2 frames; each good one is given to the
// answer function, and what it returns (nothing: no answer) leaves the turnaround after the read
// that completed the request, byte by byte at the character rate. A tap hears it too where copy
// descriptors are given: each request as it was read, each answer at the same pace.
class CPacedRelay
{
public:
    // The answer to one good request.
    using AnswerFunction = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& abRequest)>;

    CPacedRelay(int nFd, int nBaud, std::int64_t nTurnaroundUs, AnswerFunction fnAnswer, CPacedTap tap = {});
    ~CPacedRelay();
    CPacedRelay(const CPacedRelay&) = delete;
    CPacedRelay& operator=(const CPacedRelay&) = delete;

    // Requests answered so far.
    int Answered() const { return m_nAnswered; }
    // The answers played, each with when its first byte left.
    std::vector<CPacedFrame> Answers() const;

private:
    void Run();

    int m_nFd;
    CPacedLine m_line;
    AnswerFunction m_fnAnswer;
    CPacedTap m_tap;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nAnswered{0};
    mutable std::mutex m_mutex;
    std::vector<CPacedFrame> m_answers;
    std::thread m_thread;
};

// Answers of a polled 103 relay in turn: "no data", an event of 20 bytes, E5; with nNoiseEvery
// > 0, every nNoiseEvery-th answer has a stray byte (FFH) of line noise in front of it.
CPacedRelay::AnswerFunction PollingAnswers103(int nNoiseEvery = 0);

} // namespace relvane::test
