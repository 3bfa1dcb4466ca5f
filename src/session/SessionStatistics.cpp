#include "session/SessionStatistics.h"

#include "session/SessionCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>

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

constexpr const char* kAsduPrefix = "ASDU ";
constexpr const char* kLinkPrefix = "链路功能码 ";

const char* AsduName(int nType)
{
    switch (nType)
    {
    case 1:
        return "带时标的报文";
    case 2:
        return "具有相对时间的带时标的报文";
    case 3:
        return "被测值I";
    case 4:
        return "具有相对时间的带时标的被测值";
    case 5:
        return "标识";
    case 6:
        return "时间同步";
    case 7:
        return "总查询";
    case 8:
        return "总查询终止";
    case 9:
        return "被测值II";
    case 10:
        return "通用分类数据";
    case 11:
        return "通用分类标识";
    case 20:
        return "一般命令";
    case 21:
        return "通用分类命令";
    case 23:
        return "被记录的扰动表";
    case 24:
        return "扰动数据传输的命令";
    case 25:
        return "扰动数据传输的认可";
    case 26:
        return "扰动数据传输准备就绪";
    case 27:
        return "被记录的通道传输准备就绪";
    case 28:
        return "带标志的状态变位传输准备就绪";
    case 29:
        return "传送带标志的状态变位";
    case 30:
        return "传送扰动值";
    case 31:
        return "传送结束";
    default:
        return "";
    }
}

// Function codes of the primary station (what the master sends) and of the secondary (what the
// relay answers), IEC 60870-5-2.
const char* PrimaryFunctionName(int nCode)
{
    switch (nCode)
    {
    case 0:
        return "复位通信单元";
    case 3:
        return "传送数据";
    case 4:
        return "传送数据(无需应答)";
    case 7:
        return "复位帧计数";
    case 9:
        return "请求链路状态";
    case 10:
        return "召唤一级用户数据";
    case 11:
        return "召唤二级用户数据";
    default:
        return "";
    }
}

const char* SecondaryFunctionName(int nCode)
{
    switch (nCode)
    {
    case 0:
        return "确认";
    case 1:
        return "否定确认";
    case 8:
        return "以数据响应";
    case 9:
        return "无所召唤的数据";
    case 11:
        return "链路状态";
    case 14:
        return "链路服务未工作";
    case 15:
        return "链路服务未实现";
    default:
        return "";
    }
}

bool StartsWith(const std::string& strText, const char* pszPrefix)
{
    return strText.rfind(pszPrefix, 0) == 0;
}

int NumberAfter(const std::string& strText, const char* pszPrefix)
{
    return std::atoi(strText.c_str() + std::char_traits<char>::length(pszPrefix));
}

// Order of a key: its group ('94 code, ASDU type, link function, other) and its number.
std::tuple<int, long, std::string> SortKey(const std::string& strKey)
{
    if (StartsWith(strKey, kAsduPrefix))
        return {1, NumberAfter(strKey, kAsduPrefix), strKey};
    if (StartsWith(strKey, kLinkPrefix))
        return {2, NumberAfter(strKey, kLinkPrefix), strKey};
    if (strKey.size() == 3 && strKey[2] == 'H')
        return {0, std::strtol(strKey.substr(0, 2).c_str(), nullptr, 16), strKey};
    return {3, 0, strKey};
}

} // namespace

std::vector<CSessionStatistics::CFrameRow> CSessionStatistics::FrameRows() const
{
    std::vector<CFrameRow> rows;
    rows.reserve(m_frames.size());
    for (const auto& [strKey, count] : m_frames)
        rows.push_back({strKey, FrameName(strKey, count), count});
    std::sort(rows.begin(), rows.end(),
              [](const CFrameRow& a, const CFrameRow& b) { return SortKey(a.strKey) < SortKey(b.strKey); });
    return rows;
}

std::string CSessionStatistics::FrameName(const std::string& strKey, const CFrameCount& count)
{
    if (StartsWith(strKey, kAsduPrefix))
        return AsduName(NumberAfter(strKey, kAsduPrefix));
    if (!StartsWith(strKey, kLinkPrefix))
        return {};
    const int nCode = NumberAfter(strKey, kLinkPrefix);
    std::string strName;
    if (count.nSent > 0)
        strName = PrimaryFunctionName(nCode);
    const std::string strAnswer = count.nReceived > 0 ? SecondaryFunctionName(nCode) : "";
    if (!strAnswer.empty())
        strName += (strName.empty() ? "" : " / ") + strAnswer;
    return strName;
}

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
    for (const CFrameRow& row : FrameRows())
    {
        std::snprintf(szLine, sizeof szLine, "%-20s %8llu  %8llu\n", row.strKey.c_str(),
                      static_cast<unsigned long long>(row.count.nSent),
                      static_cast<unsigned long long>(row.count.nReceived));
        strTable += szLine;
    }
    std::snprintf(szLine, sizeof szLine, "字节                 %8llu  %8llu\n",
                  static_cast<unsigned long long>(m_nBytesSent),
                  static_cast<unsigned long long>(m_nBytesReceived));
    strTable += szLine;
    std::snprintf(szLine, sizeof szLine, "超时 %llu, 校验错 %llu, 拆分帧 %llu, 重复应答 %llu\n",
                  static_cast<unsigned long long>(m_nTimeouts),
                  static_cast<unsigned long long>(m_nCheckErrors),
                  static_cast<unsigned long long>(m_nSplitFrames),
                  static_cast<unsigned long long>(m_nRepetitions));
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
