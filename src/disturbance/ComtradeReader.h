#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// A COMTRADE record read back (IEEE C37.111 of 1991, 1999 and 2013): the configuration's fields
// and, once the data are read, every channel's values against one time axis. Nothing here knows
// of windows; the viewer draws what this holds.
enum class ComtradeDataFormat
{
    Ascii,
    Binary,   // int16 analogue values, digitals in 16-bit words
    Binary32, // int32 analogue values
    Float32,  // IEEE single-precision analogue values
};

struct CComtradeAnalog
{
    std::string strId;
    std::string strPhase;
    std::string strCircuit;
    std::string strUnit;
    double dA = 1.0;
    double dB = 0.0;
    double dSkew = 0.0;
    double dMin = 0.0;
    double dMax = 0.0;
    double dPrimary = 1.0;
    double dSecondary = 1.0;
    char cScaling = 'S'; // P: the values are primary values, S: secondary
    // a * x + b of each sample; NaN where the file marks the value as missing.
    std::vector<float> values;
};

struct CComtradeDigital
{
    std::string strId;
    std::string strPhase;
    std::string strCircuit;
    int nNormal = 0;
    std::vector<std::uint8_t> states;
};

struct CComtradeRate
{
    double dSamplesPerSecond = 0.0; // 0: the data's time stamps give the times
    std::int64_t nEndSample = 0;    // the last sample at this rate, counted from 1 over the record
};

struct CComtradeRecord
{
    std::string strStation;
    std::string strDevice;
    int nRevision = 1991; // rev_year; a station line without one is of 1991
    double dLineFrequency = 0.0;
    std::vector<CComtradeRate> rates;
    std::string strStart;         // the first sample's date and time as written
    std::string strTrigger;       // the trigger's
    double dTriggerSeconds = 0.0; // from the first sample to the trigger
    ComtradeDataFormat eFormat = ComtradeDataFormat::Ascii;
    double dTimeMultiplier = 1.0;
    double dTimeStampUnit = 1e-6; // seconds per time stamp unit (ns when the dates carry nine decimals)
    std::string strTimeCode;      // 2013: time_code and local_code, as written
    std::string strLocalCode;
    std::vector<CComtradeAnalog> analogs;
    std::vector<CComtradeDigital> digitals;

    // Filled by the data: each sample's time in seconds from the first sample.
    std::vector<double> times;
    std::int64_t nPromisedSamples = 0; // what the configuration says the data hold
    std::string strNote;               // what the reader noticed but could still read (data cut short)

    std::size_t SampleCount() const { return times.size(); }
};

// The configuration (.cfg). False with the line and the field in strError, as
// "第3行 a: 不是数字 “x”", when the text is not a configuration that can be read.
bool ParseComtradeConfig(std::string_view text, CComtradeRecord& record, std::string& strError);
// The data (.dat) of a record whose configuration was read. False with the line (ASCII) or the
// sample (binary) and the field in strError. A file that ends before every promised sample is
// read as far as it holds whole samples, and strNote says how many are missing: a record cut
// short still shows the fault it holds, which is what the user opened it for.
bool ParseComtradeData(const std::uint8_t* pData, std::size_t nSize, CComtradeRecord& record,
                       std::string& strError);

} // namespace relvane
