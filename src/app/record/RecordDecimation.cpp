#include "app/record/RecordDecimation.h"

#include <algorithm>

namespace relvane
{

std::pair<std::size_t, std::size_t> SamplesInView(const std::vector<double>& times, double dFrom, double dTo)
{
    const auto first = std::lower_bound(times.begin(), times.end(), dFrom);
    const auto end = std::upper_bound(first, times.end(), dTo);
    return {static_cast<std::size_t>(first - times.begin()), static_cast<std::size_t>(end - times.begin())};
}

std::size_t NearestSample(const std::vector<double>& times, double dTime)
{
    const auto after = std::lower_bound(times.begin(), times.end(), dTime);
    if (after == times.begin())
        return 0;
    if (after == times.end())
        return times.size() - 1;
    const auto before = after - 1;
    return static_cast<std::size_t>((dTime - *before <= *after - dTime ? before : after) - times.begin());
}

double TickStep(double dFrom, double dTo, int nMost)
{
    const double dSpan = dTo - dFrom;
    if (!(dSpan > 0.0) || nMost < 1)
        return 0.0;
    const double dRough = dSpan / nMost;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRough)));
    for (const double dFactor : {1.0, 2.0, 5.0, 10.0})
    {
        if (dFactor * dPower >= dRough)
            return dFactor * dPower;
    }
    return 10.0 * dPower;
}

std::vector<double> Ticks(double dFrom, double dTo, int nMost)
{
    std::vector<double> ticks;
    const double dStep = TickStep(dFrom, dTo, nMost);
    if (dStep <= 0.0)
        return ticks;
    // Bounded also where the step is too small for the numbers' precision (a view far from 0).
    for (double n = std::ceil(dFrom / dStep - 1e-9);
         n * dStep <= dTo + dStep * 1e-9 && ticks.size() <= 4u * nMost + 4; n += 1.0)
    {
        ticks.push_back(std::abs(n) < 0.5 ? 0.0 : n * dStep);
        if (n + 1.0 == n)
            break;
    }
    return ticks;
}

} // namespace relvane
