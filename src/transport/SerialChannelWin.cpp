// The serial channel on the Win32 communications API: the port opened by CreateFileA for
// overlapped I/O, the line set by BuildCommDCBA and SetCommState, reads overlapped in the reader
// thread, writes overlapped on the calling thread. The observable rules are those of the POSIX
// channel: a chunk ends after 30 ms of silence or at the read limit, one WM_SERIAL_DATA per
// chunk, one WM_SERIAL_HANGUP when the device goes away.
#include "transport/SerialChannel.h"

#include "transport/SerialLine.h"
#include "transport/SerialLineWin.h"
#include "transport/SerialPortMap.h"
#include "transport/SerialPortWin.h"

#include <algorithm>
#include <chrono>
#include <windows.h>

namespace relvane
{
namespace
{

// A read that completes with nothing this many times in a row, each sooner than its time-out
// could, means the device is gone (an odd driver must not make the reader spin).
constexpr int kMaxEmptyReads = 64;
constexpr DWORD kIdleWaitMs = 500; // the reader looks round at least this often

HANDLE Handle(std::intptr_t nValue)
{
    return nValue == -1 ? nullptr : reinterpret_cast<HANDLE>(nValue);
}

std::intptr_t HandleValue(HANDLE hHandle)
{
    return hHandle == nullptr ? -1 : reinterpret_cast<std::intptr_t>(hHandle);
}

// Waits for a pending operation to end after CancelIo, so that the system no longer writes into
// its record or buffer.
void FinishCancelled(HANDLE hPort, OVERLAPPED& overlapped)
{
    DWORD nIgnored = 0;
    GetOverlappedResult(hPort, &overlapped, &nIgnored, TRUE);
}

} // namespace

int CSerialChannel::Open()
{
    if (!m_bConfigured || m_bOpen)
        return CHANNEL_FAILED;
    m_eOpenFailure = CPortDescription::EState::Failed;
    // The line is always 8 data bits and 1 stop bit; only baud and parity reach it.
    if (CheckLineSettings(m_nBaud, m_cParity) != LINE_OK)
        return CHANNEL_FAILED;

    m_strDevicePath = PortDevicePath(m_nPort);
    m_strOpenedDevice.clear(); // the COM name says it all
    if (m_strDevicePath.empty())
    {
        m_eOpenFailure = CPortDescription::EState::Missing;
        return CHANNEL_NO_PORT;
    }
    // No sharing: a port another program holds does not open (access denied), nor one another
    // channel holds where the driver would allow a second opening.
    HANDLE hClaim = static_cast<HANDLE>(ClaimPort(m_nPort));
    if (hClaim == nullptr)
    {
        m_eOpenFailure = CPortDescription::EState::Busy;
        return CHANNEL_NO_PORT;
    }
    HANDLE hPort = CreateFileA(m_strDevicePath.c_str(), GENERIC_READ | (m_bReadOnly ? 0 : GENERIC_WRITE), 0,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (hPort == INVALID_HANDLE_VALUE)
        m_eOpenFailure = StateOfWindowsError(GetLastError());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (hPort != INVALID_HANDLE_VALUE && (GetFileType(hPort) != FILE_TYPE_CHAR || !GetCommState(hPort, &dcb)))
    {
        CloseHandle(hPort);
        hPort = INVALID_HANDLE_VALUE;
        m_eOpenFailure = CPortDescription::EState::NotSerial;
    }
    if (hPort == INVALID_HANDLE_VALUE)
    {
        CloseHandle(hClaim);
        return CHANNEL_NO_PORT;
    }

    // Time-outs, events and line settings step by step; a refused step is not fatal.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(std::max<std::int64_t>(1, (m_nGapUs + 999) / 1000));
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
    m_nClaim = HandleValue(hClaim);
    m_nDevice = HandleValue(hPort);
    m_nStop = HandleValue(hStop);
    const int nResult = StartReader();
    if (nResult > 0)
        m_eOpenFailure = CPortDescription::EState::Available;
    return nResult;
}

void CSerialChannel::SignalStop()
{
    SetEvent(Handle(m_nStop));
}

void CSerialChannel::ReleasePort()
{
    CloseHandle(Handle(m_nDevice));
    CloseHandle(Handle(m_nStop));
    CloseHandle(Handle(m_nClaim));
    m_nDevice = -1;
    m_nStop = -1;
    m_nClaim = -1;
}

int CSerialChannel::Write(const std::uint8_t* pBytes, int nCount)
{
    if (!m_bOpen || m_bReadOnly || nCount < 0 || (pBytes == nullptr && nCount > 0))
        return 0;
    if (nCount == 0)
        return 1;
    HANDLE hPort = Handle(m_nDevice);
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

// A chunk starts with a read of one byte, which completes when the first byte comes (its time is
// the chunk's first-byte time); the rest is read up to the limit, the driver ending a read after
// 30 ms of silence (the interval time-out) or, where a driver hands bytes over at once (Wine's),
// the reader. A read still pending 30 ms after the last bytes is cancelled: when it got nothing
// the chunk is complete. Comm events are not waited for: Wine serves such waits by polling the
// line, a third of a core while idle.
void CSerialChannel::SerialReaderThread()
{
    using Clock = std::chrono::steady_clock;
    HANDLE hPort = Handle(m_nDevice);
    HANDLE hStop = Handle(m_nStop);
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
    const auto gap = std::chrono::microseconds(m_nGapUs);
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
        const CChannelTime read = CChannelTime::Now();
        if (chunk.abBytes.empty())
            chunk.firstByte = read;
        chunk.reads.push_back(CChunkRead{static_cast<int>(chunk.abBytes.size()), read});
        chunk.abBytes.insert(chunk.abBytes.end(), abBuffer, abBuffer + nRead);
        lastData = Clock::now();
        if (chunk.abBytes.size() >= static_cast<std::size_t>(m_nReadLimit))
            finishChunk();
        return true;
    };
    // A failed read is an empty one unless the device is gone; the rule on early empty reads
    // still keeps an odd driver from making the reader spin.
    auto takeFailedRead = [&](DWORD nError) -> bool
    {
        return !CheckDeviceGone(nError) && takeRead(0);
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
            const DWORD nError = GetLastError();
            if (nError != ERROR_IO_PENDING)
            {
                if (!takeFailedRead(nError))
                {
                    bHungUp = true;
                    break;
                }
                continue;
            }
            bReadPending = true;
        }

        DWORD nWaitMs = kIdleWaitMs;
        if (!chunk.abBytes.empty())
        {
            const auto silence = Clock::now() - lastData;
            if (silence >= gap)
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
            nWaitMs = static_cast<DWORD>(std::max<long long>(
                1, std::chrono::duration_cast<std::chrono::milliseconds>(gap - silence).count()));
        }
        const HANDLE aWaitList[2] = {hReadEvent, hStop};
        const DWORD nResult = WaitForMultipleObjects(2, aWaitList, FALSE, nWaitMs);
        if (nResult == WAIT_OBJECT_0)
        {
            DWORD nRead = 0;
            bReadPending = false;
            const bool bTaken = GetOverlappedResult(hPort, &readRecord, &nRead, FALSE)
                                    ? takeRead(nRead)
                                    : takeFailedRead(GetLastError());
            if (!bTaken)
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

} // namespace relvane
