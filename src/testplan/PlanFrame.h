#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// One frame on the serial line during a plan run, numbered from 1 in line order (the n-th
// packet of the run's capture).
struct CPlanFrame
{
    int nNumber = 0;
    bool bInbound = false; // received from the relay
    std::vector<std::uint8_t> abBytes;
    std::int64_t nSteadyUs = 0;    // sent: when written; received: when its chunk was complete
    std::int64_t nFirstByteUs = 0; // received: first byte of its chunk (steady clock)
    std::int64_t nWallUs = 0;      // the same moment as nSteadyUs on the wall clock
    std::string strAnnotation;     // what the log annotates it with ("" when nothing)
    int nCase = -1;                // position of the case that was running (-1: none)
    long long nLogPosition = -1;   // where its log entry starts in the session's log document
};

} // namespace relvane
