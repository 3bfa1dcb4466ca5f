#pragma once

#include <bitset>
#include <cstdint>
#include <string>

namespace relvane
{

// Protocol defects a simulated relay can be told to have, so that a test plan can prove that its
// cases catch them. Unlike the random faults of CFaultInjector, a defect is always there and
// spoils one kind of answer only; everything else the relay does stays right, so exactly the
// cases that check that answer fail.
enum RelayDefect : int
{
    // 103 link layer
    DEFECT_BAD_CHECKSUM_ANSWERED,  // takes frames with a wrong checksum
    DEFECT_WRONG_ADDRESS_ANSWERED, // takes frames for another link address (not 255)
    DEFECT_BAD_LENGTH_ANSWERED,    // takes variable frames whose two length bytes differ
    DEFECT_FCB_REPEAT_NEW,         // a repeated FCB gets new data, not the last answer
    DEFECT_RESET_NO_ANSWER,        // reset FCB is carried out but not confirmed
    DEFECT_STATUS_NO_ANSWER,       // request status of link is not answered
    DEFECT_ACD_STUCK,              // ACD in every answer
    DEFECT_ACD_MISSING,            // ACD in none
    DEFECT_DFC_STUCK,              // DFC in every answer
    DEFECT_SLOW,                   // link status answered kDefectSlowMs late
    DEFECT_E5_FOR_FRAME,           // E5 where the link status frame is due
    DEFECT_NO_E5,                  // never E5, even when told to use it
                  // 103 application
    DEFECT_IDENT_COT_SWAPPED,   // ASDU 5 with COT 3 after reset CU, 4 after reset FCB
    DEFECT_GI_WRONG_COT,        // interrogation data with COT 1 instead of 9
    DEFECT_GI_NO_TERMINATION,   // no ASDU 8 after them
    DEFECT_GI_WRONG_SCN,        // ASDU 8 with the scan number + 1
    DEFECT_CLOCK_NO_ANSWER,     // clock set, but no ASDU 6 COT 8 when asked for
    DEFECT_CLOCK_IGNORED,       // ASDU 6 confirmed, clock not set
    DEFECT_GC_NO_NEGATIVE,      // a refused general command gets COT 20
    DEFECT_GC_NO_ACK,           // an accepted one gets no answer
    DEFECT_GENERIC_WRONG_COT,   // generic read answers with COT 43 instead of 42
    DEFECT_GENERIC_TRUNCATED,   // generic interrogation stops after one ASDU; group read says more follows
    DEFECT_GENERIC_WRITE_LOST,  // writes confirmed (COT 40) but not kept
    DEFECT_DIST_LIST_MISSING,   // no ASDU 23 for the list order
    DEFECT_DIST_TRANSFER_STOPS, // nothing after the first channel is acknowledged
    DEFECT_MEASURAND_CLASS1,    // measurands in class 1 instead of class 2
    DEFECT_COT_ILLEGAL,         // ASDU 3 with COT 1, which 103 does not allow
    DEFECT_CLOCK_ANSWER_OFF,    // the ASDU 6 answer carries a time one hour off the one set
    DEFECT_WRONG_COMMON_ADDRESS, // every ASDU carries the common address + 1
    DEFECT_REPEAT_EXECUTED,     // a repeated send/confirm frame (same FCB) is carried out again
    DEFECT_EVENT_COT_CYCLIC,    // spontaneous events with COT 2 instead of 1
    DEFECT_BROADCAST_IGNORED,   // time synchronisation to address 255 not taken
    DEFECT_CLOCK_ANSWER_UNASKED, // ASDU 6 also for a synchronisation without answer
    DEFECT_IDENT_POWER_UP,      // ASDU 5 after reset CU with COT 5 (power-up) instead of 4
    DEFECT_HEADINGS_ENTRIES,    // "read all headings" answered with entries (KOD 1), not headings
    DEFECT_GROUP_MIXED,         // a group read holds an entry of another group
    DEFECT_WRITE_WRONG_COT,     // generic writes acknowledged with COT 42 instead of 40
                        // '94
    DEFECT_CRC_BAD,                // poll (83H) answers with a wrong CRC
    DEFECT_REPEAT_CRC_BAD,         // repeat (84H) answers with a wrong CRC
    DEFECT_REPEAT_DIFFERENT,       // 84H gets a fresh BAH, not the last answer
    DEFECT_SLOW94,                 // polls answered kDefectSlowMs late
    DEFECT_EVENTS_FLAG_STUCK,      // "reports wait" stays set once one was fetched
    DEFECT_EVENTS_LOST,            // 8AH answers BAH (flags still set), the report is dropped
    DEFECT_CLOCK_NOT_SET,          // 81H answered, clock not set
    DEFECT_GROUP_NO_FLAG,          // 90H without the "settings changed" flag
    DEFECT_OTHER_ADDRESS_ANSWERED, // answers frames for another device address
    DEFECT_CPU_IGNORED,            // answers name CPU 0 whatever CPU was asked for
    DEFECT_COUNT,
};

// How late the answers of the slow defects leave: past any sensible response limit, yet inside
// the workbench's default response time-out (1500 ms), so the late answer is still seen.
constexpr int kDefectSlowMs = 1000;

// The name on the command line ("bad-checksum-answered"); nullptr for DEFECT_COUNT.
const char* DefectName(RelayDefect eDefect);
// The defect of that name; false when there is none.
bool FindDefect(const std::string& strName, RelayDefect& eDefect);

class CRelayDefects
{
public:
    bool Has(RelayDefect eDefect) const { return m_set.test(static_cast<std::size_t>(eDefect)); }
    bool Empty() const { return m_set.none(); }
    void Add(RelayDefect eDefect) { m_set.set(static_cast<std::size_t>(eDefect)); }

    // Adds the defects of a comma list ("slow,acd-stuck"); on an unknown or empty name it returns
    // false with that name in strBad and adds nothing.
    bool AddList(const std::string& strList, std::string& strBad);

private:
    std::bitset<DEFECT_COUNT> m_set;
};

} // namespace relvane
