// The plans prove themselves against the simulated relay: with no defect every case passes (or
// is not applicable where declared off); with each planted defect exactly the cases that check
// what it spoils fail and all the others pass.
#include "FakeNetworkChannel.h"
#include "RelayLine.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestPlanRunner.h"
#include "testplan/TestPlans.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace relvane::test
{

// Runs every case of the plan on a session whose line ends at a relay with these settings, set up
// as relvane-run sets up its own.
std::vector<CCaseResult> RunPlanOnRelay(const CTestPlan& plan, const CRelaySettings& relay,
                                        const CDeviceOptions& options)
{
    CScriptedUserInterface user;
    CPlanUserInterface ui(&user);
    CRelvaneView view(std::make_unique<CRelayLine>(relay), std::make_unique<CFakeNetworkChannel>(), ui);
    CSerialFields serial = view.SerialFields();
    serial.nTimeoutMs = std::max(1500, options.nResponseLimitMs * 2 + 1000);
    ui.SetPlanActive(true);
    ui.AnswerSerialForm(serial);
    view.OnCommand(ID_SERIAL_SETTINGS);
    view.OnCommand(ID_SERIAL_CONNECT);
    view.OnCommand(plan.nMode == MODE_103 ? ID_MODE_103 : ID_MODE_94);
    ui.SetPlanActive(false);
    EXPECT_TRUE(view.PortOpen());
    CTestPlanRunner runner(view, ui);
    std::vector<int> positions;
    std::string strError;
    CTestPlanRunner::SelectCases(plan, {}, positions, strError);
    return runner.Run(plan, options, positions);
}

namespace
{

struct CDefectRow
{
    const char* pszPlan;
    const char* pszDefect; // "" for none
    const char* pszFails;  // the ids that must fail, comma separated
};

// clang-format off
const CDefectRow kRows[] = {
    {"103", "", ""},
    {"94", "", ""},
    {"103", "bad-checksum-answered", "103-LNK-05"},
    {"103", "wrong-address-answered", "103-LNK-06"},
    {"103", "bad-length-answered", "103-LNK-07"},
    {"103", "fcb-repeat-new", "103-LNK-04"},
    {"103", "reset-no-answer", "103-LNK-02"},
    {"103", "status-no-answer", "103-LNK-03"},
    {"103", "acd-stuck", "103-LNK-09"},
    {"103", "acd-missing", "103-LNK-08"},
    {"103", "dfc-stuck", "103-LNK-10"},
    {"103", "slow", "103-LNK-11"},
    {"103", "e5-for-frame", "103-LNK-03"},
    {"103", "ident-cot-swapped", "103-APP-01,103-APP-02"},
    {"103", "gi-wrong-cot", "103-APP-03"},
    {"103", "gi-no-termination", "103-APP-04"},
    {"103", "gi-wrong-scn", "103-APP-05"},
    {"103", "clock-no-answer", "103-APP-06"},
    {"103", "clock-ignored", "103-APP-07"},
    {"103", "gc-no-negative", "103-APP-09"},
    {"103", "gc-no-ack", "103-APP-08"},
    {"103", "generic-wrong-cot", "103-APP-10,103-APP-11"},
    {"103", "generic-truncated", "103-APP-11,103-APP-13"},
    {"103", "generic-write-lost", "103-APP-12"},
    // Without the list the transfer has no record to ask for.
    {"103", "dist-list-missing", "103-APP-14,103-APP-15"},
    {"103", "dist-transfer-stops", "103-APP-15"},
    {"103", "measurand-class1", "103-APP-16"},
    {"103", "cot-illegal", "103-APP-17"},
    {"94", "crc-bad", "94-LNK-01"},
    {"94", "slow94", "94-LNK-02"},
    {"94", "repeat-crc-bad", "94-LNK-03"},
    {"94", "repeat-different", "94-LNK-03"},
    {"94", "other-address-answered", "94-LNK-04"},
    {"94", "clock-not-set", "94-APP-01"},
    {"94", "events-flag-stuck", "94-APP-02"},
    {"94", "events-lost", "94-APP-02"},
    {"94", "group-no-flag", "94-APP-03"},
    {"94", "cpu-ignored", "94-APP-04"},
};
// clang-format on

void PrintTo(const CDefectRow& row, std::ostream* pOut)
{
    *pOut << row.pszPlan << " plan, defect \"" << row.pszDefect << "\"";
}

std::set<std::string> SplitIds(const std::string& strList)
{
    std::set<std::string> ids;
    std::istringstream in(strList);
    std::string strId;
    while (std::getline(in, strId, ','))
        ids.insert(strId);
    return ids;
}

class DefectPlan : public ::testing::TestWithParam<CDefectRow>
{
};

TEST_P(DefectPlan, FailsExactlyTheCasesOfTheDefect)
{
    const CDefectRow& row = GetParam();
    const CTestPlan* pPlan = FindTestPlan(row.pszPlan);
    ASSERT_NE(pPlan, nullptr);
    CRelaySettings relay;
    relay.eProtocol = pPlan->nMode == MODE_103 ? RELAY_103 : RELAY_94;
    std::string strBad;
    if (*row.pszDefect != '\0')
    {
        ASSERT_TRUE(relay.defects.AddList(row.pszDefect, strBad)) << strBad;
    }
    // A short limit keeps the waits for silence short; the slow answers stay far beyond it.
    CDeviceOptions options;
    options.nResponseLimitMs = 200;

    const std::set<std::string> fails = SplitIds(row.pszFails);
    std::set<std::string> known;
    for (const CCaseResult& result : RunPlanOnRelay(*pPlan, relay, options))
    {
        known.insert(result.strId);
        const std::string strWhat =
            result.strId + " " + VerdictText(result.eVerdict) + ": " + result.strReason;
        if (fails.count(result.strId) != 0)
            EXPECT_EQ(result.eVerdict, VERDICT_FAIL) << strWhat;
        else
            EXPECT_TRUE(result.eVerdict == VERDICT_PASS || result.eVerdict == VERDICT_NOT_APPLICABLE)
                << strWhat;
    }
    for (const std::string& strId : fails)
        EXPECT_EQ(known.count(strId), 1u) << strId << " is not in the plan";
}

std::string RowName(const ::testing::TestParamInfo<CDefectRow>& info)
{
    std::string strName = std::string("plan") + info.param.pszPlan + "_" +
                          (*info.param.pszDefect != '\0' ? info.param.pszDefect : "none");
    for (char& c : strName)
    {
        if (c == '-')
            c = '_';
    }
    return strName;
}

INSTANTIATE_TEST_SUITE_P(EveryDefect, DefectPlan, ::testing::ValuesIn(kRows), RowName);

TEST(DefectPlanTable, NamesEveryDefectOfTheRelay)
{
    std::set<std::string> named;
    for (const CDefectRow& row : kRows)
        named.insert(row.pszDefect);
    for (int i = 0; i < DEFECT_COUNT; ++i)
    {
        const std::string strName = DefectName(static_cast<RelayDefect>(i));
        // no-e5 shows only on a relay that answers with E5 at all.
        if (strName != "no-e5")
        {
            EXPECT_EQ(named.count(strName), 1u) << strName;
        }
    }
}

} // namespace
} // namespace relvane::test
