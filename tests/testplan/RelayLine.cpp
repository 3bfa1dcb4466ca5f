#include "RelayLine.h"

#include <QTimer>
#include <algorithm>

namespace relvane::test
{

CRelayLine::CRelayLine(const CRelaySettings& settings) : m_relay(settings, CChannelTime::Now().nWallUs / 1000)
{
    m_pIdle = new QTimer(&m_timers);
    m_pIdle->setSingleShot(true);
    QObject::connect(m_pIdle, &QTimer::timeout, &m_timers,
                     [this] { m_pIdle->start(m_relay.Idle(CChannelTime::Now().nWallUs / 1000)); });
    m_pIdle->start(0);
}

int CRelayLine::Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int)
{
    m_pOwner = pOwner;
    return CHANNEL_OK;
}

int CRelayLine::Open()
{
    m_bOpen = true;
    return CHANNEL_OK;
}

int CRelayLine::Close()
{
    m_bOpen = false;
    return CHANNEL_OK;
}

int CRelayLine::Write(const std::uint8_t* pBytes, int nCount)
{
    if (!m_bOpen || pBytes == nullptr || nCount <= 0)
        return 0;
    m_lastWrite = CChannelTime::Now();
    std::vector<CRelayExchange> exchanges;
    m_relay.Receive(pBytes, static_cast<std::size_t>(nCount), m_lastWrite.nWallUs / 1000, exchanges);
    int nDelayMs = 0;
    for (const CRelayExchange& exchange : exchanges)
    {
        for (const CRelayWrite& write : exchange.writes)
        {
            nDelayMs += write.nDelayMs;
            QTimer::singleShot(nDelayMs, &m_timers,
                               [this, abBytes = write.abBytes]
                               {
                                   if (!m_bOpen)
                                       return;
                                   const CChannelTime time = CChannelTime::Now();
                                   m_queued.push_back({abBytes, time});
                                   if (m_pOwner != nullptr)
                                       m_pOwner->PostChannelMessage({WM_SERIAL_DATA, 0, 0, {}, time});
                               });
        }
    }
    return 1;
}

void CRelayLine::AdvanceChunk()
{
    m_current = {};
    if (!m_queued.empty())
    {
        m_current = std::move(m_queued.front());
        m_queued.pop_front();
    }
}

int CRelayLine::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    if (m_current.abBytes.empty() || pDestination == nullptr || nCapacity <= 0)
        return -1;
    const int nCount = std::min(nCapacity, static_cast<int>(m_current.abBytes.size()));
    std::copy_n(m_current.abBytes.begin(), nCount, pDestination);
    return nCount;
}

} // namespace relvane::test
