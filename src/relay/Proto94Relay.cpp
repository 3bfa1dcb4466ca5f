#include "relay/Proto94Relay.h"

#include "proto94/Crc16.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace relvane
{
namespace
{

constexpr std::uint8_t kRelayCpu = 1;
constexpr int kRecordingSteps = 8;
constexpr int kSamplesPerStep = 16;

// Setting record kinds as the format byte carries them (kind in bits 3 to 5, variant in 0 to 2).
enum SettingKind : std::uint8_t
{
    SET_BYTE = 0x08,    // kind 1: code, format, one byte
    SET_DECIMAL = 0x10, // kind 2, variant 0: three BCD digits, sign and decimal places
    SET_HEX = 0x11,     // kind 2, variant 1: a 16-bit word shown in hexadecimal
    SET_FLAG = 0x12,    // kind 2, variant 2: code and format only
    SET_WORD = 0x18,    // kind 3: code, format, two bytes
};

struct CSettingRow
{
    std::uint8_t nCode;
    SettingKind eKind;
    int nValue;    // magnitude (signed) for decimals, the word or byte otherwise
    int nDecimals; // decimal places of a SET_DECIMAL value
};

// Settings of the line-protection relay, codes from its setting table.
constexpr CSettingRow kKlr10Settings[] = {
    {3, SET_HEX, 0x1234, 0},    {4, SET_DECIMAL, 20, 2},    {7, SET_DECIMAL, 67, 2},
    {8, SET_DECIMAL, 100, 2},   {15, SET_DECIMAL, 100, 2},  {25, SET_DECIMAL, 50, 2},
    {26, SET_DECIMAL, 150, 2},  {27, SET_DECIMAL, 50, 2},   {28, SET_DECIMAL, 150, 2},
    {29, SET_DECIMAL, 800, 2},  {30, SET_DECIMAL, 500, 2},  {31, SET_DECIMAL, 300, 2},
    {32, SET_DECIMAL, 150, 2},  {115, SET_FLAG, 0, 0},      {130, SET_DECIMAL, 250, 2},
    {131, SET_DECIMAL, 450, 2}, {132, SET_DECIMAL, 800, 2}, {133, SET_DECIMAL, 0, 2},
    {134, SET_DECIMAL, 250, 2}, {147, SET_DECIMAL, 80, 2},  {156, SET_DECIMAL, 800, 1},
    {157, SET_HEX, 0x8001, 0},  {158, SET_HEX, 0x0003, 0},  {164, SET_DECIMAL, -50, 2},
    {189, SET_BYTE, 0x01, 0},   {190, SET_WORD, 0x0000, 0},
};

// Settings of the transformer-protection relay.
constexpr CSettingRow kKtr20Settings[] = {
    {0, SET_HEX, 0x0F0F, 0},   {1, SET_HEX, 0x0001, 0},   {2, SET_HEX, 0x0000, 0},
    {3, SET_BYTE, 0, 0},       {4, SET_DECIMAL, 220, 0},  {5, SET_DECIMAL, 110, 0},
    {6, SET_DECIMAL, 105, 1},  {7, SET_DECIMAL, 120, 0},  {8, SET_DECIMAL, 240, 0},
    {9, SET_DECIMAL, 400, 0},  {10, SET_DECIMAL, 262, 2}, {11, SET_DECIMAL, 315, 2},
    {12, SET_DECIMAL, 433, 2}, {13, SET_DECIMAL, 50, 2},  {14, SET_DECIMAL, 600, 2},
    {15, SET_DECIMAL, 100, 2}, {16, SET_DECIMAL, 15, 2},  {17, SET_DECIMAL, 35, 2},
    {18, SET_DECIMAL, 50, 2},  {19, SET_DECIMAL, 100, 2}, {20, SET_DECIMAL, 83, 2},
    {21, SET_DECIMAL, 121, 2}, {22, SET_FLAG, 0, 0},      {26, SET_DECIMAL, -100, 2},
    {27, SET_WORD, 0x0102, 0},
};

// Events the relay reports: "装置上电" at power-up, "保护整组复归" after 80H, the trip that a
// recorded fault carries, and the codes spontaneous events take in turn.
constexpr std::uint8_t kCommonType = 0;
constexpr std::uint8_t kPowerUpCode = 128;
constexpr std::uint8_t kCommonCodes[] = {8, 9, 11, 133, 136, 143, 147};

std::uint8_t ModelType(DeviceModel eModel)
{
    return eModel == KTR20 ? 2 : 1;
}
std::uint8_t ModelResetCode(DeviceModel eModel)
{
    return eModel == KTR20 ? 144 : 173;
}
std::uint8_t ModelTripCode(DeviceModel eModel)
{
    return eModel == KTR20 ? 3 : 130;
}
const std::uint8_t* ModelCodes(DeviceModel eModel, std::size_t& nCount)
{
    static constexpr std::uint8_t kKlr10Codes[] = {172, 130, 133, 161, 181, 240, 243, 173};
    static constexpr std::uint8_t kKtr20Codes[] = {128, 0, 3, 16, 48, 145, 144};
    nCount = eModel == KTR20 ? std::size(kKtr20Codes) : std::size(kKlr10Codes);
    return eModel == KTR20 ? kKtr20Codes : kKlr10Codes;
}

void AppendWord(CRelayBytes& ab, int nValue)
{
    ab.push_back(static_cast<std::uint8_t>(nValue & 0xFF));
    ab.push_back(static_cast<std::uint8_t>((nValue >> 8) & 0xFF));
}

// Three BCD digits, sign in bit 7 and the decimal places in bits 4 to 6 of the high byte.
void AppendDecimal(CRelayBytes& ab, int nValue, int nDecimals)
{
    const int nMagnitude = std::min(std::abs(nValue), 999);
    ab.push_back(static_cast<std::uint8_t>((((nMagnitude / 10) % 10) << 4) | (nMagnitude % 10)));
    ab.push_back(
        static_cast<std::uint8_t>((nValue < 0 ? 0x80 : 0) | ((nDecimals & 7) << 4) | (nMagnitude / 100)));
}

} // namespace

CProto94Relay::CProto94Relay(std::uint8_t nAddress, DeviceModel eModel, std::int64_t nNowMs)
    : m_nAddress(nAddress), m_eModel(eModel)
{
    m_lastEvent = {kCommonType, kPowerUpCode, m_clock.Now(nNowMs), 0};
    Queue(m_reports, m_lastEvent);
    // One fault is on record from before, so the recording commands have something to show.
    m_lastFault = {ModelType(eModel), ModelTripCode(eModel), m_clock.Now(nNowMs - 3600 * 1000),
                   m_nFaultCount};
}

CRelayBytes CProto94Relay::Answer(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs)
{
    if (pFrame == nullptr || nLength < 5)
        return {};
    if (pFrame[0] != m_nAddress && !m_defects.Has(DEFECT_OTHER_ADDRESS_ANSWERED))
        return {};
    CRelayBytes abAnswer = Respond(pFrame, nLength, nNowMs);
    if (!abAnswer.empty())
        m_abLastAnswer = abAnswer;
    // The defects spoil the CRC on the line only; a repetition is built from the right answer.
    const bool bBadCrc = (pFrame[1] == 0x83 && m_defects.Has(DEFECT_CRC_BAD)) ||
                         (pFrame[1] == 0x84 && m_defects.Has(DEFECT_REPEAT_CRC_BAD));
    if (bBadCrc && abAnswer.size() >= 2)
        abAnswer[abAnswer.size() - 2] ^= 0x5A;
    return abAnswer;
}

CRelayBytes CProto94Relay::Respond(const std::uint8_t* pFrame, int nLength, std::int64_t nNowMs)
{
    const std::uint8_t nCode = pFrame[1];
    // Every command but 81H that carries data starts it with the CPU number; it is echoed.
    std::uint8_t nCpu = (nLength > 5 && nCode != 0x81) ? pFrame[3] : kRelayCpu;
    if (m_defects.Has(DEFECT_CPU_IGNORED))
        nCpu = 0;
    const std::uint8_t nGroup = nLength > 6 ? pFrame[4] : 0xFF;
    switch (nCode)
    {
    case 0x80:
        m_lastEvent = {ModelType(m_eModel), ModelResetCode(m_eModel), m_clock.Now(nNowMs), 0};
        return BuildEvent(m_lastEvent, nCpu);
    case 0x81:
        if (nLength < 12)
            return {};
        if (!m_defects.Has(DEFECT_CLOCK_NOT_SET))
            m_clock.SetTime(DecodeBcdShortStamp(pFrame + 3), nNowMs);
        return BuildClock(nNowMs);
    case 0x82:
        return BuildClock(nNowMs);
    case 0x83:
        return BuildRequest(kRelayCpu);
    case 0x84:
        if (m_defects.Has(DEFECT_REPEAT_DIFFERENT))
            return BuildRequest(kRelayCpu);
        return m_abLastAnswer.empty() ? BuildRequest(kRelayCpu) : m_abLastAnswer;
    case 0x85:
    case 0x8F:
        m_bSettingsChanged = false;
        return BuildSettings(nCpu, nGroup);
    case 0x86:
        return BuildSwitches(nCpu, nNowMs);
    case 0x87:
        return BuildEvent(m_lastEvent, nCpu);
    case 0x88:
        return BuildSamples(0xB8, {nCpu}, 8, 0);
    case 0x8A:
        if (!m_reports.empty() && m_defects.Has(DEFECT_EVENTS_LOST))
        {
            // No report, though the flags still say one waits; and then it is gone.
            const CRelayBytes abAnswer = BuildRequest(kRelayCpu);
            m_reports.pop_front();
            return abAnswer;
        }
        if (!m_reports.empty())
        {
            const CEvent event = m_reports.front();
            m_reports.pop_front();
            ++m_nReportsSent;
            return BuildEvent(event, kRelayCpu);
        }
        if (!m_extendedReports.empty())
        {
            const CEvent event = m_extendedReports.front();
            m_extendedReports.pop_front();
            return BuildExtended(event, kRelayCpu);
        }
        return BuildRequest(kRelayCpu);
    case 0x8E:
        m_reports.clear();
        m_extendedReports.clear();
        return BuildRequest(kRelayCpu);
    case 0x90:
        if (nGroup != 0xFF)
            m_nActiveGroup = nGroup;
        if (!m_defects.Has(DEFECT_GROUP_NO_FLAG))
            m_bSettingsChanged = true;
        return BuildRequest(nCpu);
    case 0x98:
        return BuildExtended(m_lastFault, nCpu);
    case 0x99:
    {
        const int nStep = nLength > 7 ? pFrame[4] | (pFrame[5] << 8) : 0;
        const CRelayBytes abHeader{nCpu, static_cast<std::uint8_t>(nStep & 0xFF),
                                   static_cast<std::uint8_t>(nStep >> 8)};
        // Steps past the end of the recording carry no samples: the master knows it has all.
        return BuildSamples(0xC9, abHeader, nStep >= 1 && nStep <= kRecordingSteps ? kSamplesPerStep : 0,
                            nStep * kSamplesPerStep);
    }
    case 0x9A:
        if (!m_extendedReports.empty())
        {
            const CEvent event = m_extendedReports.front();
            m_extendedReports.pop_front();
            return BuildExtended(event, kRelayCpu);
        }
        return BuildRequest(kRelayCpu);
    default:
        return {};
    }
}

void CProto94Relay::RaiseEvent(std::int64_t nNowMs)
{
    ++m_nEventCount;
    const CRelayTime now = m_clock.Now(nNowMs);
    std::size_t nModelCount = 0;
    const std::uint8_t* pModelCodes = ModelCodes(m_eModel, nModelCount);
    // Odd events come from the model's table, even ones from the common table, each in turn.
    const std::uint32_t nTurn = (m_nEventCount - 1) / 2;
    if (m_nEventCount % 2 == 1)
        m_lastEvent = {ModelType(m_eModel), pModelCodes[nTurn % nModelCount], now, 0};
    else
        m_lastEvent = {kCommonType, kCommonCodes[nTurn % std::size(kCommonCodes)], now, 0};
    Queue(m_reports, m_lastEvent);
    if (m_nEventCount % 3 == 0)
    {
        m_lastFault = {ModelType(m_eModel), ModelTripCode(m_eModel), now, ++m_nFaultCount};
        Queue(m_extendedReports, m_lastFault);
    }
    if (m_nEventCount % 5 == 0)
    {
        m_nSwitchCurrent ^= static_cast<std::uint8_t>(1u << ((m_nEventCount / 5) % 8));
        m_bSwitchesChanged = true;
    }
}

void CProto94Relay::Queue(std::deque<CEvent>& queue, const CEvent& event)
{
    // A relay's report memory is finite: the oldest report is overwritten.
    if (queue.size() >= kMaxWaitingReports)
        queue.pop_front();
    queue.push_back(event);
}

std::uint8_t CProto94Relay::RequestFlags() const
{
    std::uint8_t nFlags = 0;
    if (m_bSwitchesChanged)
        nFlags |= 0x01;
    if (m_bSettingsChanged)
        nFlags |= 0x02;
    // A relay with the stuck flag says reports wait once it has sent the last.
    if (!m_reports.empty() || (m_defects.Has(DEFECT_EVENTS_FLAG_STUCK) && m_nReportsSent > 0))
        nFlags |= 0x04;
    if (!m_extendedReports.empty())
        nFlags |= 0x08;
    return nFlags;
}

CRelayBytes CProto94Relay::BuildFrame(std::uint8_t nCode, const CRelayBytes& abData) const
{
    CRelayBytes abFrame;
    abFrame.reserve(abData.size() + 5);
    abFrame.push_back(m_nAddress);
    abFrame.push_back(nCode);
    abFrame.push_back(static_cast<std::uint8_t>(abData.size()));
    for (const std::uint8_t b : abData)
        abFrame.push_back(b);
    AppendWord(abFrame, Crc16Arc(abFrame.data(), abFrame.size()));
    return abFrame;
}

CRelayBytes CProto94Relay::BuildEvent(const CEvent& event, std::uint8_t nCpu) const
{
    CRelayBytes abData(10);
    abData[0] = nCpu;
    BuildBcdStamp(event.time, abData.data() + 1);
    abData.push_back(event.nType);
    abData.push_back(event.nCode);
    return BuildFrame(0xB0, abData);
}

CRelayBytes CProto94Relay::BuildExtended(const CEvent& event, std::uint8_t nCpu) const
{
    CRelayBytes abData(10);
    abData[0] = nCpu;
    BuildBcdStamp(event.time, abData.data() + 1);
    AppendWord(abData, event.nFault);
    abData.push_back(0x07); // phases A, B and C
    abData.push_back(event.nType);
    abData.push_back(event.nCode);
    AppendWord(abData, (event.nFault * 37) % 1000);
    return BuildFrame(0xCA, abData);
}

CRelayBytes CProto94Relay::BuildClock(std::int64_t nNowMs) const
{
    CRelayBytes abData(9);
    BuildBcdStamp(m_clock.Now(nNowMs), abData.data());
    return BuildFrame(0xB7, abData);
}

CRelayBytes CProto94Relay::BuildRequest(std::uint8_t nCpu) const
{
    return BuildFrame(0xBA, {nCpu, RequestFlags()});
}

CRelayBytes CProto94Relay::BuildSettings(std::uint8_t nCpu, std::uint8_t nGroup) const
{
    const int nShownGroup = nGroup == 0xFF ? m_nActiveGroup : nGroup;
    CRelayBytes abRecords;
    auto AppendRows = [&](const auto& rows)
    {
        for (const CSettingRow& row : rows)
        {
            abRecords.push_back(row.nCode);
            abRecords.push_back(row.eKind);
            switch (row.eKind)
            {
            case SET_BYTE:
                abRecords.push_back(static_cast<std::uint8_t>(row.nValue));
                break;
            case SET_DECIMAL:
            {
                // Each setting group holds its own values: a little higher per group.
                const int nStep = row.nValue < 0 ? -5 : 5;
                AppendDecimal(abRecords, row.nValue + nStep * (nShownGroup % 8), row.nDecimals);
                break;
            }
            case SET_HEX:
            case SET_WORD:
                AppendWord(abRecords, row.nValue);
                break;
            case SET_FLAG:
                break;
            }
        }
    };
    std::size_t nRows = 0;
    if (m_eModel == KTR20)
    {
        AppendRows(kKtr20Settings);
        nRows = std::size(kKtr20Settings);
    }
    else
    {
        AppendRows(kKlr10Settings);
        nRows = std::size(kKlr10Settings);
    }
    CRelayBytes abData{nCpu, static_cast<std::uint8_t>(nShownGroup), static_cast<std::uint8_t>(nRows)};
    abData.insert(abData.end(), abRecords.begin(), abRecords.end());
    return BuildFrame(0xBD, abData);
}

CRelayBytes CProto94Relay::BuildSwitches(std::uint8_t nCpu, std::int64_t nNowMs)
{
    m_bSwitchesChanged = false;
    CRelayBytes abData(10);
    abData[0] = nCpu;
    BuildBcdStamp(m_clock.Now(nNowMs), abData.data() + 1);
    for (int i = 0; i < 8; ++i)
    {
        abData.push_back(static_cast<std::uint8_t>(i + 1));
        abData.push_back(static_cast<std::uint8_t>((m_nSwitchInitial >> i) & 1));
        abData.push_back(static_cast<std::uint8_t>((m_nSwitchCurrent >> i) & 1));
    }
    return BuildFrame(0xBE, abData);
}

CRelayBytes CProto94Relay::BuildSamples(std::uint8_t nCode, const CRelayBytes& abHeader, int nCount,
                                        int nPhase) const
{
    CRelayBytes abData = abHeader;
    for (int i = 0; i < nCount; ++i)
    {
        // A 50 Hz wave sampled 16 times a period, amplitude 1000.
        const double dAngle = 2.0 * std::numbers::pi * (nPhase + i) / 16.0;
        AppendWord(abData, static_cast<int>(std::lround(1000.0 * std::sin(dAngle))) & 0xFFFF);
    }
    return BuildFrame(nCode, abData);
}

} // namespace relvane
