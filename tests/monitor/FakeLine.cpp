#include "FakeLine.h"

#include <algorithm>

namespace relvane::test
{

CChannelTime FakeLineTime(std::int64_t nSteadyUs)
{
    // A fixed day, so that the entries' time stamps read the same on every run.
    constexpr std::int64_t kWallStartUs = 1700000000000000;
    return CChannelTime{kWallStartUs + nSteadyUs, nSteadyUs};
}

int CFakeLine::Configure(IMessageSink* pOwner, int nPort, int, char, int, int, unsigned, int)
{
    m_pSink = pOwner;
    m_nPort = nPort;
    return CHANNEL_OK;
}

int CFakeLine::Open()
{
    m_bOpen = m_nOpenResult > 0;
    return m_nOpenResult;
}

int CFakeLine::Close()
{
    m_bOpen = false;
    return CHANNEL_OK;
}

int CFakeLine::Write(const std::uint8_t*, int)
{
    ++m_nWritten;
    return 0;
}

void CFakeLine::AdvanceChunk()
{
    m_current = {};
    if (m_queue.empty())
        return;
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
}

int CFakeLine::BytesAvailable() const
{
    return static_cast<int>(m_current.abBytes.size());
}

int CFakeLine::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    if (m_current.abBytes.empty())
        return -1;
    const int nCount = std::min(BytesAvailable(), nCapacity);
    std::copy_n(m_current.abBytes.begin(), nCount, pDestination);
    return nCount;
}

CChannelTime CFakeLine::ChunkTime() const
{
    return m_current.reads.empty() ? CChannelTime{} : m_current.reads.back().time;
}

CChannelTime CFakeLine::ChunkFirstByteTime() const
{
    return m_current.reads.empty() ? CChannelTime{} : m_current.reads.front().time;
}

std::vector<CChunkRead> CFakeLine::ChunkReads() const
{
    return m_current.reads;
}

void CFakeLine::Deliver(const std::vector<CRead>& reads)
{
    CChunk chunk;
    for (const CRead& read : reads)
    {
        chunk.reads.push_back(
            CChunkRead{static_cast<int>(chunk.abBytes.size()), FakeLineTime(read.nSteadyUs), read.nQuietSinceUs});
        chunk.abBytes.insert(chunk.abBytes.end(), read.abBytes.begin(), read.abBytes.end());
    }
    m_queue.push_back(std::move(chunk));
    if (m_pSink != nullptr && m_bOpen)
        m_pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_DATA, 0, 0, {}});
}

void CFakeLine::HangUp()
{
    if (m_pSink != nullptr && m_bOpen)
        m_pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_HANGUP, 0, 0, {}});
}

} // namespace relvane::test
