#pragma once

#include "session/FormFields.h"
#include "testplan/DeviceOptions.h"
#include "testplan/PlanFrame.h"
#include "testplan/TestCase.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

class CRelvaneView;
class CTestPlanRunner;

// What a request through the session brought: the frame that went out and the first frame the
// relay sent back after it.
struct CExchange
{
    int nRequest = 0;              // number of the frame sent (0: nothing went out)
    int nAnswer = 0;               // number of the first frame received after it (0: none in time)
    std::int64_t nResponseUs = -1; // end of the request's write to the answer's first byte
    bool Sent() const { return nRequest != 0; }
    bool Answered() const { return nAnswer != 0; }
};

// A generic identification (ASDU 21): group, entry, kind of description.
struct CGenericId
{
    std::uint8_t nGroup = 0;
    std::uint8_t nEntry = 0;
    std::uint8_t nKod = 1;
};

// A generic data set to write (ASDU 10), as the generic-data form takes it: the value as text
// (decimal), the data type as its number (3 unsigned, 7 R32.23, 9 double point, ...).
struct CGenericValue
{
    std::uint8_t nGroup = 0;
    std::uint8_t nEntry = 0;
    std::uint8_t nType = 3;
    std::uint8_t nWidth = 2;
    std::uint8_t nNumber = 1;
    std::string strValue;
};

// The handle a case runs with. Every frame goes through the session's own command routing, the
// forms answered with the case's values, exactly as a user's commands in the window; the case
// judges from the frames on the line and their times. Waiting runs the event loop, so the window
// stays live. Once Stopped() is true (the user stopped, the port closed) every request returns at
// once with nothing sent: a case should then return, and is 未完成 unless it already passed.
class CCaseContext
{
public:
    CCaseContext(CTestPlanRunner& runner, CRelvaneView& view, const CDeviceOptions& options, int nCase);

    const CDeviceOptions& Options() const { return m_options; }
    CRelvaneView& View() { return m_view; }

    // Times: the declared response limit; how long a request waits for an answer at most (twice the
    // limit and a second more, so that a late answer is still seen and judged late); how long
    // silence is awaited where no answer is the right one (twice the limit).
    int ResponseLimitMs() const { return m_options.nResponseLimitMs; }
    int AnswerWaitMs() const { return m_options.nResponseLimitMs * 2 + 1000; }
    int SilenceWaitMs() const { return m_options.nResponseLimitMs * 2; }
    // Application data come on the relay's own time, not the link's: a request confirmed at once
    // may have its data ready much later. The waits for them, and the pace of the polls meanwhile
    // (the session's own polling interval).
    int DataWaitMs() const { return m_options.nAnswerWaitMs; }
    int MeasurandWaitMs() const { return m_options.nMeasurandWaitMs; }
    int EventWaitMs() const { return m_options.nEventWaitMs; }
    int PollPaceMs() const;
    // Milliseconds since the case started (steady clock).
    std::int64_t ElapsedMs() const;

    // Frames of the run so far (numbers from 1).
    const CPlanFrame& Frame(int nNumber) const;
    int LastFrame() const;
    // Received frames with numbers above nAfter, in order.
    std::vector<int> ReceivedAfter(int nAfter) const;

    // Requests. nWaitMs < 0 means AnswerWaitMs(). Each waits until its frame has gone out (the
    // session holds a command while an earlier one awaits its answer), then for the first
    // received frame up to nWaitMs, then returns.
    CExchange Command(int nCommandId, int nWaitMs = -1); // a menu command without a form
    CExchange SendCustom(const std::vector<std::uint8_t>& abFrame, int nWaitMs = -1); // "自定义报文发送"
    CExchange TimeSync(const CClockFields& clock, int nWaitMs = -1);                 // clock form
    CExchange GeneralCommand(int nFun, int nInf, int nDco, bool bAnswer, int nWaitMs = -1);
    CExchange GenericCommand(std::uint8_t nInf, const std::vector<CGenericId>& ids, int nWaitMs = -1);
    CExchange GenericData(std::uint8_t nInf, const std::vector<CGenericValue>& values, int nWaitMs = -1);
    // ASDU 24 (nAsdu 24) or 25 with the disturbance form's values (nFun, nToo, nTov, nFan, nAcc).
    CExchange Disturbance(int nAsdu, const CDisturbanceFields& fields, int nWaitMs = -1);
    // '94 commands with the clock form (81H): the time to set.
    CExchange Proto94Clock(int nCommandId, const CClockFields& clock, int nWaitMs = -1);

    // Confirms the device-address form with these values (nothing goes out); a case that changes
    // them sets the declared ones back.
    void SetDeviceAddress(int nDeviceAddress, int nCpuNumber, int nSettingGroup);

    // Lets the session run for nMs (frames keep coming in).
    void Wait(int nMs);
    // Waits up to nMs for a received frame numbered above nAfter; its number, or 0.
    int WaitReceived(int nAfter, int nMs);

    bool Stopped() const;

    // Verdicts. The first verdict given stands; later calls change nothing. Proof frames are
    // kept in ascending order without repeats (0 is ignored).
    void Pass(const std::string& strReason, const std::vector<int>& proof = {});
    void Fail(const std::string& strReason, const std::vector<int>& proof = {});
    void NotApplicable(const std::string& strReason);
    // Fails with the reason and the proof unless bCondition holds; returns bCondition.
    bool Expect(bool bCondition, const std::string& strReason, const std::vector<int>& proof = {});
    // What the case put back after acting on the relay (the report says so).
    void Restored(const std::string& strWhat);
    // Runs the steps that put the relay back; a stop by the user waits until they are done.
    void Restore(const std::function<void()>& fnSteps);
    // Adds frames to the proof of whatever verdict comes.
    void Prove(const std::vector<int>& proof);
    bool Decided() const { return m_bDecided; }

    // The result as it stands (the runner completes it).
    CCaseResult& Result() { return m_result; }

private:
    CExchange Send(const std::function<void()>& fnSend, int nWaitMs);
    void Decide(Verdict eVerdict, const std::string& strReason, const std::vector<int>& proof);

    CTestPlanRunner& m_runner;
    CRelvaneView& m_view;
    const CDeviceOptions& m_options;
    int m_nCase;
    bool m_bDecided = false;
    CCaseResult m_result;
    std::int64_t m_nStartUs = 0;
};

} // namespace relvane
