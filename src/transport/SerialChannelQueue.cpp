// The serial channel's part that is the same on every system: configuration, starting and
// ending the reader, the chunk queue the reader fills and the window thread empties, and the
// reader's notifications.
#include "transport/SerialChannel.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace relvane
{

CSerialChannel::CSerialChannel() = default;

CSerialChannel::~CSerialChannel()
{
    Close();
}

int CSerialChannel::Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits,
                              int nStopBits, unsigned nEventMask, int nBufferSize)
{
    // The reader reads the owner and the limit; they must not change under it.
    if (m_bOpen)
        return CHANNEL_FAILED;
    m_pOwner = pOwner;
    m_nPort = nPort;
    m_nBaud = nBaud;
    m_cParity = cParity;
    m_nDataBits = nDataBits;
    m_nStopBits = nStopBits;
    m_nEventMask = nEventMask;
    m_nReadLimit = (nBufferSize > 0 && nBufferSize < kReadLimit) ? nBufferSize : kReadLimit;
    m_bConfigured = true;
    return CHANNEL_OK;
}

int CSerialChannel::StartReader()
{
    m_bHungUp = false;
    m_bOpen = true;
    try
    {
        m_reader = std::thread(&CSerialChannel::SerialReaderThread, this);
    }
    catch (const std::system_error&)
    {
        m_bOpen = false;
        ReleasePort();
        return CHANNEL_FAILED;
    }
    return CHANNEL_OK;
}

int CSerialChannel::Close()
{
    if (!m_bOpen)
        return CHANNEL_OK;
    SignalStop();
    if (m_reader.joinable())
        m_reader.join();
    ReleasePort();
    m_bOpen = false;
    return CHANNEL_OK;
}

void CSerialChannel::AdvanceChunk()
{
    std::lock_guard<std::mutex> lock(m_mutexQueue);
    if (m_queue.empty())
    {
        m_current = CChunk{};
        return;
    }
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
}

int CSerialChannel::BytesAvailable() const
{
    return static_cast<int>(m_current.abBytes.size());
}

int CSerialChannel::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    const std::vector<std::uint8_t>& abCurrent = m_current.abBytes;
    if (abCurrent.empty() || pDestination == nullptr || nCapacity <= 0)
        return -1;
    const int nCount = std::min(static_cast<int>(abCurrent.size()), nCapacity);
    std::memcpy(pDestination, abCurrent.data(), static_cast<std::size_t>(nCount));
    return nCount;
}

void CSerialChannel::PostHangup()
{
    // Said once: the reader leaves the device alone from here on.
    m_bHungUp = true;
    if (m_pOwner != nullptr)
    {
        CChannelMessage message;
        message.nMessage = WM_SERIAL_HANGUP;
        m_pOwner->PostChannelMessage(std::move(message));
    }
}

void CSerialChannel::QueueChunk(CChunk chunk)
{
    chunk.complete = CChannelTime::Now();
    CChannelMessage message;
    message.nMessage = WM_SERIAL_DATA;
    message.time = chunk.complete;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_queue.push_back(std::move(chunk));
    }
    if (m_pOwner != nullptr)
        m_pOwner->PostChannelMessage(std::move(message));
}

} // namespace relvane
