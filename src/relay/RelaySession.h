#pragma once

#include "proto94/DeviceModel.h"
#include "relay/FaultInjector.h"
#include "relay/Iec103Relay.h"
#include "relay/Proto94Relay.h"
#include "relay/RelayDefects.h"
#include "relay/RelayFrameReader.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <string>
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
    bool bSingleCharAck = false; // 103: E5H for confirmations and "no data" without ACD
    int nAnswerDelayMs = 0;      // 103: application data ready this long after the confirmation
    int nMeasurandCycleMs = 0;   // 103: measurands every this long (0: after a reset, then every 5 s)
    unsigned nDisturbanceFaults = 0; // DisturbanceFault mask
    CRelayDefects defects; // none: the relay answers as the protocols say
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
    // One line "ignored N bytes: 10 5B 01 00 5C 16" for the bytes from the master that formed no
    // frame since the last such line (the first kIgnoredShown of them, then "…"), at most one every
    // kIgnoredReportMs; false when none is due. A master on the wrong settings is easy to see, and
    // a noisy line does not flood the output.
    bool TakeIgnoredReport(std::int64_t nNowMs, std::string& strLine);

    static constexpr std::int64_t kIgnoredReportMs = 1000;
    static constexpr std::size_t kIgnoredShown = CRelayFrameReader::kIgnoredKept;

    CProto94Relay& Proto94() { return m_proto94; }
    CIec103Relay& Iec103() { return m_iec103; }
    const CRelaySettings& Settings() const { return m_settings; }

private:
    CRelayExchange Exchange(CRelayFrame frame, std::int64_t nNowMs);
    bool SlowDefect(const CRelayBytes& abReceived, bool bFt12) const;

    CRelaySettings m_settings;
    CRelayFrameReader m_reader;
    CFaultInjector m_faults;
    CProto94Relay m_proto94;
    CIec103Relay m_iec103;
    CRelayBytes m_abPrevious94;
    CRelayBytes m_abPrevious103;
    void CollectIgnored();

    std::size_t m_nIgnored = 0;    // not reported yet
    CRelayBytes m_abIgnored;       // the first of them
    std::int64_t m_nIgnoredReportMs = 0;
    bool m_bIgnoredReported = false;
    std::int64_t m_nLastByteMs = 0;
    std::int64_t m_nNextEventMs = 0;
};

} // namespace relvane
