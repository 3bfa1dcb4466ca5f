#pragma once

#include "testplan/DeviceOptions.h"
#include "testplan/PlanFrame.h"
#include "testplan/TestCase.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

// The logic of the "测试计划" dialog in plain functions, so that tests call it without widgets.

// One line of the case list: a layer's heading (nCase -1) or a case under it.
struct CPlanListRow
{
    std::string strText; // the heading, or "ID  title"
    std::string strId;   // empty for a heading
    int nCase = -1;      // position in the plan
};

// The plan's cases grouped by layer, each layer in the order its first case comes; a case that
// acts on the relay is marked "  [操作]".
std::vector<CPlanListRow> BuildPlanList(const CTestPlan& plan);

// One field of the device options form, in form order: a switch (check box) or a number.
struct COptionFieldText
{
    std::string strLabel;
    bool bSwitch = false;
    std::string strValue; // the number's text, or "1"/"0" for a switch
};

std::vector<COptionFieldText> OptionFieldTexts(const CDeviceOptions& options);
// The form's values (as OptionFieldTexts orders them) into options; false with a message naming the
// field when a number is not one or out of its range, and options unchanged.
bool ReadOptionFieldTexts(const std::vector<std::string>& values, CDeviceOptions& options,
                          std::string& strError);

// Colour of a verdict in the table (0xRRGGBB): green, red, grey, orange; and the light shade of
// it that fills the verdict's whole row.
std::uint32_t VerdictColour(Verdict eVerdict);
std::uint32_t VerdictBackground(Verdict eVerdict);

// "通过 30, 不通过 1, 不适用 4, 未完成 0".
std::string VerdictSummary(const std::vector<CCaseResult>& results);

// Whether the options form shows field nField (form order) for the plan.
bool OptionShownForPlan(std::size_t nField, const std::string& strPlanId);

// The report's base name from the name the save dialog gave ("x.html", "x.xml", "x.pcapng" or "x").
std::string ReportBaseName(const std::string& strChosen);

// The plan that runs in a protocol mode ("94", "103"), empty for a mode without one.
std::string PlanIdForMode(int nMode);

// Why a run cannot start now, or empty: nothing chosen, the port closed, a run going on.
std::string StartRefusal(std::size_t nChosen, bool bPortOpen, bool bRunning);

// Where the log entry of a case's first proving frame (or, without proof, its first frame) starts;
// -1 when none is known.
long long CaseLogPosition(const CCaseResult& result, const std::function<const CPlanFrame*(int)>& fnFind);

} // namespace relvane
