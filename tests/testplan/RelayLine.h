#pragma once

#include "relay/RelaySession.h"
#include "transport/ChannelMessage.h"
#include "transport/ISerialChannel.h"

#include <QObject>
#include <QTimer>
#include <deque>

namespace relvane::test
{

// A serial line whose far end is the simulated relay in this process: what the session writes
// reaches the relay at once, and each of the relay's writes comes back as one chunk after its
// delay (a slow answer is late here too). No terminal, no read gap: a plan runs in a fraction of
// the time it takes on a pseudo-terminal.
class CRelayLine final : public ISerialChannel
{
public:
    explicit CRelayLine(const CRelaySettings& settings);

    int Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int) override;
    int Open() override;
    int Close() override;
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override { return static_cast<int>(m_current.abBytes.size()); }
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;
    CChannelTime ChunkTime() const override { return m_current.time; }
    CChannelTime LastWriteTime() const override { return m_lastWrite; }

    // The relay at the far end, for a test that raises an event at a moment of its choosing.
    CRelaySession& Relay() { return m_relay; }

private:
    struct CChunk
    {
        CRelayBytes abBytes;
        CChannelTime time;
    };

    IMessageSink* m_pOwner = nullptr;
    CRelaySession m_relay;
    bool m_bOpen = false;
    std::deque<CChunk> m_queued;
    CChunk m_current;
    CChannelTime m_lastWrite;
    QObject m_timers; // owns the pending deliveries: none fires after the line is gone
    QTimer* m_pIdle = nullptr; // lets the relay's time run (its events) while the line is open
};

} // namespace relvane::test
