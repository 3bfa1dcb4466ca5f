#include "disturbance/ComtradeWriter.h"

#include "common/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <system_error>
#include <utility>

namespace relvane
{
namespace
{

// The extreme values a 1999 binary file may hold (-32768 marks a missing value there).
constexpr int kMinValue = -32767;
constexpr int kMaxValue = 32767;

// COMTRADE 1999 text fields: printable ASCII without the field separator.
std::string Field(const std::string& strText)
{
    std::string str;
    for (const char c : strText)
        str += (c >= 0x20 && c < 0x7F && c != ',') ? c : '_';
    return str;
}

std::string Format(const char* pszFormat, double d)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, pszFormat, d);
    return sz;
}

std::string DateTime(const CRecordTime& time)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%02d/%02d/%04d,%02d:%02d:%02d.%06d", time.nDay, time.nMonth, time.nYear,
                  time.nHour, time.nMinute, time.nSecond, time.nMicrosecond);
    return sz;
}

// Channel names and phases of the standard actual channel numbers.
struct CChannelName
{
    const char* pszId;
    const char* pszPhase;
    const char* pszUnit;
};

CChannelName ChannelName(std::uint8_t nAcc)
{
    static const CChannelName kNames[] = {
        {"IL1", "A", "A"},  {"IL2", "B", "A"},  {"IL3", "C", "A"},  {"IN", "N", "A"},
        {"UL1E", "A", "V"}, {"UL2E", "B", "V"}, {"UL3E", "C", "V"}, {"UEN", "N", "V"},
    };
    if (nAcc >= 1 && nAcc <= 8)
        return kNames[nAcc - 1];
    return {nullptr, "", ""};
}

// Names of the tagged signals of the compatible range.
const char* SignalName(std::uint8_t nInf)
{
    switch (nInf)
    {
    case 64:
        return "Start L1";
    case 65:
        return "Start L2";
    case 66:
        return "Start L3";
    case 67:
        return "Start IN";
    case 68:
        return "General trip";
    case 69:
        return "Trip L1";
    case 70:
        return "Trip L2";
    case 71:
        return "Trip L3";
    case 84:
        return "General start";
    case 85:
        return "Breaker failure";
    default:
        return nullptr;
    }
}

// The tagged signals in the order they first appear, and each one's state per sample.
struct CDigitalChannel
{
    std::uint8_t nFun = 0;
    std::uint8_t nInf = 0;
    std::vector<std::uint8_t> states;
};

std::vector<CDigitalChannel> DigitalChannels(const CDisturbanceRecord& record)
{
    std::vector<CDigitalChannel> digitals;
    std::vector<CDisturbanceTag> tags = record.tags;
    std::stable_sort(tags.begin(), tags.end(),
                     [](const CDisturbanceTag& a, const CDisturbanceTag& b) { return a.nPosition < b.nPosition; });
    for (const CDisturbanceTag& tag : record.tags)
    {
        const bool bKnown = std::any_of(digitals.begin(), digitals.end(),
                                        [&tag](const CDigitalChannel& d)
                                        { return d.nFun == tag.nFun && d.nInf == tag.nInf; });
        if (!bKnown)
            digitals.push_back({tag.nFun, tag.nInf, {}});
    }
    const auto nSamples = static_cast<std::size_t>(std::max(record.nElements, 0));
    for (CDigitalChannel& digital : digitals)
    {
        digital.states.assign(nSamples, 0);
        for (const CDisturbanceTag& tag : tags)
        {
            if (tag.nFun != digital.nFun || tag.nInf != digital.nInf || tag.nPosition < 0)
                continue;
            // DPI 2 is on, anything else off, from the tag's sample to the end (or the next tag).
            const std::uint8_t nState = tag.nDpi == 2 ? 1 : 0;
            for (std::size_t i = static_cast<std::size_t>(tag.nPosition); i < nSamples; ++i)
                digital.states[i] = nState;
        }
    }
    return digitals;
}

std::int16_t Clamped(std::int16_t nValue)
{
    return static_cast<std::int16_t>(std::max<int>(nValue, kMinValue));
}

void AppendLe(std::vector<std::uint8_t>& ab, std::uint32_t nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        ab.push_back(static_cast<std::uint8_t>((nValue >> (8 * i)) & 0xFF));
}

// Opens and fills one file of the pair; the file stays a hidden temporary until it is placed.
bool FillFile(CWholeFile& file, const std::filesystem::path& path, const void* pBytes, std::size_t nCount,
              std::string& strError)
{
    if (file.Open(path.string()) && file.Write(pBytes, nCount) && file.Finish())
        return true;
    strError = "无法写入文件 " + path.string() + ": " + std::strerror(file.Error());
    file.Cancel();
    return false;
}

} // namespace

std::string ComtradeBaseName(const CDisturbanceRecord& record)
{
    std::string strDevice;
    for (const char c : record.strStation.empty() ? std::string("RELAY") : record.strStation)
    {
        const bool bSafe = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
        strDevice += bSafe ? c : '_';
    }
    while (!strDevice.empty() && strDevice.back() == '_')
        strDevice.pop_back();
    if (strDevice.empty())
        strDevice = "RELAY";
    const CRecordTime& t = record.faultTime;
    char sz[96];
    std::snprintf(sz, sizeof sz, "_FAN%u_%04d%02d%02d_%02d%02d%02d", static_cast<unsigned>(record.nFan), t.nYear,
                  t.nMonth, t.nDay, t.nHour, t.nMinute, t.nSecond);
    return strDevice + sz;
}

