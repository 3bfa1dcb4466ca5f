#include "relay/RelayDefects.h"

#include <vector>

namespace relvane
{
namespace
{

// In the order of RelayDefect.
constexpr const char* kNames[DEFECT_COUNT] = {
    "bad-checksum-answered",
    "wrong-address-answered",
    "bad-length-answered",
    "fcb-repeat-new",
    "reset-no-answer",
    "status-no-answer",
    "acd-stuck",
    "acd-missing",
    "dfc-stuck",
    "slow",
    "e5-for-frame",
    "no-e5",
    "ident-cot-swapped",
    "gi-wrong-cot",
    "gi-no-termination",
    "gi-wrong-scn",
    "clock-no-answer",
    "clock-ignored",
    "gc-no-negative",
    "gc-no-ack",
    "generic-wrong-cot",
    "generic-truncated",
    "generic-write-lost",
    "dist-list-missing",
    "dist-transfer-stops",
    "measurand-class1",
    "cot-illegal",
    "clock-answer-off",
    "wrong-common-address",
    "repeat-executed",
    "event-cot-cyclic",
    "broadcast-ignored",
    "clock-answer-unasked",
    "ident-power-up",
    "headings-entries",
    "group-mixed",
    "write-wrong-cot",
    "crc-bad",
    "repeat-crc-bad",
    "repeat-different",
    "slow94",
    "events-flag-stuck",
    "events-lost",
    "clock-not-set",
    "group-no-flag",
    "other-address-answered",
    "cpu-ignored",
};

} // namespace

const char* DefectName(RelayDefect eDefect)
{
    return eDefect >= 0 && eDefect < DEFECT_COUNT ? kNames[eDefect] : nullptr;
}

bool FindDefect(const std::string& strName, RelayDefect& eDefect)
{
    for (int i = 0; i < DEFECT_COUNT; ++i)
    {
        if (strName == kNames[i])
        {
            eDefect = static_cast<RelayDefect>(i);
            return true;
        }
    }
    return false;
}

bool CRelayDefects::AddList(const std::string& strList, std::string& strBad)
{
    // Every piece between commas must name a defect: "a,,b" and "a," name an empty one.
    std::vector<RelayDefect> found;
    std::size_t nStart = 0;
    while (true)
    {
        const std::size_t nComma = strList.find(',', nStart);
        const std::string strName =
            strList.substr(nStart, nComma == std::string::npos ? nComma : nComma - nStart);
        RelayDefect eDefect = DEFECT_COUNT;
        if (!FindDefect(strName, eDefect))
        {
            strBad = strName;
            return false;
        }
        found.push_back(eDefect);
        if (nComma == std::string::npos)
            break;
        nStart = nComma + 1;
    }
    for (const RelayDefect eDefect : found)
        Add(eDefect);
    return true;
}

} // namespace relvane
