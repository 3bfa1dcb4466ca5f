#include "relay/RelaySession.h"

#include "relay/Iec103Frames.h"

#include <algorithm>

namespace relvane
{

CRelaySession::CRelaySession(const CRelaySettings& settings, std::int64_t nNowMs)
    : m_settings(settings), m_reader(settings.eProtocol),
      m_faults(settings.nFaultRatePercent, settings.nFaultMask, settings.nSeed),
      m_proto94(settings.nAddress, settings.eModel, nNowMs), m_iec103(settings.nAddress, nNowMs),
      m_nNextEventMs(nNowMs + settings.nEventIntervalMs)
{
}

void CRelaySession::Receive(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs,
                            std::vector<CRelayExchange>& exchanges)
{
    m_nLastByteMs = nNowMs;
    std::vector<CRelayFrame> frames;
    m_reader.Feed(pBytes, nCount, frames);
    for (CRelayFrame& frame : frames)
        exchanges.push_back(Exchange(std::move(frame), nNowMs));
}

CRelayExchange CRelaySession::Exchange(CRelayFrame frame, std::int64_t nNowMs)
{
    CRelayExchange exchange;
    exchange.eProtocol = frame.eProtocol;
    exchange.abReceived = std::move(frame.abBytes);
    const CRelayBytes& ab = exchange.abReceived;
    const bool bFt12 = frame.eProtocol == RELAY_103;
    RelayFault eFault = m_faults.Draw(bFt12);

    if (eFault == FAULT_NACK)
    {
        // The link cannot serve the frame: it is not taken, so the master's repetition or reset
        // finds the relay as it was.
        const bool bFixed = ab[0] == 0x10;
        const std::uint8_t nControl = bFixed ? ab[1] : ab[4];
        const std::uint8_t nAddress = bFixed ? ab[2] : ab[5];
        if (nAddress == m_settings.nAddress && (nControl & 0x0F) != 4 && (nControl & 0x40) != 0)
        {
            exchange.abAnswer = BuildFixedFrame103(kSecondaryNotFunctioning, nAddress);
            exchange.eFault = FAULT_NACK;
            exchange.writes = {{exchange.abAnswer, 0}};
        }
        return exchange;
    }

    CRelayBytes& abPrevious = bFt12 ? m_abPrevious103 : m_abPrevious94;
    exchange.abAnswer = bFt12 ? m_iec103.Answer(ab.data(), static_cast<int>(ab.size()), nNowMs)
                              : m_proto94.Answer(ab.data(), static_cast<int>(ab.size()), nNowMs);
    if (exchange.abAnswer.empty())
        return exchange;
    exchange.eFault = eFault;
    exchange.writes = CFaultInjector::Apply(eFault, bFt12, exchange.abAnswer, abPrevious);
    abPrevious = exchange.abAnswer;
    return exchange;
}

int CRelaySession::Idle(std::int64_t nNowMs)
{
    std::int64_t nWait = 1000;
    if (m_reader.HasPartial())
    {
        if (nNowMs - m_nLastByteMs >= kQuietMs)
            m_reader.Flush();
        else
            nWait = std::min(nWait, kQuietMs - (nNowMs - m_nLastByteMs));
    }
    if (m_settings.nEventIntervalMs > 0)
    {
        if (nNowMs >= m_nNextEventMs)
        {
            m_proto94.RaiseEvent(nNowMs);
            m_iec103.RaiseEvent(nNowMs);
            // After a stall the events do not come in a rush: the next one is an interval away.
            m_nNextEventMs += m_settings.nEventIntervalMs;
            if (m_nNextEventMs <= nNowMs)
                m_nNextEventMs = nNowMs + m_settings.nEventIntervalMs;
        }
        nWait = std::min(nWait, m_nNextEventMs - nNowMs);
    }
    return static_cast<int>(std::max<std::int64_t>(nWait, 1));
}

} // namespace relvane
