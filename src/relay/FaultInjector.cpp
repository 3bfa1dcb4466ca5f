#include "relay/FaultInjector.h"

#include <sstream>

namespace relvane
{
namespace
{

constexpr RelayFault kFaults[] = {FAULT_CHECKSUM, FAULT_SPLIT, FAULT_NACK, FAULT_SILENCE, FAULT_MERGE};

} // namespace

const char* FaultName(RelayFault eFault)
{
    switch (eFault)
    {
    case FAULT_CHECKSUM:
        return "checksum";
    case FAULT_SPLIT:
        return "split";
    case FAULT_NACK:
        return "nack";
    case FAULT_SILENCE:
        return "silence";
    case FAULT_MERGE:
        return "merge";
    default:
        return "none";
    }
}

bool ParseFaultList(const std::string& strList, unsigned& nMask)
{
    nMask = 0;
    std::istringstream in(strList);
    std::string strName;
    while (std::getline(in, strName, ','))
    {
        bool bKnown = false;
        for (const RelayFault eFault : kFaults)
        {
            if (strName == FaultName(eFault))
            {
                nMask |= eFault;
                bKnown = true;
            }
        }
        if (!bKnown)
            return false;
    }
    return nMask != 0;
}

RelayFault CFaultInjector::Draw(bool bFt12)
{
    if (m_nRate <= 0)
        return FAULT_NONE;
    std::vector<RelayFault> candidates;
    for (const RelayFault eFault : kFaults)
    {
        if ((m_nMask & eFault) != 0 && (bFt12 || eFault != FAULT_NACK))
            candidates.push_back(eFault);
    }
    if (candidates.empty())
        return FAULT_NONE;
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(m_random) >= m_nRate)
        return FAULT_NONE;
    std::uniform_int_distribution<std::size_t> pick(0, candidates.size() - 1);
    return candidates[pick(m_random)];
}

std::vector<CRelayWrite> CFaultInjector::Apply(RelayFault eFault, bool bFt12, const CRelayBytes& abAnswer,
                                               const CRelayBytes& abPrevious)
{
    if (abAnswer.empty())
        return {};
    switch (eFault)
    {
    case FAULT_CHECKSUM:
    {
        CRelayBytes abBad = abAnswer;
        // FT1.2 keeps its sum before the end character, '94 its CRC in the last two bytes.
        const std::size_t nAt = abBad.size() >= 2 ? abBad.size() - 2 : 0;
        abBad[nAt] = static_cast<std::uint8_t>(abBad[nAt] ^ (bFt12 ? 0xFF : 0x5A));
        return {{abBad, 0}};
    }
    case FAULT_SPLIT:
    {
        const auto nHalf = static_cast<long>(abAnswer.size() / 2);
        if (nHalf == 0)
            return {{abAnswer, 0}};
        return {{CRelayBytes(abAnswer.begin(), abAnswer.begin() + nHalf), 0},
                {CRelayBytes(abAnswer.begin() + nHalf, abAnswer.end()), kSplitGapMs}};
    }
    case FAULT_SILENCE:
        return {};
    case FAULT_MERGE:
    {
        CRelayBytes abBurst = abPrevious.empty() ? abAnswer : abPrevious;
        abBurst.insert(abBurst.end(), abAnswer.begin(), abAnswer.end());
        return {{abBurst, 0}};
    }
    default:
        return {{abAnswer, 0}};
    }
}

} // namespace relvane
