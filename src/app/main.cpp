#include "app/BenchAssist.h"
#include "app/CommandLine.h"
#include "app/DemoChannels.h"
#include "app/DemoSession.h"
#include "app/DialogUserInterface.h"
#include "app/LogFonts.h"
#include "app/LogHeap.h"
#include "app/MainFrame.h"
#include "app/RecordViews.h"
#include "app/QtTranslations.h"
#include "common/WholeFile.h"
#include "forms/FormDialog.h"
#include "iec103/UdpFrame.h"
#include "session/PortMessages.h"
#include "session/RelvaneView.h"
#include "testplan/PlanUserInterface.h"
#include "session/SessionCommands.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortInfo.h"
#include "transport/SerialPortMap.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QPrinter>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace relvane;

namespace
{

QStringList ListPorts()
{
    QStringList ports;
    for (const std::string& strPort : ListAvailablePorts())
        ports << QString::fromStdString(strPort);
    return ports;
}

QString StateText(CPortDescription::EState eState)
{
    return QString::fromStdString(PortStateText(eState));
}

// The port list in detail: device (where a map entry leads), adapter and serial number.
QList<CPortEntry> DescribePortEntries()
{
    QList<CPortEntry> entries;
    for (const CPortDescription& port : DescribePorts())
    {
        CPortEntry entry;
        entry.strName = QStringLiteral("COM%1").arg(port.nPort);
        entry.strDetail = QString::fromStdString(port.strTarget.empty() ? port.strDevice : port.strTarget);
        if (!port.strAdapter.empty())
            entry.strDetail += QStringLiteral("    ") + QString::fromStdString(port.strAdapter);
        if (!port.strSerialNumber.empty())
            entry.strDetail +=
                QStringLiteral(" (序列号 %1)").arg(QString::fromStdString(port.strSerialNumber));
        entry.strProblem = StateText(port.eState);
        entries << entry;
    }
    return entries;
}

// The device COMn opens, with a map entry followed to where it leads.
QString DeviceOfPort(const QString& strPort)
{
    const std::string strPath = PortDevicePath(strPort.mid(3).toInt());
    if (strPath.empty())
        return {};
    const QString strDevice = QString::fromStdString(strPath);
    const QFileInfo info(strDevice);
    return info.isSymLink() ? info.symLinkTarget() : strDevice;
}

// Before Qt needs a screen: the usage needs none, and printing from the command line draws off
// screen when there is no display. False when the program has nothing more to do.
bool PrepareStart(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CCommandLine line = ParseCommandLine(args);
    if (line.bHelp)
    {
        std::fputs(qPrintable(CommandLineUsage()), stdout);
        return false;
    }
    if (line.ePrint != CCommandLine::EPrint::None && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

// Prints the opened log as the print switches ask; the result is the program's exit status.
int PrintFromCommandLine(CMainFrame& frame, const CCommandLine& line)
{
    QPrinter printer(QPrinter::HighResolution);
    if (line.ePrint == CCommandLine::EPrint::PdfFile)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(line.strPdfFile);
    }
    else if (line.ePrint == CCommandLine::EPrint::NamedPrinter)
    {
        printer.setPrinterName(line.strPrinter);
        if (printer.printerName() != line.strPrinter || !printer.isValid())
        {
            ShowRelvaneMessage(&frame, QStringLiteral("无法启动打印作业。"));
            return 1;
        }
    }
    return frame.PrintLog(printer) ? 0 : 1;
}

// Saves the window (or, for a scene with a form, the whole screen) as a PNG once the
// demonstration has run, and ends the program.
void TakeScreenshot(CMainFrame& frame, const CCommandLine& line)
{
    auto save = [&frame, &line](bool bScreen)
    {
        frame.UpdateCommandStates();
        const QPixmap image = bScreen ? QGuiApplication::primaryScreen()->grabWindow(0) : frame.grab();
        QByteArray abPng;
        QBuffer buffer(&abPng);
        int nError = 0;
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") ||
            !WriteWholeFile(line.strScreenshot.toStdString(), abPng.constData(), static_cast<std::size_t>(abPng.size()),
                            nError))
            std::fprintf(stderr, "relvane: cannot write %s\n", qPrintable(line.strScreenshot));
        // The demonstration's entries are nobody's work, and no one is there to answer a question
        // before they are dropped: a screenshot run ends on its own.
        if (frame.BenchAssist() != nullptr)
            frame.BenchAssist()->MarkSaved();
        QApplication::quit();
    };
    if (line.strScene == QStringLiteral("statistics"))
        frame.OnCommand(ID_VIEW_STATISTICS);
    else if (line.strScene == QStringLiteral("events"))
        frame.OnCommand(ID_VIEW_EVENTS);
    else if (line.strScene == QStringLiteral("trends"))
        frame.OnCommand(ID_VIEW_TRENDS);
    if (line.strScene != QStringLiteral("ports"))
    {
        QTimer::singleShot(2500, &frame, [save] { save(false); });
        return;
    }
    // The serial form with its port list dropped down: the form runs modally, so the list is
    // opened and the screen taken from timers started before it.
    QTimer::singleShot(1000, &frame,
                       [&frame, save]
                       {
                           QTimer::singleShot(1000, &frame,
                                              []
                                              {
                                                  if (QWidget* pForm = QApplication::activeModalWidget())
                                                  {
                                                      if (auto* pList = pForm->findChild<QComboBox*>(
                                                              QStringLiteral("ctl_1000")))
                                                          pList->showPopup();
                                                  }
                                              });
                           QTimer::singleShot(2000, &frame, [save] { save(true); });
                           frame.OnCommand(ID_SERIAL_SETTINGS);
                       });
}

} // namespace

