// Printing a long log to PDF and opening a file of one endless paragraph in the window.
//
//   bench_print [entries] [--paragraph CHARACTERS]
//
// The default prints 100,000 annotated '94 entries (target: at most 60 s) and opens a paragraph
// of 1,000,000 characters without a space (target: at most 2 s to the painted window), then
// prints that paragraph too. Time and memory should grow in proportion to the size: compare
// `bench_print 20000` with the default.

#include "BenchSupport.h"
#include "app/LogEdit.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstdio>

using namespace relvane;
using namespace relvane::bench;

namespace
{

// Prints the frame's log into a PDF file and says how long it took.
void TimePrint(CMainFrame& frame, const QString& strPdf, const char* pszWhat, const char* pszTarget)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(strPdf);
    const long nBefore = TrimmedResidentBytes();
    const double dCpuBefore = CpuSeconds();
    const auto start = Clock::now();
    const bool bPrinted = frame.PrintLog(printer);
    const double dPrint = Seconds(start, Clock::now());
    std::printf("  print to PDF, %s: %.2f s (CPU %.2f s), %.1f MB of PDF, %.0f MB more resident%s (%s)\n", pszWhat,
                dPrint, CpuSeconds() - dCpuBefore, QFileInfo(strPdf).size() / 1048576.0,
                static_cast<double>(ResidentBytes() - nBefore) / 1048576.0, bPrinted ? "" : " FAILED", pszTarget);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);
    const int nEntries = PositionalNumber(argc, argv, 100000);
    const int nParagraph = OptionInteger(argc, argv, "--paragraph", 1000000);
    PrintMachine("bench_print");
    QTemporaryDir dir;

    {
        CWorkbench writer(false);
        FillLog(writer.View(), nEntries);
        writer.View().Log().Flush();
        char szWhat[64];
        std::snprintf(szWhat, sizeof szWhat, "%d annotated entries", nEntries);
        TimePrint(writer.Frame(), dir.filePath(QStringLiteral("log.pdf")), szWhat, "target for 100k: at most 60 s");
    }
    Pump(50);

    // One paragraph without a place to break a line, as a hostile or odd file holds.
    const QString strPath = dir.filePath(QStringLiteral("paragraph.rtf"));
    {
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("{\\rtf1 " + QByteArray(nParagraph, 'A') + "\\par}");
    }
    CWorkbench reader(false);
    const double dCpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    const bool bOpened = reader.Frame().OpenLogFile(strPath);
    reader.Frame().show();
    reader.Frame().LogEdit()->viewport()->repaint();
    const double dShown = Seconds(start, Clock::now());
    std::printf("  open a paragraph of %d characters: %.2f s to the painted window (window thread CPU %.2f s)%s "
                "(target for 1M: at most 2 s)\n",
                nParagraph, dShown, ThreadCpuSeconds() - dCpuBefore, bOpened ? "" : " FAILED");
    char szWhat[64];
    std::snprintf(szWhat, sizeof szWhat, "that paragraph");
    TimePrint(reader.Frame(), dir.filePath(QStringLiteral("paragraph.pdf")), szWhat, "linear in its length");
    return 0;
}
