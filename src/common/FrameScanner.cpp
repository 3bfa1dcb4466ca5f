#include "common/FrameScanner.h"

#include <algorithm>

namespace relvane
{

void CFrameScanner::Feed(const std::uint8_t* pBytes, int nCount, const CScanTime& read,
                         std::vector<CScanPiece>& pieces)
{
    if (pBytes == nullptr || nCount <= 0 || m_fnScan == nullptr)
        return;
    m_abBuffer.insert(m_abBuffer.end(), pBytes, pBytes + nCount);
    if (m_nCharacterUs <= 0)
        m_times.insert(m_times.end(), static_cast<std::size_t>(nCount), read);
    for (int i = 0; m_nCharacterUs > 0 && i < nCount; ++i)
    {
        std::int64_t nBackUs = static_cast<std::int64_t>(nCount - 1 - i) * m_nCharacterUs;
        if (m_bAnyRead)
            nBackUs = std::min(nBackUs, std::max<std::int64_t>(read.nSteadyUs - m_nLastReadUs, 0));
        m_times.push_back(CScanTime{read.nWallUs - nBackUs, read.nSteadyUs - nBackUs, read.nQuietSinceUs});
    }
    m_bAnyRead = true;
    m_nLastReadUs = read.nSteadyUs;
    Scan(false, pieces);
}

void CFrameScanner::Expire(std::int64_t nNowSteadyUs, std::vector<CScanPiece>& pieces)
{
    if (!m_abBuffer.empty() && nNowSteadyUs - m_nLastReadUs >= m_nQuietUs)
        Scan(true, pieces);
}

void CFrameScanner::Flush(std::vector<CScanPiece>& pieces)
{
    if (!m_abBuffer.empty())
        Scan(true, pieces);
}

CScanResult CFrameScanner::MatchAt(std::size_t nAt, bool bEnd) const
{
    const std::uint8_t* pBytes = m_abBuffer.data() + nAt;
    const int nCount = static_cast<int>(m_abBuffer.size() - nAt);
    CScanResult result = m_fnScan(pBytes, nCount, bEnd);
    if (result.eMatch == SCAN_NONE || (result.eMatch == SCAN_FRAME && result.bValid))
        return result;
    // A frame whose check fails must not swallow a good frame (of more than the lone
    // acknowledgement character) that starts inside it; it waits while one may still start inside
    // it. A frame still hoped for waits for its rest even past a good frame inside it (a good frame
    // may hold another, as a '94 frame of zeros does): decided on the whole frame, the pieces are
    // the same wherever the reads were cut. What waits is given out when the line goes quiet.
    const int nSpan = std::min(std::max(result.nLength, 1), nCount);
    for (int j = 1; j < nSpan; ++j)
    {
        const CScanResult inner = m_fnScan(pBytes + j, nCount - j, bEnd);
        if (inner.eMatch == SCAN_FRAME && inner.bValid && inner.nLength > 1)
            return result.eMatch == SCAN_MORE ? result : CScanResult{};
        if (inner.eMatch == SCAN_MORE && result.eMatch == SCAN_FRAME && inner.nLength > 1)
            result = CScanResult{SCAN_MORE, result.nLength, false};
    }
    return result;
}

void CFrameScanner::Scan(bool bEnd, std::vector<CScanPiece>& pieces)
{
    while (m_nGarbled < m_abBuffer.size())
    {
        if (m_nGarbled >= static_cast<std::size_t>(kMaxGarbled))
        {
            Take(m_nGarbled, false, false, pieces);
            continue;
        }
        const CScanResult result = MatchAt(m_nGarbled, bEnd);
        if (result.eMatch == SCAN_NONE)
        {
            ++m_nGarbled;
            continue;
        }
        if (result.eMatch == SCAN_MORE)
            return; // the garbled run in front may still go on, should this come to nothing
        if (m_nGarbled > 0)
            Take(m_nGarbled, false, false, pieces);
        Take(static_cast<std::size_t>(result.nLength), true, result.bValid, pieces);
    }
    if (bEnd && m_nGarbled > 0)
        Take(m_nGarbled, false, false, pieces);
}

void CFrameScanner::Take(std::size_t nCount, bool bFrame, bool bValid, std::vector<CScanPiece>& pieces)
{
    nCount = std::min(nCount, m_abBuffer.size());
    if (nCount == 0)
        return;
    CScanPiece piece;
    const auto nEnd = static_cast<std::ptrdiff_t>(nCount);
    piece.abBytes.assign(m_abBuffer.begin(), m_abBuffer.begin() + nEnd);
    piece.bFrame = bFrame;
    piece.bValid = bFrame && bValid;
    piece.firstByte = m_times.front();
    piece.lastByte = m_times[nCount - 1];
    m_abBuffer.erase(m_abBuffer.begin(), m_abBuffer.begin() + nEnd);
    m_times.erase(m_times.begin(), m_times.begin() + nEnd);
    m_nGarbled = 0;
    pieces.push_back(std::move(piece));
}

} // namespace relvane
