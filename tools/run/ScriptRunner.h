#pragma once

#include "RunScript.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QEventLoop;

namespace relvane
{

class CDisturbanceUpload;
class CRelvaneView;
class CRunnerUserInterface;

// Carries out a parsed script on a session, step by step, on the UI thread.
class CScriptRunner
{
public:
    // The disturbance upload follows the link from the start (it keeps the relay's identification).
    CScriptRunner(CRelvaneView& view, CRunnerUserInterface& ui, std::ostream& err);
    ~CScriptRunner();

    // Runs every step; returns false with a message naming the line when a step cannot be done.
    // After Stop it returns true at once, leaving the remaining steps undone. Commands still held
    // behind an outstanding request when the script ends go out first, each given the response
    // time-out and its answer; false with a message counting those that never went out.
    bool Run(const std::vector<CScriptStep>& steps, std::string& strError);
    // Ends the run early (a stop signal): a wait in progress ends now, no further step starts.
    void Stop();
    bool Stopped() const { return m_bStopped; }
    // What the run could not do although every step ran: a port that did not open, frames the
    // session refused to send, commands still held when the port closed. Empty when nothing.
    std::string Shortfalls() const;

private:
    bool RunStep(const CScriptStep& step, std::string& strError);
    bool RunSet(const CScriptStep& step, std::string& strError);
    bool RunGeneric(const CScriptStep& step, std::string& strError);
    bool RunDisturbance(const CScriptStep& step, std::string& strError);
    // Opens a form through its command with one queued answer, as the form's OK would.
    bool ConfirmForm(int nCommandId, const char* pszForm, std::vector<std::string> values,
                     std::string& strError);
    void Wait(int nMs);
    // Lets held commands go out; returns how many are still held.
    int SendHeldCommands();

    CRelvaneView& m_view;
    CRunnerUserInterface& m_ui;
    std::ostream& m_err;
    bool m_bStopped = false;
    QEventLoop* m_pWaitLoop = nullptr; // the wait in progress, if any
    std::unique_ptr<CDisturbanceUpload> m_pUpload;
    int m_nFailedOpens = 0;
    int m_nRefusedSends = 0;
    int m_nDroppedAtStart = 0;
};

} // namespace relvane
