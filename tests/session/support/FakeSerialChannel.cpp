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
    m_chunks.SetSink(pOwner);
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
    {
        std::lock_guard lock(m_mutex);
        ++m_nAdvanceCount;
    }
    m_chunks.Advance();
}

int CFakeSerialChannel::BytesAvailable() const
{
    return m_chunks.BytesAvailable();
}

int CFakeSerialChannel::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    return m_chunks.CopyReceived(pDestination, nCapacity);
}

void CFakeSerialChannel::InjectChunk(std::vector<std::uint8_t> abChunk)
{
    m_chunks.Push(std::move(abChunk));
}

void CFakeSerialChannel::HangUp()
{
    {
        std::lock_guard lock(m_mutex);
        m_bHungUp = true;
    }
    if (IMessageSink* pSink = m_chunks.Sink(); pSink != nullptr)
        pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_HANGUP, 0, 0, {}});
}

bool CFakeSerialChannel::IsHungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_bHungUp;
}

} // namespace relvane
