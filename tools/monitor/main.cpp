// relvane-monitor: listens to a live master-relay line on receive-only ports and logs, captures
// and counts every frame with its direction and time, until SIGINT or SIGTERM.
#include "ConsoleText.h"
#include "PrintableText.h"
#include "StopSignals.h"
#include "common/WholeFile.h"
#include "monitor/LineMonitor.h"
#include "rtf/RtfText.h"
#include "transport/SerialChannel.h"
#include "session/LogDocument.h"

#include <QGuiApplication>
#include <QTimer>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

namespace
{

const char* const kUsage =
    "usage: relvane-monitor --protocol 94|103 (--master COMn --relay COMm | --bus COMn)\n"
    "                       [--baud N] [--parity None|Odd|Even|Mark|Space] [--model KLR10|KTR20]\n"
    "                       [--resolution MS] [--capture NAME] [--rtf FILE]\n"
    "  --master COMn   the port that hears the master's transmit line\n"
    "  --relay COMm    the port that hears the relay's transmit line\n"
    "  --bus COMn      one port on a shared pair: the direction is read from each frame\n"
    "  --baud N        default 9600;  --parity  default None\n"
    "  --resolution MS frames of the two lines closer than this are marked (先后不定);\n"
    "                  default: 16 characters at the baud plus 1 ms, plus a USB adapter's latency timer\n"
    "  --capture NAME  writes every entry to NAME.txt and every frame to NAME.pcapng as it happens\n"
    "  --rtf FILE      saves the log as RTF when the monitor stops\n"
    "The log goes to standard output; the statistics to standard error at the end.\n"
    "Runs until SIGINT (Ctrl-C) or SIGTERM, then completes its files and exits 0.\n";

// Exit status when standard output's reader went away, as a shell reports SIGPIPE.
constexpr int kPipeStatus = 128 + relvane::kBrokenPipeSignal;

int Fail(const std::string& strMessage, int nStatus = 2)
{
    std::cerr << "relvane-monitor: " << relvane::PrintableText(strMessage) << '\n';
    return nStatus;
}

bool ParseNumber(const std::string& strText, long long nMax, long long& nValue)
{
    if (strText.empty() || strText.size() > 10 || strText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nValue = std::stoll(strText);
    return nValue <= nMax;
}

bool WriteAll(int nFd, const std::string& strText)
{
    std::size_t nDone = 0;
    while (nDone < strText.size())
    {
        const ssize_t nWritten = write(nFd, strText.data() + nDone, strText.size() - nDone);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        nDone += static_cast<std::size_t>(nWritten);
    }
    return true;
}

// What the command line asked for.
struct CMonitorOptions
{
    relvane::CMonitorSettings settings;
    std::string strCapture;
    std::string strRtf;
};

// One option and its value into options; an exit status when the option is wrong.
std::optional<int> ParseOption(const std::string& arg, const std::string& value, CMonitorOptions& options)
{
    relvane::CMonitorSettings& settings = options.settings;
    long long nValue = 0;
    if (arg == "--protocol")
    {
        if (value != "94" && value != "103")
            return Fail("--protocol is 94 or 103, not \"" + value + "\"");
        settings.nProtocol = value == "94" ? relvane::MONITOR_94 : relvane::MONITOR_103;
    }
    else if (arg == "--master" || arg == "--relay" || arg == "--bus")
    {
        const int nPort = relvane::ParsePortText(value);
        if (nPort == 0)
            return Fail(arg + " takes a port COMn, not \"" + value + "\"");
        (arg == "--master" ? settings.nMasterPort : arg == "--relay" ? settings.nRelayPort : settings.nBusPort) = nPort;
    }
    else if (arg == "--baud")
    {
        if (!ParseNumber(value, 4000000, nValue) || nValue == 0)
            return Fail("--baud takes a number 1 to 4000000, not \"" + value + "\"");
        settings.nBaud = static_cast<int>(nValue);
    }
    else if (arg == "--parity")
    {
        settings.cParity = relvane::ParseParityText(value);
        if (settings.cParity == 0)
            return Fail("--parity is None, Odd, Even, Mark or Space, not \"" + value + "\"");
    }
    else if (arg == "--model")
    {
        if (value != "KLR10" && value != "KTR20")
            return Fail("--model is KLR10 or KTR20, not \"" + value + "\"");
        settings.eModel = value == "KTR20" ? relvane::KTR20 : relvane::KLR10;
    }
    else if (arg == "--resolution")
    {
        if (!ParseNumber(value, 60000, nValue))
            return Fail("--resolution takes milliseconds 0 to 60000, not \"" + value + "\"");
        settings.nResolutionUs = nValue * 1000;
    }
    else if (arg == "--capture" && !value.empty())
        options.strCapture = value;
    else if (arg == "--rtf" && !value.empty())
        options.strRtf = value;
    else
        return Fail("unexpected argument \"" + arg + "\"\n" + kUsage);
    return std::nullopt;
}

// The command line into options, checked; an exit status when the program ends here (help, a
// wrong or missing option, settings that do not hold, an RTF file that cannot be written).
std::optional<int> ParseOptions(int argc, char** argv, CMonitorOptions& options)
{
    options.settings.nProtocol = -1;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc)
            return Fail("unexpected argument \"" + arg + "\"\n" + kUsage);
        if (const std::optional<int> nExit = ParseOption(arg, argv[++i], options))
            return nExit;
    }
    if (options.settings.nProtocol < 0)
        return Fail(std::string("--protocol is missing\n") + kUsage);
    const std::string strProblem = relvane::CheckMonitorSettings(options.settings);
    if (!strProblem.empty())
        return Fail(strProblem);

