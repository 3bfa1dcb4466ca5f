#include "relay/Iec103Relay.h"

#include "iec103/Iec103Codec.h"
#include "relay/Iec103Frames.h"

#include <algorithm>

namespace relvane
{
namespace
{

constexpr std::uint8_t kBroadcast = 0xFF;
constexpr std::uint8_t kGlobalFun = 255;
constexpr std::uint8_t kCompatibility = 2;

// State points a general interrogation reports, besides INF 16 to 18 and the setting groups.
constexpr std::uint8_t kInfAuxiliaryInput1 = 27;
constexpr std::uint8_t kInfTripCircuit = 36;
constexpr std::uint8_t kInfStartL1 = 64;
constexpr std::uint8_t kInfGeneralTrip = 68;
constexpr std::uint8_t kInfSettingGroup1 = 23;
// Generic reads whose answers a defect spoils, and the disturbance steps a defect drops.
constexpr std::uint8_t kInfGenericReadHeadings = 240;
constexpr std::uint8_t kInfGenericReadGroup = 241;
constexpr std::uint8_t kInfGenericInterrogation = 245;
constexpr std::uint8_t kTooListRequest = 24;
constexpr std::uint8_t kTooChannelReceived = 66;
// Spontaneous events take these in turn: auxiliary inputs 1 to 4, group warning, group alarm.
constexpr std::uint8_t kEventInfs[] = {27, 28, 29, 30, 46, 47};

// A measurand (MEA): 13-bit signed value in bits 3 to 15, overflow and error bits clear.
void AppendMeasurand(CRelayBytes& ab, int nValue)
{
    AppendWord(ab, static_cast<unsigned>(nValue * 8) & 0xFFF8);
}

} // namespace

CIec103Relay::CIec103Relay(std::uint8_t nAddress, std::int64_t nNowMs)
    : m_nAddress(nAddress), m_nNextMeasurandMs(nNowMs), m_recorder(kFun, LocalTime(nNowMs))
{
    m_nLastFan = static_cast<std::uint16_t>(m_recorder.FaultCount());
    QueueClass1(BuildIdentification(kCotStart));
}

void CIec103Relay::SetTiming(int nAnswerDelayMs, int nMeasurandCycleMs)
{
    m_nAnswerDelayMs = std::max(0, nAnswerDelayMs);
    m_nMeasurandCycleMs = std::max(0, nMeasurandCycleMs);
}

std::size_t CIec103Relay::ReadyClass1(std::int64_t nNowMs) const
{
    std::size_t nReady = 0;
    while (nReady < m_class1ReadyMs.size() && m_class1ReadyMs[nReady] <= nNowMs)
        ++nReady;
    // The entry on its way to the master counts until confirmed, ready or not.
    return m_bClass1Sent ? std::max<std::size_t>(nReady, 1) : nReady;
}

CRelayBytes CIec103Relay::Fixed(std::uint8_t nFunction) const
{
    // E5H cannot carry ACD or DFC: with class 1 data waiting (or a defect that sets either bit)
    // the fixed frame says so.
    const bool bWaiting = ReadyClass1(m_nNowMs) > 0;
    const bool bPlain = !bWaiting && !m_defects.Has(DEFECT_ACD_STUCK) && !m_defects.Has(DEFECT_DFC_STUCK);
    if (m_bSingleCharAck && bPlain && !m_defects.Has(DEFECT_NO_E5) &&
        (nFunction == kSecondaryAck || nFunction == kSecondaryNoData))
        return {kSingleCharAck};
    return BuildFixedFrame103(static_cast<std::uint8_t>(nFunction | (bWaiting ? kAcd : 0)), m_nAddress);
}

CRelayBytes CIec103Relay::Answer(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs)
{
    if (pFrame == nullptr || nLength < 5)
        return {};
    m_nNowMs = nNowMs;
    // What this frame brings about is ready only after the relay's own processing time.
    m_nQueueReadyMs = nNowMs + m_nAnswerDelayMs;
    std::uint8_t nControl = 0;
    std::uint8_t nAddress = 0;
    const std::uint8_t* pAsdu = nullptr;
    int nAsdu = 0;
    if (pFrame[0] == 0x10)
    {
        if (nLength != 5 || pFrame[4] != 0x16)
            return {};
        if (pFrame[3] != static_cast<std::uint8_t>(pFrame[1] + pFrame[2]) &&
            !m_defects.Has(DEFECT_BAD_CHECKSUM_ANSWERED))
            return {};
        nControl = pFrame[1];
        nAddress = pFrame[2];
    }
    else if (pFrame[0] == 0x68)
    {
        const int nL = pFrame[1];
        if (nL < 2 || nLength != nL + 6 || pFrame[3] != 0x68 || pFrame[nLength - 1] != 0x16)
            return {};
        if (pFrame[2] != pFrame[1] && !m_defects.Has(DEFECT_BAD_LENGTH_ANSWERED))
            return {};
        if (Iec103Codec::Checksum(pFrame + 4, nL) != pFrame[nLength - 2] &&
            !m_defects.Has(DEFECT_BAD_CHECKSUM_ANSWERED))
            return {};
        nControl = pFrame[4];
        nAddress = pFrame[5];
        pAsdu = pFrame + 6;
        nAsdu = nL - 2;
    }
    else
        return {};

    if ((nControl & 0x40) == 0)
        return {};
    if (nAddress == kBroadcast)
    {
        if ((nControl & 0x0F) == 4 && pAsdu != nullptr && !m_defects.Has(DEFECT_BROADCAST_IGNORED))
            OnUserData(pAsdu, nAsdu, false, nNowMs);
        return {};
    }
    if (nAddress != m_nAddress && !m_defects.Has(DEFECT_WRONG_ADDRESS_ANSWERED))
        return {};
    CRelayBytes abAnswer = SpoilLink(Respond(nControl, pAsdu, nAsdu, nNowMs));
    if (m_bGarbleAnswer && abAnswer.size() > 2)
        abAnswer[abAnswer.size() - 2] ^= 0x5A; // only this sending: the repetition is sound
    m_bGarbleAnswer = false;
    return abAnswer;
}

CRelayBytes CIec103Relay::SpoilLink(CRelayBytes abAnswer) const
{
    const bool bFixed = abAnswer.size() == 5 && abAnswer[0] == 0x10;
    const bool bVariable = abAnswer.size() > 8 && abAnswer[0] == 0x68;
    if (!bFixed && !bVariable)
        return abAnswer;
    std::uint8_t& nControl = abAnswer[bFixed ? 1 : 4];
    if (m_defects.Has(DEFECT_ACD_STUCK))
        nControl |= kAcd;
    if (m_defects.Has(DEFECT_ACD_MISSING))
        nControl &= static_cast<std::uint8_t>(~kAcd);
    if (m_defects.Has(DEFECT_DFC_STUCK))
        nControl |= kDfc;
    if (bVariable && m_defects.Has(DEFECT_WRONG_COMMON_ADDRESS))
        ++abAnswer[9]; // the ASDU's common address
    const std::size_t nSumAt = abAnswer.size() - 2;
    abAnswer[nSumAt] = bFixed ? static_cast<std::uint8_t>(abAnswer[1] + abAnswer[2])
                              : Iec103Codec::Checksum(abAnswer.data() + 4, abAnswer[1]);
    return abAnswer;
}

CRelayBytes CIec103Relay::Respond(std::uint8_t nControl, const std::uint8_t* pAsdu, int nAsdu,
                                  std::int64_t nNowMs)
{
    const int nFunction = nControl & 0x0F;
    switch (nFunction)
    {
    case 0: // reset of the communication unit: the buffers are emptied
        m_class1.clear();
        m_class1ReadyMs.clear();
        m_bClass1Sent = false;
        m_nLastFcb = 0;
        m_abLastAnswer.clear();
        m_bMeasurandsSent = false;
        QueueClass1(BuildIdentification(m_defects.Has(DEFECT_IDENT_POWER_UP)     ? kCotStart
                                        : m_defects.Has(DEFECT_IDENT_COT_SWAPPED) ? kCotResetFcb
                                                                                  : kCotResetCu));
        return Fixed(kSecondaryAck);
    case 7: // reset of the frame count bit; like any new frame it confirms the last answer
        ConfirmClass1();
        m_nLastFcb = 0;
        m_abLastAnswer.clear();
        QueueClass1(
            BuildIdentification(m_defects.Has(DEFECT_IDENT_COT_SWAPPED) ? kCotResetCu : kCotResetFcb));
        if (m_defects.Has(DEFECT_RESET_NO_ANSWER))
            return {};
        return Fixed(kSecondaryAck);
    case 9:
        if (m_defects.Has(DEFECT_STATUS_NO_ANSWER))
            return {};
        if (m_defects.Has(DEFECT_E5_FOR_FRAME))
            return {kSingleCharAck}; // the single character is no answer to a status request
        return Fixed(kSecondaryLinkStatus);
    case 4:
        if (pAsdu != nullptr)
            OnUserData(pAsdu, nAsdu, false, nNowMs);
        return {};
    case 3:
    case 10:
    case 11:
        break;
    default:
        return Fixed(kSecondaryNotImplemented);
    }

    const bool bFcv = (nControl & 0x10) != 0;
    const int nFcb = (nControl >> 5) & 1;
    if (bFcv && nFcb == m_nLastFcb && !m_abLastAnswer.empty() && !m_defects.Has(DEFECT_FCB_REPEAT_NEW))
    {
        if (nFunction == 3 && pAsdu != nullptr && m_defects.Has(DEFECT_REPEAT_EXECUTED))
            OnUserData(pAsdu, nAsdu, true, nNowMs);
        return m_abLastAnswer; // the master did not get it: the same answer again
    }

    // A new frame confirms the previous answer.
    ConfirmClass1();
    if (bFcv)
        m_nLastFcb = nFcb;

    CRelayBytes abAnswer;
    if (nFunction == 3)
    {
        if (pAsdu != nullptr)
            OnUserData(pAsdu, nAsdu, true, nNowMs);
        abAnswer = Fixed(kSecondaryAck);
    }
    else if (nFunction == 10)
    {
        if (ReadyClass1(nNowMs) == 0)
            abAnswer = Fixed(kSecondaryNoData);
        else
        {
            m_bClass1Sent = true;
            const auto nControlOut =
                static_cast<std::uint8_t>(kSecondaryUserData | (ReadyClass1(nNowMs) > 1 ? kAcd : 0));
            abAnswer = BuildVariableFrame103(nControlOut, m_nAddress, m_class1.front());
            m_bGarbleAnswer = m_recorder.TakeGarbled(m_class1.front());
        }
    }
    else if (MeasurandsDue(nNowMs) && m_defects.Has(DEFECT_MEASURAND_CLASS1))
    {
        m_nQueueReadyMs = nNowMs;
        QueueClass1(BuildMeasurands());
        MeasurandsSent(nNowMs);
        abAnswer = Fixed(kSecondaryNoData);
    }
    else if (MeasurandsDue(nNowMs))
    {
        const auto nControlOut =
            static_cast<std::uint8_t>(kSecondaryUserData | (ReadyClass1(nNowMs) == 0 ? 0 : kAcd));
        abAnswer = BuildVariableFrame103(nControlOut, m_nAddress, BuildMeasurands());
        MeasurandsSent(nNowMs);
    }
    else
        abAnswer = Fixed(kSecondaryNoData);
    if (bFcv)
        m_abLastAnswer = abAnswer;
    return abAnswer;
}

void CIec103Relay::ConfirmClass1()
{
    if (m_bClass1Sent && !m_class1.empty())
    {
        m_class1.pop_front();
        m_class1ReadyMs.pop_front();
    }
    m_bClass1Sent = false;
}

void CIec103Relay::QueueClass1(CRelayBytes abAsdu)
{
    // A full buffer loses its oldest entry, never the one on its way to the master.
    if (m_class1.size() >= kMaxClass1)
    {
        const long nAt = m_bClass1Sent ? 1 : 0;
        m_class1.erase(m_class1.begin() + nAt);
        m_class1ReadyMs.erase(m_class1ReadyMs.begin() + nAt);
    }
    m_class1.push_back(std::move(abAsdu));
    // The queue leaves in order: an entry is never ready before the one ahead of it.
    const std::int64_t nAhead = m_class1ReadyMs.empty() ? m_nQueueReadyMs : m_class1ReadyMs.back();
    m_class1ReadyMs.push_back(std::max(nAhead, m_nQueueReadyMs));
}

bool CIec103Relay::MeasurandsDue(std::int64_t nNowMs) const
{
    if (m_nMeasurandCycleMs > 0)
        return nNowMs >= m_nNextMeasurandMs;
    return !m_bMeasurandsSent || nNowMs - m_nLastMeasurandMs >= kMeasurandPeriodMs;
}

void CIec103Relay::MeasurandsSent(std::int64_t nNowMs)
{
    m_bMeasurandsSent = true;
    m_nLastMeasurandMs = nNowMs;
    // The cycle keeps its phase; a master that polled late gets the next one a cycle on.
    while (m_nMeasurandCycleMs > 0 && m_nNextMeasurandMs <= nNowMs)
        m_nNextMeasurandMs += m_nMeasurandCycleMs;
}

void CIec103Relay::OnUserData(const std::uint8_t* pAsdu, int nAsdu, bool bConfirmed, std::int64_t nNowMs)
{
    if (nAsdu < 6)
        return;
    std::vector<CRelayBytes> answers;
    switch (pAsdu[0])
    {
    case 6:
        if (nAsdu >= 13)
        {
            if (!m_defects.Has(DEFECT_CLOCK_IGNORED))
                m_clock.SetTime(DecodeCp56(pAsdu + 6), nNowMs);
            if ((bConfirmed || m_defects.Has(DEFECT_CLOCK_ANSWER_UNASKED)) && !m_defects.Has(DEFECT_CLOCK_NO_ANSWER))
            {
                CRelayBytes abAsdu = BuildAsduHeader(6, 0x81, kCotTimeSync, m_nAddress, kGlobalFun, 0);
                std::uint8_t abTime[7];
                const std::int64_t nOffMs = m_defects.Has(DEFECT_CLOCK_ANSWER_OFF) ? 3600000 : 0;
                BuildCp56(m_clock.Now(nNowMs + nOffMs), abTime);
                abAsdu.insert(abAsdu.end(), abTime, abTime + 7);
                answers.push_back(abAsdu);
            }
        }
        break;
    case 7:
        if (nAsdu >= 7)
            OnInterrogation(pAsdu[6], nNowMs);
        break;
    case 20:
        OnGeneralCommand(pAsdu, nAsdu, nNowMs);
        break;
    case 21:
        m_generic.OnGenericCommand(pAsdu, nAsdu, m_nAddress, answers);
        SpoilGenericRead(pAsdu[5], answers);
        break;
    case 10:
    {
        // A relay that loses writes still says it took them.
        const CGenericDirectory before = m_generic;
        m_generic.OnGenericData(pAsdu, nAsdu, m_nAddress, answers);
        if (m_defects.Has(DEFECT_GENERIC_WRITE_LOST))
            m_generic = before;
        for (CRelayBytes& abAsdu : answers)
        {
            if (m_defects.Has(DEFECT_WRITE_WRONG_COT) && abAsdu.size() > 2 && abAsdu[2] == kCotWritePositive)
                abAsdu[2] = kCotReadValid;
        }
        break;
    }
    case 24:
        if (nAsdu > 6 && pAsdu[6] == kTooListRequest && m_defects.Has(DEFECT_DIST_LIST_MISSING))
            break;
        m_recorder.OnOrder(pAsdu, nAsdu, m_nAddress, answers);
        break;
    case 25:
        m_recorder.OnAcknowledgement(pAsdu, nAsdu, m_nAddress, answers);
        if (nAsdu > 6 && pAsdu[6] == kTooChannelReceived && m_defects.Has(DEFECT_DIST_TRANSFER_STOPS))
            answers.clear();
        break;
    default:
        break;
    }
    for (CRelayBytes& abAsdu : answers)
        QueueClass1(std::move(abAsdu));
}

CRelayBytes CIec103Relay::BuildPoint(std::uint8_t nCot, std::uint8_t nInf, std::uint8_t nDpi,
                                     std::uint8_t nSin, std::int64_t nNowMs) const
{
    CRelayBytes abAsdu = BuildAsduHeader(1, 0x81, nCot, m_nAddress, kFun, nInf);
    abAsdu.push_back(nDpi);
    std::uint8_t abTime[4];
    BuildCp32(m_clock.Now(nNowMs), abTime);
    abAsdu.insert(abAsdu.end(), abTime, abTime + 4);
    abAsdu.push_back(nSin);
    return abAsdu;
}

void CIec103Relay::SpoilGenericRead(std::uint8_t nInf, std::vector<CRelayBytes>& answers) const
{
    // Headings turned into entries (KOD 1), or a group's last data set named as the next group.
    const bool bHeadings = nInf == kInfGenericReadHeadings && m_defects.Has(DEFECT_HEADINGS_ENTRIES);
    const bool bGroup = nInf == kInfGenericReadGroup && m_defects.Has(DEFECT_GROUP_MIXED);
    for (CRelayBytes& abAsdu : answers)
    {
        if ((!bHeadings && !bGroup) || abAsdu.size() < 8)
            continue;
        std::size_t nAt = 8;
        std::size_t nLast = 0;
        for (int i = 0; i < (abAsdu[7] & 0x3F) && nAt + 6 <= abAsdu.size(); ++i)
        {
            if (bHeadings)
                abAsdu[nAt + 2] = 1;
            nLast = nAt;
            nAt += 6 + static_cast<std::size_t>(abAsdu[nAt + 4]) * (abAsdu[nAt + 5] & 0x7F);
        }
        if (bGroup && nLast != 0)
            ++abAsdu[nLast];
    }
    if (m_defects.Has(DEFECT_GENERIC_WRONG_COT))
    {
        for (CRelayBytes& abAsdu : answers)
        {
            if (abAsdu.size() > 2 && abAsdu[2] == kCotReadValid)
                abAsdu[2] = kCotReadInvalid;
        }
    }
    if (m_defects.Has(DEFECT_GENERIC_TRUNCATED))
    {
        // The interrogation stops after its first ASDU; a group's answer promises more that never
        // comes (NGD bit 7, continuation).
        if (nInf == kInfGenericInterrogation && answers.size() > 1)
            answers.resize(1);
        if (nInf == kInfGenericReadGroup && !answers.empty() && answers.front().size() > 7)
            answers.front()[7] |= 0x80;
    }
}

void CIec103Relay::OnInterrogation(std::uint8_t nScn, std::int64_t nNowMs)
{
    const std::uint8_t nCot = m_defects.Has(DEFECT_GI_WRONG_COT) ? kCotSpontaneous : kCotInterrogation;
    for (int i = 0; i < 3; ++i)
        QueueClass1(BuildPoint(nCot, static_cast<std::uint8_t>(16 + i), m_abPointState[i], nScn, nNowMs));
    for (int i = 0; i < 4; ++i)
    {
        QueueClass1(BuildPoint(nCot, static_cast<std::uint8_t>(kInfSettingGroup1 + i),
                               m_nActiveGroup == i ? 2 : 1, nScn, nNowMs));
    }
    QueueClass1(BuildPoint(nCot, kInfAuxiliaryInput1, 1, nScn, nNowMs));
    QueueClass1(BuildPoint(nCot, kInfTripCircuit, 1, nScn, nNowMs));
    // Fault indications come with their relative time and fault number (ASDU 2).
    for (const std::uint8_t nInf : {kInfStartL1, kInfGeneralTrip})
    {
        CRelayBytes abAsdu = BuildAsduHeader(2, 0x81, nCot, m_nAddress, kFun, nInf);
        abAsdu.push_back(1);
        AppendWord(abAsdu, 0);
        AppendWord(abAsdu, m_nLastFan);
        std::uint8_t abTime[4];
        BuildCp32(m_clock.Now(nNowMs), abTime);
        abAsdu.insert(abAsdu.end(), abTime, abTime + 4);
        abAsdu.push_back(nScn);
        QueueClass1(abAsdu);
    }
    if (m_defects.Has(DEFECT_GI_NO_TERMINATION))
        return;
    CRelayBytes abEnd = BuildAsduHeader(8, 0x81, kCotInterrogationEnd, m_nAddress, kGlobalFun, 0);
    abEnd.push_back(m_defects.Has(DEFECT_GI_WRONG_SCN) ? static_cast<std::uint8_t>(nScn + 1) : nScn);
    QueueClass1(abEnd);
}

void CIec103Relay::OnGeneralCommand(const std::uint8_t* pAsdu, int nAsdu, std::int64_t nNowMs)
{
    if (nAsdu < 8)
        return;
    const std::uint8_t nFun = pAsdu[4];
    const std::uint8_t nInf = pAsdu[5];
    const std::uint8_t nDco = pAsdu[6];
    const std::uint8_t nRii = pAsdu[7];
    const bool bKnownInf =
        (nInf >= 16 && nInf <= 19) || (nInf >= kInfSettingGroup1 && nInf <= kInfSettingGroup1 + 3);
    const bool bAccepted = (nFun == kFun || nFun == kGlobalFun) && (nDco == 1 || nDco == 2) && bKnownInf;
    if (bAccepted && m_defects.Has(DEFECT_GC_NO_ACK))
        return;
    const bool bPositive = bAccepted || m_defects.Has(DEFECT_GC_NO_NEGATIVE);
    if (bAccepted)
    {
        if (nInf >= 16 && nInf <= 18)
            m_abPointState[nInf - 16] = nDco;
        else if (nInf >= kInfSettingGroup1 && nDco == 2)
            m_nActiveGroup = nInf - kInfSettingGroup1;
    }
    // The answer names the command it answers: its FUN, INF and DCO, and its RII as SIN.
    CRelayBytes abAsdu =
        BuildPoint(bPositive ? kCotCommandPositive : kCotCommandNegative, nInf, nDco, nRii, nNowMs);
    abAsdu[4] = nFun;
    QueueClass1(abAsdu);
}

void CIec103Relay::RaiseEvent(std::int64_t nNowMs)
{
    m_nQueueReadyMs = nNowMs;
    ++m_nEventCount;
    const std::uint8_t nInf = kEventInfs[(m_nEventCount - 1) % std::size(kEventInfs)];
    const std::uint8_t nDpi = ((m_nEventCount - 1) / std::size(kEventInfs)) % 2 == 0 ? 2 : 1;
    QueueClass1(BuildPoint(m_defects.Has(DEFECT_EVENT_COT_CYCLIC) ? kCotCyclic : kCotSpontaneous, nInf, nDpi,
                           static_cast<std::uint8_t>(m_nEventCount & 0xFF), nNowMs));
    if (m_nEventCount % 4 == 0)
    {
        m_recorder.RecordFault(m_clock.Now(nNowMs));
        ++m_nLastFan;
    }
}

CRelayBytes CIec103Relay::BuildMeasurands()
{
    const int nWobble = static_cast<int>(m_nMeasurandTurn % 8) * 3;
    CRelayBytes abAsdu;
    if (m_nMeasurandTurn++ % 2 == 0)
    {
        // Measurands II: IL1, IL2, IL3, UL1, UL2, UL3, P, Q, f.
        abAsdu = BuildAsduHeader(9, 0x01, kCotCyclic, m_nAddress, kFun, 148);
        for (const int nValue : {2048, 2060, 2040, 3413, 3410, 3416, 2900, 600, 3413})
            AppendMeasurand(abAsdu, nValue + nWobble);
    }
    else
    {
        // Measurands I: IN and UEN.
        // COT 1 is not allowed for ASDU 3; a relay with the defect sends it anyway.
        const bool bIllegal = m_defects.Has(DEFECT_COT_ILLEGAL);
        abAsdu = BuildAsduHeader(3, 0x01, bIllegal ? kCotSpontaneous : kCotCyclic, m_nAddress, kFun, 147);
        AppendMeasurand(abAsdu, 12 + nWobble);
        AppendMeasurand(abAsdu, 20 + nWobble);
    }
    return abAsdu;
}

std::vector<CRelayBytes> CIec103Relay::TakeClass1Frames()
{
    std::vector<CRelayBytes> frames;
    for (const CRelayBytes& abAsdu : m_class1)
        frames.push_back(BuildVariableFrame103(kSecondaryUserData, m_nAddress, abAsdu));
    m_class1.clear();
    m_class1ReadyMs.clear();
    m_bClass1Sent = false;
    return frames;
}

CRelayBytes CIec103Relay::BuildIdentification(std::uint8_t nCot) const
{
    const std::uint8_t nInf = nCot == kCotResetFcb ? 2 : (nCot == kCotResetCu ? 3 : 4);
    CRelayBytes abAsdu = BuildAsduHeader(5, 0x81, nCot, m_nAddress, kFun, nInf);
    abAsdu.push_back(kCompatibility);
    for (const char c : {'R', 'E', 'L', 'V', 'A', 'N', 'E', ' '})
        abAsdu.push_back(static_cast<std::uint8_t>(c));
    abAsdu.insert(abAsdu.end(), {1, 0, 0, 0});
    return abAsdu;
}

} // namespace relvane
