#pragma once

#include "RunScript.h"

#include <ostream>
#include <vector>

class QEventLoop;

namespace relvane
{

class CRelvaneView;
class CRunnerUserInterface;

// Carries out a parsed script on a session, step by step, on the UI thread.
class CScriptRunner
{
public:
    CScriptRunner(CRelvaneView& view, CRunnerUserInterface& ui, std::ostream& err)
        : m_view(view), m_ui(ui), m_err(err)
    {
    }

    // Runs every step; returns false with a message naming the line when a step cannot be done.
    // After Stop it returns true at once, leaving the remaining steps undone.
    bool Run(const std::vector<CScriptStep>& steps, std::string& strError);
    // Ends the run early (a stop signal): a wait in progress ends now, no further step starts.
    void Stop();
    bool Stopped() const { return m_bStopped; }

private:
    bool RunStep(const CScriptStep& step, std::string& strError);
    bool RunSet(const CScriptStep& step, std::string& strError);
    bool RunGeneric(const CScriptStep& step, std::string& strError);
    // Opens a form through its command with one queued answer, as the form's OK would.
    bool ConfirmForm(int nCommandId, const char* pszForm, std::vector<std::string> values,
                     std::string& strError);
    void Wait(int nMs);

    CRelvaneView& m_view;
    CRunnerUserInterface& m_ui;
    std::ostream& m_err;
    bool m_bStopped = false;
    QEventLoop* m_pWaitLoop = nullptr; // the wait in progress, if any
};

} // namespace relvane
