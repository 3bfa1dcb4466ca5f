#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace relvane
{

// Counts of a session's link: frames each way by '94 command code or 103 ASDU type / link
// function, time-outs, frames whose check failed, frames taken apart from merged reads, answers the
// relay repeated, bytes each way, and response times (request written to the first byte of the
// answer).
class CSessionStatistics
{
public:
    // Response times kept for the median and the 95th percentile; beyond this the oldest make way
    // (minimum and maximum stay exact).
    static constexpr std::size_t kMaxSamples = 1 << 20;

    struct CFrameCount
    {
        std::uint64_t nSent = 0;
        std::uint64_t nReceived = 0;
    };

    struct CResponseSummary
    {
        std::size_t nCount = 0;
        std::int64_t nMinUs = 0;
        std::int64_t nMedianUs = 0;
        std::int64_t nP95Us = 0;
        std::int64_t nMaxUs = 0;
    };

    // A line of the frame table: the key, what it stands for (the names of 103 ASDU types and
    // link functions; empty where there is none) and the counts.
    struct CFrameRow
    {
        std::string strKey;
        std::string strName;
        CFrameCount count;
    };

    // What a frame is counted under: "83H" for '94, "ASDU 5" or "链路功能码 9" for 103 (by the
    // protocol mode 0, 1 or 2), "TCP"/"UDP" for the Ethernet lines.
    static std::string FrameKey(int nMode, const std::uint8_t* pFrame, int nLength);

    void OnFrame(const std::string& strKey, bool bInbound);
    void OnCheckFailed() { ++m_nCheckErrors; }
    void OnTimeout() { ++m_nTimeouts; }
    // An answer the relay repeated because the FCB was kept: no new data.
    void OnRepetition() { ++m_nRepetitions; }
    void OnSplitFrames(int nFrames)
    {
        m_nSplitFrames += static_cast<std::uint64_t>(nFrames > 0 ? nFrames : 0);
    }
    void OnBytes(bool bInbound, int nCount);
    void OnResponse(std::int64_t nMicroseconds);
    void Reset() { *this = CSessionStatistics(); }

    const std::map<std::string, CFrameCount>& Frames() const { return m_frames; }
    // The frames in the order a reader looks for them: '94 codes, ASDU types, link function codes,
    // each by number, then the rest.
    std::vector<CFrameRow> FrameRows() const;
    // The name of a key: an ASDU type's, or a link function's in the directions it was counted in
    // ("复位通信单元 / 确认" when sent and received).
    static std::string FrameName(const std::string& strKey, const CFrameCount& count);
    std::uint64_t Timeouts() const { return m_nTimeouts; }
    std::uint64_t CheckErrors() const { return m_nCheckErrors; }
    std::uint64_t SplitFrames() const { return m_nSplitFrames; }
    std::uint64_t Repetitions() const { return m_nRepetitions; }
    std::uint64_t BytesSent() const { return m_nBytesSent; }
    std::uint64_t BytesReceived() const { return m_nBytesReceived; }
    CResponseSummary Responses() const;

    // The whole table as text lines ("\n"), as the window's panel and the runner show it.
    std::string Table() const;

private:
    std::map<std::string, CFrameCount> m_frames;
    std::uint64_t m_nTimeouts = 0;
    std::uint64_t m_nCheckErrors = 0;
    std::uint64_t m_nSplitFrames = 0;
    std::uint64_t m_nRepetitions = 0;
    std::uint64_t m_nBytesSent = 0;
    std::uint64_t m_nBytesReceived = 0;
    std::vector<std::int64_t> m_samples;
    std::size_t m_nNextSample = 0;
    std::size_t m_nResponses = 0;
    std::int64_t m_nMinUs = 0;
    std::int64_t m_nMaxUs = 0;
};

} // namespace relvane
