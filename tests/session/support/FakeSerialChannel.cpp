#include "FakeSerialChannel.h"

#include <algorithm>

namespace relvane
{

int CFakeSerialChannel::Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits,
                                  int nStopBits, unsigned nEventMask, int nBufferSize)
{
    std::lock_guard lock(m_mutex);
    m_configuration =
        CConfiguration{pOwner, nPort, nBaud, cParity, nDataBits, nStopBits, nEventMask, nBufferSize};
    m_pSink = pOwner;
    return CHANNEL_OK;
}

int CFakeSerialChannel::Open()
{
    std::lock_guard lock(m_mutex);
    ++m_nOpenCount;
    m_bOpen = m_nOpenResult > 0;
    m_bHungUp = false;
    return m_nOpenResult;
}

int CFakeSerialChannel::Close()
{
    std::lock_guard lock(m_mutex);
    ++m_nCloseCount;
    m_bOpen = false;
    return CHANNEL_OK;
}

int CFakeSerialChannel::Write(const std::uint8_t* pBytes, int nCount)
{
    std::vector<std::uint8_t> abFrame(pBytes, pBytes + std::max(nCount, 0));
    int nResult = 0;
    {
        std::lock_guard lock(m_mutex);
        m_written.push_back(abFrame);
        nResult = m_nWriteResult;
    }
    if (m_fnWriteHook)
        m_fnWriteHook(abFrame);
    return nResult;
}

void CFakeSerialChannel::AdvanceChunk()
{
    std::lock_guard lock(m_mutex);
    ++m_nAdvanceCount;
    if (m_queued.empty())
    {
        m_current.clear();
        return;
    }
    m_current = std::move(m_queued.front());
    m_queued.pop_front();
}

int CFakeSerialChannel::BytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_current.size());
}

int CFakeSerialChannel::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    std::lock_guard lock(m_mutex);
    if (m_current.empty())
        return -1;
    const int nCount = std::min(static_cast<int>(m_current.size()), nCapacity);
    std::copy_n(m_current.begin(), nCount, pDestination);
    return nCount;
}

void CFakeSerialChannel::InjectChunk(std::vector<std::uint8_t> abChunk)
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

void CFakeSerialChannel::HangUp()
{
    IMessageSink* pSink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_bHungUp = true;
        pSink = m_pSink;
    }
    if (pSink != nullptr)
        pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_HANGUP, 0, 0, {}});
}

bool CFakeSerialChannel::IsHungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_bHungUp;
}

} // namespace relvane
