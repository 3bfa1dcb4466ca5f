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
    LINKTYPE_USER1 = 148,       // Ethernet 103: TCP payloads
    LINKTYPE_USER2 = 149,       // Ethernet 103: UDP datagrams
};

// The pseudo-header's event types for a frame sent and a frame received.
constexpr std::uint8_t kRtacTxStart = 0x01;
constexpr std::uint8_t kRtacRxStart = 0x02;
constexpr int kRtacHeaderLength = 12;

std::vector<std::uint8_t> BuildSectionHeader(const std::string& strApplication);
std::vector<std::uint8_t> BuildInterfaceDescription(LinkType eLinkType, const std::string& strName);
// bInbound selects the epb_flags direction (inbound or outbound). Frames longer than the
// interface's snapshot length (65535) are cut there, with their original length kept.
std::vector<std::uint8_t> BuildEnhancedPacket(std::uint32_t nInterface, std::int64_t nTimeUs,
                                              const std::uint8_t* pBytes, int nLength, bool bInbound);
// The RTAC serial pseudo-header: time (seconds, microseconds, big-endian), event type, control
// lines (none), footer (zero).
std::vector<std::uint8_t> BuildRtacHeader(std::int64_t nTimeUs, bool bInbound);

} // namespace pcapng
} // namespace relvane
