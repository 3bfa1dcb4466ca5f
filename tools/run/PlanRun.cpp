#include "PlanRun.h"

#include "OutputTargets.h"
#include "PrintableText.h"
#include "RunnerUserInterface.h"
#include "StopSignals.h"
#include "common/SerialSettings.h"
#include "iec103/UdpFrame.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/DeviceOptions.h"
#include "testplan/PlanLine.h"
#include "testplan/PlanReport.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestPlanRunner.h"
#include "testplan/TestPlans.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace relvane
{
namespace
{

const char* const kPlanUsage =
    "usage: relvane-run --plan 103|94 --port COMn [--baud N] [--parity None|Odd|Even|Mark|Space]\n"
    "                   [--cases ID,ID...] [--options FILE] --report NAME\n"
    "       relvane-run --plan 103|94 --list\n"
    "  writes NAME.html, NAME.xml (JUnit) and NAME.pcapng (with NAME.txt); exit status 0 when every\n"
    "  applicable case passed, 1 when any failed or was not finished, 2 for bad arguments\n";

constexpr int kSignalStatusBase = 128;

int Bad(const std::string& strMessage)
{
    std::cerr << "relvane-run: " << PrintableText(strMessage) << '\n' << kPlanUsage;
    return 2;
}

std::vector<std::string> SplitList(const std::string& strList)
{
    std::vector<std::string> items;
    std::size_t nStart = 0;
    while (nStart <= strList.size())
    {
        const std::size_t nComma = strList.find(',', nStart);
        const std::string strItem =
            strList.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
        if (!strItem.empty())
            items.push_back(strItem);
        if (nComma == std::string::npos)
            break;
        nStart = nComma + 1;
    }
    return items;
}

std::int64_t WallNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

bool IsPlanCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--plan") == 0)
            return true;
    }
    return false;
}

namespace
{

// The plan command's arguments as given.
struct CPlanArguments
{
    std::string strPlan;
    std::string strPort;
    std::string strBaud = "9600";
    std::string strParity = "None";
    std::string strCases;
    std::string strOptions;
    std::string strReport;
    bool bList = false;
};

// A run the arguments describe, checked whole before the port opens.
struct CPlanSetup
{
    const CTestPlan* pPlan = nullptr;
    std::vector<int> positions;
    CDeviceOptions options;
    int nBaudIndex = 0;
    int nParity = 0;
};

// What a run brings back: the report and the exit status a signal asks for (0: none came).
struct CPlanOutcome
{
    CPlanReport report;
    int nStopStatus = 0;
};

enum class ParseResult
{
    Run,
    Help,
    Bad
};

ParseResult ParsePlanArguments(int argc, char** argv, CPlanArguments& args, std::string& strError)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const auto Value = [&](std::string& strValue)
        {
            if (i + 1 >= argc)
                return false;
            strValue = argv[++i];
            return true;
        };
        bool bOk = true;
        if (arg == "--help" || arg == "-h")
            return ParseResult::Help;
        if (arg == "--plan")
            bOk = Value(args.strPlan);
        else if (arg == "--port")
            bOk = Value(args.strPort);
        else if (arg == "--baud")
            bOk = Value(args.strBaud);
        else if (arg == "--parity")
            bOk = Value(args.strParity);
        else if (arg == "--cases")
            bOk = Value(args.strCases);
        else if (arg == "--options")
            bOk = Value(args.strOptions);
        else if (arg == "--report")
            bOk = Value(args.strReport);
        else if (arg == "--list")
            args.bList = true;
        else
        {
            strError = "unexpected argument \"" + arg + "\"";
            return ParseResult::Bad;
        }
        if (!bOk)
        {
            strError = arg + " needs a value";
            return ParseResult::Bad;
        }
    }
    return ParseResult::Run;
}

// Everything is checked before the port opens: the line's settings, the cases, the options and
// the files the run will write.
bool CheckPlanArguments(const CPlanArguments& args, CPlanSetup& setup, std::string& strError)
{
    const std::string& strPort = args.strPort;
    if (ParseComPort(strPort) == 0)
    {
        strError = "--port must be COM1 to COM256, not \"" + strPort + "\"";
        return false;
    }
    setup.nBaudIndex = FindBaudRate(args.strBaud);
    if (setup.nBaudIndex < 0)
    {
        strError = "--baud must be one of 300 1200 2400 4800 9600 14400 19200 38400 57600 115200";
        return false;
    }
    setup.nParity = FindParityName(args.strParity, true);
    if (setup.nParity < 0)
    {
        strError = "--parity must be None, Odd, Even, Mark or Space";
        return false;
    }
    if (!CTestPlanRunner::SelectCases(*setup.pPlan, SplitList(args.strCases), setup.positions, strError))
        return false;
    if (!args.strCases.empty() && setup.positions.empty())
    {
        strError = "--cases names no case";
        return false;
    }
    if (!args.strOptions.empty() && !LoadDeviceOptions(args.strOptions, setup.options, strError))
        return false;
    if (args.strReport.empty())
    {
        strError = "--report NAME is needed";
        return false;
    }
    // The reports and the capture are checked, not touched: they are made only once the port is
    // open, so that a run that cannot start leaves the last run's files as they were.
    std::vector<COutputFile> outputs;
    for (const char* pszExtension : {".html", ".xml", ".txt", ".pcapng"})
        outputs.push_back({args.strReport + pszExtension, "--report"});
    return CheckOutputFiles(outputs, {{args.strOptions, "--options"}}, strError);
}

