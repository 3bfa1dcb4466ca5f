// A tap on a pseudo-terminal line, for the monitor's tests: the runner's port on one side, the
// relay's port on the other, and what each sends copied onto the monitor's ports as it passes
// (two lines, or one bus carrying both). What the master sends reaches the relay a little later
// than the monitor, as on a real line where the bytes take their time on the wire.
//
//   relvane_test_pty_tap --runner N --relay N (--master-copy N --relay-copy N | --bus N) [--delay MS]
#include "PtyPortPosix.h"
#include "transport/SerialPortMap.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{

volatile std::sig_atomic_t s_bStop = 0;

extern "C" void OnStop(int)
{
    s_bStop = 1;
}

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void WriteAll(int nFd, const std::uint8_t* pBytes, std::size_t nCount)
{
    std::size_t nDone = 0;
    while (nDone < nCount)
    {
        const ssize_t nWritten = write(nFd, pBytes + nDone, nCount - nDone);
        if (nWritten > 0)
            nDone += static_cast<std::size_t>(nWritten);
        else if (nWritten < 0 && (errno == EINTR || errno == EAGAIN))
        {
            pollfd out{nFd, POLLOUT, 0};
            if (poll(&out, 1, 100) <= 0)
                return;
        }
        else
            return;
    }
}

struct CDelayed
{
    std::int64_t nDueMs;
    std::vector<std::uint8_t> abBytes;
};

} // namespace

int main(int argc, char** argv)
{
    int nRunner = 0, nRelay = 0, nMasterCopy = 0, nRelayCopy = 0, nBus = 0, nDelayMs = 20;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string arg = argv[i];
        const int nValue = std::atoi(argv[i + 1]);
        if (arg == "--runner")
            nRunner = nValue;
        else if (arg == "--relay")
            nRelay = nValue;
        else if (arg == "--master-copy")
            nMasterCopy = nValue;
        else if (arg == "--relay-copy")
            nRelayCopy = nValue;
        else if (arg == "--bus")
            nBus = nValue;
        else if (arg == "--delay")
            nDelayMs = nValue;
    }
    std::signal(SIGTERM, OnStop);
    std::signal(SIGINT, OnStop);

    std::string strError;
    relvane::CPtyPort runner, masterCopy, relayCopy;
    if (!runner.Open(nRunner, strError) || (nBus != 0 ? !masterCopy.Open(nBus, strError)
                                                      : !masterCopy.Open(nMasterCopy, strError) ||
                                                            !relayCopy.Open(nRelayCopy, strError)))
    {
        std::fprintf(stderr, "tap: %s\n", strError.c_str());
        return 1;
    }
    const std::string strRelay = relvane::PortDevicePath(nRelay);
    const int nRelayFd = open(strRelay.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio;
    if (nRelayFd < 0 || tcgetattr(nRelayFd, &tio) != 0)
    {
        std::fprintf(stderr, "tap: cannot open the relay's port %s\n", strRelay.c_str());
        return 1;
    }
    cfmakeraw(&tio);
    tcsetattr(nRelayFd, TCSANOW, &tio);
    const int nMasterCopyFd = masterCopy.MasterFd();
    const int nRelayCopyFd = nBus != 0 ? masterCopy.MasterFd() : relayCopy.MasterFd();
    std::printf("ready\n");
    std::fflush(stdout);

    std::deque<CDelayed> toRelay;
    std::uint8_t abBuffer[4096];
    while (s_bStop == 0)
    {
        const std::int64_t nNow = NowMs();
        while (!toRelay.empty() && toRelay.front().nDueMs <= nNow)
        {
            WriteAll(nRelayFd, toRelay.front().abBytes.data(), toRelay.front().abBytes.size());
            toRelay.pop_front();
        }
        const int nWait = toRelay.empty() ? 100 : static_cast<int>(std::max<std::int64_t>(toRelay.front().nDueMs - nNow, 0));
        pollfd fds[2] = {{runner.MasterFd(), POLLIN, 0}, {nRelayFd, POLLIN, 0}};
        if (poll(fds, 2, nWait) <= 0)
            continue;
        if ((fds[0].revents & POLLIN) != 0)
        {
            const ssize_t nRead = read(runner.MasterFd(), abBuffer, sizeof abBuffer);
            if (nRead > 0)
            {
                WriteAll(nMasterCopyFd, abBuffer, static_cast<std::size_t>(nRead));
                toRelay.push_back({NowMs() + nDelayMs, std::vector<std::uint8_t>(abBuffer, abBuffer + nRead)});
            }
        }
        else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0)
            poll(nullptr, 0, 20); // the runner has not opened its port yet, or closed it
        if ((fds[1].revents & POLLIN) != 0)
        {
            const ssize_t nRead = read(nRelayFd, abBuffer, sizeof abBuffer);
            if (nRead > 0)
            {
                WriteAll(nRelayCopyFd, abBuffer, static_cast<std::size_t>(nRead));
                WriteAll(runner.MasterFd(), abBuffer, static_cast<std::size_t>(nRead));
            }
        }
    }
    close(nRelayFd);
    return 0;
}
