// The configuration file of a COMTRADE record, line by line as the three revisions lay it out.
// Every count the file gives is checked against the lines that are there before anything is
// sized by it, so that a file of a few bytes never asks for gigabytes.
#include "common/CivilDays.h"
#include "disturbance/ComtradeFields.h"
#include "disturbance/ComtradeReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace relvane
{
namespace
{

using comtrade::LineError;
using comtrade::ParseInteger;
using comtrade::ParseReal;
using comtrade::Quoted;
using comtrade::SplitFields;

// The configuration's lines and where the reader stands; every failure names the line it is on.
class CConfigLines
{
public:
    explicit CConfigLines(std::string_view text)
    {
        std::size_t nStart = 0;
        while (nStart < text.size())
        {
            std::size_t nEnd = text.find('\n', nStart);
            if (nEnd == std::string_view::npos)
                nEnd = text.size();
            m_lines.push_back(text.substr(nStart, nEnd - nStart));
            nStart = nEnd + 1;
        }
        // Blank lines and an old end-of-file mark (Ctrl-Z) after the last field are not lines.
        while (!m_lines.empty() &&
               (comtrade::Trimmed(m_lines.back()).empty() || comtrade::Trimmed(m_lines.back()) == "\x1A"))
            m_lines.pop_back();
    }

    bool AtEnd() const { return m_nNext >= m_lines.size(); }
    std::size_t Remaining() const { return m_lines.size() - std::min(m_nNext, m_lines.size()); }
    std::size_t LineNumber() const { return m_nNext; } // of the line last taken, from 1

    // The next line's fields, or false with "the file ends" named by the first field expected.
    bool Next(std::string_view firstField, std::vector<std::string_view>& fields)
    {
        if (AtEnd())
        {
            m_strError = LineError(m_nNext + 1, firstField, "文件在此之前结束");
            return false;
        }
        fields = SplitFields(m_lines[m_nNext++]);
        return true;
    }

    bool Fail(std::string_view field, const std::string& strReason)
    {
        m_strError = LineError(m_nNext, field, strReason);
        return false;
    }

    // Field nIndex of the line, or a failure naming it as missing.
    bool Field(const std::vector<std::string_view>& fields, std::size_t nIndex, std::string_view name,
               std::string_view& value)
    {
        if (nIndex >= fields.size())
            return Fail(name, "缺少此字段");
        value = fields[nIndex];
        return true;
    }

    bool Real(const std::vector<std::string_view>& fields, std::size_t nIndex, std::string_view name,
              double& d)
    {
        std::string_view value;
        if (!Field(fields, nIndex, name, value))
            return false;
        return ParseReal(value, d) || Fail(name, "不是数字 " + Quoted(value));
    }

    bool Integer(const std::vector<std::string_view>& fields, std::size_t nIndex, std::string_view name,
                 std::int64_t nMin, std::int64_t nMax, std::int64_t& n)
    {
        std::string_view value;
        if (!Field(fields, nIndex, name, value))
            return false;
        if (!ParseInteger(value, n))
            return Fail(name, "不是整数 " + Quoted(value));
        if (n < nMin || n > nMax)
            return Fail(name, "超出范围 " + Quoted(value));
        return true;
    }

    const std::string& Error() const { return m_strError; }

private:
    std::vector<std::string_view> m_lines;
    std::size_t m_nNext = 0;
    std::string m_strError;
};

std::string Text(std::string_view field)
{
    return std::string(field);
}

// A count with its letter after it, as "8A" or "2D".
bool CountWithLetter(CConfigLines& lines, const std::vector<std::string_view>& fields, std::size_t nIndex,
                     std::string_view name, char cLetter, std::int64_t& n)
{
    std::string_view value;
    if (!lines.Field(fields, nIndex, name, value))
        return false;
    if (value.empty() || std::toupper(static_cast<unsigned char>(value.back())) != cLetter ||
        !ParseInteger(value.substr(0, value.size() - 1), n) || n < 0)
        return lines.Fail(name, std::string("不是以") + cLetter + "结尾的通道数 " + Quoted(value));
    return true;
}

// A date and time as whole seconds since 1970 and the fraction apart, so that two of them
// subtract to the nanosecond.
struct CStamp
{
    std::int64_t nSeconds = 0;
    double dFraction = 0.0;
};

// "dd/mm/yyyy,hh:mm:ss.ssssss" (1999, 2013) or "mm/dd/yy,hh:mm:ss.ssssss" (1991), and the number
// of decimals of its seconds.
bool DateTime(CConfigLines& lines, const std::vector<std::string_view>& fields, int nRevision, CStamp& stamp,
              std::size_t& nDecimals)
{
    const char* pszDateName = nRevision == 1991 ? "mm/dd/yy" : "dd/mm/yyyy";
    std::string_view date;
    std::string_view time;
    if (!lines.Field(fields, 0, pszDateName, date) || !lines.Field(fields, 1, "hh:mm:ss.ssssss", time))
        return false;
    std::int64_t anDate[3] = {};
    std::size_t nStart = 0;
    for (int i = 0; i < 3; ++i)
    {
        const std::size_t nSlash = i < 2 ? date.find('/', nStart) : date.size();
        if (nSlash == std::string_view::npos ||
            !ParseInteger(date.substr(nStart, nSlash - nStart), anDate[i]) || anDate[i] < 0)
            return lines.Fail(pszDateName, "不是日期 " + Quoted(date));
        nStart = nSlash + 1;
    }
    std::int64_t nDay = nRevision == 1991 ? anDate[1] : anDate[0];
    std::int64_t nMonth = nRevision == 1991 ? anDate[0] : anDate[1];
    std::int64_t nYear = anDate[2];
    if (nYear < 100)
        nYear += nYear < 70 ? 2000 : 1900;
    if (nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > 31 || nYear > 9999)
        return lines.Fail(pszDateName, "不是日期 " + Quoted(date));

    std::int64_t nHour = 0;
    std::int64_t nMinute = 0;
    double dSecond = 0.0;
    const std::size_t nColon1 = time.find(':');
    const std::size_t nColon2 = nColon1 == std::string_view::npos ? nColon1 : time.find(':', nColon1 + 1);
    if (nColon2 == std::string_view::npos || !ParseInteger(time.substr(0, nColon1), nHour) ||
        !ParseInteger(time.substr(nColon1 + 1, nColon2 - nColon1 - 1), nMinute) ||
        !ParseReal(time.substr(nColon2 + 1), dSecond) || nHour < 0 || nHour > 23 || nMinute < 0 ||
        nMinute > 59 || dSecond < 0.0 || dSecond >= 61.0)
        return lines.Fail("hh:mm:ss.ssssss", "不是时间 " + Quoted(time));
    const std::size_t nPoint = time.find('.');
    nDecimals = nPoint == std::string_view::npos ? 0 : time.size() - nPoint - 1;
    const double dWhole = std::floor(dSecond);
    stamp.nSeconds =
        DaysFromCivil(nYear, static_cast<int>(nMonth), static_cast<int>(nDay)) * 86400 +
        nHour * 3600 + nMinute * 60 + static_cast<std::int64_t>(dWhole);
    stamp.dFraction = dSecond - dWhole;
    return true;
}

bool AnalogLine(CConfigLines& lines, const std::vector<std::string_view>& fields, CComtradeAnalog& analog)
{
    std::string_view value;
    if (!lines.Field(fields, 1, "ch_id", value))
        return false;
    analog.strId = Text(value);
    if (!lines.Field(fields, 2, "ph", value))
        return false;
    analog.strPhase = Text(value);
    if (!lines.Field(fields, 3, "ccbm", value))
        return false;
    analog.strCircuit = Text(value);
    if (!lines.Field(fields, 4, "uu", value))
        return false;
    analog.strUnit = Text(value);
    if (!lines.Real(fields, 5, "a", analog.dA) || !lines.Real(fields, 6, "b", analog.dB))
        return false;
    // Skew, min and max may be left empty by some recorders; they only describe the values.
    struct CDescriptive
    {
        std::size_t nIndex;
        const char* pszName;
        double* pd;
    };
    for (const CDescriptive& field :
         {CDescriptive{7, "skew", &analog.dSkew}, CDescriptive{8, "min", &analog.dMin},
          CDescriptive{9, "max", &analog.dMax}})
    {
        if (!lines.Field(fields, field.nIndex, field.pszName, value))
            return false;
        if (!value.empty() && !ParseReal(value, *field.pd))
            return lines.Fail(field.pszName, "不是数字 " + Quoted(value));
    }
    if (fields.size() <= 10)
        return true; // 1991: no primary, secondary and PS
    if (!lines.Real(fields, 10, "primary", analog.dPrimary) ||
        !lines.Real(fields, 11, "secondary", analog.dSecondary) || !lines.Field(fields, 12, "PS", value))
        return false;
    if (value != "P" && value != "p" && value != "S" && value != "s")
        return lines.Fail("PS", "不是P或S " + Quoted(value));
    analog.cScaling = static_cast<char>(std::toupper(static_cast<unsigned char>(value.front())));
    return true;
}

bool DigitalLine(CConfigLines& lines, const std::vector<std::string_view>& fields, CComtradeDigital& digital)
{
    std::string_view value;
    if (!lines.Field(fields, 1, "ch_id", value))
        return false;
    digital.strId = Text(value);
    // 1991: Dn,ch_id,y; later: Dn,ch_id,ph,ccbm,y.
    std::size_t nNormal = 2;
    if (fields.size() > 3)
    {
        digital.strPhase = Text(fields[2]);
        if (!lines.Field(fields, 3, "ccbm", value))
            return false;
        digital.strCircuit = Text(value);
        nNormal = 4;
    }
    if (!lines.Field(fields, nNormal, "y", value))
        return false;
    if (value.empty())
        return true;
    if (value != "0" && value != "1")
        return lines.Fail("y", "不是0或1 " + Quoted(value));
    digital.nNormal = value == "1" ? 1 : 0;
    return true;
}

bool DataFormat(std::string_view value, ComtradeDataFormat& eFormat)
{
    std::string strUpper;
    for (const char c : value)
        strUpper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const std::pair<const char*, ComtradeDataFormat> kFormats[] = {
        {"ASCII", ComtradeDataFormat::Ascii},
        {"BINARY", ComtradeDataFormat::Binary},
        {"BINARY32", ComtradeDataFormat::Binary32},
        {"FLOAT32", ComtradeDataFormat::Float32},
    };
    for (const auto& [pszName, eValue] : kFormats)
    {
        if (strUpper == pszName)
        {
            eFormat = eValue;
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseComtradeConfig(std::string_view text, CComtradeRecord& record, std::string& strError)
{
    record = CComtradeRecord();
    CConfigLines lines(text);
    std::vector<std::string_view> fields;
    auto fail = [&]
    {
        strError = lines.Error();
        return false;
    };
    std::string_view value;

    if (!lines.Next("station_name", fields) || !lines.Field(fields, 1, "rec_dev_id", value))
        return fail();
    record.strStation = Text(fields[0]);
    record.strDevice = Text(value);
    if (fields.size() > 2 && !fields[2].empty())
    {
        std::int64_t nYear = 0;
        if (!ParseInteger(fields[2], nYear) || (nYear != 1991 && nYear != 1999 && nYear != 2013))
        {
            lines.Fail("rev_year", "不是1991、1999或2013 " + Quoted(fields[2]));
            return fail();
        }
        record.nRevision = static_cast<int>(nYear);
    }

    std::int64_t nTotal = 0;
    std::int64_t nAnalogs = 0;
    std::int64_t nDigitals = 0;
    if (!lines.Next("TT", fields) || !lines.Integer(fields, 0, "TT", 0, INT32_MAX, nTotal) ||
        !CountWithLetter(lines, fields, 1, "##A", 'A', nAnalogs) ||
        !CountWithLetter(lines, fields, 2, "##D", 'D', nDigitals))
        return fail();
    if (nAnalogs + nDigitals != nTotal)
    {
        lines.Fail("TT",
                   "不等于##A与##D之和 (" + std::to_string(nAnalogs) + "+" + std::to_string(nDigitals) + ")");
        return fail();
    }
    // Each channel takes a line: more channels than lines is a damaged file, not an allocation.
    if (static_cast<std::uint64_t>(nTotal) > lines.Remaining())
    {
        lines.Fail("TT", "通道数 " + std::to_string(nTotal) + " 多于文件的行数");
        return fail();
    }
    record.analogs.resize(static_cast<std::size_t>(nAnalogs));
    record.digitals.resize(static_cast<std::size_t>(nDigitals));
    for (CComtradeAnalog& analog : record.analogs)
    {
        if (!lines.Next("An", fields) || !AnalogLine(lines, fields, analog))
            return fail();
    }
    for (CComtradeDigital& digital : record.digitals)
    {
        if (!lines.Next("Dn", fields) || !DigitalLine(lines, fields, digital))
            return fail();
    }

    if (!lines.Next("lf", fields))
        return fail();
    if (!fields[0].empty() && !lines.Real(fields, 0, "lf", record.dLineFrequency))
        return fail();

    std::int64_t nRates = 0;
    if (!lines.Next("nrates", fields) || !lines.Integer(fields, 0, "nrates", 0, INT32_MAX, nRates))
        return fail();
    if (static_cast<std::uint64_t>(nRates) > lines.Remaining())
    {
        lines.Fail("nrates", "采样率个数 " + std::to_string(nRates) + " 多于文件的行数");
        return fail();
    }
    // With no rate given, one line still says how many samples there are (samp 0).
    for (std::int64_t i = 0; i < std::max<std::int64_t>(nRates, 1); ++i)
    {
        CComtradeRate rate;
        const std::int64_t nPrevious = record.rates.empty() ? 0 : record.rates.back().nEndSample;
        if (!lines.Next("samp", fields) || !lines.Real(fields, 0, "samp", rate.dSamplesPerSecond) ||
            !lines.Integer(fields, 1, "endsamp", nPrevious + 1, INT64_MAX / 2, rate.nEndSample))
            return fail();
        if (rate.dSamplesPerSecond < 0.0)
        {
            lines.Fail("samp", "不能为负 " + Quoted(fields[0]));
            return fail();
        }
        record.rates.push_back(rate);
    }
    record.nPromisedSamples = record.rates.back().nEndSample;

    CStamp start;
    CStamp trigger;
    std::size_t nDecimals = 0;
    std::size_t nTriggerDecimals = 0;
    if (!lines.Next("dd/mm/yyyy", fields) || !DateTime(lines, fields, record.nRevision, start, nDecimals))
        return fail();
    record.strStart = Text(fields[0]) + "," + Text(fields[1]);
    if (!lines.Next("dd/mm/yyyy", fields) ||
        !DateTime(lines, fields, record.nRevision, trigger, nTriggerDecimals))
        return fail();
    record.strTrigger = Text(fields[0]) + "," + Text(fields[1]);
    record.dTriggerSeconds =
        static_cast<double>(trigger.nSeconds - start.nSeconds) + (trigger.dFraction - start.dFraction);
    // Dates to the nanosecond mean time stamps counted in nanoseconds.
    record.dTimeStampUnit = nDecimals > 6 ? 1e-9 : 1e-6;

    if (!lines.Next("ft", fields))
        return fail();
    if (!DataFormat(fields[0], record.eFormat))
    {
        lines.Fail("ft", "不是ASCII、BINARY、BINARY32或FLOAT32 " + Quoted(fields[0]));
        return fail();
    }

    // The time multiplier came with 1999; a 1991 file ends here.
    if (lines.AtEnd())
        return true;
    if (!lines.Next("timemult", fields) || !lines.Real(fields, 0, "timemult", record.dTimeMultiplier))
        return fail();
    if (record.dTimeMultiplier <= 0.0)
    {
        lines.Fail("timemult", "必须大于0 " + Quoted(fields[0]));
        return fail();
    }
    // 2013: time_code,local_code and tmq_code,leapsec, both optional here as they only describe.
    if (!lines.AtEnd() && lines.Next("time_code", fields))
    {
        record.strTimeCode = Text(fields[0]);
        if (lines.Field(fields, 1, "local_code", value))
            record.strLocalCode = Text(value);
        else
            return fail();
    }
    return true;
}

} // namespace relvane
