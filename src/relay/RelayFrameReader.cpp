#include "relay/RelayFrameReader.h"

#include "iec103/Iec103Codec.h"
#include "iec103/Iec103FrameScan.h"
#include "proto94/Proto94FrameScan.h"

#include <algorithm>

namespace relvane
{

CRelayFrameReader::Match CRelayFrameReader::Match103(std::size_t& nLength) const
{
    const CRelayBytes& ab = m_abBuffer;
    // A master never sends the single character; from it, E5H is noise.
    if (ab[0] == 0xE5)
        return MATCH_NONE;
    const CScanResult result = ScanIec103Frame(ab.data(), static_cast<int>(ab.size()), false);
    if (result.eMatch == SCAN_MORE)
        return MATCH_MORE;
    if (result.eMatch == SCAN_FRAME)
    {
        nLength = static_cast<std::size_t>(result.nLength);
        return result.bValid || m_bBadChecksum ? MATCH_FRAME : MATCH_NONE;
    }
    // A relay with the defect takes a variable frame whose second length differs by the first.
    if (!m_bBadLength || ab[0] != 0x68 || (ab.size() >= 2 && ab[1] < 2))
        return MATCH_NONE;
    if (ab.size() < 4)
        return MATCH_MORE;
    if (ab[3] != 0x68)
        return MATCH_NONE;
    nLength = static_cast<std::size_t>(ab[1]) + 6;
    if (ab.size() < nLength)
        return MATCH_MORE;
    const std::uint8_t nSum = Iec103Codec::Checksum(ab.data() + 4, static_cast<int>(nLength) - 6);
    return (m_bBadChecksum || nSum == ab[nLength - 2]) && ab[nLength - 1] == 0x16 ? MATCH_FRAME : MATCH_NONE;
}

CRelayFrameReader::Match CRelayFrameReader::Match94(std::size_t& nLength) const
{
    const CRelayBytes& ab = m_abBuffer;
    // Only the master's commands are taken: 80H to 9AH.
    if (ab.size() >= 2 && (ab[1] < 0x80 || ab[1] > 0x9A))
        return MATCH_NONE;
    const CScanResult result = ScanProto94Frame(ab.data(), static_cast<int>(ab.size()), false);
    if (result.eMatch == SCAN_MORE)
        return MATCH_MORE;
    if (result.eMatch != SCAN_FRAME)
        return MATCH_NONE;
    nLength = static_cast<std::size_t>(result.nLength);
    return MATCH_FRAME;
}

void CRelayFrameReader::Feed(const std::uint8_t* pBytes, std::size_t nCount, std::vector<CRelayFrame>& frames)
{
    if (pBytes != nullptr)
        m_abBuffer.insert(m_abBuffer.end(), pBytes, pBytes + nCount);
    while (!m_abBuffer.empty())
    {
        std::size_t nLength = 0;
        Match match = MATCH_NONE;
        RelayProtocol eProtocol = RELAY_103;
        if (m_eAccept != RELAY_94)
            match = Match103(nLength);
        if (match != MATCH_FRAME && m_eAccept != RELAY_103)
        {
            std::size_t nLength94 = 0;
            const Match match94 = Match94(nLength94);
            if (match94 == MATCH_FRAME || match == MATCH_NONE)
            {
                match = match94;
                nLength = nLength94;
                eProtocol = RELAY_94;
            }
        }
        if (match == MATCH_MORE)
        {
            // Nothing this long comes from a master: the start was noise.
            if (m_abBuffer.size() < kMaxBuffered)
                return;
            match = MATCH_NONE;
        }
        if (match == MATCH_NONE)
        {
            Ignore(m_abBuffer.data(), 1);
            m_abBuffer.erase(m_abBuffer.begin());
            continue;
        }
        frames.push_back(
            {eProtocol, CRelayBytes(m_abBuffer.begin(), m_abBuffer.begin() + static_cast<long>(nLength))});
        m_abBuffer.erase(m_abBuffer.begin(), m_abBuffer.begin() + static_cast<long>(nLength));
    }
}

void CRelayFrameReader::Flush()
{
    Ignore(m_abBuffer.data(), m_abBuffer.size());
    m_abBuffer.clear();
}

void CRelayFrameReader::Ignore(const std::uint8_t* pBytes, std::size_t nCount)
{
    m_nIgnored += nCount;
    const std::size_t nKeep = std::min(nCount, kIgnoredKept - std::min(kIgnoredKept, m_abIgnored.size()));
    m_abIgnored.insert(m_abIgnored.end(), pBytes, pBytes + nKeep);
}

std::size_t CRelayFrameReader::TakeIgnored(CRelayBytes& abFirst)
{
    const std::size_t nIgnored = m_nIgnored;
    abFirst.insert(abFirst.end(), m_abIgnored.begin(), m_abIgnored.end());
    m_nIgnored = 0;
    m_abIgnored.clear();
    return nIgnored;
}

} // namespace relvane
