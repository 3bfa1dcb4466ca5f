#include "ScriptRunner.h"

#include "RunnerUserInterface.h"
#include "session/RelvaneView.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace relvane
{
namespace
{

// Command ids of the forms that "set" lines confirm.
constexpr int kSerialSettingsId = 32778;
constexpr int kDeviceAddressId = 32776;
constexpr int kLineLimitId = 32817;
constexpr int kPollIntervalId = 32818;
constexpr int kIpSettingsId = 32829;
constexpr int kUdpIntervalId = 32836;

std::uint8_t Byte(const std::string& text)
{
    long nValue = 0;
    return ParseScriptNumber(text, 0, 255, nValue) ? static_cast<std::uint8_t>(nValue) : 0;
}

std::string JoinFrom(const std::vector<std::string>& args, std::size_t nFirst)
{
    std::string text;
    for (std::size_t i = nFirst; i < args.size(); ++i)
    {
        if (!text.empty())
            text += ' ';
        text += args[i];
    }
    return text;
}

} // namespace

bool CScriptRunner::Run(const std::vector<CScriptStep>& steps, std::string& strError)
{
    for (const CScriptStep& step : steps)
    {
        if (m_bStopped)
            break;
        std::string strProblem;
        if (!RunStep(step, strProblem))
        {
            strError = "line " + std::to_string(step.nLine) + ": " + strProblem;
            return false;
        }
    }
    return true;
}

bool CScriptRunner::RunStep(const CScriptStep& step, std::string& strError)
{
    if (step.strVerb == "command")
    {
        const int nId = std::stoi(step.args[0]);
        const CCommandState state = m_view.QueryCommand(nId);
        if (!state.bHandled)
        {
            strError = "command " + step.args[0] + " is not a session command";
            return false;
        }
        if (!state.bEnabled)
            m_err << "command " << nId << " is disabled now, skipped\n";
        m_view.OnCommand(nId);
        return true;
    }
    if (step.strVerb == "wait")
    {
        Wait(std::stoi(step.args[0]));
        return true;
    }
    if (step.strVerb == "answer")
    {
        std::vector<std::string> values(step.args.begin() + 1, step.args.end());
        m_ui.QueueAnswer(step.args[0], std::move(values));
        return true;
    }
    if (step.strVerb == "set")
        return RunSet(step, strError);
    if (step.strVerb == "generic")
        return RunGeneric(step, strError);
    strError = "unknown instruction";
    return false;
}

bool CScriptRunner::RunSet(const CScriptStep& step, std::string& strError)
{
    const std::string& name = step.args[0];
    std::vector<std::string> values(step.args.begin() + 1, step.args.end());
    if (name == "port" || name == "baud" || name == "parity" || name == "timeout")
    {
        values.insert(values.begin(), name);
        return ConfirmForm(kSerialSettingsId, "serial", values, strError);
    }
    if (name == "address")
        return ConfirmForm(kDeviceAddressId, "address", values, strError);
    if (name == "limit")
        return ConfirmForm(kLineLimitId, "limit", values, strError);
    if (name == "interval")
        return ConfirmForm(kPollIntervalId, "interval", values, strError);
    if (name == "udpinterval")
        return ConfirmForm(kUdpIntervalId, "interval", values, strError);
    if (name == "ip")
    {
        std::uint32_t nAddress = 0;
        if (!ParseIpv4(values[0], nAddress))
        {
            strError = "bad IPv4 address \"" + values[0] + "\"";
            return false;
        }
        return ConfirmForm(kIpSettingsId, "ip", values, strError);
    }
    strError = "unknown setting \"" + name + "\"";
    return false;
}

bool CScriptRunner::RunGeneric(const CScriptStep& step, std::string& strError)
{
    CGenericList& list = m_view.Iec103().UserData();
    const auto& args = step.args;
    if (args[0] == "clear")
    {
        list.ClearGenericList();
        return true;
    }
    bool bAdded = false;
    if (args[1] == "id")
        bAdded = list.AddIdentification(Byte(args[2]), Byte(args[3]), args[4]);
    else
    {
        std::uint8_t nWidth = Byte(args[6]);
        std::uint8_t nNumber = Byte(args[7]);
        bAdded = list.AddDataSet(Byte(args[2]), Byte(args[3]), args[4], args[5], nWidth, nNumber,
                                 JoinFrom(args, 9), args[8] == "hex");
    }
    if (!bAdded)
        m_err << "generic list full, nothing added\n";
    (void)strError;
    return true;
}

bool CScriptRunner::ConfirmForm(int nCommandId, const char* pszForm, std::vector<std::string> values,
                                std::string& strError)
{
    if (!m_view.QueryCommand(nCommandId).bEnabled)
    {
        strError = std::string("the ") + pszForm + " form cannot be opened now (is the port open?)";
        return false;
    }
    m_ui.QueueAnswer(pszForm, std::move(values));
    m_view.OnCommand(nCommandId);
    return true;
}

void CScriptRunner::Stop()
{
    m_bStopped = true;
    if (m_pWaitLoop != nullptr)
        m_pWaitLoop->quit();
}

void CScriptRunner::Wait(int nMs)
{
    if (m_bStopped)
        return;
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    m_pWaitLoop = &loop;
    loop.exec();
    m_pWaitLoop = nullptr;
}

} // namespace relvane
