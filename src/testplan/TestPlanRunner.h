#pragma once

#include "testplan/CaseContext.h"
#include "testplan/DeviceOptions.h"
#include "testplan/PlanFrame.h"
#include "testplan/TestCase.h"

#include <QObject>
#include <string>
#include <vector>

class QEventLoop;

namespace relvane
{

class CPlanUserInterface;
class CRelvaneView;

// Runs the cases of a plan on a session, one after the other, on the UI thread. The session must
// have been built with the CPlanUserInterface given here, be in the plan's protocol mode and have
// its port open. For the run, automatic processing and 103 polling are switched off (restored
// afterwards) so that only the cases' own frames go out, and the device address form is confirmed
// with the declared addresses. Every frame on the line is numbered and kept with its time.
class CTestPlanRunner : public QObject
{
    Q_OBJECT

public:
    CTestPlanRunner(CRelvaneView& view, CPlanUserInterface& ui, QObject* pParent = nullptr);
    ~CTestPlanRunner() override;

    // Positions of the cases ids name, in plan order (all cases when ids is empty); false with a
    // message naming an id the plan does not have.
    static bool SelectCases(const CTestPlan& plan, const std::vector<std::string>& ids,
                            std::vector<int>& positions, std::string& strError);

    // Runs the chosen cases (positions in plan.cases) and returns their results in that order.
    // Blocks in a local event loop: the window stays live, and Stop (from a button or a signal
    // handler) ends the run after the current step; the rest are 未完成. A session in another
    // mode or with the port closed gives every case 未完成 with the reason.
    std::vector<CCaseResult> Run(const CTestPlan& plan, const CDeviceOptions& options,
                                 const std::vector<int>& positions);
    void Stop();
    bool IsRunning() const { return m_bRunning; }
    bool StopRequested() const { return m_bStopRequested; }

    // The run's frames and results so far (kept after the run until the next one starts).
    const std::vector<CPlanFrame>& Frames() const { return m_frames; }
    const CPlanFrame* FindFrame(int nNumber) const;
    const std::vector<CCaseResult>& Results() const { return m_results; }

    // Used by CCaseContext: the answers for the session's forms, and waiting.
    CPlanUserInterface& Ui() { return m_ui; }
    // Runs the event loop until fnDone holds, a frame or a stop wakes it and fnDone holds, or nMs
    // pass. Returns fnDone().
    bool WaitUntil(const std::function<bool()>& fnDone, int nMs);
    // The session can no longer carry frames (port closed) or the user stopped.
    bool LinkBroken() const;
    // While held, a stop waits: a case puts the relay back before it ends (the port must be open).
    void HoldStop(bool bHold) { m_bHoldStop = bHold; }

signals:
    // nPosition counts from 0 up to nCount - 1 over the chosen cases; Results()[nPosition] holds
    // the finished case's result. Emitted on the UI thread.
    void CaseStarted(int nPosition, int nCount, const QString& strId);
    void CaseFinished(int nPosition, int nCount, const QString& strId);
    void FrameSeen(int nNumber);
    void Finished();

private:
    void OnFrame(bool bInbound, const std::uint8_t* pBytes, int nLength, std::int64_t nFirstByteUs,
                 std::int64_t nSteadyUs, std::int64_t nWallUs);
    void PrepareSession(const CDeviceOptions& options);
    void RestoreSession();
    CCaseResult RunCase(const CTestPlan& plan, const CTestCase& testCase, int nPosition, const CDeviceOptions& options);
    // Fails a passed case when a frame it received breaks the plan's rule for every frame.
    void CheckReceived(const CTestPlan& plan, const CDeviceOptions& options, CCaseResult& result) const;

    CRelvaneView& m_view;
    CPlanUserInterface& m_ui;
    std::vector<CPlanFrame> m_frames;
    std::vector<CCaseResult> m_results;
    bool m_bRunning = false;
    bool m_bStopRequested = false;
    bool m_bHoldStop = false;
    bool m_bRestoreAutoProcess = false;
    bool m_bRestorePolling = false;
    int m_nCurrentCase = -1;
    QEventLoop* m_pWaitLoop = nullptr;
};

} // namespace relvane
