#include "PlanRun.h"

#include "OutputTargets.h"
#include "PrintableText.h"
#include "RunnerUserInterface.h"
#include "StopSignals.h"
#include "iec103/UdpFrame.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/DeviceOptions.h"
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

int RunPlanCommand(int argc, char** argv)
{
    std::string strPlan, strPort, strBaud = "9600", strParity = "None", strCases, strOptions, strReport;
    bool bList = false;
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
        {
            std::cout << kPlanUsage;
            return 0;
        }
        if (arg == "--plan")
            bOk = Value(strPlan);
        else if (arg == "--port")
            bOk = Value(strPort);
        else if (arg == "--baud")
            bOk = Value(strBaud);
        else if (arg == "--parity")
            bOk = Value(strParity);
        else if (arg == "--cases")
            bOk = Value(strCases);
        else if (arg == "--options")
            bOk = Value(strOptions);
        else if (arg == "--report")
            bOk = Value(strReport);
        else if (arg == "--list")
            bList = true;
        else
            return Bad("unexpected argument \"" + arg + "\"");
        if (!bOk)
            return Bad(arg + " needs a value");
    }

    const CTestPlan* pPlan = FindTestPlan(strPlan);
    if (pPlan == nullptr)
        return Bad("unknown plan \"" + strPlan + "\" (103 or 94)");
    if (bList)
    {
        for (const CTestCase& testCase : pPlan->cases)
            std::cout << testCase.strId << ' ' << testCase.strTitle << '\n';
        return 0;
    }

    // Everything is checked before the port opens.
    std::size_t nDigits = 0;
    if (strPort.size() > 3 && strPort.compare(0, 3, "COM") == 0)
        nDigits = strPort.find_first_not_of("0123456789", 3) == std::string::npos ? strPort.size() - 3 : 0;
    if (nDigits == 0 || nDigits > 3 || std::stoi(strPort.substr(3)) < 1 || std::stoi(strPort.substr(3)) > 256)
        return Bad("--port must be COM1 to COM256, not \"" + strPort + "\"");
    static const char* const kBauds[] = {"300", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"};
    const auto* pBaud = std::find(std::begin(kBauds), std::end(kBauds), strBaud);
    if (pBaud == std::end(kBauds))
        return Bad("--baud must be one of 300 1200 2400 4800 9600 14400 19200 38400 57600 115200");
    static const char* const kParities[] = {"None", "Odd", "Even", "Mark", "Space"};
    int nParity = -1;
    for (int i = 0; i < 5; ++i)
    {
        if (QString::fromStdString(strParity).compare(QLatin1String(kParities[i]), Qt::CaseInsensitive) == 0)
            nParity = i;
    }
    if (nParity < 0)
        return Bad("--parity must be None, Odd, Even, Mark or Space");
    std::vector<int> positions;
    std::string strError;
    if (!CTestPlanRunner::SelectCases(*pPlan, SplitList(strCases), positions, strError))
        return Bad(strError);
    if (!strCases.empty() && positions.empty())
        return Bad("--cases names no case");
    CDeviceOptions options;
    if (!strOptions.empty() && !LoadDeviceOptions(strOptions, options, strError))
        return Bad(strError);
    if (strReport.empty())
        return Bad("--report NAME is needed");
    const std::string strHtml = strReport + ".html";
    const std::string strXml = strReport + ".xml";
    // The reports and the capture are checked, not touched: they are made only once the port is
    // open, so that a run that cannot start leaves the last run's files as they were.
    std::vector<COutputFile> outputs;
    for (const char* pszExtension : {".html", ".xml", ".txt", ".pcapng"})
        outputs.push_back({strReport + pszExtension, "--report"});
    if (!CheckOutputFiles(outputs, {{strOptions, "--options"}}, strError))
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
    // The line as the serial form would set it; the session's time-out long enough that a late
    // answer is still taken as one (the cases judge the lateness).
    CSerialFields serial = pView->SerialFields();
    serial.strPort = strPort;
    serial.nPortIndex = -1;
    serial.strBaud = strBaud;
    serial.nBaudIndex = static_cast<int>(pBaud - std::begin(kBauds));
    serial.strParity = QString::fromLatin1(kParities[nParity]).toUpper().toStdString();
    serial.nParityIndex = nParity;
    serial.nTimeoutMs = std::max(1500, options.nResponseLimitMs * 2 + 1000);
    ui.SetPlanActive(true);
    ui.AnswerSerialForm(serial);
    pView->OnCommand(ID_SERIAL_SETTINGS);
    pView->OnCommand(ID_SERIAL_CONNECT);
    pView->OnCommand(pPlan->nMode == MODE_103 ? ID_MODE_103 : ID_MODE_94);
    for (const std::string& strMessage : ui.TakeMessages())
        std::cerr << "message: " << strMessage << '\n';
    ui.SetPlanActive(false);
    if (!pView->PortOpen())
    {
        std::cerr << "relvane-run: " << strPort << " cannot be opened\n";
        return 2;
    }
    // The capture starts with the run: a port that does not open leaves no files behind.
    if (!pView->Recorder().StartCapture(strReport, strError))
        return Bad(strError);

    CTestPlanRunner runner(*pView, ui);
    CStopSignals stopSignals;
    int nStopStatus = 0;
    QObject::connect(&stopSignals, &CStopSignals::Stopped,
                     [&](int nSignal)
                     {
                         if (nStopStatus == 0)
                             nStopStatus = kSignalStatusBase + nSignal;
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

    CPlanReport report;
    report.strPlanId = pPlan->strId;
    report.strPlanTitle = pPlan->strTitle;
    report.strPort = strPort + " " + strBaud + " bps " + serial.strParity;
    report.strCapture = strReport + ".pcapng";
    report.options = options;
    report.strOptionsFile = strOptions;
    report.nStartWallUs = WallNowUs();
    report.results = runner.Run(*pPlan, options, positions);
    report.nEndWallUs = WallNowUs();
    report.frames = runner.Frames();
    if (pPlan->nMode == MODE_103)
        report.strIdentification = Iec103Identification(report.frames);
    if (nStopStatus == 0 && CStopSignals::Received() != 0)
        nStopStatus = kSignalStatusBase + CStopSignals::Received();

    pView->Recorder().StopCapture();
    const CVerdictCount count = CountVerdicts(report.results);
    std::cout << "通过 " << count.nPass << ", 不通过 " << count.nFail << ", 不适用 " << count.nNotApplicable
              << ", 未完成 " << count.nUnfinished << '\n';
    // The capture was written as the run went; the reports come whole at its end.
    if (!WritePlanReports(strReport, report, false, strError))
    {
        std::cerr << "relvane-run: " << PrintableText(strError) << '\n';
        return 2;
    }
    if (nStopStatus != 0)
        return nStopStatus;
    return PlanExitStatus(report.results);
}

} // namespace relvane
