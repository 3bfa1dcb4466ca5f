#include "RelayConsole.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace relvane
{
namespace
{

int g_anStopPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    g_bStopRequested = true;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(g_anStopPipe[1], &c, 1);
}

} // namespace

int StopFd()
{
    return g_anStopPipe[0];
}

void InstallStopHandlers()
{
    if (pipe2(g_anStopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_anStopPipe[0] = g_anStopPipe[1] = -1;
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(nSignal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void SendEachLineAtOnce()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

} // namespace relvane
