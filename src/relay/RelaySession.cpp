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
    const CRelayDefects& defects = settings.defects;
    m_reader.Tolerate(defects.Has(DEFECT_BAD_CHECKSUM_ANSWERED), defects.Has(DEFECT_BAD_LENGTH_ANSWERED));
    m_proto94.SetDefects(defects);
    m_iec103.SetDefects(defects);
    m_iec103.SetDisturbanceFaults(settings.nDisturbanceFaults);
    m_iec103.SetSingleCharAck(settings.bSingleCharAck);
    m_iec103.SetTiming(settings.nAnswerDelayMs, settings.nMeasurandCycleMs);
}

void CRelaySession::Receive(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs,
                            std::vector<CRelayExchange>& exchanges)
{
    m_nLastByteMs = nNowMs;
    std::vector<CRelayFrame> frames;
    m_reader.Feed(pBytes, nCount, frames);
    CollectIgnored();
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
    if (!exchange.writes.empty() && SlowDefect(ab, bFt12))
        exchange.writes.front().nDelayMs += kDefectSlowMs;
    abPrevious = exchange.abAnswer;
    return exchange;
}

bool CRelaySession::SlowDefect(const CRelayBytes& abReceived, bool bFt12) const
{
    // Only one kind of request is answered late, so that only the case timing it fails: the
    // request of link status in 103, the poll in '94.
    if (bFt12)
    {
        const bool bFixed = abReceived[0] == 0x10;
        return m_settings.defects.Has(DEFECT_SLOW) && bFixed && (abReceived[1] & 0x0F) == 9;
    }
    return m_settings.defects.Has(DEFECT_SLOW94) && abReceived.size() > 1 && abReceived[1] == 0x83;
}

int CRelaySession::Idle(std::int64_t nNowMs)
{
    std::int64_t nWait = 1000;
    if (m_reader.HasPartial())
    {
        if (nNowMs - m_nLastByteMs >= kQuietMs)
        {
            m_reader.Flush();
            CollectIgnored();
        }
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
    if (m_nIgnored > 0 && m_bIgnoredReported)
        nWait = std::min(nWait, m_nIgnoredReportMs + kIgnoredReportMs - nNowMs);
    return static_cast<int>(std::max<std::int64_t>(nWait, 1));
}

void CRelaySession::CollectIgnored()
{
    CRelayBytes abFirst;
    m_nIgnored += m_reader.TakeIgnored(abFirst);
    const std::size_t nRoom = kIgnoredShown - std::min(kIgnoredShown, m_abIgnored.size());
    m_abIgnored.insert(m_abIgnored.end(), abFirst.begin(),
                       abFirst.begin() + static_cast<long>(std::min(nRoom, abFirst.size())));
}

bool CRelaySession::TakeIgnoredReport(std::int64_t nNowMs, std::string& strLine)
{
    if (m_nIgnored == 0 || (m_bIgnoredReported && nNowMs - m_nIgnoredReportMs < kIgnoredReportMs))
        return false;
    strLine = "ignored " + std::to_string(m_nIgnored) + (m_nIgnored == 1 ? " byte:" : " bytes:");
    for (const std::uint8_t n : m_abIgnored)
    {
        static const char kHex[] = "0123456789ABCDEF";
        strLine += ' ';
        strLine += kHex[n >> 4];
        strLine += kHex[n & 0x0F];
    }
    if (m_nIgnored > m_abIgnored.size())
        strLine += " …";
    m_nIgnored = 0;
    m_abIgnored.clear();
    m_nIgnoredReportMs = nNowMs;
    m_bIgnoredReported = true;
    return true;
}

} // namespace relvane
