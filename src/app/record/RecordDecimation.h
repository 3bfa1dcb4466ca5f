#pragma once

// What the record viewer draws, reduced to the screen: a trace of 100,000 samples over 1,000
// pixel columns is drawn as 1,000 vertical strokes from each column's lowest to its highest
// value, which looks exactly like drawing every sample and costs a thousandth.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

namespace relvane
{

struct CColumnSpan
{
    float fMin = 0.0f;
    float fMax = 0.0f;
    bool bEmpty = true; // no sample falls in the column, or all of them are missing
};

// The samples whose times lie in [dFrom, dTo], as the half-open index range [first, second).
// Times are in ascending order.
std::pair<std::size_t, std::size_t> SamplesInView(const std::vector<double>& times, double dFrom, double dTo);

// The sample nearest to dTime (times ascending, not empty).
std::size_t NearestSample(const std::vector<double>& times, double dTime);

// nColumns columns of equal width over [dFrom, dTo): each one's lowest and highest value of the
// samples falling in it; a missing value (NaN) counts as no sample.
template <typename TValue>
std::vector<CColumnSpan> MinMaxColumns(const std::vector<double>& times, const std::vector<TValue>& values,
                                       double dFrom, double dTo, int nColumns)
{
    std::vector<CColumnSpan> columns(nColumns > 0 ? static_cast<std::size_t>(nColumns) : 0);
    if (columns.empty() || !(dTo > dFrom))
        return columns;
    auto [nSample, nEnd] = SamplesInView(times, dFrom, dTo);
    nEnd = values.size() < nEnd ? values.size() : nEnd;
    const double dWidth = (dTo - dFrom) / nColumns;
    for (std::size_t c = 0; c < columns.size(); ++c)
    {
        // Each column's samples by a search for its end, then a plain loop over them that the
        // compiler can keep in registers; a missing value (NaN) fails both comparisons.
        std::size_t nStop = nEnd;
        if (c + 1 < columns.size())
        {
            const double dLimit = dFrom + static_cast<double>(c + 1) * dWidth;
            nStop = static_cast<std::size_t>(
                std::lower_bound(times.begin() + static_cast<std::ptrdiff_t>(nSample),
                                 times.begin() + static_cast<std::ptrdiff_t>(nEnd), dLimit) -
                times.begin());
        }
        float fLow = std::numeric_limits<float>::infinity();
        float fHigh = -std::numeric_limits<float>::infinity();
        for (; nSample < nStop; ++nSample)
        {
            const auto fValue = static_cast<float>(values[nSample]);
            fLow = fValue < fLow ? fValue : fLow;
            fHigh = fValue > fHigh ? fValue : fHigh;
        }
        if (fLow <= fHigh)
            columns[c] = {fLow, fHigh, false};
    }
    return columns;
}

// Round steps (1, 2 or 5 times a power of ten) for an axis over [dFrom, dTo] with at most
// nMost ticks; the ticks are the step's multiples inside the range.
double TickStep(double dFrom, double dTo, int nMost);
std::vector<double> Ticks(double dFrom, double dTo, int nMost);

} // namespace relvane
