#pragma once

#include "relay/RelayTypes.h"

#include <cstdint>
#include <vector>

namespace relvane
{

struct CRelayFrame
{
    RelayProtocol eProtocol = RELAY_94;
    CRelayBytes abBytes;
};

// Cuts the byte stream from the master into whole frames: '94 (address, code 80H to 9AH,
// length, data, right CRC-16) and FT1.2 (fixed or variable, right checksum and end character),
// as the accepted protocol allows; RELAY_AUTO tries FT1.2 first. Bytes that begin no frame are
// skipped one at a time; a frame still incomplete waits for more bytes until Flush.
class CRelayFrameReader
{
public:
    static constexpr std::size_t kMaxBuffered = 4096;

    explicit CRelayFrameReader(RelayProtocol eAccept) : m_eAccept(eAccept) {}

    void Feed(const std::uint8_t* pBytes, std::size_t nCount, std::vector<CRelayFrame>& frames);
    // Drops an incomplete frame (the line fell quiet in the middle of it).
    void Flush() { m_abBuffer.clear(); }
    bool HasPartial() const { return !m_abBuffer.empty(); }

private:
    enum Match
    {
        MATCH_NONE,
        MATCH_MORE,
        MATCH_FRAME,
    };
    Match Match103(std::size_t& nLength) const;
    Match Match94(std::size_t& nLength) const;

    RelayProtocol m_eAccept;
    CRelayBytes m_abBuffer;
};

} // namespace relvane
