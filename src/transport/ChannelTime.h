#pragma once

#include <chrono>
#include <cstdint>

namespace relvane
{

// When bytes crossed the channel: the wall clock (for time stamps a person reads, and captures)
// and the monotonic clock (for durations such as response times), both in microseconds. Taken by
// the thread that read or wrote the bytes, so that a busy window thread does not move it.
struct CChannelTime
{
    std::int64_t nWallUs = 0;   // since 1970-01-01 UTC
    std::int64_t nSteadyUs = 0; // since an arbitrary start; only differences mean anything

    bool IsSet() const { return nWallUs != 0 || nSteadyUs != 0; }

    static CChannelTime Now()
    {
        using namespace std::chrono;
        CChannelTime time;
        time.nWallUs = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
        time.nSteadyUs = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
        return time;
    }

    // This time, or now when it was never taken.
    CChannelTime OrNow() const { return IsSet() ? *this : Now(); }
};

} // namespace relvane
