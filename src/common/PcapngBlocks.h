#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// Blocks of a pcapng capture file (little-endian, one section), built into byte vectors that the
// caller writes out as they come: a section header first, an interface description before the
// first packet of each interface, then one enhanced packet block per frame. Time stamps are in
// microseconds since 1970 (the format's default resolution).
namespace pcapng
{

// Link types of the lines a session captures.
enum LinkType : std::uint16_t
{
    LINKTYPE_RTAC_SERIAL = 250, // 12-byte serial pseudo-header, then the bytes of the line
    LINKTYPE_USER0 = 147,       // '94 and any other serial traffic: the bytes as they were
    // Ethernet 103 payloads (TCP and UDP): a few tags naming the dissector ("data"), the protocol
    // column and the direction, then the payload. Wireshark reads this type the same everywhere,
    // while the user types above 147 are taken by other meanings on some builds (149 is PKTAP).
    LINKTYPE_WIRESHARK_UPPER_PDU = 252,
};

// The pseudo-header's event types for a frame sent and a frame received.
constexpr std::uint8_t kRtacTxStart = 0x01;
constexpr std::uint8_t kRtacRxStart = 0x02;
constexpr int kRtacHeaderLength = 12;

std::vector<std::uint8_t> BuildSectionHeader(const std::string& strApplication);
// nTsExponent: the interface's time stamps count units of 10^-nTsExponent s (if_tsresol); 6, the
// format's default microseconds, writes no option.
std::vector<std::uint8_t> BuildInterfaceDescription(LinkType eLinkType, const std::string& strName,
                                                    int nTsExponent = 6);
// The exponent of the coarsest power of ten (at most a second) not coarser than the resolution.
int TsExponentFor(std::int64_t nResolutionUs);
// nTimeUs counts the interface's time units (microseconds unless its description says otherwise).
// bInbound selects the epb_flags direction (inbound or outbound). Frames longer than the
// interface's snapshot length (65535) are cut there, with their original length kept.
std::vector<std::uint8_t> BuildEnhancedPacket(std::uint32_t nInterface, std::int64_t nTimeUs,
                                              const std::uint8_t* pBytes, int nLength, bool bInbound);
// The RTAC serial pseudo-header: time (seconds, microseconds, big-endian), event type, control
// lines (none), footer (zero).
std::vector<std::uint8_t> BuildRtacHeader(std::int64_t nTimeUs, bool bInbound);
// The exported-PDU tags in front of a payload: dissector "data" (the bytes as they are), the
// protocol column (for instance "TCP") and the point-to-point direction (sent or received).
std::vector<std::uint8_t> BuildExportedPduHeader(const std::string& strProtocol, bool bInbound);

} // namespace pcapng
} // namespace relvane