    // The RTF file is written whole at the end; whether it can be is known now, and an old one
    // stays as it was until then.
    if (!options.strRtf.empty())
    {
        relvane::CWholeFile probe;
        if (!probe.Open(options.strRtf))
            return Fail("cannot write \"" + options.strRtf + "\": " + std::strerror(probe.Error()));
    }
    return std::nullopt;
}

// Starts the capture and ties the monitor's entries and complaints to the console; the entry
// tap ends the application when standard output's reader went away. An exit status on failure.
std::optional<int> OpenMonitor(relvane::CLineMonitor& monitor, const CMonitorOptions& options,
                               QGuiApplication& app, bool& bOutputGone)
{
    monitor.SetKeepLog(!options.strRtf.empty());
    std::string strError;
    if (!options.strCapture.empty() && !monitor.StartCapture(options.strCapture, strError))
        return Fail(strError);
    monitor.SetEntryTap(
        [&app, &bOutputGone](const std::string& strEntry)
        {
            if (!bOutputGone && !WriteAll(STDOUT_FILENO, strEntry))
            {
                bOutputGone = true;
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
            }
        });
    QObject::connect(&monitor, &relvane::CLineMonitor::LineGone,
                     [](const QString& strMessage) { Fail(strMessage.toStdString(), 0); });
    QObject::connect(&monitor, &relvane::CLineMonitor::CaptureFailed,
                     [](const QString& strMessage) { Fail(strMessage.toStdString(), 0); });
    return std::nullopt;
}

void AnnounceListening(const relvane::CMonitorSettings& settings)
{
    const std::string strLine = std::to_string(settings.nBaud) + " baud, parity " + settings.cParity;
    const std::string strProtocol = settings.nProtocol == relvane::MONITOR_94 ? "94" : "103";
    if (settings.nBusPort != 0)
        Fail("listening on the bus COM" + std::to_string(settings.nBusPort) + ", protocol " + strProtocol + ", " +
                 strLine + "; Ctrl-C ends",
             0);
    else
        Fail("listening on COM" + std::to_string(settings.nMasterPort) + " (master) and COM" +
                 std::to_string(settings.nRelayPort) + " (relay), protocol " + strProtocol + ", " + strLine +
                 "; Ctrl-C ends",
             0);
}

// Stops listening, completes the capture and the RTF file and prints the statistics; the exit
// status of the run.
int FinishMonitor(relvane::CLineMonitor& monitor, const std::string& strRtf, bool bOutputGone)
{
    // Everything heard is written before the files are completed.
    monitor.Stop();
    monitor.StopCapture();
    bool bWritten = true;
    if (!strRtf.empty())
    {
        monitor.Log().Flush();
        const QByteArray abRtf = relvane::BuildRtf(*monitor.Log().Document());
        int nError = 0;
        bWritten = relvane::WriteWholeFile(strRtf, abRtf.constData(), static_cast<std::size_t>(abRtf.size()), nError);
        if (!bWritten)
            Fail("cannot write \"" + strRtf + "\": " + std::strerror(nError), 0);
    }
    std::cerr << monitor.StatisticsTable();
    if (!bWritten)
        return 2;
    return bOutputGone ? kPipeStatus : 0;
}

} // namespace

int main(int argc, char** argv)
{
    relvane::UseConsoleText();
    CMonitorOptions options;
    if (const std::optional<int> nExit = ParseOptions(argc, argv, options))
        return *nExit;
    relvane::IgnoreWriteSignals();

    // The log document needs a GUI application object, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    relvane::CLineMonitor monitor(std::make_unique<relvane::CSerialChannel>(),
                                  std::make_unique<relvane::CSerialChannel>());
    bool bOutputGone = false;
    if (const std::optional<int> nExit = OpenMonitor(monitor, options, app, bOutputGone))
        return *nExit;
    relvane::CStopSignals stopSignals;
    QObject::connect(&stopSignals, &relvane::CStopSignals::Stopped, &app, &QCoreApplication::quit);
    std::string strError;
    if (!monitor.Start(options.settings, strError))
        return Fail(strError, 1);
    AnnounceListening(options.settings);

    // A signal that came before the handlers' notifier was watched is still noted.
    if (relvane::CStopSignals::Received() == 0)
        app.exec();
    return FinishMonitor(monitor, options.strRtf, bOutputGone);
}
