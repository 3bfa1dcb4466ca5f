#include "testplan/TestPlanRunner.h"

#include "common/AnnotationText.h"
#include "common/SerialSettings.h"
#include "iec103/Iec103Codec.h"
#include "session/FrameAnnotation.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanUserInterface.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

namespace relvane
{
namespace
{

std::int64_t WallNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t SteadyNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CTestPlanRunner::CTestPlanRunner(CRelvaneView& view, CPlanUserInterface& ui, QObject* pParent)
    : QObject(pParent), m_view(view), m_ui(ui)
{
    // A port that goes away must end a wait at once, not when it times out.
    connect(&m_view, &CRelvaneView::StateChanged, this,
            [this]
            {
                if (m_pWaitLoop != nullptr && !m_view.PortOpen())
                    m_pWaitLoop->quit();
            });
}

CTestPlanRunner::~CTestPlanRunner()
{
    m_view.Recorder().SetFrameTap(nullptr);
}

bool CTestPlanRunner::SelectCases(const CTestPlan& plan, const std::vector<std::string>& ids,
                                  std::vector<int>& positions, std::string& strError)
{
    positions.clear();
    std::vector<bool> chosen(plan.cases.size(), ids.empty());
    for (const std::string& strId : ids)
    {
        bool bFound = false;
        for (std::size_t i = 0; i < plan.cases.size(); ++i)
        {
            if (plan.cases[i].strId == strId)
            {
                chosen[i] = true;
                bFound = true;
            }
        }
        if (!bFound)
        {
            strError = "plan " + plan.strId + " has no case \"" + strId + "\"";
            return false;
        }
    }
    for (std::size_t i = 0; i < chosen.size(); ++i)
    {
        if (chosen[i])
            positions.push_back(static_cast<int>(i));
    }
    return true;
}

const CPlanFrame* CTestPlanRunner::FindFrame(int nNumber) const
{
    if (nNumber < 1 || nNumber > static_cast<int>(m_frames.size()))
        return nullptr;
    return &m_frames[static_cast<std::size_t>(nNumber - 1)];
}

bool CTestPlanRunner::LinkBroken() const
{
    return (m_bStopRequested && !m_bHoldStop) || !m_view.PortOpen();
}

void CTestPlanRunner::Stop()
{
    m_bStopRequested = true;
    if (m_pWaitLoop != nullptr)
        m_pWaitLoop->quit();
}

bool CTestPlanRunner::WaitUntil(const std::function<bool()>& fnDone, int nMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!fnDone() && !LinkBroken())
    {
        const qint64 nLeft = nMs - clock.elapsed();
        if (nLeft <= 0)
            break;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(nLeft));
        QEventLoop* pOuter = m_pWaitLoop;
        m_pWaitLoop = &loop;
        loop.exec();
        m_pWaitLoop = pOuter;
    }
    return fnDone();
}

void CTestPlanRunner::OnFrame(bool bInbound, const std::uint8_t* pBytes, int nLength, std::int64_t nFirstByteUs,
                              std::int64_t nSteadyUs, std::int64_t nWallUs)
{
    CPlanFrame frame;
    frame.nNumber = static_cast<int>(m_frames.size()) + 1;
    frame.bInbound = bInbound;
    frame.abBytes.assign(pBytes, pBytes + nLength);
    frame.nFirstByteUs = nFirstByteUs;
    frame.nSteadyUs = nSteadyUs;
    frame.nWallUs = nWallUs;
    frame.nCase = m_nCurrentCase;
    frame.nLogPosition = static_cast<long long>(m_view.Log().EndPosition());
    // The log's own annotation of the frame, so that a report shows what the window shows.
    if (std::string strText;
        AnnotateFrame(m_view.Mode(), m_view.Proto94(), pBytes, nLength, false, strText) > 0)
        frame.strAnnotation = strText;
    m_frames.push_back(std::move(frame));
    emit FrameSeen(static_cast<int>(m_frames.size()));
    if (m_pWaitLoop != nullptr)
        m_pWaitLoop->quit();
}

void CTestPlanRunner::PrepareSession(const CDeviceOptions& options)
{
    m_view.Recorder().SetFrameTap(
        [this](bool bInbound, const std::uint8_t* pBytes, int nLength, const CChannelTime& firstByte,
               const CChannelTime& complete)
        {
            OnFrame(bInbound, pBytes, nLength, firstByte.IsSet() ? firstByte.nSteadyUs : complete.nSteadyUs,
                    complete.nSteadyUs, complete.nWallUs);
        });
    m_ui.SetPlanActive(true);
    // Only the cases' own frames go out: no automatic follow-ups, no polling.
    m_bRestoreAutoProcess = m_view.AutoProcess();
    if (m_bRestoreAutoProcess)
        m_view.OnCommand(ID_AUTO_PROCESS);
    m_bRestorePolling = m_view.Iec103Polling();
    if (m_bRestorePolling)
        m_view.OnCommand(ID_103_POLLING);
    m_view.KillTimer(TIMER_POLL);
    CDeviceAddressFields address;
    address.nDeviceAddress = options.nDeviceAddress;
    address.nCpuNumber = options.nCommonAddress;
    address.nSettingGroup = options.nSettingGroup;
    m_ui.AnswerDeviceAddressForm(address);
    m_view.OnCommand(ID_DEVICE_ADDRESS);
    m_view.OnCommand(options.nModel == 1 ? ID_MODEL_KTR20 : ID_MODEL_KLR10);
    m_ui.ClearAnswers();
    // A request still awaiting its answer ends first.
    WaitUntil([this] { return !m_view.IsTimerActive(TIMER_RESPONSE); }, m_view.TimeoutMs() + 100);
}