int main(int argc, char** argv)
{
    if (!PrepareStart(argc, argv))
        return 0;
    // A file that reaches the size limit fails its write, which is said, instead of a core dump
    // (Windows has no size-limit signal).
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    KeepLargeBlocksMapped();
    QApplication app(argc, argv);
    // Qt adopts the user's locale; frame annotations always write numbers with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    InstallQtChineseTranslations();
    InstallLogFontFallbacks();

    const CCommandLine line = ParseCommandLine(QApplication::arguments().mid(1));
    int nDemoMode = 0;
    const bool bDemo = !line.strDemoMode.isEmpty();
    if (line.strError.isEmpty() && bDemo && !ParseDemoMode(line.strDemoMode, nDemoMode))
    {
        std::fputs("relvane: --demo-mode takes 94, 103 or eth\n", stderr);
        return 2;
    }
    if (!line.strError.isEmpty())
    {
        std::fprintf(stderr, "relvane: %s\n%s", qPrintable(line.strError), qPrintable(CommandLineUsage()));
        return 2;
    }
    const bool bPrint = line.ePrint != CCommandLine::EPrint::None;
    if (bPrint && QGuiApplication::platformName() == QStringLiteral("offscreen"))
    {
        // Nobody could answer a message box: say it on standard error.
        SetMessageHook(
            [](QWidget*, const QString& strText)
            { std::fprintf(stderr, "relvane: %s\n", qPrintable(QString(strText).replace(u'\n', u' '))); });
    }

    CDialogUserInterface ui(&ListPorts);
    std::unique_ptr<ISerialChannel> pSerial;
    std::unique_ptr<INetworkChannel> pNetwork;
    if (bDemo)
    {
        pSerial = std::make_unique<CDemoSerialChannel>();
        pNetwork = std::make_unique<CDemoNetworkChannel>();
    }
    else
    {
        pSerial = std::make_unique<CSerialChannel>();
        pNetwork = std::make_unique<CNetworkChannel>(BuildUdpFrame);
    }
    // While no plan runs this passes everything to the dialogs, so the session is as without plans.
    CPlanUserInterface planUi(&ui);
    CRelvaneView view(std::move(pSerial), std::move(pNetwork), planUi);
    if (!line.strPort.isEmpty())
        view.PreselectPort(line.strPort.toStdString(), static_cast<int>(ListPorts().indexOf(line.strPort)));
    CMainFrame frame(view);
    frame.SetPlanUserInterface(&planUi);
    ui.SetParentWidget(&frame);
    if (!bDemo)
        frame.BenchAssist()->SetSystemPorts(&DescribePortEntries, &DeviceOfPort);
    // A log named on the command line is opened instead of a new one; if it cannot be, the
    // window says why and stays open with an empty log. The print switches print the log,
    // without showing the window, and end the program (status 1 when the log did not open).
    if (bPrint)
        return line.strFile.isEmpty() || frame.OpenLogFile(line.strFile) ? PrintFromCommandLine(frame, line) : 1;
    // The window is shown (and so sized) before the log is read into it: the log's layout then
    // keeps its width, and a change of width would lay out every paragraph of a big log again.
    frame.show();
    if (!line.strFile.isEmpty())
        frame.OpenLogFile(line.strFile);
    if (line.bBesideRelay)
        frame.BenchAssist()->StartBesideRelay(line.strPort);

    if (bDemo)
        StartDemo(frame, nDemoMode);
    if (!line.strScreenshot.isEmpty())
        TakeScreenshot(frame, line);
    return QApplication::exec();
}
