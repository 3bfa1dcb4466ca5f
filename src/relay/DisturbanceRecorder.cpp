#include "relay/DisturbanceRecorder.h"

#include "relay/Iec103Frames.h"

#include <cmath>
#include <numbers>

namespace relvane
{
namespace
{

constexpr std::uint8_t kAccs[CDisturbanceRecorder::kChannels] = {1, 2, 3, 5};
constexpr std::uint8_t kTovInstantaneous = 1;
constexpr std::uint8_t kSofTrip = 0x01;
constexpr std::uint8_t kSofTransmitted = 0x02;
constexpr std::size_t kMaxFaults = 8;

// End-of-transmission TOO values.
enum EndToo : std::uint8_t
{
    END_DATA = 32,
    END_DATA_ABORTED_BY_MASTER = 33,
    END_DATA_ABORTED_BY_RELAY = 34,
    END_CHANNEL = 35,
    END_CHANNEL_ABORTED_BY_MASTER = 36,
    END_CHANNEL_ABORTED_BY_RELAY = 37,
    END_TAGS = 38,
    END_TAGS_ABORTED_BY_MASTER = 39,
    END_TAGS_ABORTED_BY_RELAY = 40,
};

} // namespace

CDisturbanceRecorder::CDisturbanceRecorder(std::uint8_t nFun, const CRelayTime& now) : m_nFun(nFun)
{
    // Two faults from earlier are on record.
    CRelayTime earlier = now;
    earlier.nHour = (now.nHour + 22) % 24;
    RecordFault(earlier);
    earlier.nHour = (now.nHour + 23) % 24;
    RecordFault(earlier);
}

void CDisturbanceRecorder::RecordFault(const CRelayTime& time)
{
    if (m_faults.size() >= kMaxFaults)
        m_faults.erase(m_faults.begin());
    m_faults.push_back({m_nNextFan++, kSofTrip, time});
}

bool CDisturbanceRecorder::Transmitted(std::uint16_t nFan) const
{
    for (const CFault& fault : m_faults)
    {
        if (fault.nFan == nFan)
            return (fault.nSof & kSofTransmitted) != 0;
    }
    return false;
}

CDisturbanceRecorder::CFault* CDisturbanceRecorder::Find(std::uint16_t nFan)
{
    for (CFault& fault : m_faults)
    {
        if (fault.nFan == nFan)
            return &fault;
    }
    return nullptr;
}

CRelayBytes CDisturbanceRecorder::Header(std::uint8_t nTyp, std::uint8_t nAddress) const
{
    return BuildAsduHeader(nTyp, 0x81, kCotDisturbance, nAddress, m_nFun, 0);
}

CRelayBytes CDisturbanceRecorder::BuildEnd(std::uint8_t nAddress, std::uint8_t nToo, std::uint16_t nFan,
                                           std::uint8_t nAcc) const
{
    CRelayBytes abAsdu = Header(31, nAddress);
    abAsdu.push_back(nToo);
    abAsdu.push_back(kTovInstantaneous);
    AppendWord(abAsdu, nFan);
    abAsdu.push_back(nAcc);
    return abAsdu;
}

CRelayBytes CDisturbanceRecorder::BuildReady(std::uint8_t nAddress, const CFault& fault) const
{
    CRelayBytes abAsdu = Header(26, nAddress);
    abAsdu.push_back(0);
    abAsdu.push_back(kTovInstantaneous);
    AppendWord(abAsdu, fault.nFan);
    AppendWord(abAsdu, fault.nFan); // network fault number: one relay, one count
    abAsdu.push_back(kChannels);
    AppendWord(abAsdu, kElements);
    AppendWord(abAsdu, kIntervalUs);
    std::uint8_t abTime[4];
    BuildCp32(fault.time, abTime);
    abAsdu.insert(abAsdu.end(), abTime, abTime + 4);
    return abAsdu;
}

CRelayBytes CDisturbanceRecorder::BuildChannelReady(std::uint8_t nAddress, int nChannel) const
{
    const bool bVoltage = kAccs[nChannel] >= 5;
    CRelayBytes abAsdu = Header(27, nAddress);
    abAsdu.push_back(0);
    abAsdu.push_back(kTovInstantaneous);
    AppendWord(abAsdu, m_nSelected);
    abAsdu.push_back(kAccs[nChannel]);
    AppendFloat(abAsdu, bVoltage ? 63500.0f : 600.0f); // rated primary value
    AppendFloat(abAsdu, bVoltage ? 57.7f : 1.0f);      // rated secondary value
    AppendFloat(abAsdu, 0.01f);                        // reference factor
    return abAsdu;
}

void CDisturbanceRecorder::AppendTags(std::uint8_t nAddress, std::vector<CRelayBytes>& out) const
{
    // Start L1, general start, general trip and the trip's fall, as the recorder saw them.
    static constexpr std::uint8_t kTags[][2] = {{64, 2}, {84, 2}, {68, 2}, {68, 1}};
    CRelayBytes abAsdu = BuildAsduHeader(29, 0x81, kCotDisturbance, nAddress, m_nFun, 0);
    AppendWord(abAsdu, m_nSelected);
    abAsdu.push_back(static_cast<std::uint8_t>(std::size(kTags)));
    AppendWord(abAsdu, 0); // position of the first tag
    for (const auto& tag : kTags)
        abAsdu.insert(abAsdu.end(), {m_nFun, tag[0], tag[1]});
    out.push_back(abAsdu);
    out.push_back(BuildEnd(nAddress, END_TAGS, m_nSelected, 0));
}

void CDisturbanceRecorder::AppendChannel(std::uint8_t nAddress, int nChannel,
                                         std::vector<CRelayBytes>& out) const
{
    const bool bVoltage = kAccs[nChannel] >= 5;
    for (int nFirst = 0; nFirst < kElements; nFirst += kPerAsdu)
    {
        CRelayBytes abAsdu = Header(30, nAddress);
        abAsdu.push_back(0);
        abAsdu.push_back(kTovInstantaneous);
        AppendWord(abAsdu, m_nSelected);
        abAsdu.push_back(kAccs[nChannel]);
        abAsdu.push_back(kPerAsdu);
        AppendWord(abAsdu, static_cast<unsigned>(nFirst));
        for (int i = nFirst; i < nFirst + kPerAsdu; ++i)
        {
            // 50 Hz at 1 kHz; the current rises fourfold and the voltage sags after the fault at 20.
            const double dPhase = 2.0 * std::numbers::pi * (i / 20.0 + nChannel / 3.0);
            const double dAmplitude = bVoltage ? (i < 20 ? 5700.0 : 3000.0) : (i < 20 ? 1000.0 : 4000.0);
            AppendWord(abAsdu, static_cast<unsigned>(std::lround(dAmplitude * std::sin(dPhase))) & 0xFFFF);
        }
        out.push_back(abAsdu);
    }
    out.push_back(BuildEnd(nAddress, END_CHANNEL, m_nSelected, kAccs[nChannel]));
}

void CDisturbanceRecorder::OnOrder(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                                   std::vector<CRelayBytes>& out)
{
    if (nLength < 11)
        return;
    const std::uint8_t nToo = pAsdu[6];
    const auto nFan = static_cast<std::uint16_t>(pAsdu[8] | (pAsdu[9] << 8));
    const std::uint8_t nAcc = pAsdu[10];
    switch (nToo)
    {
    case 24:
    {
        CRelayBytes abAsdu = BuildAsduHeader(23, static_cast<std::uint8_t>(m_faults.size()), kCotDisturbance,
                                             nAddress, m_nFun, 0);
        for (const CFault& fault : m_faults)
        {
            AppendWord(abAsdu, fault.nFan);
            abAsdu.push_back(fault.nSof);
            std::uint8_t abTime[7];
            BuildCp56(fault.time, abTime);
            abAsdu.insert(abAsdu.end(), abTime, abTime + 7);
        }
        out.push_back(abAsdu);
        return;
    }
    case 1:
        if (const CFault* pFault = Find(nFan))
        {
            m_nSelected = nFan;
            m_nChannel = 0;
            out.push_back(BuildReady(nAddress, *pFault));
        }
        else
        {
            m_nSelected = 0;
            out.push_back(BuildEnd(nAddress, END_DATA_ABORTED_BY_RELAY, nFan, 0));
        }
        return;
    case 2:
        if (m_nSelected == 0)
        {
            out.push_back(BuildEnd(nAddress, END_DATA_ABORTED_BY_RELAY, nFan, 0));
            return;
        }
        {
            CRelayBytes abAsdu = Header(28, nAddress);
            abAsdu.insert(abAsdu.end(), {0, 0});
            AppendWord(abAsdu, m_nSelected);
            out.push_back(abAsdu);
        }
        return;
    case 3:
        out.push_back(BuildEnd(nAddress, END_DATA_ABORTED_BY_MASTER, m_nSelected, 0));
        m_nSelected = 0;
        return;
    case 8:
        for (int i = 0; i < kChannels; ++i)
        {
            if (m_nSelected != 0 && kAccs[i] == nAcc)
            {
                m_nChannel = i;
                AppendChannel(nAddress, i, out);
                return;
            }
        }
        out.push_back(BuildEnd(nAddress, END_CHANNEL_ABORTED_BY_RELAY, nFan, nAcc));
        return;
    case 9:
        out.push_back(BuildEnd(nAddress, END_CHANNEL_ABORTED_BY_MASTER, m_nSelected, nAcc));
        return;
    case 16:
        if (m_nSelected == 0)
            out.push_back(BuildEnd(nAddress, END_TAGS_ABORTED_BY_RELAY, nFan, 0));
        else
            AppendTags(nAddress, out);
        return;
    case 17:
        out.push_back(BuildEnd(nAddress, END_TAGS_ABORTED_BY_MASTER, m_nSelected, 0));
        return;
    default:
        return;
    }
}

void CDisturbanceRecorder::OnAcknowledgement(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                                             std::vector<CRelayBytes>& out)
{
    if (nLength < 11 || m_nSelected == 0)
        return;
    switch (pAsdu[6])
    {
    case 64:
        if (CFault* pFault = Find(m_nSelected))
            pFault->nSof |= kSofTransmitted;
        m_nSelected = 0;
        return;
    case 65:
        if (const CFault* pFault = Find(m_nSelected))
            out.push_back(BuildReady(nAddress, *pFault));
        return;
    case 66:
        if (++m_nChannel < kChannels)
            out.push_back(BuildChannelReady(nAddress, m_nChannel));
        else
            out.push_back(BuildEnd(nAddress, END_DATA, m_nSelected, 0));
        return;
    case 67:
        out.push_back(BuildChannelReady(nAddress, m_nChannel));
        return;
    case 68:
        m_nChannel = 0;
        out.push_back(BuildChannelReady(nAddress, 0));
        return;
    case 69:
        AppendTags(nAddress, out);
        return;
    default:
        return;
    }
}

} // namespace relvane