void CTestPlanRunner::RestoreSession()
{
    m_view.Recorder().SetFrameTap(nullptr);
    m_ui.SetPlanActive(false);
    if (m_bRestoreAutoProcess && !m_view.AutoProcess())
        m_view.OnCommand(ID_AUTO_PROCESS);
    if (m_bRestorePolling && !m_view.Iec103Polling())
        m_view.OnCommand(ID_103_POLLING);
}

void CTestPlanRunner::CheckReceived(const CTestPlan& plan, const CDeviceOptions& options, CCaseResult& result) const
{
    if (!plan.fnCheckReceived || result.eVerdict != VERDICT_PASS || result.nFirstFrame <= 0)
        return;
    for (int n = result.nFirstFrame; n <= result.nLastFrame; ++n)
    {
        const CPlanFrame* pFrame = FindFrame(n);
        if (pFrame == nullptr || !pFrame->bInbound)
            continue;
        const std::string strWrong = plan.fnCheckReceived(*pFrame, options);
        if (strWrong.empty())
            continue;
        result.eVerdict = VERDICT_FAIL;
        result.strReason = "帧" + std::to_string(n) + ": " + strWrong;
        result.proofFrames = {n};
        return;
    }
}

CCaseResult CTestPlanRunner::RunCase(const CTestPlan& plan, const CTestCase& testCase, int nPosition,
                                     const CDeviceOptions& options)
{
    CCaseContext context(*this, m_view, options, nPosition);
    CCaseResult& result = context.Result();
    result.bActs = testCase.bActs;
    result.strId = testCase.strId;
    result.strTitle = testCase.strTitle;
    result.strGroup = testCase.strGroup;
    result.nStartWallUs = WallNowUs();
    const std::int64_t nStartUs = SteadyNowUs();
    const int nFirst = static_cast<int>(m_frames.size()) + 1;
    m_nCurrentCase = nPosition;
    m_ui.ClearAnswers();
    m_ui.TakeMessages();

    if (!options.Has(testCase.nFeatures))
        context.NotApplicable("装置声明不具备本用例所需的功能");
    else if (!LinkBroken() && testCase.fnRun)
        testCase.fnRun(context);

    const bool bBroken = LinkBroken();
    std::string strWhy = m_bStopRequested ? "测试被停止" : (!m_view.PortOpen() ? kPortLostText : "");
    for (const std::string& strMessage : m_ui.TakeMessages())
        strWhy += (strWhy.empty() ? "" : ", ") + strMessage;
    if (!context.Decided())
    {
        result.eVerdict = VERDICT_UNFINISHED;
        result.strReason = strWhy.empty() ? "用例未得出结论" : strWhy;
    }
    else if (bBroken && result.eVerdict == VERDICT_FAIL)
    {
        // A case that failed because the link went away has proven nothing about the device.
        result.eVerdict = VERDICT_UNFINISHED;
        result.strReason = strWhy + " (" + result.strReason + ")";
    }
    const int nLast = static_cast<int>(m_frames.size());
    if (nLast >= nFirst)
    {
        result.nFirstFrame = nFirst;
        result.nLastFrame = nLast;
    }
    CheckReceived(plan, options, result);
    result.nDurationUs = SteadyNowUs() - nStartUs;
    m_nCurrentCase = -1;
    return result;
}

std::vector<CCaseResult> CTestPlanRunner::Run(const CTestPlan& plan, const CDeviceOptions& options,
                                              const std::vector<int>& positions)
{
    m_frames.clear();
    m_results.clear();
    m_bStopRequested = false;
    m_bRunning = true;
    std::string strRefusal;
    if (m_view.Mode() != plan.nMode)
        strRefusal = plan.nMode == MODE_103 ? "会话不在103规约模式" : "会话不在94规约模式";
    else if (!m_view.PortOpen())
        strRefusal = "串口未打开";
    if (strRefusal.empty())
        PrepareSession(options);

    const int nCount = static_cast<int>(positions.size());
    for (int i = 0; i < nCount; ++i)
    {
        const int nCase = positions[static_cast<std::size_t>(i)];
        if (nCase < 0 || nCase >= static_cast<int>(plan.cases.size()))
            continue;
        const CTestCase& testCase = plan.cases[static_cast<std::size_t>(nCase)];
        emit CaseStarted(i, nCount, QString::fromStdString(testCase.strId));
        if (strRefusal.empty())
            m_results.push_back(RunCase(plan, testCase, i, options));
        else
        {
            CCaseResult result;
            result.strId = testCase.strId;
            result.strTitle = testCase.strTitle;
            result.strGroup = testCase.strGroup;
            result.bActs = testCase.bActs;
            result.strReason = strRefusal;
            m_results.push_back(result);
        }
        emit CaseFinished(i, nCount, QString::fromStdString(testCase.strId));
    }
    if (strRefusal.empty())
        RestoreSession();
    m_bRunning = false;
    emit Finished();
    return m_results;
}

} // namespace relvane
