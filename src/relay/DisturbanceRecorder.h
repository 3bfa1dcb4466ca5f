#pragma once

#include "relay/RelayClock.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// The relay's disturbance recorder and its side of the transfer. The master drives it with
// ASDU 24 (orders) and ASDU 25 (acknowledgements); each step's answers are whole ASDUs for the
// class-1 queue:
//
//   24/TOO 24 list               -> ASDU 23 (every recorded fault: FAN, SOF, time)
//   24/TOO 1 select FAN          -> ASDU 26 ready for disturbance data
//   24/TOO 2 request data        -> ASDU 28 ready for tags
//   24/TOO 16 request tags       -> ASDU 29 tags, ASDU 31 TOO 38
//   25/TOO 68 tags received      -> ASDU 27 ready for the first channel
//   24/TOO 8 request channel ACC -> ASDU 30 values (two ASDUs of 20), ASDU 31 TOO 35
//   25/TOO 66 channel received   -> ASDU 27 for the next channel, after the last ASDU 31 TOO 32
//   25/TOO 64 data received      -> the fault is marked transmitted (SOF bit TM); no answer
//
// Aborts (TOO 3, 9, 17) end with ASDU 31 TOO 33, 36, 39; negative acknowledgements (65, 67, 69)
// repeat the step (ASDU 26, the channel's ASDU 27, the tags). An order for a fault that is not
// recorded, or before a fault is selected, ends with ASDU 31 "aborted by the relay" (TOO 34,
// 37 or 40).
class CDisturbanceRecorder
{
public:
    static constexpr int kChannels = 4;  // ACC 1, 2, 3 (phase currents) and 5 (phase voltage)
    static constexpr int kElements = 40; // values per channel
    static constexpr int kPerAsdu = 20;  // values per ASDU 30
    static constexpr int kIntervalUs = 1000;

    CDisturbanceRecorder(std::uint8_t nFun, const CRelayTime& now);

    void OnOrder(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                 std::vector<CRelayBytes>& out);
    void OnAcknowledgement(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                           std::vector<CRelayBytes>& out);
    // Records a new fault (the master learns of it from the list).
    void RecordFault(const CRelayTime& time);

    std::size_t FaultCount() const { return m_faults.size(); }
    bool Transmitted(std::uint16_t nFan) const;

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
    void AppendChannel(std::uint8_t nAddress, int nChannel, std::vector<CRelayBytes>& out) const;

    std::uint8_t m_nFun;
    std::vector<CFault> m_faults;
    std::uint16_t m_nNextFan = 1;
    std::uint16_t m_nSelected = 0; // 0: no fault selected
    int m_nChannel = 0;            // index of the channel the master works on
};

} // namespace relvane
