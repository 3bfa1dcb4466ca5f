#pragma once

#include "transport/ChannelMessage.h"
#include "transport/ISerialChannel.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace relvane
{

// A serial line without a port: records what is configured and written, and plays the relay by
// queuing chunks and posting one WM_SERIAL_DATA per chunk, as the real reader thread does.
class CFakeSerialChannel : public ISerialChannel
{
public:
    struct CConfiguration
    {
        IMessageSink* pOwner = nullptr;
        int nPort = 0;
        int nBaud = 0;
        char cParity = 0;
        int nDataBits = 0;
        int nStopBits = 0;
        unsigned nEventMask = 0;
        int nBufferSize = 0;
    };

    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;

    // What the relay sends: queued as one chunk and announced to the sink (the owner given to
    // Configure, or the one set here when the port was never configured).
    void InjectChunk(std::vector<std::uint8_t> abChunk);
    void SetSink(IMessageSink* pSink) { m_pSink = pSink; }
    // The device goes away: marks the channel hung up and posts WM_SERIAL_HANGUP, as the reader does.
    void HangUp();
    bool IsHungUp() const override;

    // Result of the next Open calls (CHANNEL_OK by default).
    void SetOpenResult(int nResult) { m_nOpenResult = nResult; }
    // Result of Write (1 by default).
    void SetWriteResult(int nResult) { m_nWriteResult = nResult; }
    // Called with every written frame after it was recorded: a relay that answers at once.
    void SetWriteHook(std::function<void(const std::vector<std::uint8_t>&)> fnHook)
    {
        m_fnWriteHook = std::move(fnHook);
    }

    bool IsOpen() const { return m_bOpen; }
    int OpenCount() const { return m_nOpenCount; }
    int CloseCount() const { return m_nCloseCount; }
    int AdvanceCount() const { return m_nAdvanceCount; }
    const CConfiguration& Configuration() const { return m_configuration; }
    const std::vector<std::vector<std::uint8_t>>& Written() const { return m_written; }
    void ClearWritten() { m_written.clear(); }

private:
    mutable std::mutex m_mutex;
    CConfiguration m_configuration;
    IMessageSink* m_pSink = nullptr;
    std::function<void(const std::vector<std::uint8_t>&)> m_fnWriteHook;
    std::deque<std::vector<std::uint8_t>> m_queued;
    std::vector<std::uint8_t> m_current;
    std::vector<std::vector<std::uint8_t>> m_written;
    int m_nOpenResult = CHANNEL_OK;
    int m_nWriteResult = 1;
    bool m_bOpen = false;
    bool m_bHungUp = false;
    int m_nOpenCount = 0;
    int m_nCloseCount = 0;
    int m_nAdvanceCount = 0;
};

} // namespace relvane
