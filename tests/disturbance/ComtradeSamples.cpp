#include "ComtradeSamples.h"

#include <cmath>
#include <cstring>

namespace relvane::test
{

std::int32_t SampleRaw(int nChannel, int nSample)
{
    if (nChannel == 0)
        return static_cast<std::int32_t>(std::lround(20000.0 * std::sin(nSample * 0.3)));
    return nSample * 7 - 100;
}

std::uint8_t SampleState(int nDigital, int nSample)
{
    return static_cast<std::uint8_t>(((nSample + nDigital) >> 2) & 1);
}

double SampleTime(const CSampleShape& shape, int nSample)
{
    if (shape.bStampsOnly)
        return nSample * 0.002 + (nSample >= 10 ? 0.001 : 0.0); // uneven stamps
    if (!shape.bTwoRates || nSample < 20)
        return nSample * 0.001;
    return 0.019 + (nSample - 19) * 0.004;
}

namespace
{

const char* FormatName(ComtradeDataFormat eFormat)
{
    switch (eFormat)
    {
    case ComtradeDataFormat::Binary:
        return "BINARY";
    case ComtradeDataFormat::Binary32:
        return "BINARY32";
    case ComtradeDataFormat::Float32:
        return "FLOAT32";
    default:
        return "ascii"; // lower case, as some recorders write it
    }
}

void AppendLe(std::vector<std::uint8_t>& ab, std::uint32_t nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        ab.push_back(static_cast<std::uint8_t>(nValue >> (8 * i)));
}

} // namespace

std::string BuildSampleConfig(const CSampleShape& shape)
{
    const std::string strEnd = shape.bLineFeedOnly ? "\n" : "\r\n";
    const bool b1991 = shape.nRevision == 1991;
    std::string str =
        b1991 ? "Substation Nord,REC-7" : "Substation Nord,REC-7," + std::to_string(shape.nRevision);
    str += strEnd + std::to_string(2 + kSampleDigitals) + ",2A," + std::to_string(kSampleDigitals) + "D" +
           strEnd;
    // Spaces around fields, as some recorders pad them.
    str += "1,IA ,A,Feeder 1,kA, 0.01,0,0,-32767,32767";
    str += b1991 ? strEnd : ",1200,1,P" + strEnd;
    str += "2,VB,B,,V,2.5,-1,10,,";
    str += b1991 ? strEnd : ",110000,100,s" + strEnd;
    for (int i = 0; i < kSampleDigitals; ++i)
        str += std::to_string(i + 1) + ",Trip " + std::to_string(i + 1) + (b1991 ? "," : ",,,") +
               std::to_string(i % 2) + strEnd;
    str += "50" + strEnd;
    if (shape.bStampsOnly)
        str += "0" + strEnd + "0," + std::to_string(kSampleCount) + strEnd;
    else if (shape.bTwoRates)
        str += "2" + strEnd + "1000,20" + strEnd + "250," + std::to_string(kSampleCount) + strEnd;
    else
        str += "1" + strEnd + "1000," + std::to_string(kSampleCount) + strEnd;
    if (b1991)
        str += "12/31/98,23:59:59.990000" + strEnd + "01/01/99,00:00:00.000000" + strEnd;
    else if (shape.bNanoseconds)
        str += "31/12/2024,23:59:59.990000000" + strEnd + "01/01/2025,00:00:00.000000000" + strEnd;
    else
        str += "31/12/2024,23:59:59.990000" + strEnd + "01/01/2025,00:00:00.000000" + strEnd;
    str += std::string(FormatName(shape.eFormat)) + strEnd;
    if (b1991)
        return str;
    // Stamps in units of 2 (µs, or ns with the nanosecond dates) to exercise the multiplier.
    str += "2" + strEnd;
    if (shape.nRevision == 2013)
        str += "+1h,+1h" + strEnd + "A,3" + strEnd;
    return str;
}

std::vector<std::uint8_t> BuildSampleData(const CSampleShape& shape)
{
    const std::string strEnd = shape.bLineFeedOnly ? "\n" : "\r\n";
    const bool bTimeMult = shape.nRevision != 1991;
    const double dUnit = shape.bNanoseconds ? 1e-9 : 1e-6;
    std::vector<std::uint8_t> ab;
    for (int n = 0; n < kSampleCount; ++n)
    {
        const auto nStamp =
            static_cast<std::uint32_t>(std::llround(SampleTime(shape, n) / dUnit / (bTimeMult ? 2.0 : 1.0)));
        if (shape.eFormat == ComtradeDataFormat::Ascii)
        {
            std::string strLine = std::to_string(n + 1) + "," + std::to_string(nStamp);
            for (int c = 0; c < 2; ++c)
                strLine +=
                    "," + (c == 1 && n == kMissingSample ? std::string() : std::to_string(SampleRaw(c, n)));
            for (int d = 0; d < kSampleDigitals; ++d)
                strLine += SampleState(d, n) != 0 ? ",1" : ",0";
            strLine += strEnd;
            ab.insert(ab.end(), strLine.begin(), strLine.end());
            continue;
        }
        AppendLe(ab, static_cast<std::uint32_t>(n + 1), 4);
        AppendLe(ab, nStamp, 4);
        for (int c = 0; c < 2; ++c)
        {
            const bool bMissing = c == 1 && n == kMissingSample;
            const std::int32_t nRaw = SampleRaw(c, n);
            switch (shape.eFormat)
            {
            case ComtradeDataFormat::Binary:
                AppendLe(ab, bMissing ? 0x8000u : static_cast<std::uint16_t>(nRaw), 2);
                break;
            case ComtradeDataFormat::Binary32:
                AppendLe(ab, bMissing ? 0x80000000u : static_cast<std::uint32_t>(nRaw), 4);
                break;
            default:
            {
                const float fValue = bMissing ? std::nanf("") : static_cast<float>(nRaw);
                std::uint32_t nBits = 0;
                std::memcpy(&nBits, &fValue, sizeof nBits);
                AppendLe(ab, nBits, 4);
            }
            }
        }
        for (int nWord = 0; nWord * 16 < kSampleDigitals; ++nWord)
        {
            std::uint32_t nBits = 0;
            for (int nBit = 0; nBit < 16 && nWord * 16 + nBit < kSampleDigitals; ++nBit)
                nBits |= static_cast<std::uint32_t>(SampleState(nWord * 16 + nBit, n)) << nBit;
            AppendLe(ab, nBits, 2);
        }
    }
    return ab;
}

} // namespace relvane::test
