#include "testplan/Iec103Steps.h"

#include "common/CalendarTime.h"
#include "common/CivilDays.h"
#include "iec103/Iec103Codec.h"
#include "session/SessionCommands.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace relvane
{
namespace
{

// More ASDUs than any answer of the plan brings: a relay that keeps sending stops the fetching.
constexpr int kMaxFetched = 400;
// While class 2 is watched, class 1 is asked every so many polls even without ACD.
constexpr int kClass1Every = 4;

} // namespace

CFt12 ParseFt12(const CPlanFrame& frame)
{
    CFt12 ft;
    const std::vector<std::uint8_t>& ab = frame.abBytes;
    const int n = static_cast<int>(ab.size());
    if (n == 1 && ab[0] == kSingleAck)
    {
        ft.eKind = CFt12::SINGLE;
        ft.bValid = true;
    }
    else if (n == 5 && ab[0] == 0x10)
    {
        ft.eKind = CFt12::FIXED;
        ft.nControl = ab[1];
        ft.nAddress = ab[2];
        ft.bValid = ab[3] == static_cast<std::uint8_t>(ab[1] + ab[2]) && ab[4] == 0x16;
    }
    else if (n >= 8 && ab[0] == 0x68)
    {
        ft.eKind = CFt12::VARIABLE;
        const int nL = ab[1];
        ft.nControl = ab[4];
        ft.nAddress = ab[5];
        ft.bValid = n == nL + 6 && ab[2] == ab[1] && ab[3] == 0x68 && ab[static_cast<std::size_t>(n - 1)] == 0x16 &&
                    Iec103Codec::Checksum(ab.data() + 4, nL) == ab[static_cast<std::size_t>(n - 2)];
        if (ft.bValid)
            ft.abAsdu.assign(ab.begin() + 6, ab.end() - 2);
    }
    return ft;
}

std::string Num(std::int64_t n)
{
    return std::to_string(n);
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

CDrain AwaitClass1(CCaseContext& ctx, const std::function<bool(const CDrain&)>& fnDone, int nWaitMs)
{
    CDrain drain;
    const std::int64_t nUntilMs = ctx.ElapsedMs() + (nWaitMs < 0 ? ctx.DataWaitMs() : nWaitMs);
    int nFetched = 0;
    while (!ctx.Stopped())
    {
        const CExchange x = ctx.Command(ID_103_CLASS1);
        drain.frames.insert(drain.frames.end(), {x.nRequest, x.nAnswer});
        if (!x.Answered())
            break;
        const CFt12 answer = Parse(ctx, x.nAnswer);
        if (answer.IsUserData())
        {
            drain.userData.push_back(x.nAnswer);
            if (++nFetched >= kMaxFetched)
                break;
            continue;
        }
        if (!answer.IsNoData())
            break;
        drain.nEnd = x.nAnswer;
        if (fnDone(drain) || ctx.ElapsedMs() >= nUntilMs)
            break;
        if (!answer.Acd())
            ctx.Wait(ctx.PollPaceMs());
    }
    return drain;
}

CDrain DrainClass1(CCaseContext& ctx)
{
    return AwaitClass1(ctx, [](const CDrain&) { return true; });
}

CDrain AwaitAsdu(CCaseContext& ctx, int nTyp, const std::function<bool(const CFt12&)>& fnMatch, int nWaitMs)
{
    return AwaitClass1(
        ctx,
        [&](const CDrain& drain)
        {
            for (const int n : drain.userData)
            {
                const CFt12 ft = Parse(ctx, n);
                if (ft.Typ() == nTyp && (!fnMatch || fnMatch(ft)))
                    return true;
            }
            return false;
        },
        nWaitMs);
}

std::vector<int> WithType(CCaseContext& ctx, const std::vector<int>& frames, int nTyp)
{
    std::vector<int> found;
    for (const int n : frames)
    {
        const CFt12 ft = Parse(ctx, n);
        if (ft.IsUserData() && (nTyp < 0 || ft.Typ() == nTyp))
            found.push_back(n);
    }
    return found;
}

CWatch WatchClass2(CCaseContext& ctx, const std::function<bool(int, bool)>& fnFound, int nWaitMs, bool bAskClass1)
{
    CWatch watch;
    const std::int64_t nUntilMs = ctx.ElapsedMs() + nWaitMs;
    int nFetched = 0;
    int nPolls = 0;
    while (!ctx.Stopped() && nFetched < kMaxFetched)
    {
        const CExchange x = ctx.Command(ID_103_CLASS2);
        watch.frames.insert(watch.frames.end(), {x.nRequest, x.nAnswer});
        if (!x.Answered())
            break;
        watch.class2.push_back(x.nAnswer);
        if (fnFound(x.nAnswer, false))
        {
            watch.nFound = x.nAnswer;
            break;
        }
        const CFt12 answer = Parse(ctx, x.nAnswer);
        if (answer.Acd() || (bAskClass1 && ++nPolls % kClass1Every == 0))
        {
            const CDrain drain = DrainClass1(ctx);
            watch.frames.insert(watch.frames.end(), drain.frames.begin(), drain.frames.end());
            for (const int n : drain.userData)
            {
                watch.class1.push_back(n);
                if (watch.nFound == 0 && fnFound(n, true))
                    watch.nFound = n;
            }
            nFetched += static_cast<int>(drain.userData.size());
            if (watch.nFound != 0)
                break;
        }
        if (ctx.ElapsedMs() >= nUntilMs)
            break;
        if (answer.IsUserData())
            ++nFetched;
        else
            ctx.Wait(ctx.PollPaceMs());
    }
    return watch;
}

CDrain StartLink(CCaseContext& ctx)
{
    const CExchange reset = ctx.Command(ID_103_RESET_CU);
    CDrain drain = AwaitAsdu(ctx, 5);
    drain.frames.insert(drain.frames.begin(), {reset.nRequest, reset.nAnswer});
    return drain;
}

std::int64_t Cp56Ms(const CFt12& ft, std::size_t nAt)
{
    if (ft.At(nAt + 6) < 0)
        return -1;
    const int nMs = ft.At(nAt) + 256 * ft.At(nAt + 1);
    const int nMinute = ft.At(nAt + 2) & 0x3F;
    const int nHour = ft.At(nAt + 3) & 0x1F;
    const int nDay = ft.At(nAt + 4) & 0x1F;
    const int nMonth = ft.At(nAt + 5) & 0x0F;
    const int nYear = 2000 + (ft.At(nAt + 6) & 0x7F);
    if (nMs > 59999 || nMinute > 59 || nHour > 23 || nDay < 1 || nMonth < 1 || nMonth > 12)
        return -1;
    return ((DaysFromCivil(nYear, nMonth, nDay) * 24 + nHour) * 60 + nMinute) * 60000LL + nMs;
}

CClockFields ClockNow(int nHourShift)
{
    const CCalendarTime local = LocalCalendarTime(std::chrono::system_clock::now());
    CClockFields clock;
    clock.nYear = std::clamp(local.nYear, 2000, 2050);
    clock.nMonth = local.nMonth;
    clock.nDay = local.nDay;
    clock.nHour = (local.nHour + nHourShift) % 24;
    clock.nMinute = local.nMinute;
    clock.nSecond = std::min(local.nSecond, 59);
    return clock;
}

std::int64_t ClockFieldsMs(const CClockFields& clock)
{
    return ((DaysFromCivil(clock.nYear, clock.nMonth, clock.nDay) * 24 + clock.nHour) * 60 + clock.nMinute) *
               60000LL +
           clock.nSecond * 1000LL;
}

bool CotAllowed(int nTyp, int nCot)
{
    static const std::vector<std::pair<int, std::set<int>>> s_allowed = {
        {1, {1, 7, 9, 11, 12, 20, 21}},
        {2, {1, 7, 9, 11, 12}},
        {3, {2, 7}},
        {4, {1, 7}},
        {5, {3, 4, 5}},
        {6, {8}},
        {8, {10}},
        {9, {2, 7}},
        {10, {1, 2, 7, 9, 10, 11, 12, 40, 41, 42, 43, 44}},
        {11, {1, 2, 7, 9, 10, 11, 12, 42, 43}},
        {23, {31}},
        {26, {31}},
        {27, {31}},
        {28, {31}},
        {29, {31}},
        {30, {31}},
        {31, {31}},
    };
    for (const auto& [nType, causes] : s_allowed)
    {
        if (nType == nTyp)
            return causes.count(nCot) != 0;
    }
    return true; // private types: nothing to judge by
}

} // namespace relvane
