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
// as the accepted protocol allows, by the codecs' frame tests; RELAY_AUTO tries FT1.2 first. Bytes that begin
// no frame are skipped one at a time; a frame still incomplete waits for more bytes until Flush.
class CRelayFrameReader
{
public:
    static constexpr std::size_t kMaxBuffered = 4096;

    explicit CRelayFrameReader(RelayProtocol eAccept) : m_eAccept(eAccept) {}

    // A relay with the defects takes FT1.2 frames with a wrong checksum, or a variable frame
    // whose two length bytes differ (the first counts), as frames.
    void Tolerate(bool bBadChecksum, bool bBadLength)
    {
        m_bBadChecksum = bBadChecksum;
        m_bBadLength = bBadLength;
    }

    // Bytes that formed no frame are kept as ignored: their count, and the first of them.
    static constexpr std::size_t kIgnoredKept = 16;

    void Feed(const std::uint8_t* pBytes, std::size_t nCount, std::vector<CRelayFrame>& frames);
    // Drops an incomplete frame (the line fell quiet in the middle of it); its bytes are ignored.
    void Flush();
    bool HasPartial() const { return !m_abBuffer.empty(); }
    // The bytes ignored since the last call: their number, and the first kIgnoredKept of them
    // appended to abFirst. Both start again from nothing.
    std::size_t TakeIgnored(CRelayBytes& abFirst);

private:
    enum Match
    {
        MATCH_NONE,
        MATCH_MORE,
        MATCH_FRAME,
    };
    Match Match103(std::size_t& nLength) const;
    Match Match94(std::size_t& nLength) const;

    void Ignore(const std::uint8_t* pBytes, std::size_t nCount);

    RelayProtocol m_eAccept;
    bool m_bBadChecksum = false;
    bool m_bBadLength = false;
    CRelayBytes m_abBuffer;
    std::size_t m_nIgnored = 0;
    CRelayBytes m_abIgnored; // the first kIgnoredKept ignored bytes
};

} // namespace relvane
