#pragma once

#include "RunScript.h"

#include <ostream>
#include <vector>

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
    bool Run(const std::vector<CScriptStep>& steps, std::string& strError);

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
};

} // namespace relvane
