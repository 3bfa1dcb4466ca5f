#pragma once

#include "relay/RelayTypes.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace relvane
{

// Faults a simulated relay can put on its answers.
enum RelayFault : unsigned
{
    FAULT_NONE = 0,
    FAULT_CHECKSUM = 1u << 0, // the checksum (CRC-16 or FT1.2 sum) is wrong
    FAULT_SPLIT = 1u << 1,    // the frame arrives in two parts with a gap longer than 30 ms
    FAULT_NACK = 1u << 2,     // FT1.2 only: function 14, link service not functioning
    FAULT_SILENCE = 1u << 3,  // no answer at all
    FAULT_MERGE = 1u << 4,    // the answer follows a repeat of the previous one in one burst
    FAULT_ALL = 0x1F,
};

// Parses "checksum,split,nack,silence,merge" (any subset, any order) into a mask; false for an
// unknown or empty name.
bool ParseFaultList(const std::string& strList, unsigned& nMask);
const char* FaultName(RelayFault eFault);

// One write of an answer: its bytes after a pause.
struct CRelayWrite
{
    CRelayBytes abBytes;
    int nDelayMs = 0;
};

// Draws the faults at a rate (percent of answers) from a seeded generator, so a run can be
// repeated exactly.
class CFaultInjector
{
public:
    static constexpr int kSplitGapMs = 80;

    CFaultInjector(int nRatePercent, unsigned nMask, std::uint32_t nSeed)
        : m_nRate(nRatePercent), m_nMask(nMask), m_random(nSeed)
    {
    }

    // The fault for the next answer, chosen among the enabled ones that make sense for the
    // protocol (FT1.2 or not); FAULT_NONE most of the time.
    RelayFault Draw(bool bFt12);
    // The writes that carry `abAnswer` under the fault. abPrevious is the answer before it.
    static std::vector<CRelayWrite> Apply(RelayFault eFault, bool bFt12, const CRelayBytes& abAnswer,
                                          const CRelayBytes& abPrevious);

private:
    int m_nRate;
    unsigned m_nMask;
    std::mt19937 m_random;
};

} // namespace relvane
