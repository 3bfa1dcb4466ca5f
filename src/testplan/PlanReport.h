#pragma once

#include "testplan/DeviceOptions.h"
#include "testplan/PlanFrame.h"
#include "testplan/TestCase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// Everything a report of one run shows.
struct CPlanReport
{
    std::string strPlanId;
    std::string strPlanTitle;
    std::string strPort; // "COM5 9600 bps NONE"
    std::string strCapture; // the capture file beside the report ("" when none)
    std::string strOptionsFile;   // where the device options came from ("" when none was given)
    std::string strIdentification; // the relay's identification (ASDU 5), "" when none came
    std::int64_t nStartWallUs = 0;
    std::int64_t nEndWallUs = 0;
    CDeviceOptions options;
    std::vector<CCaseResult> results;
    std::vector<CPlanFrame> frames;
};

// Counts of the verdicts.
struct CVerdictCount
{
    int nPass = 0;
    int nFail = 0;
    int nNotApplicable = 0;
    int nUnfinished = 0;
};
CVerdictCount CountVerdicts(const std::vector<CCaseResult>& results);
// 0 when every applicable case passed, 1 otherwise (a failed or unfinished case).
int PlanExitStatus(const std::vector<CCaseResult>& results);

// One self-contained HTML page (UTF-8, no outside resources, well-formed as XML too): summary,
// device options, one section per case with verdict, reason and the annotated frames that prove it.
std::string BuildHtmlReport(const CPlanReport& report);
// JUnit XML: one test suite for the plan, one test case per case (不通过 a failure, 未完成 an
// error, 不适用 skipped), the reason as the message and the proving frames as text.
std::string BuildJUnitReport(const CPlanReport& report);
// The run's frames as a pcapng capture, numbered as the report numbers them: FT1.2 frames (103)
// on the RTAC serial link type, '94 frames on the user type, as the session's capture writes them.
std::vector<std::uint8_t> BuildPlanCapture(const CPlanReport& report, bool bFt12);
// Writes NAME.html, NAME.xml and, with bCapture, NAME.pcapng, all of them or none: every file is
// on the disk before the first takes its old one's place. False with a message at the first that
// could not be written, the old files as they were.
bool WritePlanReports(const std::string& strBase, const CPlanReport& report, bool bCapture, std::string& strError);

} // namespace relvane
