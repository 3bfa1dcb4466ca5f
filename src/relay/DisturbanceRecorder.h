#pragma once

#include "relay/RelayClock.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// Faults the recorder can put on a transfer, each once per selected fault (a new selection
// brings them back).
enum DisturbanceFault : unsigned
{
    DISTURBANCE_FAULT_NONE = 0,
    DISTURBANCE_FAULT_ABORT = 1u << 0,   // the relay gives up in the fourth channel (ASDU 31 TOO 34)
    DISTURBANCE_FAULT_LOST = 1u << 1,    // the third block of the third channel is left out
    DISTURBANCE_FAULT_GARBLED = 1u << 2, // the fifth block of the second channel leaves with a bad checksum
    DISTURBANCE_FAULT_ALL = 0x7,
};

// Parses "abort,lost,garbled" (any subset) into a mask; false for an unknown or empty name.
bool ParseDisturbanceFaultList(const std::string& strList, unsigned& nMask);

// The relay's disturbance recorder and its side of the transfer. The master drives it with
// ASDU 24 (orders) and ASDU 25 (acknowledgements); each step's answers are whole ASDUs for the
// class-1 queue:
//
//   24/TOO 24 list               -> ASDU 23 (every recorded fault: FAN, SOF, time)
//   24/TOO 1 select FAN          -> ASDU 26 ready for disturbance data
//   24/TOO 2 request data        -> ASDU 28 ready for tags
//   24/TOO 16 request tags       -> ASDU 29 tags (one per tag position), ASDU 31 TOO 38
//   25/TOO 68 tags received      -> ASDU 27 ready for the first channel
//   24/TOO 8 request channel ACC -> ASDU 30 values (blocks of kPerAsdu), ASDU 31 TOO 35
//   25/TOO 66 channel received   -> ASDU 27 for the next channel, after the last ASDU 31 TOO 32
//   25/TOO 64 data received      -> the fault is marked transmitted (SOF bit TM); no answer
//
// Aborts (TOO 3, 9, 17) end with ASDU 31 TOO 33, 36, 39; negative acknowledgements (65, 67, 69)
// repeat the step (ASDU 26, the channel's ASDU 27, the tags). An order for a fault that is not
// recorded, or before a fault is selected, ends with ASDU 31 "aborted by the relay" (TOO 34,
// 37 or 40).
//
// Every record holds the same eight channels (IL1..IN, UL1E..UEN) of kElements samples, one
// every kIntervalUs, the recording starting kPrefaultSamples before the fault: 50 Hz sines whose
// faulted phase (by FAN) steps up in current and down in voltage at the fault. Sample() gives
// each value, so that a test can check a transfer against the relay's own waveform.
class CDisturbanceRecorder
{
public:
    static constexpr int kChannels = 8;   // ACC 1 to 8
    static constexpr int kElements = 1000; // values per channel
    static constexpr int kPerAsdu = 100;   // values per ASDU 30
    static constexpr int kIntervalUs = 1000;
    static constexpr int kPrefaultSamples = 200;

    CDisturbanceRecorder(std::uint8_t nFun, const CRelayTime& now);

    void OnOrder(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                 std::vector<CRelayBytes>& out);
    void OnAcknowledgement(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                           std::vector<CRelayBytes>& out);
    // Records a new fault (the master learns of it from the list).
    void RecordFault(const CRelayTime& time);

    void SetTransferFaults(unsigned nMask) { m_nFaults = nMask; }
    // True once for the ASDU the garbled-block fault chose: its first sending is to be garbled.
    bool TakeGarbled(const CRelayBytes& abAsdu);

    std::size_t FaultCount() const { return m_faults.size(); }
    bool Transmitted(std::uint16_t nFan) const;

    // The recorded value of a channel (index 0 to kChannels - 1) at a sample, as sent (SDV), and
    // its channel's scaling: the secondary value is SDV times the reference factor.
    static std::int16_t Sample(std::uint16_t nFan, int nChannel, int nSample);
    static std::uint8_t Acc(int nChannel) { return static_cast<std::uint8_t>(nChannel + 1); }
    static float RatedPrimary(int nChannel);
    static float RatedSecondary(int nChannel);
    static float ReferenceFactor(int nChannel);

private:
    struct CFault
    {
        std::uint16_t nFan;
        std::uint8_t nSof;
        CRelayTime time;
    };

    CFault* Find(std::uint16_t nFan);
    CRelayBytes Header(std::uint8_t nTyp, std::uint8_t nAddress) const;
    CRelayBytes BuildEnd(std::uint8_t nAddress, std::uint8_t nToo, std::uint16_t nFan,
                         std::uint8_t nAcc) const;
    CRelayBytes BuildReady(std::uint8_t nAddress, const CFault& fault) const;
    CRelayBytes BuildChannelReady(std::uint8_t nAddress, int nChannel) const;
    void AppendTags(std::uint8_t nAddress, std::vector<CRelayBytes>& out) const;
    void AppendChannel(std::uint8_t nAddress, int nChannel, std::vector<CRelayBytes>& out);

    std::uint8_t m_nFun;
    std::vector<CFault> m_faults;
    std::uint16_t m_nNextFan = 1;
    std::uint16_t m_nSelected = 0; // 0: no fault selected
    int m_nChannel = 0;            // index of the channel the master works on
    unsigned m_nFaults = DISTURBANCE_FAULT_NONE;
    unsigned m_nFaultsDone = DISTURBANCE_FAULT_NONE; // the faults this selection has had
    CRelayBytes m_abGarble;                          // the ASDU whose first sending is garbled
};

} // namespace relvane
