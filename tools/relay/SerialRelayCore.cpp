#include "SerialRelayCore.h"

#include <algorithm>

namespace relvane
{
namespace
{

const char* ProtocolName(RelayProtocol eProtocol)
{
    return eProtocol == RELAY_103 ? "103" : "94";
}

const char* ProtocolChoice(RelayProtocol eProtocol)
{
    switch (eProtocol)
    {
    case RELAY_94:
        return "94";
    case RELAY_103:
        return "103";
    default:
        return "auto";
    }
}

std::string WriteNote(RelayFault eFault, std::size_t nPart, std::size_t nParts)
{
    switch (eFault)
    {
    case FAULT_NONE:
        return {};
    case FAULT_SPLIT:
        return "fault: split, part " + std::to_string(nPart + 1) + " of " + std::to_string(nParts);
    case FAULT_MERGE:
        return "fault: merge, the previous answer and this one in one burst";
    default:
        return std::string("fault: ") + FaultName(eFault);
    }
}

// ", defects a,b" after the start line when defects are planted.
std::string DefectNote(const CRelayDefects& defects)
{
    std::string strNote;
    for (int i = 0; i < DEFECT_COUNT; ++i)
    {
        const auto eDefect = static_cast<RelayDefect>(i);
        if (defects.Has(eDefect))
            strNote += (strNote.empty() ? ", defects " : ",") + std::string(DefectName(eDefect));
    }
    return strNote;
}

} // namespace

CSerialRelayCore::CSerialRelayCore(const CRelayOptions& options, const CRelayConsole& console, std::int64_t nNowMs)
    : m_options(options), m_console(console), m_session(options.settings, nNowMs)
{
}

std::string CSerialRelayCore::Description() const
{
    return std::string(", protocol ") + ProtocolChoice(m_options.settings.eProtocol) + ", address " +
           std::to_string(m_options.settings.nAddress) + ", model " +
           (m_options.settings.eModel == KTR20 ? "KTR20" : "KLR10") + DefectNote(m_options.settings.defects);
}

int CSerialRelayCore::Step(std::int64_t nNowMs, const Writer& write)
{
    int nWaitMs = m_session.Idle(nNowMs);
    if (std::string strIgnored; m_session.TakeIgnoredReport(nNowMs, strIgnored))
        m_console.Note(strIgnored);
    while (!m_pending.empty() && m_pending.front().nDueMs <= nNowMs)
    {
        const CPendingWrite& pending = m_pending.front();
        write(pending.abBytes);
        m_console.Frame("TX", pending.pszProtocol, pending.abBytes, pending.strNote);
        m_pending.pop_front();
    }
    if (!m_pending.empty())
        nWaitMs = static_cast<int>(std::clamp<std::int64_t>(m_pending.front().nDueMs - nNowMs, 0, nWaitMs));
    return nWaitMs;
}

void CSerialRelayCore::Receive(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs)
{
    m_exchanges.clear();
    m_session.Receive(pBytes, nCount, nNowMs, m_exchanges);
    for (const CRelayExchange& exchange : m_exchanges)
    {
        const char* pszProtocol = ProtocolName(exchange.eProtocol);
        m_console.Frame("RX", pszProtocol, exchange.abReceived);
        if (exchange.writes.empty() && !exchange.abAnswer.empty())
            m_console.Frame("--", pszProtocol, exchange.abAnswer, "fault: silence, not sent");
        // Writes keep their order behind those still waiting.
        std::int64_t nDue = m_pending.empty() ? nNowMs : m_pending.back().nDueMs;
        for (std::size_t i = 0; i < exchange.writes.size(); ++i)
        {
            nDue += exchange.writes[i].nDelayMs;
            m_pending.push_back({nDue, exchange.writes[i].abBytes, pszProtocol,
                                 WriteNote(exchange.eFault, i, exchange.writes.size())});
        }
    }
}

} // namespace relvane
