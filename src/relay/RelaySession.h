#pragma once

#include "proto94/DeviceModel.h"
#include "relay/FaultInjector.h"
#include "relay/Iec103Relay.h"
#include "relay/Proto94Relay.h"
#include "relay/RelayFrameReader.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <vector>

namespace relvane
{

struct CRelaySettings
{
    RelayProtocol eProtocol = RELAY_AUTO;
    std::uint8_t nAddress = 1;
    DeviceModel eModel = KLR10;
    int nEventIntervalMs = 0; // 0: no spontaneous events
    int nFaultRatePercent = 0;
    unsigned nFaultMask = FAULT_ALL;
    std::uint32_t nSeed = 1;
};

// One frame from the master and what the relay did about it.
struct CRelayExchange
{
    RelayProtocol eProtocol = RELAY_94;
    CRelayBytes abReceived;
    CRelayBytes abAnswer;            // the answer as the relay meant it (empty: none due)
    RelayFault eFault = FAULT_NONE;  // what happened to it on the way
    std::vector<CRelayWrite> writes; // what goes on the line
};

// A relay on a serial line: cuts the master's bytes into frames, answers each in its protocol
// (both models keep their state side by side, so RELAY_AUTO follows the master from one protocol
// to the other), puts faults on the answers and raises spontaneous events in both models.
class CRelaySession
{
public:
    // An incomplete frame is dropped after this much silence.
    static constexpr std::int64_t kQuietMs = 100;

    CRelaySession(const CRelaySettings& settings, std::int64_t nNowMs);

    void Receive(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs,
                 std::vector<CRelayExchange>& exchanges);
    // Lets time pass; returns the milliseconds until something will be due (at most 1000).
    int Idle(std::int64_t nNowMs);

    CProto94Relay& Proto94() { return m_proto94; }
    CIec103Relay& Iec103() { return m_iec103; }
    const CRelaySettings& Settings() const { return m_settings; }

private:
    CRelayExchange Exchange(CRelayFrame frame, std::int64_t nNowMs);

    CRelaySettings m_settings;
    CRelayFrameReader m_reader;
    CFaultInjector m_faults;
    CProto94Relay m_proto94;
    CIec103Relay m_iec103;
    CRelayBytes m_abPrevious94;
    CRelayBytes m_abPrevious103;
    std::int64_t m_nLastByteMs = 0;
    std::int64_t m_nNextEventMs = 0;
};

} // namespace relvane
