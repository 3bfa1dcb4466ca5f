#include "relay/DisturbanceRecorder.h"

#include "relay/Iec103Frames.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

namespace relvane
{
namespace
{

constexpr std::uint8_t kTovInstantaneous = 1;
constexpr std::uint8_t kSofTrip = 0x01;
constexpr std::uint8_t kSofTransmitted = 0x02;
constexpr std::size_t kMaxFaults = 8;

// Where the transfer faults strike: channel index and block index within the channel.
constexpr int kGarbledChannel = 1;
constexpr int kGarbledBlock = 4;
constexpr int kLostChannel = 2;
constexpr int kLostBlock = 2;
constexpr int kAbortChannel = 3;
constexpr int kAbortAfterBlocks = 2;

// Tag positions (sample numbers) after the start of the recording.
constexpr int kTripSample = CDisturbanceRecorder::kPrefaultSamples + 30;
constexpr int kResetSample = CDisturbanceRecorder::kPrefaultSamples + 100;
constexpr std::uint8_t kInfStartL1 = 64;
constexpr std::uint8_t kInfGeneralTrip = 68;
constexpr std::uint8_t kInfGeneralStart = 84;
constexpr std::uint8_t kDpiOff = 1;
constexpr std::uint8_t kDpiOn = 2;

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

bool IsVoltage(int nChannel)
{
    return nChannel >= 4;
}

// The secondary value of a phase channel (0 to 2 within its group) at a sample.
double PhaseValue(std::uint16_t nFan, bool bVoltage, int nPhase, int nSample)
{
    const int nFaulted = (nFan + 2) % 3; // FAN 1 faults L1, FAN 2 L2, ...
    const bool bAfter = nSample >= CDisturbanceRecorder::kPrefaultSamples;
    double dRms = bVoltage ? 57.7 : 1.0;
    if (bAfter && nPhase == nFaulted)
        dRms = bVoltage ? 57.7 * 0.3 : 10.0;
    // Each record starts at its own angle, so two records never hold the same numbers.
    const double dStart = nFan * 0.37;
    const double dSeconds = nSample * (CDisturbanceRecorder::kIntervalUs / 1e6);
    const double dAngle = 2.0 * std::numbers::pi * (50.0 * dSeconds - nPhase / 3.0) + dStart;
    return dRms * std::numbers::sqrt2 * std::sin(dAngle);
}

} // namespace

bool ParseDisturbanceFaultList(const std::string& strList, unsigned& nMask)
{
    unsigned nResult = 0;
    std::stringstream stream(strList);
    std::string strName;
    while (std::getline(stream, strName, ','))
    {
        if (strName == "abort")
            nResult |= DISTURBANCE_FAULT_ABORT;
        else if (strName == "lost")
            nResult |= DISTURBANCE_FAULT_LOST;
        else if (strName == "garbled")
            nResult |= DISTURBANCE_FAULT_GARBLED;
        else
            return false;
    }
    if (nResult == 0)
        return false;
    nMask = nResult;
    return true;
}

std::int16_t CDisturbanceRecorder::Sample(std::uint16_t nFan, int nChannel, int nSample)
{
    const bool bVoltage = IsVoltage(nChannel);
    const int nInGroup = nChannel % 4;
    double dValue = 0.0;
    if (nInGroup < 3)
        dValue = PhaseValue(nFan, bVoltage, nInGroup, nSample);
    else
    {
        // The residual channel: the sum of the three phases.
        for (int nPhase = 0; nPhase < 3; ++nPhase)
            dValue += PhaseValue(nFan, bVoltage, nPhase, nSample);
    }
    const long nCount = std::lround(dValue / ReferenceFactor(nChannel));
    return static_cast<std::int16_t>(std::clamp(nCount, -32767L, 32767L));
}

float CDisturbanceRecorder::RatedPrimary(int nChannel)
{
    return IsVoltage(nChannel) ? 63500.0f : 600.0f;
}

float CDisturbanceRecorder::RatedSecondary(int nChannel)
{
    return IsVoltage(nChannel) ? 57.7f : 1.0f;
}

float CDisturbanceRecorder::ReferenceFactor(int nChannel)
{
    return IsVoltage(nChannel) ? 0.005f : 0.001f;
}

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

bool CDisturbanceRecorder::TakeGarbled(const CRelayBytes& abAsdu)
{
    if (m_abGarble.empty() || abAsdu != m_abGarble)
        return false;
    m_abGarble.clear();
    return true;
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
    // The time of the first sample: the recording starts before the fault.
    const CRelayTime start =
        LocalTime(LocalTimeToMs(fault.time) - static_cast<std::int64_t>(kPrefaultSamples) * kIntervalUs / 1000);
    std::uint8_t abTime[4];
    BuildCp32(start, abTime);
    abAsdu.insert(abAsdu.end(), abTime, abTime + 4);
    return abAsdu;
}

CRelayBytes CDisturbanceRecorder::BuildChannelReady(std::uint8_t nAddress, int nChannel) const
{
    CRelayBytes abAsdu = Header(27, nAddress);
    abAsdu.push_back(0);
    abAsdu.push_back(kTovInstantaneous);
    AppendWord(abAsdu, m_nSelected);
    abAsdu.push_back(Acc(nChannel));
    AppendFloat(abAsdu, RatedPrimary(nChannel));
    AppendFloat(abAsdu, RatedSecondary(nChannel));
    AppendFloat(abAsdu, ReferenceFactor(nChannel));
    return abAsdu;
}

void CDisturbanceRecorder::AppendTags(std::uint8_t nAddress, std::vector<CRelayBytes>& out) const
{
    // One ASDU 29 per position: the states at the start of the recording, then each change at
    // the sample where the recorder saw it.
    const auto nStart = static_cast<std::uint8_t>(kInfStartL1 + (m_nSelected + 2) % 3);
    struct CTagSet
    {
        int nPosition;
        std::vector<std::pair<std::uint8_t, std::uint8_t>> tags; // INF, DPI
    };
    const CTagSet sets[] = {
        {0, {{nStart, kDpiOff}, {kInfGeneralStart, kDpiOff}, {kInfGeneralTrip, kDpiOff}}},
        {kPrefaultSamples, {{nStart, kDpiOn}, {kInfGeneralStart, kDpiOn}}},
        {kTripSample, {{kInfGeneralTrip, kDpiOn}}},
        {kResetSample, {{kInfGeneralTrip, kDpiOff}, {nStart, kDpiOff}, {kInfGeneralStart, kDpiOff}}},
    };
    for (const CTagSet& set : sets)
    {
        CRelayBytes abAsdu = BuildAsduHeader(29, 0x81, kCotDisturbance, nAddress, m_nFun, 0);
        AppendWord(abAsdu, m_nSelected);
        abAsdu.push_back(static_cast<std::uint8_t>(set.tags.size()));
        AppendWord(abAsdu, static_cast<unsigned>(set.nPosition));
        for (const auto& [nInf, nDpi] : set.tags)
            abAsdu.insert(abAsdu.end(), {m_nFun, nInf, nDpi});
        out.push_back(abAsdu);
    }
    out.push_back(BuildEnd(nAddress, END_TAGS, m_nSelected, 0));
}

void CDisturbanceRecorder::AppendChannel(std::uint8_t nAddress, int nChannel, std::vector<CRelayBytes>& out)
{
    // A fault strikes once per selection; its bit in m_nFaultsDone remembers it.
    auto Strikes = [this, nChannel](DisturbanceFault eFault, int nFaultChannel)
    { return (m_nFaults & eFault) != 0 && (m_nFaultsDone & eFault) == 0 && nChannel == nFaultChannel; };
    const bool bAbort = Strikes(DISTURBANCE_FAULT_ABORT, kAbortChannel);
    const bool bLose = Strikes(DISTURBANCE_FAULT_LOST, kLostChannel);
    const bool bGarble = Strikes(DISTURBANCE_FAULT_GARBLED, kGarbledChannel);
    for (int nBlock = 0; nBlock * kPerAsdu < kElements; ++nBlock)
    {
        if (bAbort && nBlock == kAbortAfterBlocks)
        {
            m_nFaultsDone |= DISTURBANCE_FAULT_ABORT;
            out.push_back(BuildEnd(nAddress, END_DATA_ABORTED_BY_RELAY, m_nSelected, Acc(nChannel)));
            m_nSelected = 0;
            return;
        }
        const int nFirst = nBlock * kPerAsdu;
        const int nCount = std::min(kPerAsdu, kElements - nFirst);
        CRelayBytes abAsdu = Header(30, nAddress);
        abAsdu.push_back(0);
        abAsdu.push_back(kTovInstantaneous);
        AppendWord(abAsdu, m_nSelected);
        abAsdu.push_back(Acc(nChannel));
        abAsdu.push_back(static_cast<std::uint8_t>(nCount));
        AppendWord(abAsdu, static_cast<unsigned>(nFirst));
        for (int i = nFirst; i < nFirst + nCount; ++i)
            AppendWord(abAsdu, static_cast<std::uint16_t>(Sample(m_nSelected, nChannel, i)));
        if (bLose && nBlock == kLostBlock)
        {
            m_nFaultsDone |= DISTURBANCE_FAULT_LOST;
            continue;
        }
        if (bGarble && nBlock == kGarbledBlock)
        {
            m_nFaultsDone |= DISTURBANCE_FAULT_GARBLED;
            m_abGarble = abAsdu;
        }
        out.push_back(std::move(abAsdu));
    }
    out.push_back(BuildEnd(nAddress, END_CHANNEL, m_nSelected, Acc(nChannel)));
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
            m_nFaultsDone = DISTURBANCE_FAULT_NONE;
            m_abGarble.clear();
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
            if (m_nSelected != 0 && Acc(i) == nAcc)
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
