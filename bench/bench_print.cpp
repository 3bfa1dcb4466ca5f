// Printing a long log to PDF and opening files of one endless paragraph in the window.
//
//   bench_print [entries] [--paragraph CHARACTERS] [--no-log]
//
// The default prints 100,000 annotated '94 entries (target: at most 60 s), then opens paragraphs
// of 1,000,000 characters of each kind a layout breaks differently (letters without a space, "x"
// and no-break spaces, Han ideographs, CJK punctuation, private-use characters, lone surrogates;
// target: at most 2 s each to the painted window) and prints each of them. Time and memory should
// grow in proportion to the size: compare `bench_print 20000 --paragraph 500000` with the default.

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

    if (!HasFlag(argc, argv, "--no-log"))
    {
        CWorkbench writer(false);
        FillLog(writer.View(), nEntries);
        writer.View().Log().Flush();
        char szWhat[64];
        std::snprintf(szWhat, sizeof szWhat, "%d annotated entries", nEntries);
        TimePrint(writer.Frame(), dir.filePath(QStringLiteral("log.pdf")), szWhat, "target for 100k: at most 60 s");
        Pump(50);
    }

    // One paragraph of each kind, as a hostile or odd file holds: the RTF form of one repetition.
    const struct
    {
        const char* pszKind;
        QByteArray abUnit;
        int nCharacters; // characters per repetition
    } kParagraphs[] = {
        {"letters without a space", "A", 1},
        {"x and no-break spaces", "x\\u160?", 2},
        {"Han ideographs", "\\u20013?", 1},
        {"CJK punctuation (U+3001)", "\\u12289?", 1},
        {"private use (U+E000)", "\\u-8192?", 1},
        {"lone surrogates (U+D800)", "\\u-10240?", 1},
    };
    for (const auto& paragraph : kParagraphs)
    {
        const QString strPath = dir.filePath(QStringLiteral("paragraph.rtf"));
        {
            QFile file(strPath);
            if (!file.open(QIODevice::WriteOnly))
                return 1;
            file.write("{\\rtf1 " + paragraph.abUnit.repeated(nParagraph / paragraph.nCharacters) + "\\par}");
        }
        CWorkbench reader(false);
        const double dCpuBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        const bool bOpened = reader.Frame().OpenLogFile(strPath);
        reader.Frame().show();
        reader.Frame().LogEdit()->viewport()->repaint();
        const double dShown = Seconds(start, Clock::now());
        std::printf("  open a paragraph of %d characters, %s: %.2f s to the painted window (window thread CPU "
                    "%.2f s)%s (target for 1M: at most 2 s)\n",
                    nParagraph, paragraph.pszKind, dShown, ThreadCpuSeconds() - dCpuBefore, bOpened ? "" : " FAILED");
        std::fflush(stdout);
        TimePrint(reader.Frame(), dir.filePath(QStringLiteral("paragraph.pdf")), "that paragraph", "linear in its length");
        std::fflush(stdout);
        Pump(50);
    }
    return 0;
}
