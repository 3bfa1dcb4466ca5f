#include "testplan/CaseContext.h"

#include "iec103/GenericList.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestPlanRunner.h"

#include <algorithm>
#include <chrono>

namespace relvane
{
namespace
{

// How long a command may be held behind an earlier request beyond the session's time-out.
constexpr int kHoldMarginMs = 500;

std::int64_t SteadyUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CCaseContext::CCaseContext(CTestPlanRunner& runner, CRelvaneView& view, const CDeviceOptions& options,
                           int nCase)
    : m_runner(runner), m_view(view), m_options(options), m_nCase(nCase), m_nStartUs(SteadyUs())
{
}

int CCaseContext::PollPaceMs() const
{
    return std::clamp(m_view.PollIntervalMs(), 10, 10000);
}

std::int64_t CCaseContext::ElapsedMs() const
{
    return (SteadyUs() - m_nStartUs) / 1000;
}

void CCaseContext::Restore(const std::function<void()>& fnSteps)
{
    m_runner.HoldStop(true);
    fnSteps();
    m_runner.HoldStop(false);
}

void CCaseContext::Restored(const std::string& strWhat)
{
    m_result.strRestored += (m_result.strRestored.empty() ? "" : "; ") + strWhat;
}

const CPlanFrame& CCaseContext::Frame(int nNumber) const
{
    static const CPlanFrame s_none;
    const CPlanFrame* pFrame = m_runner.FindFrame(nNumber);
    return pFrame != nullptr ? *pFrame : s_none;
}

int CCaseContext::LastFrame() const
{
    return static_cast<int>(m_runner.Frames().size());
}

std::vector<int> CCaseContext::ReceivedAfter(int nAfter) const
{
    std::vector<int> numbers;
    const std::vector<CPlanFrame>& frames = m_runner.Frames();
    for (std::size_t i = static_cast<std::size_t>(std::max(nAfter, 0)); i < frames.size(); ++i)
    {
        if (frames[i].bInbound)
            numbers.push_back(frames[i].nNumber);
    }
    return numbers;
}

bool CCaseContext::Stopped() const
{
    return m_runner.LinkBroken();
}

CExchange CCaseContext::Send(const std::function<void()>& fnSend, int nWaitMs)
{
    CExchange exchange;
    if (Stopped())
        return exchange;
    if (nWaitMs < 0)
        nWaitMs = AnswerWaitMs();
    const int nBefore = LastFrame();
    fnSend();
    // A form the session did not open keeps its answer: it must not answer a later command.
    const auto FindSent = [&]
    {
        const std::vector<CPlanFrame>& frames = m_runner.Frames();
        for (std::size_t i = static_cast<std::size_t>(nBefore); i < frames.size(); ++i)
        {
            if (!frames[i].bInbound)
                return frames[i].nNumber;
        }
        return 0;
    };
    m_runner.WaitUntil([&] { return FindSent() != 0; }, m_view.TimeoutMs() + kHoldMarginMs);
    exchange.nRequest = FindSent();
    m_runner.Ui().ClearAnswers();
    if (exchange.nRequest == 0)
        return exchange;
    const auto FindAnswer = [&]
    {
        const std::vector<int> received = ReceivedAfter(exchange.nRequest);
        return received.empty() ? 0 : received.front();
    };
    m_runner.WaitUntil([&] { return FindAnswer() != 0; }, nWaitMs);
    exchange.nAnswer = FindAnswer();
    if (exchange.nAnswer != 0)
        exchange.nResponseUs = Frame(exchange.nAnswer).nFirstByteUs - Frame(exchange.nRequest).nSteadyUs;
    return exchange;
}

CExchange CCaseContext::Command(int nCommandId, int nWaitMs)
{
    return Send([&] { m_view.OnCommand(nCommandId); }, nWaitMs);
}

CExchange CCaseContext::SendCustom(const std::vector<std::uint8_t>& abFrame, int nWaitMs)
{
    return Send(
        [&]
        {
            m_runner.Ui().AnswerCustomFrameForm(abFrame);
            m_view.OnCommand(ID_103_CUSTOM_FRAME);
        },
        nWaitMs);
}

CExchange CCaseContext::TimeSync(const CClockFields& clock, int nWaitMs)
{
    return Send(
        [&]
        {
            m_runner.Ui().AnswerClockForm(clock);
            m_view.OnCommand(ID_103_TIME_SYNC);
        },
        nWaitMs);
}

CExchange CCaseContext::Proto94Clock(int nCommandId, const CClockFields& clock, int nWaitMs)
{
    return Send(
        [&]
        {
            m_runner.Ui().AnswerClockForm(clock);
            m_view.OnCommand(nCommandId);
        },
        nWaitMs);
}

CExchange CCaseContext::GeneralCommand(int nFun, int nInf, int nDco, bool bAnswer, int nWaitMs)
{
    return Send(
        [&]
        {
            CGeneralCommandFields fields;
            fields.nFun = nFun;
            fields.nInf = nInf;
            fields.nDcoIndex = nDco >= 2 ? 1 : 0;
            fields.bAnswer = bAnswer;
            m_runner.Ui().AnswerGeneralCommandForm(fields);
            m_view.OnCommand(ID_103_GENERAL_COMMAND);
        },
        nWaitMs);
}

CExchange CCaseContext::GenericCommand(std::uint8_t nInf, const std::vector<CGenericId>& ids, int nWaitMs)
{
    return Send(
        [&]
        {
            m_runner.Ui().AnswerGenericIdentificationForm(
                nInf,
                [ids](CGenericList& list)
                {
                    if (ids.empty())
                    {
                        list.SetEmptyWithCount();
                        return true;
                    }
                    for (const CGenericId& id : ids)
                    {
                        if (!list.AddIdentification(id.nGroup, id.nEntry, std::to_string(id.nKod)))
                            return false;
                    }
                    return true;
                });
            m_view.OnCommand(ID_103_GENERIC_COMMAND);
        },
        nWaitMs);
}

CExchange CCaseContext::GenericData(std::uint8_t nInf, const std::vector<CGenericValue>& values, int nWaitMs)
{
    return Send(
        [&]
        {
            m_runner.Ui().AnswerGenericDataForm(nInf,
                                                [values](CGenericList& list)
                                                {
                                                    for (CGenericValue value : values)
                                                    {
                                                        if (!list.AddDataSet(value.nGroup, value.nEntry, "1",
                                                                             std::to_string(value.nType),
                                                                             value.nWidth, value.nNumber,
                                                                             value.strValue, false))
                                                            return false;
                                                    }
                                                    return true;
                                                });
            m_view.OnCommand(ID_103_GENERIC_DATA);
        },
        nWaitMs);
}

CExchange CCaseContext::Disturbance(int nAsdu, const CDisturbanceFields& fields, int nWaitMs)
{
    return Send(
        [&]
        {
            CDisturbanceFields answer = fields;
            answer.nAsdu = nAsdu;
            m_runner.Ui().AnswerDisturbanceForm(answer);
            m_view.OnCommand(nAsdu == 25 ? ID_103_DISTURBANCE_ACK : ID_103_DISTURBANCE_ORDER);
        },
        nWaitMs);
}

void CCaseContext::SetDeviceAddress(int nDeviceAddress, int nCpuNumber, int nSettingGroup)
{
    CDeviceAddressFields fields;
    fields.nDeviceAddress = nDeviceAddress;
    fields.nCpuNumber = nCpuNumber;
    fields.nSettingGroup = nSettingGroup;
    m_runner.Ui().AnswerDeviceAddressForm(fields);
    m_view.OnCommand(ID_DEVICE_ADDRESS);
    m_runner.Ui().ClearAnswers();
}

void CCaseContext::Wait(int nMs)
{
    m_runner.WaitUntil([] { return false; }, nMs);
}

int CCaseContext::WaitReceived(int nAfter, int nMs)
{
    const auto Find = [&]
    {
        const std::vector<int> received = ReceivedAfter(nAfter);
        return received.empty() ? 0 : received.front();
    };
    m_runner.WaitUntil([&] { return Find() != 0; }, nMs);
    return Find();
}

void CCaseContext::Prove(const std::vector<int>& proof)
{
    for (const int nFrame : proof)
    {
        if (nFrame > 0)
            m_result.proofFrames.push_back(nFrame);
    }
    std::sort(m_result.proofFrames.begin(), m_result.proofFrames.end());
    m_result.proofFrames.erase(std::unique(m_result.proofFrames.begin(), m_result.proofFrames.end()),
                               m_result.proofFrames.end());
}

void CCaseContext::Decide(Verdict eVerdict, const std::string& strReason, const std::vector<int>& proof)
{
    if (m_bDecided)
        return;
    m_bDecided = true;
    m_result.eVerdict = eVerdict;
    m_result.strReason = strReason;
    Prove(proof);
}

void CCaseContext::Pass(const std::string& strReason, const std::vector<int>& proof)
{
    Decide(VERDICT_PASS, strReason, proof);
}

void CCaseContext::Fail(const std::string& strReason, const std::vector<int>& proof)
{
    Decide(VERDICT_FAIL, strReason, proof);
}

void CCaseContext::NotApplicable(const std::string& strReason)
{
    Decide(VERDICT_NOT_APPLICABLE, strReason, {});
}

bool CCaseContext::Expect(bool bCondition, const std::string& strReason, const std::vector<int>& proof)
{
    if (!bCondition)
        Fail(strReason, proof);
    return bCondition;
}

} // namespace relvane
