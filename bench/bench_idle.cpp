// The idle window: CPU use and wake-ups per second of the whole process while the workbench
// window sits with nothing arriving: with an empty log and with a big one, then as `relvane`
// runs it, on the real serial and network channels, with the port closed and open (a
// pseudo-terminal that stays silent). Wake-ups are counted per thread, over the threads present
// at both readings; the threads that woke are named.
//
//   bench_idle [entries] [--seconds S]
//
// Defaults: 100,000 entries, 5 seconds each. On a display (QT_QPA_PLATFORM=xcb under Xvfb) this
// also counts what the window costs the display connection.

#include "BenchSupport.h"
#include "app/LogEdit.h"
#include "iec103/UdpFrame.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace relvane;
using namespace relvane::bench;

namespace
{

void MeasureIdle(const char* pszWhat, double dSeconds)
{
    // Let start-up work settle, and the caret stop blinking as it does when nobody types.
    Pump(CLogEdit::kBlinkPauseMs + 1000);
    const double dCpuBefore = CpuSeconds();
    const ThreadSwitchMap before = ThreadSwitches();
    const auto start = Clock::now();
    Pump(static_cast<int>(dSeconds * 1000));
    const double dWall = Seconds(start, Clock::now());
    const double dCpu = CpuSeconds() - dCpuBefore;
    const ThreadSwitchMap after = ThreadSwitches();
    std::printf("  idle, %s: CPU %.2f %% (target: under 1 %%), %.1f wake-ups/s (target: under 5); "
                "threads: %s; load %.2f\n",
                pszWhat, 100.0 * dCpu / dWall, SwitchesBetween(before, after) / dWall,
                SwitchingThreads(before, after).c_str(), LoadAverage());
    std::fflush(stdout);
}

// The window as `relvane` builds it, on the real channels; COM250 is a pseudo-terminal that
// nobody writes to, reached through a port map of our own.
void MeasureRealChannels(double dSeconds)
{
    QTemporaryDir config;
    const int nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char szSlave[128] = {};
    if (!config.isValid() || nMaster < 0 || grantpt(nMaster) != 0 || unlockpt(nMaster) != 0 ||
        ptsname_r(nMaster, szSlave, sizeof szSlave) != 0)
    {
        std::printf("  idle on the real channels: no pseudo-terminal, not measured\n");
        return;
    }
    const std::filesystem::path ports = config.path().toStdString() + "/relvane/ports";
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink(szSlave, ports / "COM250");
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    {
        CScriptedUserInterface ui;
        CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CNetworkChannel>(BuildUdpFrame), ui);
        view.PreselectPort("COM250", 0);
        CMainFrame frame(view);
        frame.show();
        frame.activateWindow();
        frame.LogEdit()->setFocus();
        MeasureIdle("relvane's channels, port closed", dSeconds);
        frame.OnCommand(ID_SERIAL_CONNECT);
        MeasureIdle(view.PortOpen() ? "relvane's channels, port open" : "relvane's channels, port NOT OPEN",
                    dSeconds);
        frame.OnCommand(ID_SERIAL_DISCONNECT);
    }
    unsetenv("XDG_CONFIG_HOME");
    close(nMaster);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = PositionalNumber(argc, argv, 100000);
    const double dSeconds = std::max(1.0, OptionNumber(argc, argv, "--seconds", 5));
    PrintMachine("bench_idle");
    {
        CWorkbench bench;
        bench.Frame().activateWindow();
        bench.Frame().LogEdit()->setFocus();
        MeasureIdle("empty log", dSeconds);
        FillLog(bench.View(), nEntries);
        bench.Frame().LogEdit()->moveCursor(QTextCursor::End);
        char szWhat[64];
        std::snprintf(szWhat, sizeof szWhat, "%d entries", nEntries);
        MeasureIdle(szWhat, dSeconds);
    }
    MeasureRealChannels(dSeconds);
    return 0;
}
