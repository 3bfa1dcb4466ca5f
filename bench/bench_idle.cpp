// The idle window: CPU use and wake-ups per second of the whole process while the workbench
// window sits with nothing arriving, first with an empty log, then with a big one.
//
//   bench_idle [entries] [--seconds S]
//
// Defaults: 100,000 entries, 5 seconds each.

#include "BenchSupport.h"
#include "app/LogEdit.h"

#include <QApplication>
#include <QTextCursor>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace relvane;
using namespace relvane::bench;

namespace
{

void MeasureIdle(const char* pszWhat, double dSeconds)
{
    Pump(1000); // let start-up work settle
    const double dCpuBefore = CpuSeconds();
    const long nSwitchesBefore = ContextSwitches();
    const auto start = Clock::now();
    Pump(static_cast<int>(dSeconds * 1000));
    const double dWall = Seconds(start, Clock::now());
    const double dCpu = CpuSeconds() - dCpuBefore;
    const long nSwitches = ContextSwitches() - nSwitchesBefore;
    std::printf("  idle, %s: CPU %.2f %% (target: under 1 %%), %.1f wake-ups/s (aim: under 5)\n", pszWhat,
                100.0 * dCpu / dWall, nSwitches / dWall);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = PositionalNumber(argc, argv, 100000);
    const double dSeconds = std::max(1.0, OptionNumber(argc, argv, "--seconds", 5));
    PrintMachine("bench_idle");
    CWorkbench bench;
    bench.Frame().activateWindow();
    bench.Frame().LogEdit()->setFocus();
    MeasureIdle("empty log", dSeconds);
    FillLog(bench.View(), nEntries);
    bench.Frame().LogEdit()->moveCursor(QTextCursor::End);
    char szWhat[64];
    std::snprintf(szWhat, sizeof szWhat, "%d entries", nEntries);
    MeasureIdle(szWhat, dSeconds);
    return 0;
}
