#pragma once

#include "proto94/DeviceModel.h"
#include "relay/RelayClock.h"
#include "relay/RelayDefects.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <deque>

namespace relvane
{

// A '94 relay of model KLR10 or KTR20 behind one device address. It answers each master command
// with one frame in the layouts the workbench reads:
//
//   80H reset protection       B0H: the model's "保护整组复归" event
//   81H set clock              B7H: the clock as now set
//   82H read clock             B7H
//   83H poll                   BAH: CPU, request flags (0 when nothing waits)
//   84H repeat                 the last answer again
//   85H, 8FH settings          BDH: CPU, group, record count, records of every kind and variant
//   86H switch inputs          BEH: CPU, time, (number, initial, current) per input
//   87H event report           B0H: the latest event, pending or not
//   88H samples                B8H: CPU, eight 16-bit samples (our own layout; not annotated)
//   8AH existing report        B0H, then CAH: the oldest waiting report; BAH when none waits
//   8EH discard reports        BAH after dropping every waiting report
//   90H active setting group   BAH with the "settings changed" flag, so the master reads them
//   98H last recording, step 1 CAH: the latest fault record
//   99H last recording, step 2 C9H: CPU, step, 16 samples of that step (our own layout)
//   9AH existing ext. report   CAH: the oldest waiting extended report; BAH when none waits
//
// Request flags of BAH: bit 0 switch inputs changed, bit 1 settings changed, bit 2 event reports
// wait, bit 3 extended reports wait. The relay starts with one waiting report ("装置上电"). Frames
// for another address and codes without a meaning here (8CH and the gaps) get no answer. Event
// data are B0H: CPU, long time stamp, event type, event code; CAH: CPU, time, fault number
// (2 bytes), phases, event type, event code, fault distance (2 bytes, 0.1 km).
class CProto94Relay
{
public:
    static constexpr std::size_t kMaxWaitingReports = 256;

    CProto94Relay(std::uint8_t nAddress, DeviceModel eModel, std::int64_t nNowMs);

    // The answer to one complete master frame with a right checksum; empty for no answer.
    CRelayBytes Answer(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs);
    // Plants protocol defects (none at start).
    void SetDefects(const CRelayDefects& defects) { m_defects = defects; }
    // A numbered spontaneous event: every event is a report that waits; every third also records
    // a fault (an extended report) and every fifth changes a switch input.
    void RaiseEvent(std::int64_t nNowMs);

    std::uint8_t RequestFlags() const;
    std::size_t WaitingReports() const { return m_reports.size() + m_extendedReports.size(); }
    int ActiveGroup() const { return m_nActiveGroup; }
    const CRelayClock& Clock() const { return m_clock; }

private:
    struct CEvent
    {
        std::uint8_t nType = 0;
        std::uint8_t nCode = 0;
        CRelayTime time;
        std::uint16_t nFault = 0; // fault number of an extended report
    };

    CRelayBytes BuildFrame(std::uint8_t nCode, const CRelayBytes& abData) const;
    CRelayBytes BuildEvent(const CEvent& event, std::uint8_t nCpu) const;
    CRelayBytes BuildExtended(const CEvent& event, std::uint8_t nCpu) const;
    CRelayBytes BuildClock(std::int64_t nNowMs) const;
    CRelayBytes BuildRequest(std::uint8_t nCpu) const;
    CRelayBytes BuildSettings(std::uint8_t nCpu, std::uint8_t nGroup) const;
    CRelayBytes BuildSwitches(std::uint8_t nCpu, std::int64_t nNowMs);
    CRelayBytes BuildSamples(std::uint8_t nCode, const CRelayBytes& abHeader, int nCount, int nPhase) const;
    CRelayBytes Respond(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs);
    void Queue(std::deque<CEvent>& queue, const CEvent& event);

    std::uint8_t m_nAddress;
    DeviceModel m_eModel;
    CRelayClock m_clock;
    std::deque<CEvent> m_reports;
    std::deque<CEvent> m_extendedReports;
    CEvent m_lastEvent;
    CEvent m_lastFault;
    std::uint32_t m_nEventCount = 0;
    std::uint16_t m_nFaultCount = 1;
    std::uint8_t m_nSwitchInitial = 0x5A; // bit i: state of input i + 1 at power-up
    std::uint8_t m_nSwitchCurrent = 0x5A;
    bool m_bSwitchesChanged = false;
    bool m_bSettingsChanged = false;
    int m_nActiveGroup = 0;
    std::uint32_t m_nReportsSent = 0;
    CRelayBytes m_abLastAnswer;
    CRelayDefects m_defects;
};

} // namespace relvane
