#pragma once

#include "transport/ChannelMessage.h"
#include "transport/ISerialChannel.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace relvane::test
{

// A receive line without a port, for the monitor's tests: the test delivers reads with the times
// it chooses, each chunk announced by one WM_SERIAL_DATA as the real reader does. Used on the
// test's own thread only.
class CFakeLine : public ISerialChannel
{
public:
    struct CRead
    {
        std::vector<std::uint8_t> abBytes;
        std::int64_t nSteadyUs = 0;    // when the read completed
        std::int64_t nQuietSinceUs = 0; // the line was last seen without these bytes (0: unknown)
    };

    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;
    CChannelTime ChunkTime() const override;
    CChannelTime ChunkFirstByteTime() const override;
    std::vector<CChunkRead> ChunkReads() const override;
    void SetReadOnly(bool bReadOnly) override { m_bReadOnly = bReadOnly; }

    // One chunk made of these reads, queued and announced.
    void Deliver(const std::vector<CRead>& reads);
    // The device goes away, as the reader reports it.
    void HangUp();
    void SetOpenResult(int nResult) { m_nOpenResult = nResult; }

    bool IsOpen() const { return m_bOpen; }
    bool IsReadOnly() const { return m_bReadOnly; }
    int Port() const { return m_nPort; }
    int Written() const { return m_nWritten; }

private:
    struct CChunk
    {
        std::vector<std::uint8_t> abBytes;
        std::vector<CChunkRead> reads;
    };

    IMessageSink* m_pSink = nullptr;
    int m_nPort = 0;
    int m_nOpenResult = CHANNEL_OK;
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    int m_nWritten = 0;
    std::deque<CChunk> m_queue;
    CChunk m_current;
};

// The steady and wall clock of a time on the fake line's steady clock.
CChannelTime FakeLineTime(std::int64_t nSteadyUs);

} // namespace relvane::test
