#include "app/DemoChannels.h"
#include "app/DemoSession.h"
#include "app/DialogUserInterface.h"
#include "app/LogFonts.h"
#include "app/MainFrame.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortMap.h"

#include <QApplication>
#include <clocale>
#include <QPixmap>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <cstdio>
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

// Options:
//   --port COMn              the serial port the session starts with (instead of COM1)
// Hidden options for demonstrations and screenshots:
//   --demo-mode 94|103|eth   run on the simulated relay inside the program (no device, no network)
//   --screenshot FILE        save the window as a PNG after the demonstration and quit
struct COptions
{
    bool bDemo = false;
    int nDemoMode = 0;
    QString strPort;
    QString strScreenshot;
    QString strFile; // a log to open at start
    bool bValid = true;
};

COptions ParseOptions(const QStringList& args)
{
    COptions options;
    for (qsizetype i = 1; i < args.size(); ++i)
    {
        if (args[i] == QStringLiteral("--demo-mode") && i + 1 < args.size())
        {
            options.bDemo = ParseDemoMode(args[++i], options.nDemoMode);
            options.bValid = options.bValid && options.bDemo;
        }
        else if (args[i] == QStringLiteral("--port") && i + 1 < args.size())
        {
            options.strPort = args[++i].toUpper();
            static const QRegularExpression s_port(QStringLiteral("^COM[1-9][0-9]{0,2}$"));
            options.bValid = options.bValid && s_port.match(options.strPort).hasMatch();
        }
        else if (args[i] == QStringLiteral("--screenshot") && i + 1 < args.size())
            options.strScreenshot = args[++i];
        else if (!args[i].startsWith(u'-') && options.strFile.isEmpty())
            options.strFile = args[i];
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt adopts the user's locale; frame annotations always write numbers with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Relvane"));
    InstallLogFontFallbacks();

    const COptions options = ParseOptions(QApplication::arguments());
    if (!options.bValid)
    {
        std::fputs("relvane: --demo-mode takes 94, 103 or eth; --port takes COMn\n", stderr);
        return 2;
    }

    CDialogUserInterface ui(&ListPorts);
    std::unique_ptr<ISerialChannel> pSerial;
    std::unique_ptr<INetworkChannel> pNetwork;
    if (options.bDemo)
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
    if (!options.strPort.isEmpty())
        view.PreselectPort(options.strPort.toStdString(),
                           static_cast<int>(ListPorts().indexOf(options.strPort)));
    CMainFrame frame(view);
    ui.SetParentWidget(&frame);
    // A log named on the command line is opened instead of a new one; if it cannot be, the
    // program ends after saying why.
    if (!options.strFile.isEmpty() && !frame.OpenLogFile(options.strFile))
        return 1;
    frame.show();

    if (options.bDemo)
        StartDemo(frame, options.nDemoMode);
    if (!options.strScreenshot.isEmpty())
    {
        QTimer::singleShot(2500, &frame,
                           [&frame, &options]
                           {
                               frame.UpdateCommandStates();
                               if (!frame.grab().save(options.strScreenshot, "PNG"))
                                   std::fprintf(stderr, "relvane: cannot write %s\n",
                                                qPrintable(options.strScreenshot));
                               QApplication::quit();
                           });
    }
    return QApplication::exec();
}
