#pragma once

#include "transport/ChannelMessage.h"
#include "transport/ISerialChannel.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace relvane
{

// The serial line: a POSIX terminal (SerialChannelPosix.cpp), or on Windows a COM port through the
// Win32 communications API (SerialChannelWin.cpp); configuration and the chunk queue are the same
// on both (SerialChannelQueue.cpp). Open maps the COM number to a device (SerialPortMap), sets raw 8-bit,
// 1-stop-bit mode with the chosen baud and parity, holds RTS on and starts the reader thread.
// The reader ends a chunk after 30 ms of silence (or the gap set) or at the read limit (512), queues it and
// posts one WM_SERIAL_DATA; the window thread takes the chunks one by one with AdvanceChunk. Chunks stay
// queued across Close and Open so that every posted notification still finds its own bytes.
class CSerialChannel final : public ISerialChannel
{
public:
    static constexpr int kReadLimit = 512;
    static constexpr int kGapMs = 30;

    CSerialChannel();
    ~CSerialChannel() override;
    CSerialChannel(const CSerialChannel&) = delete;
    CSerialChannel& operator=(const CSerialChannel&) = delete;

    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;

    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;

    // A receive-only port for listening on a line others drive: opened for reading, its modem
    // lines left as they are (an RS-485 adapter may key its transmitter on RTS), and Write
    // refused. Set while closed; kept across Open and Close.
    void SetReadOnly(bool bReadOnly) override
    {
        if (!m_bOpen)
            m_bReadOnly = bReadOnly;
    }
    bool IsReadOnly() const { return m_bReadOnly; }

    bool IsOpen() const { return m_bOpen; }
    // Device the last Open used (empty before the first one).
    const std::string& DevicePath() const { return m_strDevicePath; }
    // True once the reader saw the device go away (hang-up, unplugged adapter); cleared by Open.
    bool IsHungUp() const override { return m_bHungUp.load(); }
    CChannelTime ChunkTime() const override { return m_current.complete; }
    CChannelTime ChunkFirstByteTime() const override { return m_current.firstByte; }
    std::vector<CChunkRead> ChunkReads() const override { return m_current.reads; }

    // The silence that ends a chunk, 30 ms unless set (while closed): a listener that wants each
    // frame's own time reads in pieces a few characters long.
    void SetReadGap(std::int64_t nGapUs) override
    {
        if (!m_bOpen && nGapUs > 0)
            m_nGapUs = nGapUs;
    }
    // While no chunk is being read, the reader looks at the line every nWatchUs (0: it sleeps
    // until bytes come), so that a read's nQuietSinceUs is never older than that plus the time
    // the reader was held up. Set while closed.
    void SetQuietWatch(std::int64_t nWatchUs) override
    {
        if (!m_bOpen && nWatchUs >= 0)
            m_nWatchUs = nWatchUs;
    }
    CChannelTime LastWriteTime() const override { return m_lastWrite; }
    CPortDescription::EState OpenFailure() const override { return m_eOpenFailure; }
    // The device the last Open tried, a map entry followed to where it leads.
    std::string OpenedDevice() const override { return m_strOpenedDevice; }

private:
    // A completed read with the reader's clock readings.
    struct CChunk
    {
        std::vector<std::uint8_t> abBytes;
        CChannelTime firstByte;
        CChannelTime complete;
        std::vector<CChunkRead> reads;
    };

    void SerialReaderThread();
    // Takes the port opened into m_nDevice, m_nStop and m_nClaim and starts the reader;
    // CHANNEL_FAILED, with the port released, when no thread can be made.
    int StartReader();
    // Each system's own: wakes the reader to end, and closes what Open opened (all set to -1).
    void SignalStop();
    void ReleasePort();
    void QueueChunk(CChunk chunk);
    void PostHangup();

    IMessageSink* m_pOwner = nullptr;
    int m_nPort = 0;
    int m_nBaud = 9600;
    char m_cParity = 'N';
    int m_nDataBits = 8;
    int m_nStopBits = 1;
    unsigned m_nEventMask = 0;
    int m_nReadLimit = kReadLimit;
    std::int64_t m_nGapUs = kGapMs * 1000;
    std::int64_t m_nWatchUs = 0;
    bool m_bConfigured = false;
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    std::string m_strDevicePath;
    std::string m_strOpenedDevice;
    CPortDescription::EState m_eOpenFailure = CPortDescription::EState::Available;

    // The system's own numbers for the open port, -1 for none: a descriptor, or a HANDLE.
    std::intptr_t m_nDevice = -1;
    std::intptr_t m_nStop = -1;  // Close wakes the reader through it (an eventfd, an event)
    std::intptr_t m_nClaim = -1; // where the system needs one: marks the port as held (ClaimPort)
    std::atomic<bool> m_bHungUp{false};
    std::thread m_reader;

    mutable std::mutex m_mutexQueue;
    std::deque<CChunk> m_queue;
    CChunk m_current;         // window thread only
    CChannelTime m_lastWrite; // window thread only
};

} // namespace relvane
