// The data file of a COMTRADE record: ASCII lines or fixed-size binary samples. How many samples
// are read is bounded by the file's own length; the configuration's count only caps it.
#include "disturbance/ComtradeFields.h"
#include "disturbance/ComtradeReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace relvane
{
namespace
{

using comtrade::LineError;
using comtrade::ParseReal;
using comtrade::Quoted;

constexpr float kMissing = std::numeric_limits<float>::quiet_NaN();

// Each sample's time from the configuration's rates: the first sample at 0, each one 1/samp
// after the one before at the rate of the segment it belongs to.
class CRateClock
{
public:
    explicit CRateClock(const std::vector<CComtradeRate>& rates) : m_rates(rates) {}

    double TimeOf(std::int64_t nSample)
    {
        while (m_nSegment + 1 < m_rates.size() && nSample >= m_rates[m_nSegment].nEndSample)
        {
            // The segment's last sample, then the next segment's rate from there.
            m_dBase += static_cast<double>(m_rates[m_nSegment].nEndSample - 1 - m_nFirst) /
                       m_rates[m_nSegment].dSamplesPerSecond;
            m_nFirst = m_rates[m_nSegment].nEndSample - 1;
            ++m_nSegment;
        }
        return m_dBase + static_cast<double>(nSample - m_nFirst) / m_rates[m_nSegment].dSamplesPerSecond;
    }

private:
    const std::vector<CComtradeRate>& m_rates;
    std::size_t m_nSegment = 0;
    std::int64_t m_nFirst = 0; // the sample (from 0) the segment's times count from
    double m_dBase = 0.0;
};

bool RatesGiveTimes(const CComtradeRecord& record)
{
    return std::all_of(record.rates.begin(), record.rates.end(),
                       [](const CComtradeRate& rate) { return rate.dSamplesPerSecond > 0.0; });
}

// A value's field by its position and, where it has one, its channel's name.
std::string ChannelField(char cKind, std::size_t i, const std::string& strId)
{
    std::string str = cKind + std::to_string(i + 1);
    return strId.empty() ? str : str + " (" + strId + ")";
}

// One sample's time, from the rates or from its time stamp; false when a time stamp that is
// needed is missing or goes back.
class CSampleTimes
{
public:
    explicit CSampleTimes(CComtradeRecord& record)
        : m_record(record), m_clock(record.rates), m_bRates(RatesGiveTimes(record))
    {
    }

    bool NeedsStamps() const { return !m_bRates; }

    bool Add(std::int64_t nSample, double dStamp, bool bStampMissing, std::string& strReason)
    {
        double dTime = 0.0;
        if (m_bRates)
            dTime = m_clock.TimeOf(nSample);
        else
        {
            if (bStampMissing)
            {
                strReason = "缺少时间标记, 配置文件也没有采样率";
                return false;
            }
            // Counted from the first sample, whose stamp is usually but not always 0.
            if (m_record.times.empty())
                m_dFirstStamp = dStamp;
            dTime = (dStamp - m_dFirstStamp) * m_record.dTimeMultiplier * m_record.dTimeStampUnit;
            if (!std::isfinite(dTime))
            {
                strReason = "时间超出范围";
                return false;
            }
            if (!m_record.times.empty() && dTime < m_record.times.back())
            {
                strReason = "时间标记比上一个采样早";
                return false;
            }
        }
        m_record.times.push_back(dTime);
        return true;
    }

private:
    CComtradeRecord& m_record;
    CRateClock m_clock;
    bool m_bRates;
    double m_dFirstStamp = 0.0;
};

void ReserveSamples(CComtradeRecord& record, std::size_t nSamples)
{
    record.times.reserve(nSamples);
    for (CComtradeAnalog& analog : record.analogs)
        analog.values.reserve(nSamples);
    for (CComtradeDigital& digital : record.digitals)
        digital.states.reserve(nSamples);
}

std::string ShortNote(std::size_t nRead, std::int64_t nPromised)
{
    return "数据文件只有 " + std::to_string(nRead) + " 个采样, 配置文件给出 " + std::to_string(nPromised) +
           " 个: 只显示已有的采样";
}

bool ParseAscii(const std::uint8_t* pData, std::size_t nSize, CComtradeRecord& record, std::string& strError)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    const std::size_t nAnalogs = record.analogs.size();
    const std::size_t nDigitals = record.digitals.size();
    const std::size_t nFields = 2 + nAnalogs + nDigitals;
    // A sample's line holds at least its separators and line end.
    const auto nMost = std::min<std::uint64_t>(static_cast<std::uint64_t>(record.nPromisedSamples),
                                               nSize / (nFields + 1) + 1);
    ReserveSamples(record, static_cast<std::size_t>(nMost));
    CSampleTimes times(record);
    std::size_t nStart = 0;
    std::size_t nLine = 0;
    std::vector<std::string_view> fields;
    while (nStart < text.size() && static_cast<std::int64_t>(record.times.size()) < record.nPromisedSamples)
    {
        std::size_t nEnd = text.find('\n', nStart);
        const bool bEnded = nEnd != std::string_view::npos;
        if (!bEnded)
            nEnd = text.size();
        const std::string_view line = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        ++nLine;
        const std::string_view trimmed = comtrade::Trimmed(line);
        if (trimmed.empty() || trimmed == "\x1A")
            continue;
        fields = comtrade::SplitFields(line);
        // One empty field after a trailing comma is no field.
        if (fields.size() == nFields + 1 && fields.back().empty())
            fields.pop_back();
        if (fields.size() < nFields && !bEnded)
        {
            // The last line broke off: the file was cut in the middle of a sample.
            record.strNote = "数据文件的最后一行不完整, 未读";
            break;
        }
        auto fail = [&](const std::string& strField, const std::string& strReason)
        {
            strError = LineError(nLine, strField, strReason);
            return false;
        };
        if (fields.size() < nFields)
        {
            const std::size_t i = fields.size();
            return fail(i == 1 ? "timestamp"
                        : i - 2 < nAnalogs
                            ? ChannelField('A', i - 2, record.analogs[i - 2].strId)
                            : ChannelField('D', i - 2 - nAnalogs, record.digitals[i - 2 - nAnalogs].strId),
                        "缺少此字段");
        }
        if (fields.size() > nFields)
            return fail("D" + std::to_string(nDigitals) + "之后",
                        "多出 " + std::to_string(fields.size() - nFields) + " 个字段");
        double d = 0.0;
        if (!ParseReal(fields[0], d))
            return fail("n", "不是数字 " + Quoted(fields[0]));
        double dStamp = 0.0;
        const bool bStampMissing = fields[1].empty();
        if (!bStampMissing && !ParseReal(fields[1], dStamp))
            return fail("timestamp", "不是数字 " + Quoted(fields[1]));
        std::string strReason;
        if (!times.Add(static_cast<std::int64_t>(record.times.size()), dStamp, bStampMissing, strReason))
            return fail("timestamp", strReason);
        for (std::size_t i = 0; i < nAnalogs; ++i)
        {
            CComtradeAnalog& analog = record.analogs[i];
            const std::string_view value = fields[2 + i];
            if (value.empty())
            {
                analog.values.push_back(kMissing);
                continue;
            }
            if (!ParseReal(value, d))
                return fail(ChannelField('A', i, analog.strId), "不是数字 " + Quoted(value));
            analog.values.push_back(static_cast<float>(analog.dA * d + analog.dB));
        }
        for (std::size_t i = 0; i < nDigitals; ++i)
        {
            const std::string_view value = fields[2 + nAnalogs + i];
            if (!value.empty() && value != "0" && value != "1")
                return fail(ChannelField('D', i, record.digitals[i].strId), "不是0或1 " + Quoted(value));
            record.digitals[i].states.push_back(value == "1" ? 1 : 0);
        }
    }
    if (record.times.empty())
    {
        strError = "数据文件没有采样 (配置文件给出 " + std::to_string(record.nPromisedSamples) + " 个)";
        return false;
    }
    if (static_cast<std::int64_t>(record.times.size()) < record.nPromisedSamples)
        record.strNote +=
            (record.strNote.empty() ? "" : "; ") + ShortNote(record.times.size(), record.nPromisedSamples);
    return true;
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool ParseBinary(const std::uint8_t* pData, std::size_t nSize, CComtradeRecord& record, std::string& strError)
{
    const std::size_t nAnalogs = record.analogs.size();
    const std::size_t nDigitals = record.digitals.size();
    const std::size_t nValueBytes = record.eFormat == ComtradeDataFormat::Binary ? 2 : 4;
    const std::size_t nWords = (nDigitals + 15) / 16;
    const std::size_t nSampleBytes = 8 + nAnalogs * nValueBytes + nWords * 2;
    const std::size_t nWhole = nSize / nSampleBytes;
    const auto nSamples = static_cast<std::size_t>(
        std::min<std::uint64_t>(nWhole, static_cast<std::uint64_t>(record.nPromisedSamples)));
    if (nSamples == 0)
    {
        strError = "数据文件没有一个完整的采样 (配置文件给出 " + std::to_string(record.nPromisedSamples) +
                   " 个, 每个 " + std::to_string(nSampleBytes) + " 字节, 文件 " + std::to_string(nSize) +
                   " 字节)";
        return false;
    }
    ReserveSamples(record, nSamples);
    CSampleTimes times(record);
    for (std::size_t nSample = 0; nSample < nSamples; ++nSample)
    {
        const std::uint8_t* p = pData + nSample * nSampleBytes;
        const std::uint32_t nStamp = Le32(p + 4);
        std::string strReason;
        if (!times.Add(static_cast<std::int64_t>(nSample), static_cast<double>(nStamp), nStamp == 0xFFFFFFFFu,
                       strReason))
        {
            strError = "第" + std::to_string(nSample + 1) + "个采样 timestamp: " + strReason;
            return false;
        }
        p += 8;
        for (CComtradeAnalog& analog : record.analogs)
        {
            float fValue = kMissing;
            if (record.eFormat == ComtradeDataFormat::Binary)
            {
                const std::uint16_t nRaw = Le16(p);
                if (nRaw != 0x8000u)
                    fValue = static_cast<float>(analog.dA * static_cast<std::int16_t>(nRaw) + analog.dB);
            }
            else if (record.eFormat == ComtradeDataFormat::Binary32)
            {
                const std::uint32_t nRaw = Le32(p);
                if (nRaw != 0x80000000u)
                    fValue = static_cast<float>(analog.dA * static_cast<std::int32_t>(nRaw) + analog.dB);
            }
            else
            {
                const std::uint32_t nRaw = Le32(p);
                float fRaw = 0.0f;
                std::memcpy(&fRaw, &nRaw, sizeof fRaw);
                // Not a number marks a missing value; an infinity is drawn as one too.
                if (std::isfinite(fRaw))
                    fValue = static_cast<float>(analog.dA * fRaw + analog.dB);
            }
            analog.values.push_back(fValue);
            p += nValueBytes;
        }
        for (std::size_t i = 0; i < nDigitals; ++i)
            record.digitals[i].states.push_back(
                static_cast<std::uint8_t>((Le16(p + 2 * (i / 16)) >> (i % 16)) & 1));
    }
    if (static_cast<std::int64_t>(nSamples) < record.nPromisedSamples)
    {
        record.strNote = ShortNote(nSamples, record.nPromisedSamples);
        if (nSize % nSampleBytes != 0)
            record.strNote += " (最后 " + std::to_string(nSize % nSampleBytes) + " 字节不足一个采样)";
    }
    return true;
}

} // namespace

bool ParseComtradeData(const std::uint8_t* pData, std::size_t nSize, CComtradeRecord& record,
                       std::string& strError)
{
    record.times.clear();
    record.strNote.clear();
    for (CComtradeAnalog& analog : record.analogs)
        analog.values.clear();
    for (CComtradeDigital& digital : record.digitals)
        digital.states.clear();
    const bool bOk = record.eFormat == ComtradeDataFormat::Ascii
                         ? ParseAscii(pData, nSize, record, strError)
                         : ParseBinary(pData, nSize, record, strError);
    if (!bOk)
    {
        // Half a record is no record: the caller gets the configuration back without data.
        record.times.clear();
        for (CComtradeAnalog& analog : record.analogs)
            analog.values.clear();
        for (CComtradeDigital& digital : record.digitals)
            digital.states.clear();
    }
    return bOk;
}

} // namespace relvane
