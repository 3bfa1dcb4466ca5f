#pragma once

// What the IEC 60870-5-103 cases share: a received FT1.2 frame taken apart, and the waits for the
// relay's data. A relay confirms a request at the link layer at once and has the data it asked for
// ready when it is ready (IEC 60870-5-2 and -103 set no time for that), sends its measurands on a
// cycle of its own and its events when they happen: a case polls for them, one request at a time
// at the pace of the session's own cyclic polling, until they came or its time limit passed, so
// that no verdict depends on how the relay spreads its answers over the polls.
#include "testplan/CaseContext.h"
#include "testplan/PlanFrame.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

constexpr std::uint8_t kSingleAck = 0xE5;

// A received FT1.2 frame taken apart (nothing is read past its bytes).
struct CFt12
{
    enum Kind
    {
        NONE,
        SINGLE, // E5H
        FIXED,
        VARIABLE,
    };
    Kind eKind = NONE;
    bool bValid = false; // checksum, lengths and end character right
    std::uint8_t nControl = 0;
    std::uint8_t nAddress = 0;
    std::vector<std::uint8_t> abAsdu;

    int Function() const { return nControl & 0x0F; }
    bool Acd() const { return eKind != SINGLE && (nControl & 0x20) != 0; }
    bool Dfc() const { return eKind != SINGLE && (nControl & 0x10) != 0; }
    int At(std::size_t i) const { return i < abAsdu.size() ? abAsdu[i] : -1; }
    int Typ() const { return At(0); }
    int Cot() const { return At(2); }
    int CommonAddress() const { return At(3); }
    int Fun() const { return At(4); }
    int Inf() const { return At(5); }
    bool IsUserData() const { return eKind == VARIABLE && bValid && abAsdu.size() >= 6; }
    // A positive confirmation: E5H or the fixed frame with function 0.
    bool IsAck() const { return eKind == SINGLE || (eKind == FIXED && bValid && Function() == 0); }
    // "No data": E5H or the fixed frame with function 9.
    bool IsNoData() const { return eKind == SINGLE || (eKind == FIXED && bValid && Function() == 9); }
};

CFt12 ParseFt12(const CPlanFrame& frame);
inline CFt12 Parse(CCaseContext& ctx, int nFrame)
{
    return ParseFt12(ctx.Frame(nFrame));
}

std::string Num(std::int64_t n);
std::vector<int> Join(std::vector<int> a, const std::vector<int>& b);

// What fetching class 1 brought.
struct CDrain
{
    std::vector<int> userData; // answers with an ASDU
    std::vector<int> frames;   // every request and answer
    int nEnd = 0;              // the last "no data" answer (0: it did not end so)
};

// Fetches class 1 until the relay has nothing more and fnDone holds for what came; while fnDone
// does not hold, "no data" is asked again at the polling pace (at once when it carries ACD) until
// nWaitMs (< 0: the declared wait for application data) passed. ACD is not trusted to say that
// data will come: a wrong ACD fails only the ACD cases.
CDrain AwaitClass1(CCaseContext& ctx, const std::function<bool(const CDrain&)>& fnDone, int nWaitMs = -1);
// Fetches what class 1 holds now, waiting for nothing.
CDrain DrainClass1(CCaseContext& ctx);
// Fetches class 1 until an ASDU of the type (and, with fnMatch, that one) came.
CDrain AwaitAsdu(CCaseContext& ctx, int nTyp, const std::function<bool(const CFt12&)>& fnMatch = {},
                 int nWaitMs = -1);

// Answers among the frames whose ASDU type is nTyp (any type for -1).
std::vector<int> WithType(CCaseContext& ctx, const std::vector<int>& frames, int nTyp);

// What polling class 2 brought.
struct CWatch
{
    std::vector<int> frames;  // every request and answer
    std::vector<int> class2;  // class 2 answers (with or without an ASDU)
    std::vector<int> class1;  // ASDUs fetched from class 1 on the way
    int nFound = 0;           // the answer fnFound chose (0: none in time)
};

// Polls class 2 at the polling pace (at once after an ASDU), fetching class 1 whenever an answer
// sets ACD (and, with bAskClass1, every few polls anyway, so that a relay's missing ACD fails only
// the ACD cases), until fnFound(frame, bClass1) holds for an answer or nWaitMs passed. fnFound sees
// each class 2 answer before class 1 is fetched on its ACD.
CWatch WatchClass2(CCaseContext& ctx, const std::function<bool(int, bool)>& fnFound, int nWaitMs,
                   bool bAskClass1 = true);

// A known link: the communication unit reset and its identification fetched, class 1 empty.
CDrain StartLink(CCaseContext& ctx);

// Milliseconds since 1970 of a CP56Time2a (seven octets from nAt) read as UTC; -1 when a field is
// out of range.
std::int64_t Cp56Ms(const CFt12& ft, std::size_t nAt);

// The clock form's fields for the local time now, shifted by whole hours.
CClockFields ClockNow(int nHourShift = 0);
// The clock fields as milliseconds since 1970 read as UTC (as Cp56Ms reads the relay's).
std::int64_t ClockFieldsMs(const CClockFields& clock);

// Causes of transmission IEC 60870-5-103 allows for each ASDU type in the monitor direction.
bool CotAllowed(int nTyp, int nCot);

} // namespace relvane
