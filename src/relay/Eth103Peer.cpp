#include "relay/Eth103Peer.h"

#include "relay/Iec103Frames.h"

#include <cstdio>

namespace relvane
{

CEth103Peer::CEth103Peer(std::uint8_t nAddress, int nEventIntervalMs, std::int64_t nNowMs)
    : m_relay(nAddress, nNowMs), m_nEventIntervalMs(nEventIntervalMs),
      m_nNextEventMs(nNowMs + nEventIntervalMs)
{
    // The power-up identification is sent with every new connection instead.
    m_relay.TakeClass1Frames();
}

std::vector<CRelayBytes> CEth103Peer::OnConnected(std::int64_t)
{
    // The address byte of an Ethernet frame is the relay's link address, as on the serial line.
    std::vector<CRelayBytes> frames{
        BuildVariableFrame103(kSecondaryUserData, m_relay.Address(), m_relay.BuildIdentification(kCotStart))};
    for (CRelayBytes& abFrame : m_relay.TakeClass1Frames())
        frames.push_back(std::move(abFrame));
    return frames;
}

std::vector<CRelayBytes> CEth103Peer::OnReceived(const std::uint8_t* pBytes, std::size_t nCount,
                                                 std::int64_t nNowMs, std::vector<CRelayBytes>& received)
{
    std::vector<CRelayFrame> frames;
    m_reader.Feed(pBytes, nCount, frames);
    // A TCP segment holds whole frames; what is left over is not waited for.
    m_reader.Flush();
    std::vector<CRelayBytes> answers;
    for (const CRelayFrame& frame : frames)
    {
        received.push_back(frame.abBytes);
        CRelayBytes abAnswer =
            m_relay.Answer(frame.abBytes.data(), static_cast<int>(frame.abBytes.size()), nNowMs);
        if (!abAnswer.empty())
            answers.push_back(std::move(abAnswer));
        for (CRelayBytes& abFrame : m_relay.TakeClass1Frames())
            answers.push_back(std::move(abFrame));
    }
    return answers;
}

std::vector<CRelayBytes> CEth103Peer::Idle(std::int64_t nNowMs, bool bConnected)
{
    if (m_nEventIntervalMs > 0 && nNowMs >= m_nNextEventMs)
    {
        m_relay.RaiseEvent(nNowMs);
        m_nNextEventMs += m_nEventIntervalMs;
        if (m_nNextEventMs <= nNowMs)
            m_nNextEventMs = nNowMs + m_nEventIntervalMs;
    }
    if (!bConnected)
        return {};
    return m_relay.TakeClass1Frames();
}

int CEth103Peer::WaitMs(std::int64_t nNowMs) const
{
    if (m_nEventIntervalMs <= 0)
        return 1000;
    const std::int64_t nWait = m_nNextEventMs - nNowMs;
    return static_cast<int>(nWait < 1 ? 1 : (nWait > 1000 ? 1000 : nWait));
}

std::string CEth103Peer::DescribeUdpFrame(const std::uint8_t* pBytes, std::size_t nCount)
{
    char szLine[128];
    if (pBytes == nullptr || nCount < 9 || pBytes[0] != 0xFF)
    {
        std::snprintf(szLine, sizeof szLine, "%zu bytes, not a time frame", nCount);
        return szLine;
    }
    if (pBytes[1] == 0)
    {
        std::snprintf(szLine, sizeof szLine, "%zu bytes, no time", nCount);
        return szLine;
    }
    const int nMs = pBytes[2] | (pBytes[3] << 8);
    std::snprintf(szLine, sizeof szLine, "%zu bytes, time 20%02d-%02d-%02d %02d:%02d:%02d.%03d", nCount,
                  pBytes[8] % 100, pBytes[7], pBytes[6], pBytes[5], pBytes[4], nMs / 1000, nMs % 1000);
    return szLine;
}

} // namespace relvane
