#include "app/CommandLine.h"
#include "app/DemoChannels.h"
#include "app/DemoSession.h"
#include "app/DialogUserInterface.h"
#include "app/LogFonts.h"
#include "app/MainFrame.h"
#include "app/QtTranslations.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortMap.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QPrinter>
#include <QStringList>
#include <QTimer>
#include <clocale>
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

} // namespace

int main(int argc, char** argv)
{
    if (!PrepareStart(argc, argv))
        return 0;
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
        pNetwork = std::make_unique<CNetworkChannel>();
    }
    CRelvaneView view(std::move(pSerial), std::move(pNetwork), ui);
    if (!line.strPort.isEmpty())
        view.PreselectPort(line.strPort.toStdString(),
                           static_cast<int>(ListPorts().indexOf(line.strPort)));
    CMainFrame frame(view);
    ui.SetParentWidget(&frame);
    // A log named on the command line is opened instead of a new one; if it cannot be, the
    // program ends after saying why.
    if (!line.strFile.isEmpty() && !frame.OpenLogFile(line.strFile))
        return 1;
    // The print switches print the log, without showing the window, and end the program.
    if (bPrint)
        return PrintFromCommandLine(frame, line);
    frame.show();

    if (bDemo)
        StartDemo(frame, nDemoMode);
    if (!line.strScreenshot.isEmpty())
    {
        QTimer::singleShot(2500, &frame,
                           [&frame, &line]
                           {
                               frame.UpdateCommandStates();
                               if (!frame.grab().save(line.strScreenshot, "PNG"))
                                   std::fprintf(stderr, "relvane: cannot write %s\n",
                                                qPrintable(line.strScreenshot));
                               QApplication::quit();
                           });
    }
    return QApplication::exec();
}
