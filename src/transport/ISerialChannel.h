#pragma once

#include "transport/ChannelTime.h"
#include "transport/SerialPortInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

class IMessageSink;

// One read of the reader inside a chunk: where its bytes begin in the chunk, and when it completed.
struct CChunkRead
{
    int nOffset = 0;
    CChannelTime time;
    // The reader last saw the line without these bytes then (steady clock): none of them came
    // earlier. 0 when the channel cannot tell.
    std::int64_t nQuietSinceUs = 0;
};

enum ChannelResult : int
{
    CHANNEL_OK = 10,
    CHANNEL_FAILED = -10,
    CHANNEL_NO_PORT = -6,
};

// The serial line as the session sees it. Each completed read becomes one chunk, queued inside
// the channel, and one WM_SERIAL_DATA posted to the sink. On every WM_SERIAL_DATA the session
// calls AdvanceChunk() exactly once (whether it uses the chunk or not); from then on
// BytesAvailable/CopyReceived answer for that chunk, so no notification ever sees a stale one.
class ISerialChannel
{
public:
    virtual ~ISerialChannel() = default;

    virtual int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits,
                          int nStopBits, unsigned nEventMask, int nBufferSize) = 0;
    virtual int Open() = 0;
    virtual int Close() = 0;
    // 1 when all bytes were written, 0 otherwise.
    virtual int Write(const std::uint8_t* pBytes, int nCount) = 0;

    // Makes the oldest queued chunk the current one (an empty one when none is queued).
    virtual void AdvanceChunk() = 0;
    virtual int BytesAvailable() const = 0;
    // Copies the current chunk (at most nCapacity bytes) and returns its length, or -1 when empty.
    virtual int CopyReceived(std::uint8_t* pDestination, int nCapacity) const = 0;

    // Why the last Open failed (Available when the channel cannot tell) and the device it tried
    // ("" when unknown), for the message that names the port and the system's reason.
    virtual CPortDescription::EState OpenFailure() const { return CPortDescription::EState::Available; }
    virtual std::string OpenedDevice() const { return {}; }

    // True once the open port's device went away (WM_SERIAL_HANGUP was posted); cleared by Open.
    virtual bool IsHungUp() const { return false; }

    // When the reader completed the current chunk and when its first byte arrived (unset for a
    // channel without a clock: the session then takes the time it handles the chunk).
    virtual CChannelTime ChunkTime() const { return {}; }
    virtual CChannelTime ChunkFirstByteTime() const { return ChunkTime(); }
    // The reads the current chunk was made of, in order (empty for a channel without a clock).
    virtual std::vector<CChunkRead> ChunkReads() const { return {}; }
    // When the last Write finished.
    virtual CChannelTime LastWriteTime() const { return {}; }

    // For listening on a line others drive, set while closed: a port opened for reading only;
    // reads ended after nGapUs of silence instead of 30 ms; and the idle line looked at every
    // nWatchUs, so that each read tells since when its bytes can have come (nQuietSinceUs) however
    // late its reader was woken. A channel without a port may ignore them.
    virtual void SetReadOnly(bool /*bReadOnly*/) {}
    virtual void SetReadGap(std::int64_t /*nGapUs*/) {}
    virtual void SetQuietWatch(std::int64_t /*nWatchUs*/) {}
};

} // namespace relvane
