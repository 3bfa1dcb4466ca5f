// On Windows, Ctrl+C is the interrupt and Ctrl+Break, closing the console or logging off the
// termination: the console calls its handler on a thread of its own, which hands the signal to
// the event loop.
#include "StopSignals.h"

#include <QMetaObject>
#include <atomic>
#include <csignal>
#include <mutex>
#include <windows.h>

namespace relvane
{
namespace
{

std::atomic<int> s_nSignal{0};
std::mutex s_mutex;
CStopSignals* s_pInstance = nullptr; // guarded by s_mutex

BOOL WINAPI OnConsoleEvent(DWORD dwType)
{
    const int nSignal = dwType == CTRL_C_EVENT ? SIGINT : SIGTERM;
    int nNone = 0;
    s_nSignal.compare_exchange_strong(nNone, nSignal);
    const std::lock_guard<std::mutex> lock(s_mutex);
    if (s_pInstance == nullptr)
        return FALSE; // the default action: the process ends
    CStopSignals* pInstance = s_pInstance;
    const int nFirst = s_nSignal.load();
    QMetaObject::invokeMethod(pInstance, [pInstance, nFirst] { emit pInstance->Stopped(nFirst); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

CStopSignals::CStopSignals(QObject* pParent) : QObject(pParent)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_pInstance = this;
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

CStopSignals::~CStopSignals()
{
    SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_pInstance = nullptr;
}

int CStopSignals::Received()
{
    return s_nSignal.load();
}

void IgnoreWriteSignals() {}

const char* SignalName(int nSignal)
{
    return nSignal == SIGINT ? "Interrupt" : "Terminated";
}

} // namespace relvane
