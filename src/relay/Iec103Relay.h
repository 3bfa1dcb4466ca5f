#pragma once

#include "relay/DisturbanceRecorder.h"
#include "relay/GenericDirectory.h"
#include "relay/RelayClock.h"
#include "relay/RelayDefects.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace relvane
{

// A protection relay as an IEC 60870-5-103 secondary station on an FT1.2 link (unbalanced
// transmission, IEC 60870-5-2 link rules), link address and common address the same.
//
// Link layer: reset CU empties the relay's buffers and queues ASDU 5 with COT 4; reset FCB
// confirms the last answer and queues ASDU 5 with COT 3; both are confirmed (fixed frame, function 0) and
// make FCB = 1 the next new frame. A frame with FCV = 1 whose FCB equals the last one is a repetition: it
// gets the last answer again, byte for byte, and is not processed a second time. Class-1 data leave the queue
// only when the next new frame confirms the answer that carried them. Every answer carries ACD while class-1
// data wait (after a class-1 answer: while more than the one sent wait). A request for class 1 data with none
// waiting, or for class 2 data with nothing due, gets the fixed frame "no data" (function 9). Broadcasts
// (address 255) are taken only as send/no reply and never answered.
//
// Application: general interrogation (ASDU 1 and 2 with COT 9 for every state point, then ASDU 8),
// time synchronisation (the clock is set; with send/confirm ASDU 6 COT 8 confirms it), general
// commands (ASDU 1 COT 20, or 21 for an unknown INF or DCO), generic services (CGenericDirectory),
// the disturbance transfer (CDisturbanceRecorder) and measurands (ASDU 9, ASDU 3 in turn) as class
// 2 data at most every kMeasurandPeriodMs, or on a cycle of their own (SetTiming). Spontaneous events are ASDU 1 COT 1 whose SIN carries
// the event's number modulo 256, so a master can see whether one went missing. At power-up
// ASDU 5 with COT 5 waits in class 1.
class CIec103Relay
{
public:
    static constexpr std::uint8_t kFun = 128; // distance protection
    static constexpr std::int64_t kMeasurandPeriodMs = 5000;
    static constexpr std::size_t kMaxClass1 = 1000;

    CIec103Relay(std::uint8_t nAddress, std::int64_t nNowMs);

    // As many relays do (IEC 60870-5-2 allows it), confirm and say "no data" with the single
    // character E5H instead of a fixed frame, whenever the fixed frame would carry no ACD.
    void SetSingleCharAck(bool bOn) { m_bSingleCharAck = bOn; }
    bool SingleCharAck() const { return m_bSingleCharAck; }
    // Timing of real relays: the application data a frame asks for (identification after a reset,
    // interrogation, clock and command answers, generic and disturbance data) enter class 1 only
    // nAnswerDelayMs after the frame was confirmed; with nMeasurandCycleMs > 0 the measurands are
    // due every nMeasurandCycleMs from power-up, whatever the master resets, instead of at once
    // after a reset and then at most every kMeasurandPeriodMs.
    void SetTiming(int nAnswerDelayMs, int nMeasurandCycleMs);

    // The answer to one complete FT1.2 frame from the master; empty for no answer. Frames with a
    // wrong checksum or end character, from a secondary, or for another address are ignored.
    CRelayBytes Answer(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs);
    // Plants protocol defects (none at start).
    void SetDefects(const CRelayDefects& defects) { m_defects = defects; }
    // Queues the next numbered spontaneous event; every fourth one also records a fault.
    void RaiseEvent(std::int64_t nNowMs);
    // The waiting class-1 ASDUs as user-data frames, taken out of the queue (for a link without
    // polling, such as the Ethernet connection).
    std::vector<CRelayBytes> TakeClass1Frames();
    // ASDU 5 (identification) with the given cause.
    CRelayBytes BuildIdentification(std::uint8_t nCot) const;

    // Faults the disturbance recorder puts on a transfer (DisturbanceFault mask).
    void SetDisturbanceFaults(unsigned nMask) { m_recorder.SetTransferFaults(nMask); }

    std::uint8_t Address() const { return m_nAddress; }
    std::size_t Class1Count() const { return m_class1.size(); }
    // Class-1 entries the master can fetch now (at the head of the queue, their delay over).
    std::size_t ReadyClass1(std::int64_t nNowMs) const;
    std::uint32_t EventCount() const { return m_nEventCount; }
    int ActiveGroup() const { return m_nActiveGroup; }
    const CRelayClock& Clock() const { return m_clock; }
    const CGenericDirectory& Generic() const { return m_generic; }
    const CDisturbanceRecorder& Recorder() const { return m_recorder; }

private:
    CRelayBytes Fixed(std::uint8_t nFunction) const;
    CRelayBytes Respond(std::uint8_t nControl, const std::uint8_t* pAsdu, int nAsdu, std::int64_t nNowMs);
    void OnUserData(const std::uint8_t* pAsdu, int nAsdu, bool bConfirmed, std::int64_t nNowMs);
    void OnInterrogation(std::uint8_t nScn, std::int64_t nNowMs);
    void OnGeneralCommand(const std::uint8_t* pAsdu, int nAsdu, std::int64_t nNowMs);
    CRelayBytes BuildPoint(std::uint8_t nCot, std::uint8_t nInf, std::uint8_t nDpi, std::uint8_t nSin,
                           std::int64_t nNowMs) const;
    CRelayBytes BuildMeasurands();
    CRelayBytes SpoilLink(CRelayBytes abAnswer) const;
    void SpoilGenericRead(std::uint8_t nInf, std::vector<CRelayBytes>& answers) const;
    void ConfirmClass1();
    // Queues an ASDU in class 1, ready at m_nQueueReadyMs (the answer delay of the frame being
    // handled, or at once).
    void QueueClass1(CRelayBytes abAsdu);
    bool MeasurandsDue(std::int64_t nNowMs) const;
    void MeasurandsSent(std::int64_t nNowMs);

    std::uint8_t m_nAddress;
    bool m_bSingleCharAck = false;
    CRelayClock m_clock;
    std::deque<CRelayBytes> m_class1;
    std::deque<std::int64_t> m_class1ReadyMs; // beside m_class1: when each entry may leave
    std::int64_t m_nQueueReadyMs = 0;
    std::int64_t m_nNowMs = 0; // time of the frame being answered
    int m_nAnswerDelayMs = 0;
    int m_nMeasurandCycleMs = 0;
    std::int64_t m_nNextMeasurandMs = 0;
    bool m_bClass1Sent = false; // the front ASDU went out and awaits confirmation
    int m_nLastFcb = -1;        // -1: no frame counted yet
    CRelayBytes m_abLastAnswer;
    bool m_bMeasurandsSent = false;
    std::int64_t m_nLastMeasurandMs = 0;
    std::uint32_t m_nMeasurandTurn = 0;
    std::uint32_t m_nEventCount = 0;
    int m_nActiveGroup = 0;
    std::uint8_t m_abPointState[3] = {2, 2, 2}; // INF 16, 17, 18: auto-reclose, teleprotection, protection
    std::uint16_t m_nLastFan = 0;
    bool m_bGarbleAnswer = false; // the answer being built leaves with a wrong checksum
    CGenericDirectory m_generic;
    CDisturbanceRecorder m_recorder;
    CRelayDefects m_defects;
};

} // namespace relvane
