#include "app/CommandLine.h"

#include <QRegularExpression>

namespace relvane
{

namespace
{
bool IsSwitch(const QString& strArg, QLatin1StringView strName)
{
    return strArg.compare(strName, Qt::CaseInsensitive) == 0;
}
} // namespace

CCommandLine ParseCommandLine(const QStringList& args)
{
    CCommandLine line;
    auto fail = [&line](const QString& strError)
    {
        if (line.strError.isEmpty())
            line.strError = strError;
    };
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i)
    {
        const QString& strArg = args[i];
        auto takeValue = [&](QString& strValue)
        {
            if (i + 1 < args.size())
                strValue = args[++i];
            else
                fail(QStringLiteral("%1 takes a value").arg(strArg));
        };
        if (IsSwitch(strArg, QLatin1StringView("/p")) || strArg == QStringLiteral("-p") ||
            strArg == QStringLiteral("--print"))
            line.ePrint = CCommandLine::EPrint::DefaultPrinter;
        else if (IsSwitch(strArg, QLatin1StringView("/pt")) || strArg == QStringLiteral("-pt"))
            line.ePrint = CCommandLine::EPrint::NamedPrinter;
        else if (strArg == QStringLiteral("--print-to-pdf"))
        {
            line.ePrint = CCommandLine::EPrint::PdfFile;
            takeValue(line.strPdfFile);
        }
        else if (strArg == QStringLiteral("--port") || strArg == QStringLiteral("--relay"))
        {
            takeValue(line.strPort);
            line.strPort = line.strPort.toUpper();
            line.bBesideRelay = strArg == QStringLiteral("--relay");
            static const QRegularExpression s_port(QStringLiteral("^COM[1-9][0-9]{0,2}$"));
            if (!line.strPort.isEmpty() && !s_port.match(line.strPort).hasMatch())
                fail(QStringLiteral("%1 takes COMn").arg(strArg));
        }
        else if (strArg == QStringLiteral("--demo-mode"))
            takeValue(line.strDemoMode);
        else if (strArg == QStringLiteral("--screenshot"))
            takeValue(line.strScreenshot);
        else if (strArg == QStringLiteral("--screenshot-scene"))
            takeValue(line.strScene);
        else if (strArg == QStringLiteral("-h") || strArg == QStringLiteral("--help"))
            line.bHelp = true;
        else if (strArg.startsWith(u'-') && strArg != QStringLiteral("-"))
            fail(QStringLiteral("unknown option %1").arg(strArg));
        else
            positional << strArg;
    }

    // As the document programs of Windows have it, the names after the switches are the file
    // and, for /pt, the printer, the driver and the port.
    line.strFile = positional.value(0);
    if (line.ePrint == CCommandLine::EPrint::NamedPrinter)
    {
        if (positional.size() < 4)
            fail(QStringLiteral("/pt takes a file, a printer, a driver and a port"));
        line.strPrinter = positional.value(1);
        line.strDriver = positional.value(2);
        line.strPrinterPort = positional.value(3);
    }
    if (line.ePrint != CCommandLine::EPrint::None && line.strFile.isEmpty())
        fail(QStringLiteral("printing needs the name of a log file"));
    return line;
}

QString CommandLineUsage()
{
    return QStringLiteral("usage: relvane [--port COMn | --relay COMn] [FILE.rtf]\n"
                          "       relvane /p FILE.rtf              (also -p, --print)\n"
                          "       relvane /pt FILE.rtf PRINTER DRIVER PORT\n"
                          "       relvane --print-to-pdf OUT.pdf FILE.rtf\n");
}

} // namespace relvane
