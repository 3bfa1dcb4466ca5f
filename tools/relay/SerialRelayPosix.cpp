#include "PtyPortPosix.h"
#include "RelayLoops.h"
#include "SerialRelayCore.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace relvane
{
namespace
{

void WriteAll(int nFd, const CRelayBytes& abBytes)
{
    std::size_t nDone = 0;
    while (nDone < abBytes.size())
    {
        const ssize_t nWritten = write(nFd, abBytes.data() + nDone, abBytes.size() - nDone);
        if (nWritten > 0)
        {
            nDone += static_cast<std::size_t>(nWritten);
            continue;
        }
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno == EAGAIN)
        {
            // Nobody reads the line and its buffer is full: the rest is lost, as on a real line.
            pollfd out{nFd, POLLOUT, 0};
            if (poll(&out, 1, 100) > 0)
                continue;
        }
        return;
    }
}

} // namespace

int RunSerialRelay(const CRelayOptions& options, const CRelayConsole& console)
{
    CPtyPort port;
    std::string strError;
    if (!port.Open(options.nCom, strError))
    {
        std::fprintf(stderr, "relvane-relay: %s\n", strError.c_str());
        return 1;
    }
    CSerialRelayCore core(options, console, NowMs());
    console.Note("relvane-relay: COM" + std::to_string(options.nCom) + " is " + port.TerminalPath() + " (" +
                 port.LinkPath() + ")" + core.Description());
    std::fflush(stdout);

    std::uint8_t abBuffer[4096];
    while (!g_bStopRequested)
    {
        const int nWaitMs = core.Step(NowMs(), [&port](const CRelayBytes& abBytes) { WriteAll(port.MasterFd(), abBytes); });
        std::fflush(stdout);

        pollfd fds[2] = {{port.MasterFd(), POLLIN, 0}, {StopFd(), POLLIN, 0}};
        const int nReady = poll(fds, StopFd() >= 0 ? 2 : 1, nWaitMs);
        if (nReady <= 0 || (fds[0].revents & POLLIN) == 0)
        {
            if (nReady > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0)
                poll(nullptr, 0, 50); // no terminal side: nothing to read yet
            continue;
        }
        const ssize_t nRead = read(port.MasterFd(), abBuffer, sizeof abBuffer);
        if (nRead <= 0)
            continue;
        core.Receive(abBuffer, static_cast<std::size_t>(nRead), NowMs());
    }
    port.Close();
    return 0;
}

} // namespace relvane