// The line as the serial form would set it.
CSerialFields PlanSerialFields(const CRelvaneView& view, const CPlanArguments& args, const CPlanSetup& setup)
{
    CSerialFields serial = view.SerialFields();
    serial.strPort = args.strPort;
    serial.nPortIndex = -1;
    serial.strBaud = args.strBaud;
    serial.nBaudIndex = setup.nBaudIndex;
    serial.strParity =
        QString::fromLatin1(kParityNames[static_cast<std::size_t>(setup.nParity)]).toUpper().toStdString();
    serial.nParityIndex = setup.nParity;
    return serial;
}

// Runs the cases, each finished case said on standard output as it ends; a stop signal ends the
// run after the case it interrupts.
CPlanOutcome RunPlan(CRelvaneView& view, CPlanUserInterface& ui, const CPlanArguments& args,
                     const CPlanSetup& setup, const std::string& strParity)
{
    CTestPlanRunner runner(view, ui);
    CStopSignals stopSignals;
    CPlanOutcome outcome;
    QObject::connect(&stopSignals, &CStopSignals::Stopped,
                     [&](int nSignal)
                     {
                         if (outcome.nStopStatus == 0)
                             outcome.nStopStatus = kSignalStatusBase + nSignal;
                         runner.Stop();
                     });
    QObject::connect(&runner, &CTestPlanRunner::CaseFinished,
                     [&](int nPosition, int nCount, const QString&)
                     {
                         const CCaseResult& result = runner.Results()[static_cast<std::size_t>(nPosition)];
                         std::cout << "[" << nPosition + 1 << "/" << nCount << "] " << result.strId << ' '
                                   << VerdictText(result.eVerdict) << ": " << PrintableText(result.strReason);
                         if (!result.strRestored.empty())
                             std::cout << " [" << PrintableText(result.strRestored) << "]";
                         std::cout << '\n' << std::flush;
                     });

    const CTestPlan& plan = *setup.pPlan;
    CPlanReport& report = outcome.report;
    report.strPlanId = plan.strId;
    report.strPlanTitle = plan.strTitle;
    report.strPort = args.strPort + " " + args.strBaud + " bps " + strParity;
    report.strCapture = args.strReport + ".pcapng";
    report.options = setup.options;
    report.strOptionsFile = args.strOptions;
    report.nStartWallUs = WallNowUs();
    report.results = runner.Run(plan, setup.options, setup.positions);
    report.nEndWallUs = WallNowUs();
    report.frames = runner.Frames();
    if (plan.nMode == MODE_103)
        report.strIdentification = Iec103Identification(report.frames);
    if (outcome.nStopStatus == 0 && CStopSignals::Received() != 0)
        outcome.nStopStatus = kSignalStatusBase + CStopSignals::Received();
    return outcome;
}

// The count of verdicts on standard output and the reports beside the capture.
int ReportPlan(const CPlanOutcome& outcome, const std::string& strReport)
{
    const CVerdictCount count = CountVerdicts(outcome.report.results);
    std::cout << "通过 " << count.nPass << ", 不通过 " << count.nFail << ", 不适用 " << count.nNotApplicable
              << ", 未完成 " << count.nUnfinished << '\n';
    // The capture was written as the run went; the reports come whole at its end.
    std::string strError;
    if (!WritePlanReports(strReport, outcome.report, false, strError))
    {
        std::cerr << "relvane-run: " << PrintableText(strError) << '\n';
        return 2;
    }
    if (outcome.nStopStatus != 0)
        return outcome.nStopStatus;
    return PlanExitStatus(outcome.report.results);
}

} // namespace

int RunPlanCommand(int argc, char** argv)
{
    CPlanArguments args;
    std::string strError;
    switch (ParsePlanArguments(argc, argv, args, strError))
    {
    case ParseResult::Help:
        std::cout << kPlanUsage;
        return 0;
    case ParseResult::Bad:
        return Bad(strError);
    case ParseResult::Run:
        break;
    }
    CPlanSetup setup;
    setup.pPlan = FindTestPlan(args.strPlan);
    if (setup.pPlan == nullptr)
        return Bad("unknown plan \"" + args.strPlan + "\" (103 or 94)");
    if (args.bList)
    {
        for (const CTestCase& testCase : setup.pPlan->cases)
            std::cout << testCase.strId << ' ' << testCase.strTitle << '\n';
        return 0;
    }
    if (!CheckPlanArguments(args, setup, strError))
        return Bad(strError);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    IgnoreWriteSignals();

    CRunnerUserInterface runnerUi(std::cerr);
    CPlanUserInterface ui(&runnerUi);
    auto pView = std::make_unique<CRelvaneView>(std::make_unique<CSerialChannel>(),
                                                std::make_unique<CNetworkChannel>(BuildUdpFrame), ui);
    const CSerialFields serial = PlanSerialFields(*pView, args, setup);
    std::vector<std::string> messages;
    const bool bOpen = OpenPlanLine(*pView, ui, *setup.pPlan, serial, setup.options, messages);
    for (const std::string& strMessage : messages)
        std::cerr << "message: " << strMessage << '\n';
    if (!bOpen)
    {
        std::cerr << "relvane-run: " << args.strPort << " cannot be opened\n";
        return 2;
    }
    // The capture starts with the run: a port that does not open leaves no files behind.
    if (!pView->Recorder().StartCapture(args.strReport, strError))
        return Bad(strError);

    const CPlanOutcome outcome = RunPlan(*pView, ui, args, setup, serial.strParity);
    pView->Recorder().StopCapture();
    return ReportPlan(outcome, args.strReport);
}

} // namespace relvane
