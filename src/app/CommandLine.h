#pragma once

#include <QString>
#include <QStringList>

namespace relvane
{

// What the workbench's command line asks for. Besides the name of a log to open, the print
// switches of a Windows document program are understood, so that scripts and file managers can
// print a log and end:
//   /p FILE, -p FILE, --print FILE           print on the default printer
//   /pt FILE PRINTER DRIVER PORT             print on the named printer (on Linux the CUPS queue;
//                                            the driver and the port are accepted and unused)
//   --print-to-pdf OUT.pdf FILE              print into a PDF file, needing no screen
//   --port COMn                              start with that serial port chosen
//   --relay COMn                             the same, beside a simulated relay on that port:
//                                            the status bar says so, hints and asking to save
//                                            are on for the run (`make run`)
// Only the exact words /p and /pt are switches; any other argument beginning with '/' is a path.
struct CCommandLine
{
    enum class EPrint
    {
        None,
        DefaultPrinter,
        NamedPrinter,
        PdfFile,
    };

    QString strFile; // the log to open (and to print)
    EPrint ePrint = EPrint::None;
    QString strPrinter;
    QString strDriver;
    QString strPrinterPort;
    QString strPdfFile;
    QString strPort;           // the serial port the session starts with, as COMn (instead of COM1)
    bool bBesideRelay = false; // a simulated relay is on strPort
    QString strDemoMode;       // hidden: run on the demonstration relay
    QString strScreenshot;     // hidden: save the window as a PNG after the demonstration
    QString strScene;          // hidden: what the screenshot shows besides the window ("ports", "statistics")
    bool bHelp = false;
    QString strError; // the first fault found, for the user; empty when the line is sound
};

// Parses the arguments after the program's name.
CCommandLine ParseCommandLine(const QStringList& args);
QString CommandLineUsage();

} // namespace relvane
