// Saving and opening a big log in the real window: an annotated '94 log saved as RTF, then opened
// in a fresh window until the window is shown, painted and scrolled to the end. When LibreOffice
// is installed, its conversion of the same file is timed as well.
//
//   bench_open [entries] [--limit-seconds S] [--no-office] [--file PATH [--reuse]]
//
// --file keeps the log at PATH; with --reuse an existing file there is opened without writing
// a new one (the entry count is then only used for the per-entry figures).
//
// The default of 100,000 entries keeps `make bench` short; `bench_open 1000000` is the full run.
// A step that takes longer than --limit-seconds (default 600) ends the run with a note.

#include "BenchSupport.h"
#include "app/LogEdit.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace relvane;
using namespace relvane::bench;

namespace
{

// Ends the process with a note when a step has not finished in time (a stalled step cannot be
// interrupted from its own thread).
class CWatchdog
{
public:
    explicit CWatchdog(double dLimit)
        : m_thread(
              [this, dLimit]
              {
                  const auto start = Clock::now();
                  while (!m_bDone)
                  {
                      std::this_thread::sleep_for(std::chrono::milliseconds(100));
                      if (Seconds(start, Clock::now()) > dLimit)
                      {
                          std::printf("  stalled: %s not finished after %.0f s\n", m_pszStep.load(), dLimit);
                          std::fflush(stdout);
                          std::_Exit(0);
                      }
                  }
              })
    {
    }
    ~CWatchdog()
    {
        m_bDone = true;
        m_thread.join();
    }
    void Step(const char* pszStep) { m_pszStep = pszStep; }

private:
    std::atomic<bool> m_bDone{false};
    std::atomic<const char*> m_pszStep{"setup"};
    std::thread m_thread;
};

class CPaintCounter : public QObject
{
public:
    explicit CPaintCounter(QWidget* pWidget) { pWidget->installEventFilter(this); }
    int Paints() const { return m_nPaints; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            ++m_nPaints;
        return QObject::eventFilter(pWatched, pEvent);
    }

private:
    int m_nPaints = 0;
};

void TimeLibreOffice(const QString& strFile, double dOpen)
{
    QString strOffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (strOffice.isEmpty())
        strOffice = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (strOffice.isEmpty())
    {
        std::printf("  LibreOffice: not installed, conversion not timed\n");
        return;
    }
    QTemporaryDir out;
    QProcess process;
    const auto start = Clock::now();
    process.start(strOffice, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                              QStringLiteral("odt"), QStringLiteral("--outdir"), out.path(), strFile});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
    {
        std::printf("  LibreOffice: conversion failed\n");
        return;
    }
    const double dOffice = Seconds(start, Clock::now());
    std::printf("  LibreOffice headless conversion of the same file: %.2f s; open is %.1fx faster "
                "(goal: at least 10x)\n",
                dOffice, dOffice / dOpen);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = PositionalNumber(argc, argv, 100000);
    const double dLimit = OptionNumber(argc, argv, "--limit-seconds", 600);
    PrintMachine("bench_open");
    QTemporaryDir dir;
    QString strPath = dir.filePath(QStringLiteral("log.rtf"));
    if (const char* pszFile = OptionText(argc, argv, "--file"); pszFile != nullptr)
        strPath = QString::fromLocal8Bit(pszFile);
    const bool bReuse = HasFlag(argc, argv, "--reuse") && QFileInfo::exists(strPath);
    CWatchdog watchdog(dLimit);

    if (!bReuse)
    {
        watchdog.Step("writing the log");
        CWorkbench writer;
        FillLog(writer.View(), nEntries);
        watchdog.Step("save");
        const auto start = Clock::now();
        const bool bSaved = writer.Frame().SaveLogFile(strPath);
        const double dSave = Seconds(start, Clock::now());
        std::printf(
            "  save: %d annotated entries, %.1f MB of RTF in %.2f s%s (target for 100k: at most 1 s)\n",
            nEntries, QFileInfo(strPath).size() / 1048576.0, dSave, bSaved ? "" : " FAILED");
    }
    Pump(50);

    const long nBefore = TrimmedResidentBytes();
    watchdog.Step("open");
    CWorkbench reader(false);
    CPaintCounter paints(reader.Frame().LogEdit()->viewport());
    const double dCpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    const bool bOpened = reader.Frame().OpenLogFile(strPath);
    const double dLoaded = Seconds(start, Clock::now());
    reader.Frame().show();
    while (paints.Paints() == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const double dShown = Seconds(start, Clock::now());
    QScrollBar* pBar = reader.Frame().LogEdit()->verticalScrollBar();
    pBar->setValue(pBar->maximum());
    reader.Frame().LogEdit()->viewport()->repaint();
    const double dScrolled = Seconds(start, Clock::now());
    const double dCpu = ThreadCpuSeconds() - dCpuBefore;
    std::printf(
        "  open: %.2f s to read into the log, %.2f s to the painted window, %.2f s scrolled to the end%s"
        " (window thread CPU %.2f s) (target: 100k at most 2 s, 1M at most 20 s)\n",
        dLoaded, dShown, dScrolled, bOpened ? "" : " FAILED", dCpu);
    std::printf("  opened log: %d paragraphs, scroll range %d, %.0f bytes/entry resident\n",
                reader.View().LogDocument()->blockCount(), pBar->maximum(),
                static_cast<double>(ResidentBytes() - nBefore) / nEntries);
    watchdog.Step("LibreOffice");
    if (HasFlag(argc, argv, "--no-office"))
        std::printf("  LibreOffice: not timed (--no-office)\n");
    else
        TimeLibreOffice(strPath, dScrolled);
    return 0;
}
