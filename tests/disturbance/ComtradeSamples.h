#pragma once

// COMTRADE records shaped as other recorders write them, for the reader's tests: the three
// revisions' headers, every data format, one or two sample rates, line ends of either kind.
#include "disturbance/ComtradeReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane::test
{

struct CSampleShape
{
    int nRevision = 1999;
    ComtradeDataFormat eFormat = ComtradeDataFormat::Ascii;
    bool bTwoRates = false;    // 20 samples at 1 kHz, then the rest at 250 Hz
    bool bStampsOnly = false;  // samp 0: the time stamps give the times
    bool bNanoseconds = false; // 2013 dates to the nanosecond (time stamps in ns)
    bool bLineFeedOnly = false;
};

// The raw values the generator writes: two analogue channels and 17 digital ones (two words).
constexpr int kSampleCount = 40;
constexpr int kSampleDigitals = 17;
constexpr int kMissingSample = 5; // the second analogue channel has no value here
std::int32_t SampleRaw(int nChannel, int nSample);
std::uint8_t SampleState(int nDigital, int nSample);
constexpr double kSampleA[2] = {0.01, 2.5};
constexpr double kSampleB[2] = {0.0, -1.0};
// The times the generator's rates or stamps give, in seconds from the first sample.
double SampleTime(const CSampleShape& shape, int nSample);

std::string BuildSampleConfig(const CSampleShape& shape);
std::vector<std::uint8_t> BuildSampleData(const CSampleShape& shape);

} // namespace relvane::test
