#include "SerialChunkQueue.h"

#include <algorithm>

namespace relvane
{

void CSerialChunkQueue::SetSink(IMessageSink* pSink)
{
    std::lock_guard lock(m_mutex);
    m_pSink = pSink;
}

IMessageSink* CSerialChunkQueue::Sink() const
{
    std::lock_guard lock(m_mutex);
    return m_pSink;
}

void CSerialChunkQueue::Push(std::vector<std::uint8_t> abChunk)
{
    IMessageSink* pSink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back(std::move(abChunk));
        pSink = m_pSink;
    }
    if (pSink != nullptr)
        pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_DATA, 0, 0, {}});
}

void CSerialChunkQueue::Advance()
{
    std::lock_guard lock(m_mutex);
    if (m_queued.empty())
    {
        m_current.clear();
        return;
    }
    m_current = std::move(m_queued.front());
    m_queued.pop_front();
}

int CSerialChunkQueue::BytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_current.size());
}

int CSerialChunkQueue::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    std::lock_guard lock(m_mutex);
    if (m_current.empty())
        return -1;
    const int nCount = std::min(static_cast<int>(m_current.size()), nCapacity);
    std::copy_n(m_current.begin(), nCount, pDestination);
    return nCount;
}

std::size_t CSerialChunkQueue::Queued() const
{
    std::lock_guard lock(m_mutex);
    return m_queued.size();
}

} // namespace relvane
