#include "ScriptRunner.h"

#include "PrintableText.h"
#include "RunnerUserInterface.h"
#include "disturbance/DisturbanceUpload.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
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

CScriptRunner::CScriptRunner(CRelvaneView& view, CRunnerUserInterface& ui, std::ostream& err)
    : m_view(view), m_ui(ui), m_err(err), m_pUpload(std::make_unique<CDisturbanceUpload>(view)),
      m_nDroppedAtStart(view.DroppedCommandCount())
{
}

std::string CScriptRunner::Shortfalls() const
{
    const auto Count = [](int n, const char* pszOne, const char* pszMany)
    { return std::to_string(n) + ' ' + (n == 1 ? pszOne : pszMany); };
    std::string strText;
    const auto Add = [&strText](const std::string& strPart) { strText += (strText.empty() ? "" : "; ") + strPart; };
    if (m_nFailedOpens > 0)
        Add("the serial port did not open (" + Count(m_nFailedOpens, "attempt", "attempts") + ")");
    if (m_nRefusedSends > 0)
        Add(Count(m_nRefusedSends, "command was", "commands were") + " not sent: the port was not open");
    if (const int nDropped = m_view.DroppedCommandCount() - m_nDroppedAtStart; nDropped > 0)
        Add(Count(nDropped, "held command", "held commands") + " never went out: the port closed first");
    return strText;
}

CScriptRunner::~CScriptRunner() = default;

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
    const int nHeld = SendHeldCommands();
    if (nHeld > 0 && !m_bStopped)
    {
        strError = "end of script: " + std::to_string(nHeld) +
                   (nHeld == 1 ? " held command was" : " held commands were") +
                   " never sent (no answer or time-out freed the line)";
        return false;
    }
    return true;
}

int CScriptRunner::SendHeldCommands()
{
    // Each held command waits at most one response time-out for the line; the margin covers a
    // busy machine. The answer to the last one is waited for as well, so that it is logged.
    const bool bHeld = m_view.HeldCommandCount() > 0;
    int nHeld = m_view.HeldCommandCount();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (!m_bStopped && (nHeld > 0 || (bHeld && m_view.IsTimerActive(TIMER_RESPONSE))) &&
           sinceProgress.elapsed() < m_view.TimeoutMs() + 2000)
    {
        Wait(20);
        const int nNow = m_view.HeldCommandCount();
        if (nNow < nHeld)
            sinceProgress.restart();
        nHeld = nNow;
    }
    return m_view.HeldCommandCount();
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
        // Only the script's own commands count: a poll the timer could not send is no step of it.
        const int nRefusedBefore = m_ui.RefusedSendCount();
        m_view.OnCommand(nId);
        m_nRefusedSends += m_ui.RefusedSendCount() - nRefusedBefore;
        if (nId == ID_SERIAL_CONNECT && state.bEnabled && !m_view.PortOpen())
            ++m_nFailedOpens;
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
    if (step.strVerb == "disturbance")
        return RunDisturbance(step, strError);
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
            strError = "bad IPv4 address \"" + TokenExcerpt(values[0]) + "\"";
            return false;
        }
        return ConfirmForm(kIpSettingsId, "ip", values, strError);
    }
    strError = "unknown setting \"" + TokenExcerpt(name) + "\"";
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

bool CScriptRunner::RunDisturbance(const CScriptStep& step, std::string& strError)
{
    const bool bList = step.args[0] == "list";
    bool bStarted = false;
    if (bList)
        bStarted = m_pUpload->StartList(strError);
    else
    {
        const auto eFormat =
            step.args.size() > 3 && step.args[3] == "binary" ? ComtradeFormat::Binary : ComtradeFormat::Ascii;
        bStarted = m_pUpload->StartUpload(static_cast<std::uint16_t>(std::stoi(step.args[1])), step.args[2],
                                          eFormat, strError);
    }
    if (!bStarted)
        return false;

    bool bOk = false;
    QString strMessage;
    QEventLoop loop;
    const auto connection = QObject::connect(m_pUpload.get(), &CDisturbanceUpload::Finished,
                                             [&](bool bResult, const QString& strText)
                                             {
                                                 bOk = bResult;
                                                 strMessage = strText;
                                                 loop.quit();
                                             });
    const auto progress = QObject::connect(m_pUpload.get(), &CDisturbanceUpload::Progress,
                                           [this, nLast = -1](int nDone, int nChannels, int, int) mutable
                                           {
                                               if (nDone == nLast || nChannels == 0)
                                                   return;
                                               nLast = nDone;
                                               m_err << "disturbance: " << nDone << " of " << nChannels
                                                     << " channels\n";
                                           });
    if (!m_bStopped && m_pUpload->Busy())
    {
        m_pWaitLoop = &loop;
        loop.exec();
        m_pWaitLoop = nullptr;
    }
    QObject::disconnect(connection);
    QObject::disconnect(progress);
    if (m_pUpload->Busy())
    {
        // Stopped by a signal: the relay is told, and the run ends as any stopped run does.
        m_pUpload->Cancel();
        return true;
    }
    // The last acknowledgement is on its way: let it go out and be answered.
    for (int i = 0; i < 100 && !m_bStopped && !m_view.SerialLinkIdle(); ++i)
        Wait(20);
    if (!bOk)
    {
        strError = strMessage.toStdString();
        return false;
    }
    if (bList)
    {
        for (const CDisturbanceListEntry& entry : m_pUpload->List())
        {
            char szLine[128];
            std::snprintf(szLine, sizeof szLine, "disturbance: FAN %u  %04d-%02d-%02d %02d:%02d:%02d.%03d  SOF %02X\n",
                          static_cast<unsigned>(entry.nFan), entry.time.nYear, entry.time.nMonth, entry.time.nDay,
                          entry.time.nHour, entry.time.nMinute, entry.time.nSecond, entry.time.nMicrosecond / 1000,
                          static_cast<unsigned>(entry.nSof));
            m_err << szLine;
        }
        if (m_pUpload->List().empty())
            m_err << "disturbance: the relay holds no record\n";
        return true;
    }
    for (const std::string& strNote : m_pUpload->Transfer().Notes())
        m_err << "disturbance: " << strNote << '\n';
    m_err << "disturbance: " << strMessage.toStdString() << '\n';
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
