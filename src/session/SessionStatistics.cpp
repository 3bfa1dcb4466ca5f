#include "session/SessionStatistics.h"

#include "session/SessionCommands.h"

#include <algorithm>
#include <cstdio>

namespace relvane
{
namespace
{

// Nearest rank of a sorted sample.
std::int64_t Percentile(const std::vector<std::int64_t>& sorted, int nPercent)
{
    const std::size_t nRank = (sorted.size() * static_cast<std::size_t>(nPercent) + 99) / 100;
    return sorted[std::max<std::size_t>(nRank, 1) - 1];
}

std::string Milliseconds(std::int64_t nUs)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.1f", static_cast<double>(nUs) / 1000.0);
    return szText;
}

} // namespace

std::string CSessionStatistics::FrameKey(int nMode, const std::uint8_t* pFrame, int nLength)
{
    char szKey[32] = "?";
    if (pFrame == nullptr || nLength <= 0)
        return szKey;
    if (nMode == MODE_94)
    {
        if (nLength >= 2)
            std::snprintf(szKey, sizeof szKey, "%02XH", pFrame[1]);
    }
    else if (nMode == MODE_103)
    {
        if (pFrame[0] == 0x68 && nLength >= 7)
            std::snprintf(szKey, sizeof szKey, "ASDU %d", pFrame[6]);
        else if (pFrame[0] == 0x10 && nLength >= 2)
            std::snprintf(szKey, sizeof szKey, "链路功能码 %d", pFrame[1] & 0x0F);
        else if (pFrame[0] == 0xE5)
            std::snprintf(szKey, sizeof szKey, "E5H");
    }
    return szKey;
}

void CSessionStatistics::OnFrame(const std::string& strKey, bool bInbound)
{
    CFrameCount& count = m_frames[strKey];
    ++(bInbound ? count.nReceived : count.nSent);
}

void CSessionStatistics::OnBytes(bool bInbound, int nCount)
{
    if (nCount > 0)
        (bInbound ? m_nBytesReceived : m_nBytesSent) += static_cast<std::uint64_t>(nCount);
}

void CSessionStatistics::OnResponse(std::int64_t nMicroseconds)
{
    if (nMicroseconds < 0)
        return;
    if (m_nResponses == 0 || nMicroseconds < m_nMinUs)
        m_nMinUs = nMicroseconds;
    if (m_nResponses == 0 || nMicroseconds > m_nMaxUs)
        m_nMaxUs = nMicroseconds;
    ++m_nResponses;
    if (m_samples.size() < kMaxSamples)
        m_samples.push_back(nMicroseconds);
    else
    {
        m_samples[m_nNextSample] = nMicroseconds;
        m_nNextSample = (m_nNextSample + 1) % kMaxSamples;
    }
}

CSessionStatistics::CResponseSummary CSessionStatistics::Responses() const
{
    CResponseSummary summary;
    summary.nCount = m_nResponses;
    if (m_samples.empty())
        return summary;
    std::vector<std::int64_t> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    summary.nMinUs = m_nMinUs;
    summary.nMaxUs = m_nMaxUs;
    summary.nMedianUs = Percentile(sorted, 50);
    summary.nP95Us = Percentile(sorted, 95);
    return summary;
}

std::string CSessionStatistics::Table() const
{
    std::string strTable = "报文                 发送      接收\n";
    char szLine[128];
    for (const auto& [strKey, count] : m_frames)
    {
        std::snprintf(szLine, sizeof szLine, "%-20s %8llu  %8llu\n", strKey.c_str(),
                      static_cast<unsigned long long>(count.nSent),
                      static_cast<unsigned long long>(count.nReceived));
        strTable += szLine;
    }
    std::snprintf(szLine, sizeof szLine, "字节                 %8llu  %8llu\n",
                  static_cast<unsigned long long>(m_nBytesSent),
                  static_cast<unsigned long long>(m_nBytesReceived));
    strTable += szLine;
    std::snprintf(szLine, sizeof szLine, "超时 %llu, 校验错 %llu, 拆分帧 %llu\n",
                  static_cast<unsigned long long>(m_nTimeouts),
                  static_cast<unsigned long long>(m_nCheckErrors),
                  static_cast<unsigned long long>(m_nSplitFrames));
    strTable += szLine;
    const CResponseSummary responses = Responses();
    if (responses.nCount == 0)
        strTable += "响应时间(ms): 无\n";
    else
        strTable += "响应时间(ms): " + std::to_string(responses.nCount) + " 次, 最小 " +
                    Milliseconds(responses.nMinUs) + ", 中位 " + Milliseconds(responses.nMedianUs) +
                    ", 95% " + Milliseconds(responses.nP95Us) + ", 最大 " + Milliseconds(responses.nMaxUs) +
                    "\n";
    return strTable;
}

} // namespace relvane
