// The serial channel on the Win32 communications API: the port opened by CreateFileA for
// overlapped I/O, the line set by BuildCommDCBA and SetCommState, reads overlapped in the reader
// thread, writes overlapped on the calling thread. The observable rules are those of the POSIX
// channel: a chunk ends after 30 ms of silence or at the read limit, one WM_SERIAL_DATA per
// chunk, one WM_SERIAL_HANGUP when the device goes away.
#include "transport/SerialChannel.h"

#include "transport/SerialLine.h"
#include "transport/SerialPortMap.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>
#include <windows.h>

namespace relvane
{
namespace
{

// A read that completes with nothing this many times in a row, each sooner than its time-out
// could, means the device is gone (an odd driver must not make the reader spin).
constexpr int kMaxEmptyReads = 64;
constexpr DWORD kIdleWaitMs = 500; // the reader looks round at least this often

HANDLE Handle(void* p)
{
    return static_cast<HANDLE>(p);
}

// Waits for a pending operation to end after CancelIo, so that the system no longer writes into
// its record or buffer.
void FinishCancelled(HANDLE hPort, OVERLAPPED& overlapped)
{
    DWORD nIgnored = 0;
    GetOverlappedResult(hPort, &overlapped, &nIgnored, TRUE);
}

} // namespace

CSerialChannel::CSerialChannel() = default;

CSerialChannel::~CSerialChannel()
{
    Close();
}

int CSerialChannel::Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits,
                              int nStopBits, unsigned nEventMask, int nBufferSize)
{
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

int CSerialChannel::Open()
{
    if (!m_bConfigured || m_bOpen)
        return CHANNEL_FAILED;
    // The line is always 8 data bits and 1 stop bit; only baud and parity reach it.
    if (CheckLineSettings(m_nBaud, m_cParity) != LINE_OK)
        return CHANNEL_FAILED;

    m_strDevicePath = PortDevicePath(m_nPort);
    if (m_strDevicePath.empty())
        return CHANNEL_NO_PORT;
    // No sharing: a port another program holds does not open (access denied), nor one another
    // channel holds where the driver would allow a second opening.
    HANDLE hClaim = static_cast<HANDLE>(ClaimPort(m_nPort));
    if (hClaim == nullptr)
        return CHANNEL_NO_PORT;
    HANDLE hPort = CreateFileA(m_strDevicePath.c_str(), GENERIC_READ | (m_bReadOnly ? 0 : GENERIC_WRITE), 0,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (hPort != INVALID_HANDLE_VALUE && (GetFileType(hPort) != FILE_TYPE_CHAR || !GetCommState(hPort, &dcb)))
    {
        CloseHandle(hPort);
        hPort = INVALID_HANDLE_VALUE;
    }
    if (hPort == INVALID_HANDLE_VALUE)
    {
        CloseHandle(hClaim);
        return CHANNEL_NO_PORT;
    }

    // Time-outs, events and line settings step by step; a refused step is not fatal.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kGapMs;
    timeouts.ReadTotalTimeoutMultiplier = 1000;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 1000;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (SetCommTimeouts(hPort, &timeouts) &&
        SetCommMask(hPort, m_nEventMask != 0 ? m_nEventMask | EV_RXCHAR : EV_RXCHAR | EV_TXEMPTY))
    {
        if (BuildLineDcb(m_nBaud, m_cParity, !m_bReadOnly, dcb) && !SetCommState(hPort, &dcb) &&
            dcb.Parity != NOPARITY)
        {
            // Some devices (a pseudo-terminal under Wine) refuse parity: the rest must hold anyway.
            dcb.fParity = FALSE;
            dcb.Parity = NOPARITY;
            SetCommState(hPort, &dcb);
        }
    }
    PurgeComm(hPort, m_bReadOnly ? PURGE_RXABORT | PURGE_RXCLEAR
                                 : PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    HANDLE hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (hStop == nullptr)
    {
        CloseHandle(hPort);
        CloseHandle(hClaim);
        return CHANNEL_FAILED;
    }
    m_hClaim = hClaim;
    m_hPort = hPort;
    m_hStopEvent = hStop;
    m_bHungUp = false;
    m_bOpen = true;
    try
    {
        m_reader = std::thread(&CSerialChannel::SerialReaderThread, this);
    }
    catch (const std::system_error&)
    {
        m_bOpen = false;
        CloseHandle(hPort);
        CloseHandle(hStop);
        CloseHandle(hClaim);
        m_hPort = nullptr;
        m_hStopEvent = nullptr;
        m_hClaim = nullptr;
        return CHANNEL_FAILED;
    }
    return CHANNEL_OK;
}

int CSerialChannel::Close()
{
    if (!m_bOpen)
        return CHANNEL_OK;
    SetEvent(Handle(m_hStopEvent));
    if (m_reader.joinable())
        m_reader.join();
    CloseHandle(Handle(m_hPort));
    CloseHandle(Handle(m_hStopEvent));
    CloseHandle(Handle(m_hClaim));
    m_hPort = nullptr;
    m_hStopEvent = nullptr;
    m_hClaim = nullptr;
    m_bOpen = false;
    return CHANNEL_OK;
}

int CSerialChannel::Write(const std::uint8_t* pBytes, int nCount)
{
    if (!m_bOpen || m_bReadOnly || nCount < 0 || (pBytes == nullptr && nCount > 0))
        return 0;
    if (nCount == 0)
        return 1;
    HANDLE hPort = Handle(m_hPort);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr)
        return 0;
    // Bounded by the time the bytes need on the wire (12 bit times each, generously) plus a
    // second, so a stuck line cannot hold the window thread for long.
    const long long nBaud = std::max(m_nBaud, 1);
    const DWORD nBudgetMs = static_cast<DWORD>(1000 + (static_cast<long long>(nCount) * 12 * 1000) / nBaud);
    DWORD nWritten = 0;
    BOOL bDone = WriteFile(hPort, pBytes, static_cast<DWORD>(nCount), &nWritten, &overlapped);
    if (!bDone && GetLastError() == ERROR_IO_PENDING)
    {
        if (WaitForSingleObject(overlapped.hEvent, nBudgetMs) == WAIT_OBJECT_0)
            bDone = GetOverlappedResult(hPort, &overlapped, &nWritten, FALSE);
        else
        {
            CancelIo(hPort);
            FinishCancelled(hPort, overlapped);
            bDone = FALSE;
        }
    }
    CloseHandle(overlapped.hEvent);
    if (!bDone || nWritten != static_cast<DWORD>(nCount))
        return 0;
    m_lastWrite = CChannelTime::Now();
    return 1;
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

// A chunk starts with a read of one byte, which completes when the first byte comes (its time is
// the chunk's first-byte time); the rest is read up to the limit, the driver ending a read after
// 30 ms of silence (the interval time-out) or, where a driver hands bytes over at once (Wine's),
// the reader. A read still pending 30 ms after the last bytes is cancelled: when it got nothing
// the chunk is complete. Comm events are not waited for: Wine serves such waits by polling the
// line, a third of a core while idle.
void CSerialChannel::SerialReaderThread()
{
    using Clock = std::chrono::steady_clock;
    HANDLE hPort = Handle(m_hPort);
    HANDLE hStop = Handle(m_hStopEvent);
    HANDLE hReadEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (hReadEvent == nullptr)
    {
        PostHangup();
        WaitForSingleObject(hStop, INFINITE);
        return;
    }
    DWORD nErrors = 0;
    ClearCommError(hPort, &nErrors, nullptr);

    std::uint8_t abBuffer[kReadLimit];
    OVERLAPPED readRecord{};
    bool bReadPending = false;
    bool bHungUp = false;
    int nEmptyReads = 0;
    Clock::time_point readStarted;
    Clock::time_point lastData;
    CChunk chunk;

    auto finishChunk = [&]()
    {
        if (!chunk.abBytes.empty())
            QueueChunk(std::move(chunk));
        chunk = CChunk{};
    };
    // Bytes of a completed read; false when the device is to be taken for gone.
    auto takeRead = [&](DWORD nRead) -> bool
    {
        if (nRead == 0)
        {
            const bool bEarly = Clock::now() - readStarted < std::chrono::milliseconds(kIdleWaitMs);
            nEmptyReads = bEarly ? nEmptyReads + 1 : 0;
            return nEmptyReads < kMaxEmptyReads;
        }
        nEmptyReads = 0;
        if (chunk.abBytes.empty())
            chunk.firstByte = CChannelTime::Now();
        chunk.abBytes.insert(chunk.abBytes.end(), abBuffer, abBuffer + nRead);
        lastData = Clock::now();
        if (chunk.abBytes.size() >= static_cast<std::size_t>(m_nReadLimit))
            finishChunk();
        return true;
    };

    for (;;)
    {
        if (!bReadPending)
        {
            ResetEvent(hReadEvent);
            readRecord = OVERLAPPED{};
            readRecord.hEvent = hReadEvent;
            readStarted = Clock::now();
            const DWORD nWanted =
                chunk.abBytes.empty() ? 1 : static_cast<DWORD>(m_nReadLimit - static_cast<int>(chunk.abBytes.size()));
            DWORD nRead = 0;
            if (ReadFile(hPort, abBuffer, nWanted, &nRead, &readRecord))
            {
                if (!takeRead(nRead))
                {
                    bHungUp = true;
                    break;
                }
                continue;
            }
            if (GetLastError() != ERROR_IO_PENDING)
            {
                bHungUp = true;
                break;
            }
            bReadPending = true;
        }

        DWORD nWaitMs = kIdleWaitMs;
        if (!chunk.abBytes.empty())
        {
            const auto silence = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastData);
            if (silence.count() >= kGapMs)
            {
                // Bytes the cancelled read had taken mean the line is still busy.
                CancelIo(hPort);
                DWORD nRead = 0;
                GetOverlappedResult(hPort, &readRecord, &nRead, TRUE);
                bReadPending = false;
                if (nRead > 0)
                {
                    takeRead(nRead);
                    continue;
                }
                finishChunk();
                continue;
            }
            nWaitMs = static_cast<DWORD>(kGapMs - silence.count());
        }
        const HANDLE aWaitList[2] = {hReadEvent, hStop};
        const DWORD nResult = WaitForMultipleObjects(2, aWaitList, FALSE, nWaitMs);
        if (nResult == WAIT_OBJECT_0)
        {
            DWORD nRead = 0;
            bReadPending = false;
            if (!GetOverlappedResult(hPort, &readRecord, &nRead, FALSE) || !takeRead(nRead))
            {
                bHungUp = true;
                break;
            }
        }
        else if (nResult == WAIT_OBJECT_0 + 1)
            break;
        else if (nResult == WAIT_FAILED)
        {
            bHungUp = true;
            break;
        }
    }

    if (bReadPending)
    {
        CancelIo(hPort);
        DWORD nRead = 0;
        // Bytes that arrived before the stop still count.
        if (GetOverlappedResult(hPort, &readRecord, &nRead, TRUE) && nRead > 0)
            takeRead(nRead);
    }
    finishChunk();
    CloseHandle(hReadEvent);
    if (bHungUp)
    {
        PostHangup();
        WaitForSingleObject(hStop, INFINITE);
    }
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
