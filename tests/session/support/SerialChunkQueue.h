#pragma once

#include "transport/ChannelMessage.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace relvane
{

// What a relay sent down a serial line without a port: the chunks still queued and the one the
// session is reading. Each pushed chunk is one completed read announced by one WM_SERIAL_DATA,
// as the real reader thread delivers them. The relay may push from any thread.
class CSerialChunkQueue
{
public:
    // The sink WM_SERIAL_DATA goes to; none until set.
    void SetSink(IMessageSink* pSink);
    IMessageSink* Sink() const;

    // Queues the chunk and announces it to the sink.
    void Push(std::vector<std::uint8_t> abChunk);
    // Makes the next queued chunk the one being read, or none when the queue is empty.
    void Advance();
    int BytesAvailable() const;
    // Copies the chunk being read, at most nCapacity bytes; -1 when there is none.
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const;
    std::size_t Queued() const;

private:
    mutable std::mutex m_mutex;
    IMessageSink* m_pSink = nullptr;
    std::deque<std::vector<std::uint8_t>> m_queued;
    std::vector<std::uint8_t> m_current;
};

} // namespace relvane
