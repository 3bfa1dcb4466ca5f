#pragma once

#include "relay/Iec103Relay.h"
#include "relay/RelayFrameReader.h"
#include "relay/RelayTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// The relay's side of Ethernet 103, without the sockets: what it sends when its TCP connection
// to the workbench stands, how it answers the frames the workbench sends on it, and what it makes
// of the workbench's UDP frames. The link layer is kept for the answers (a hand-typed request gets
// the FT1.2 answer a serial relay would give), but nothing is polled over TCP: whatever the relay
// has for class 1 goes out at once, each ASDU in a user-data frame.
class CEth103Peer
{
public:
    CEth103Peer(std::uint8_t nAddress, int nEventIntervalMs, std::int64_t nNowMs);

    // Frames to send once connected: the identification (ASDU 5, COT 5), then whatever waited.
    std::vector<CRelayBytes> OnConnected(std::int64_t nNowMs);
    // Bytes from the workbench: the frames found in them (into `received`) and what to send back.
    std::vector<CRelayBytes> OnReceived(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs,
                                        std::vector<CRelayBytes>& received);
    // Spontaneous events that are due, as frames (only while bConnected; otherwise they wait).
    std::vector<CRelayBytes> Idle(std::int64_t nNowMs, bool bConnected);
    // Milliseconds until the next event is due (1000 without events).
    int WaitMs(std::int64_t nNowMs) const;

    // One line about a UDP frame from the workbench: its size and the time it carries.
    static std::string DescribeUdpFrame(const std::uint8_t* pBytes, std::size_t nCount);

    CIec103Relay& Relay() { return m_relay; }

private:
    CIec103Relay m_relay;
    CRelayFrameReader m_reader{RELAY_103};
    int m_nEventIntervalMs;
    std::int64_t m_nNextEventMs;
};

} // namespace relvane
