// relvane-run: runs a session script without a window and streams the log it writes.
#include "ConsoleText.h"
#include "LogOutput.h"
#include "OutputTargets.h"
#include "PlanRun.h"
#include "PrintableText.h"
#include "RunScript.h"
#include "RunnerUserInterface.h"
#include "ScriptRunner.h"
#include "StopSignals.h"
#include "events/RecordCsv.h"
#include "iec103/UdpFrame.h"
#include "rtf/RtfText.h"
#include "session/IUserInterface.h"
#include "session/RecordFeed.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QGuiApplication>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>

namespace
{

const char* const kUsage =
    "usage: relvane-run [--log FILE] [--capture NAME] [--stats] [--events FILE.csv] [--measurands FILE.csv] SCRIPT\n"
    "                   (SCRIPT - reads standard input)\n"
    "  --capture NAME  writes every entry to NAME.txt and every frame to NAME.pcapng as it happens\n"
    "  --stats         prints the link statistics on standard error at the end\n"
    "  --events FILE   writes the events the relay reported as CSV (UTF-8) when the run ends\n"
    "  --measurands FILE  writes every measurand value received as CSV (UTF-8) when the run ends\n"
    "       relvane-run --plan 103|94 ... --report NAME   (a test plan; --plan 103 --help says more)\n";

// Exit status of a run a signal stopped, as a shell reports a process the signal ended.
constexpr int kSignalStatusBase = 128;

int Fail(const std::string& strMessage)
{
    std::cerr << "relvane-run: " << relvane::PrintableText(strMessage) << '\n';
    return 2;
}

// Reads and checks the whole script before anything runs.
bool ReadScript(const std::string& strScript, std::vector<relvane::CScriptStep>& steps, std::string& strError)
{
    std::ifstream file;
    std::istream* pInput = &std::cin;
    if (strScript != "-")
    {
        // A directory opens like a file and then reads as empty: it would run nothing, silently.
        struct stat info = {};
        if (stat(strScript.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        {
            strError = "\"" + strScript + "\" is a directory, not a script";
            return false;
        }
        file.open(strScript, std::ios::binary);
        if (!file)
        {
            strError = "cannot read \"" + strScript + "\": " + std::strerror(errno);
            return false;
        }
        pInput = &file;
    }
    try
    {
        if (relvane::ParseRunScript(*pInput, steps, strError))
            return true;
    }
    catch (const std::bad_alloc&)
    {
        strError = "out of memory";
    }
    strError = strScript + ": " + strError;
    return false;
}

// Every file the run writes, checked together before any of them is created or emptied.
bool CheckOutputs(const std::string& strLogFile, const std::string& strCaptureName, const std::string& strScript,
                  const std::vector<relvane::COutputFile>& tables, std::string& strError)
{
    std::vector<relvane::COutputFile> outputs = tables;
    for (const std::string& strLog : relvane::CLogOutput::Files(strLogFile))
        outputs.push_back({strLog, "--log"});
    if (!strCaptureName.empty())
    {
        for (const char* pszExtension : {".txt", ".pcapng"})
            outputs.push_back({strCaptureName + pszExtension, "--capture"});
    }
    std::vector<relvane::CInputFile> inputs;
    if (strScript != "-")
        inputs.push_back({strScript, "the script"});
    return relvane::CheckOutputFiles(outputs, inputs, strError);
}

// The script command's arguments.
struct CScriptArguments
{
    std::string strLogFile;
    std::string strCaptureName;
    bool bStatistics = false;
    std::string strEventsFile;
    std::string strMeasurandsFile;
    std::string strScript;
};

// Reads the arguments; an exit status when the program is to end here (help, bad arguments),
// -1 when it is to run the script.
int ParseScriptArguments(int argc, char** argv, CScriptArguments& args)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--log" && i + 1 < argc)
            args.strLogFile = argv[++i];
        else if (arg == "--capture" && i + 1 < argc)
            args.strCaptureName = argv[++i];
        else if (arg == "--stats")
            args.bStatistics = true;
        else if (arg == "--events" && i + 1 < argc)
            args.strEventsFile = argv[++i];
        else if (arg == "--measurands" && i + 1 < argc)
            args.strMeasurandsFile = argv[++i];
        else if (args.strScript.empty() && (arg == "-" || arg.rfind("--", 0) != 0))
            args.strScript = arg;
        else
        {
            std::cerr << "relvane-run: unexpected argument \"" << relvane::PrintableText(relvane::TokenExcerpt(arg)) << "\"\n"
                      << kUsage;
            return 2;
        }
    }
    if (args.strScript.empty())
    {
        std::cerr << kUsage;
        return 2;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    relvane::UseConsoleText();
    if (relvane::IsPlanCommand(argc, argv))
        return relvane::RunPlanCommand(argc, argv);
    CScriptArguments args;
    if (const int nStatus = ParseScriptArguments(argc, argv, args); nStatus >= 0)
        return nStatus;
    const std::string& strLogFile = args.strLogFile;
    const std::string& strCaptureName = args.strCaptureName;
    const bool bStatistics = args.bStatistics;
    const std::string& strScript = args.strScript;
    const std::string& strEventsFile = args.strEventsFile;
    const std::string& strMeasurandsFile = args.strMeasurandsFile;

    // A reader of standard output that goes away shows as EPIPE, which stops the run in order;
    // a file that reaches the size limit shows as EFBIG, which is said, instead of a core dump.
    relvane::IgnoreWriteSignals();

    // Everything that can be checked is checked before the first step: a bad script or an
    // unwritable log must not surface after a night's run.
    std::vector<relvane::CScriptStep> steps;
    std::string strError;
    if (!ReadScript(strScript, steps, strError))
        return Fail(strError);
    relvane::CLogOutput output(std::cerr);
    std::vector<relvane::COutputFile> tables;
    if (!strEventsFile.empty())
        tables.push_back({strEventsFile, "--events"});
    if (!strMeasurandsFile.empty())
        tables.push_back({strMeasurandsFile, "--measurands"});
    if (!CheckOutputs(strLogFile, strCaptureName, strScript, tables, strError) || !output.Open(strLogFile, strError))
        return Fail(strError);

    // The log document needs a GUI application object, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Qt adopts the user's locale; frame annotations always write numbers with a decimal point.
    std::setlocale(LC_NUMERIC, "C");

    relvane::CRunnerUserInterface ui(std::cerr);
    auto pView = std::make_unique<relvane::CRelvaneView>(
        std::make_unique<relvane::CSerialChannel>(), std::make_unique<relvane::CNetworkChannel>(relvane::BuildUdpFrame), ui);
    if (!strCaptureName.empty() && !pView->Recorder().StartCapture(strCaptureName, strError))
        return Fail(strError);
    // The reason is said when the capture stops (a message); the run goes on and ends with 2.
    bool bCaptureFailed = false;
    QObject::connect(&pView->Recorder(), &relvane::CSessionRecorder::CaptureFailed,
                     [&bCaptureFailed](const QString&) { bCaptureFailed = true; });
    relvane::CRecordFeed recordFeed;
    pView->Recorder().AddReceivedFrameObserver(&recordFeed);
    relvane::CScriptRunner runner(*pView, ui, std::cerr);
    auto pStopSignals = std::make_unique<relvane::CStopSignals>();
    int nStopStatus = 0;
    QObject::connect(pStopSignals.get(), &relvane::CStopSignals::Stopped,
                     [&](int nSignal)
                     {
                         if (nStopStatus == 0)
                             nStopStatus = kSignalStatusBase + nSignal;
                         runner.Stop();
                     });
    pView->Log().SetAppendTap(
        [&](QStringView strPiece, bool)
        {
            output.WriteText(relvane::CLogDocument::LogText(strPiece.toString()).toStdString());
            if (output.StandardOutputGone() && nStopStatus == 0)
            {
                nStopStatus = kSignalStatusBase + relvane::kBrokenPipeSignal;
                runner.Stop();
            }
        });

    const bool bRan = runner.Run(steps, strError);
    const std::string strShortfalls = runner.Shortfalls();
    if (!bRan)
        strError = strScript + ": " + strError;
    // A signal that came while a step ran outside the event loop has not been delivered yet.
    if (nStopStatus == 0 && relvane::CStopSignals::Received() != 0)
        nStopStatus = kSignalStatusBase + relvane::CStopSignals::Received();

    // Complete the files first; only then close the channels (which may take a second or two).
    std::string strOutputError;
    pView->Log().Flush();
    const bool bWritten =
        output.Finish(output.IsRtf() ? relvane::BuildRtf(*pView->LogDocument()).toStdString() : std::string(),
                      strOutputError);
    pStopSignals.reset();
    pView->Log().SetAppendTap(nullptr);
    if (!pView->Recorder().StopCapture())
        bCaptureFailed = true;
    if (bStatistics)
        std::cerr << pView->Recorder().Statistics().Table();
    pView->Recorder().RemoveReceivedFrameObserver(&recordFeed);
    pView.reset();
    // The tables are written whole when the run ends, however it ended.
    std::string strTablesError;
    bool bTablesWritten = true;
    for (const auto& [strFile, bEvents] : {std::pair{strEventsFile, true}, std::pair{strMeasurandsFile, false}})
    {
        if (strFile.empty())
            continue;
        const std::string strCsv = bEvents ? relvane::BuildEventsCsv(recordFeed.Tables())
                                           : relvane::BuildMeasurandsCsv(recordFeed.Tables());
        if (!relvane::WriteCsvFile(strFile, strCsv, strTablesError))
        {
            Fail("cannot write " + strFile + ": " + strTablesError);
            bTablesWritten = false;
        }
    }

    if (!bWritten)
        Fail(strOutputError);
    if (nStopStatus != 0)
    {
        if (nStopStatus != kSignalStatusBase + relvane::kBrokenPipeSignal)
            std::cerr << "relvane-run: stopped by signal " << nStopStatus - kSignalStatusBase << " ("
                      << relvane::SignalName(nStopStatus - kSignalStatusBase) << "); the log is complete\n";
        return nStopStatus;
    }
    if (!bRan)
        return Fail(strError);
    if (bCaptureFailed)
        return Fail("the capture " + strCaptureName + " stopped on a write error and is incomplete");
    if (!strShortfalls.empty())
        return Fail(strShortfalls);
    return bWritten && bTablesWritten ? 0 : 2;
}
