// The plans prove themselves against the simulated relay: with no defect every case passes (or
// is not applicable where declared off); with each planted defect exactly the cases that check
// what it spoils fail and all the others pass.
#include "FakeNetworkChannel.h"
#include "RelayLine.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanLine.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestPlanRunner.h"
#include "testplan/PlanReport.h"
#include "testplan/TestPlans.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace relvane::test
{

// What the relay is declared to do, as a user would write it for our relay: the points it may be
// commanded and written on, a point it lacks, its events; short waits keep the runs short.
CDeviceOptions DeclaredOptions()
{
    CDeviceOptions options;
    // A short limit keeps the waits for silence short; the slow answers stay far beyond it.
    options.nResponseLimitMs = 200;
    options.nAnswerWaitMs = 1500;
    options.nMeasurandWaitMs = 7000;
    options.nEventWaitMs = 3000;
    options.nCommandInf = 16;
    options.nAbsentFun = 128;
    options.nAbsentInf = 250;
    options.nWriteGroup = 5;
    options.nWriteEntry = 1;
    options.nSwitchGroup = 1;
    options.bSpontaneousEvents = true;
    return options;
}

struct CPlanRunResult
{
    std::vector<CCaseResult> results;
    std::vector<CPlanFrame> frames;
};

// Runs every case of the plan on a session whose line ends at a relay with these settings, set up
// as relvane-run sets up its own, polling every 50 ms. A relay without events of its own raises
// one when the event case first polls class 2 (after its reset), so that only that case sees it.
CPlanRunResult RunPlanOnRelay(const CTestPlan& plan, const CRelaySettings& relay, const CDeviceOptions& options,
                              const std::vector<std::string>& ids = {},
                              const std::function<void(CTestPlanRunner&)>& fnWatch = {})
{
    CScriptedUserInterface user;
    CPlanUserInterface ui(&user);
    auto pLine = std::make_unique<CRelayLine>(relay);
    CRelayLine* pRelay = pLine.get();
    CRelvaneView view(std::move(pLine), std::make_unique<CFakeNetworkChannel>(), ui);
    user.IntervalForm().Push(
        [](CIntervalFields& fields)
        {
            fields.nIntervalMs = 50;
            return true;
        });
    view.OnCommand(ID_POLL_INTERVAL);
    std::vector<std::string> messages;
    EXPECT_TRUE(OpenPlanLine(view, ui, plan, view.SerialFields(), options, messages));
    CTestPlanRunner runner(view, ui);
    bool bEventCase = false;
    QObject::connect(&runner, &CTestPlanRunner::CaseStarted,
                     [&](int, int, const QString& strId)
                     { bEventCase = strId == "103-APP-18" && relay.nEventIntervalMs == 0; });
    QObject::connect(&runner, &CTestPlanRunner::FrameSeen,
                     [&](int nNumber)
                     {
                         const CPlanFrame* pFrame = runner.FindFrame(nNumber);
                         if (!bEventCase || pFrame == nullptr || pFrame->bInbound || pFrame->abBytes.size() != 5 ||
                             (pFrame->abBytes[1] & 0x0F) != 11)
                             return;
                         bEventCase = false;
                         pRelay->Relay().Iec103().RaiseEvent(CChannelTime::Now().nWallUs / 1000);
                     });
    if (fnWatch)
        fnWatch(runner);
    std::vector<int> positions;
    std::string strError;
    CTestPlanRunner::SelectCases(plan, ids, positions, strError);
    CPlanRunResult run;
    run.results = runner.Run(plan, options, positions);
    run.frames = runner.Frames();
    return run;
}

// Every case passes, or is not applicable.
void ExpectAllPass(const std::vector<CCaseResult>& results)
{
    for (const CCaseResult& result : results)
    {
        EXPECT_TRUE(result.eVerdict == VERDICT_PASS || result.eVerdict == VERDICT_NOT_APPLICABLE)
            << result.strId << " " << VerdictText(result.eVerdict) << ": " << result.strReason;
    }
}

namespace
{

// Frames a defect spoils wherever they arrive: every case that received one fails too.
using SpoiledFrame = bool (*)(const CPlanFrame&);

bool AnyAsdu(const CPlanFrame& frame)
{
    return frame.bInbound && frame.abBytes.size() > 9 && frame.abBytes[0] == 0x68;
}

bool Asdu3WithCot1(const CPlanFrame& frame)
{
    return AnyAsdu(frame) && frame.abBytes[6] == 3 && frame.abBytes[8] == 1;
}

struct CDefectRow
{
    const char* pszPlan;
    const char* pszDefect; // "" for none
    const char* pszFails;  // the ids that must fail, comma separated
    SpoiledFrame fnSpoiled = nullptr;
    bool bSingleCharAck = false; // the relay told to use E5, and declared so
};

// clang-format off
const CDefectRow kRows[] = {
    {"103", "", ""},
    {"94", "", ""},
    {"103", "bad-checksum-answered", "103-LNK-05"},
    {"103", "wrong-address-answered", "103-LNK-06"},
    {"103", "bad-length-answered", "103-LNK-07"},
    // Taken as new, the repeated interrogation runs twice.
    {"103", "fcb-repeat-new", "103-LNK-04,103-LNK-16"},
    {"103", "reset-no-answer", "103-LNK-02"},
    {"103", "status-no-answer", "103-LNK-03"},
    {"103", "acd-stuck", "103-LNK-09"},
    {"103", "acd-missing", "103-LNK-08"},
    {"103", "dfc-stuck", "103-LNK-10"},
    {"103", "slow", "103-LNK-11"},
    {"103", "e5-for-frame", "103-LNK-03"},
    // Shows only on a relay that is to answer with E5 at all.
    {"103", "no-e5", "103-LNK-12", nullptr, true},
    {"103", "ident-cot-swapped", "103-APP-01,103-APP-02"},
    {"103", "gi-wrong-cot", "103-APP-03"},
    {"103", "gi-no-termination", "103-APP-04"},
    {"103", "gi-wrong-scn", "103-APP-05"},
    {"103", "clock-no-answer", "103-APP-06"},
    {"103", "clock-ignored", "103-APP-07,103-APP-19"},
    {"103", "gc-no-negative", "103-APP-09"},
    {"103", "gc-no-ack", "103-APP-08"},
    {"103", "generic-wrong-cot", "103-APP-10,103-APP-11"},
    {"103", "generic-truncated", "103-APP-11,103-APP-13"},
    {"103", "generic-write-lost", "103-APP-12"},
    // Without the list the transfer has no record to ask for.
    {"103", "dist-list-missing", "103-APP-14,103-APP-15"},
    {"103", "dist-transfer-stops", "103-APP-15"},
    {"103", "measurand-class1", "103-APP-16"},
    {"103", "cot-illegal", "103-APP-17", Asdu3WithCot1},
    {"103", "clock-answer-off", "103-APP-06"},
    {"103", "wrong-common-address", "103-APP-17", AnyAsdu},
    {"103", "repeat-executed", "103-LNK-16"},
    {"103", "event-cot-cyclic", "103-APP-18"},
    {"103", "broadcast-ignored", "103-APP-19"},
    {"103", "clock-answer-unasked", "103-APP-19"},
    {"103", "ident-power-up", "103-APP-01"},
    {"103", "headings-entries", "103-APP-10"},
    {"103", "group-mixed", "103-APP-11"},
    {"103", "write-wrong-cot", "103-APP-12"},
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
    relay.bSingleCharAck = row.bSingleCharAck;
    CDeviceOptions options = DeclaredOptions();
    options.bSingleCharAck = row.bSingleCharAck;
    std::string strBad;
    if (*row.pszDefect != '\0')
    {
        ASSERT_TRUE(relay.defects.AddList(row.pszDefect, strBad)) << strBad;
    }
    const CPlanRunResult run = RunPlanOnRelay(*pPlan, relay, options);
    std::set<std::string> fails = SplitIds(row.pszFails);
    for (const CCaseResult& result : run.results)
    {
        for (int n = result.nFirstFrame; row.fnSpoiled != nullptr && n > 0 && n <= result.nLastFrame; ++n)
        {
            if (row.fnSpoiled(run.frames[static_cast<std::size_t>(n - 1)]))
                fails.insert(result.strId);
        }
    }
    std::set<std::string> known;
    for (const CCaseResult& result : run.results)
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

// The timings of real relays: answers some time after the link confirmation, measurands on their
// own cycle, events at any time, E5. The clean relay in each passes every applicable case.
struct CTimingRow
{
    const char* pszName;
    int nAnswerDelayMs;
    int nMeasurandCycleMs;
    int nEventIntervalMs;
    bool bSingleCharAck;
};

class TimingPlan : public ::testing::TestWithParam<CTimingRow>
{
};

TEST_P(TimingPlan, CleanRelayPassesEveryApplicableCase)
{
    const CTimingRow& row = GetParam();
    CRelaySettings relay;
    relay.eProtocol = RELAY_103;
    relay.nAnswerDelayMs = row.nAnswerDelayMs;
    relay.nMeasurandCycleMs = row.nMeasurandCycleMs;
    relay.nEventIntervalMs = row.nEventIntervalMs;
    relay.bSingleCharAck = row.bSingleCharAck;
    CDeviceOptions options = DeclaredOptions();
    options.bSingleCharAck = row.bSingleCharAck;
    const CPlanRunResult run = RunPlanOnRelay(*FindTestPlan("103"), relay, options);
    ExpectAllPass(run.results);
    EXPECT_EQ(CountVerdicts(run.results).nPass + CountVerdicts(run.results).nNotApplicable,
              static_cast<int>(run.results.size()));
}

// clang-format off
const CTimingRow kTimings[] = {
    {"answers50ms", 50, 0, 0, false},
    {"answers300ms", 300, 0, 0, false},
    {"measurandsEvery3s", 0, 3000, 0, false},
    {"eventsEvery700ms", 0, 0, 700, false},
    {"singleCharAck", 0, 0, 0, true},
    {"allAtOnce", 300, 3000, 1500, true},
};
// clang-format on

// A stop in the middle of a case that set the relay's clock away still puts the clock back.
TEST(PlanStop, ActingCaseStoppedPutsTheRelayBack)
{
    CRelaySettings relay;
    relay.eProtocol = RELAY_103;
    bool bStopped = false;
    const CPlanRunResult run = RunPlanOnRelay(*FindTestPlan("103"), relay, DeclaredOptions(), {"103-APP-07"},
                                              [&](CTestPlanRunner& runner)
                                              {
                                                  QObject::connect(&runner, &CTestPlanRunner::FrameSeen,
                                                                   [&](int nNumber)
                                                                   {
                                                                       const CPlanFrame* pFrame = runner.FindFrame(nNumber);
                                                                       if (!bStopped && pFrame != nullptr && !pFrame->bInbound &&
                                                                           pFrame->abBytes.size() > 6 && pFrame->abBytes[6] == 6)
                                                                       {
                                                                           bStopped = true;
                                                                           runner.Stop();
                                                                       }
                                                                   });
                                              });
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].eVerdict, VERDICT_UNFINISHED) << run.results[0].strReason;
    EXPECT_NE(run.results[0].strRestored.find("重新同步为计算机时间"), std::string::npos) << run.results[0].strRestored;
    int nSyncs = 0;
    for (const CPlanFrame& frame : run.frames)
        nSyncs += !frame.bInbound && frame.abBytes.size() > 6 && frame.abBytes[6] == 6 ? 1 : 0;
    EXPECT_EQ(nSyncs, 2);
}

INSTANTIATE_TEST_SUITE_P(EveryTiming, TimingPlan, ::testing::ValuesIn(kTimings),
                         [](const ::testing::TestParamInfo<CTimingRow>& row) { return std::string(row.param.pszName); });

TEST(DefectPlanTable, NamesEveryDefectOfTheRelay)
{
    std::set<std::string> named;
    for (const CDefectRow& row : kRows)
        named.insert(row.pszDefect);
    for (int i = 0; i < DEFECT_COUNT; ++i)
    {
        const std::string strName = DefectName(static_cast<RelayDefect>(i));
        EXPECT_EQ(named.count(strName), 1u) << strName;
    }
}

} // namespace
} // namespace relvane::test