std::string BuildComtradeConfig(const CDisturbanceRecord& record, ComtradeFormat eFormat)
{
    const std::vector<CDigitalChannel> digitals = DigitalChannels(record);
    const auto nAnalog = record.channels.size();
    std::string str;
    str += Field(record.strStation) + "," + Field(record.strDevice) + ",1999\r\n";
    str += std::to_string(nAnalog + digitals.size()) + "," + std::to_string(nAnalog) + "A," +
           std::to_string(digitals.size()) + "D\r\n";
    for (std::size_t i = 0; i < nAnalog; ++i)
    {
        const CDisturbanceChannel& channel = record.channels[i];
        const CChannelName name = ChannelName(channel.nAcc);
        const std::string strId = name.pszId != nullptr ? name.pszId : "ACC" + std::to_string(channel.nAcc);
        str += std::to_string(i + 1) + "," + strId + "," + name.pszPhase + ",," + name.pszUnit + "," +
               Format("%.9g", channel.fReferenceFactor) + ",0,0," + std::to_string(kMinValue) + "," +
               std::to_string(kMaxValue) + "," + Format("%.9g", channel.fRatedPrimary) + "," +
               Format("%.9g", channel.fRatedSecondary) + ",S\r\n";
    }
    for (std::size_t i = 0; i < digitals.size(); ++i)
    {
        const CDigitalChannel& digital = digitals[i];
        std::string strId = "FUN" + std::to_string(digital.nFun) + " INF" + std::to_string(digital.nInf);
        if (const char* pszName = SignalName(digital.nInf))
            strId += std::string(" ") + pszName;
        str += std::to_string(i + 1) + "," + strId + ",,,0\r\n";
    }
    str += "50\r\n";
    str += "1\r\n";
    const double dRate = record.nIntervalUs > 0 ? 1e6 / record.nIntervalUs : 0.0;
    str += Format("%.9g", dRate) + "," + std::to_string(record.nElements) + "\r\n";
    str += DateTime(record.startTime) + "\r\n";
    str += DateTime(record.faultTime) + "\r\n";
    str += eFormat == ComtradeFormat::Binary ? "BINARY\r\n" : "ASCII\r\n";
    str += "1\r\n";
    return str;
}

std::vector<std::uint8_t> BuildComtradeData(const CDisturbanceRecord& record, ComtradeFormat eFormat)
{
    const std::vector<CDigitalChannel> digitals = DigitalChannels(record);
    std::vector<std::uint8_t> ab;
    std::string strLine;
    for (int nSample = 0; nSample < record.nElements; ++nSample)
    {
        const auto s = static_cast<std::size_t>(nSample);
        const auto nTime = static_cast<std::uint32_t>(static_cast<std::int64_t>(nSample) * record.nIntervalUs);
        if (eFormat == ComtradeFormat::Binary)
        {
            AppendLe(ab, static_cast<std::uint32_t>(nSample + 1), 4);
            AppendLe(ab, nTime, 4);
            for (const CDisturbanceChannel& channel : record.channels)
            {
                const std::int16_t nValue = s < channel.values.size() ? Clamped(channel.values[s]) : 0;
                AppendLe(ab, static_cast<std::uint16_t>(nValue), 2);
            }
            for (std::size_t nWord = 0; nWord * 16 < digitals.size(); ++nWord)
            {
                std::uint32_t nBits = 0;
                for (std::size_t nBit = 0; nBit < 16 && nWord * 16 + nBit < digitals.size(); ++nBit)
                    nBits |= static_cast<std::uint32_t>(digitals[nWord * 16 + nBit].states[s]) << nBit;
                AppendLe(ab, nBits, 2);
            }
            continue;
        }
        strLine = std::to_string(nSample + 1) + "," + std::to_string(nTime);
        for (const CDisturbanceChannel& channel : record.channels)
            strLine += "," + std::to_string(s < channel.values.size() ? Clamped(channel.values[s]) : 0);
        for (const CDigitalChannel& digital : digitals)
            strLine += digital.states[s] != 0 ? ",1" : ",0";
        strLine += "\r\n";
        ab.insert(ab.end(), strLine.begin(), strLine.end());
    }
    return ab;
}

bool WriteComtrade(const CDisturbanceRecord& record, const std::string& strFolder, ComtradeFormat eFormat,
                   std::vector<std::string>& paths, std::string& strError)
{
    paths.clear();
    const std::filesystem::path folder(strFolder.empty() ? std::string(".") : strFolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error))
    {
        strError = "无法创建文件夹 " + folder.string();
        return false;
    }
    const std::string strBase = ComtradeBaseName(record);
    const std::filesystem::path cfg = folder / (strBase + ".cfg");
    const std::filesystem::path dat = folder / (strBase + ".dat");
    const std::vector<std::uint8_t> abData = BuildComtradeData(record, eFormat);
    const std::string strConfig = BuildComtradeConfig(record, eFormat);
    // Both files are written and on the disk before either is placed, so that a full disk leaves
    // the pair or nothing; the data are placed first: a configuration never names data that are
    // not there.
    CWholeFile datFile;
    CWholeFile cfgFile;
    if (!FillFile(datFile, dat, abData.data(), abData.size(), strError) ||
        !FillFile(cfgFile, cfg, strConfig.data(), strConfig.size(), strError))
        return false;
    if (!datFile.Commit())
    {
        strError = "无法写入文件 " + dat.string() + ": " + std::strerror(datFile.Error());
        return false;
    }
    if (!cfgFile.Commit())
    {
        strError = "无法写入文件 " + cfg.string() + ": " + std::strerror(cfgFile.Error());
        std::filesystem::remove(dat, error);
        return false;
    }
    paths = {cfg.string(), dat.string()};
    return true;
}

} // namespace relvane
