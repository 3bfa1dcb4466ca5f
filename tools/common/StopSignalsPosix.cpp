#include "StopSignals.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace relvane
{
namespace
{

volatile std::sig_atomic_t s_nSignal = 0;
int s_anWakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int nSignal)
{
    if (s_nSignal == 0)
        s_nSignal = nSignal;
    const char cWake = 1;
    // Async-signal-safe; a full pipe already holds a wake-up, so a failed write loses nothing.
    (void)!write(s_anWakePipe[1], &cWake, 1);
}

void SetStopHandler(void (*pfnHandler)(int))
{
    struct sigaction action = {};
    action.sa_handler = pfnHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

CStopSignals::CStopSignals(QObject* pParent) : QObject(pParent)
{
    if (pipe2(s_anWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without the pipe the signals keep their default action: the run just ends
    m_pNotifier = std::make_unique<QSocketNotifier>(s_anWakePipe[0], QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, &CStopSignals::OnWake);
    SetStopHandler(&OnStopSignal);
}

CStopSignals::~CStopSignals()
{
    if (!m_pNotifier)
        return;
    SetStopHandler(SIG_DFL);
    m_pNotifier.reset();
    close(s_anWakePipe[0]);
    close(s_anWakePipe[1]);
    s_anWakePipe[0] = -1;
    s_anWakePipe[1] = -1;
}

int CStopSignals::Received()
{
    return s_nSignal;
}

void CStopSignals::OnWake()
{
    char abDrain[16];
    while (read(s_anWakePipe[0], abDrain, sizeof abDrain) > 0)
    {
    }
    if (s_nSignal != 0)
        emit Stopped(s_nSignal);
}

void IgnoreWriteSignals()
{
    static_assert(kBrokenPipeSignal == SIGPIPE);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

const char* SignalName(int nSignal)
{
    return strsignal(nSignal);
}

} // namespace relvane
