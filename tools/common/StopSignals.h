#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace relvane
{

// SIGINT and SIGTERM end a headless run in order instead of killing it: the handler only notes
// the signal and wakes the event loop through a pipe; Stopped then reaches the UI thread, which
// stops the script, completes the log and exits with 128 + the signal number. The handlers are
// installed for the life of this object, which ends once the log is complete: a further signal
// while the channels close ends the process at once, with nothing left to lose.
class CStopSignals : public QObject
{
    Q_OBJECT

public:
    explicit CStopSignals(QObject* pParent = nullptr);
    ~CStopSignals() override;
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // The first signal received, or 0.
    static int Received();

signals:
    void Stopped(int nSignal);

private:
    void OnWake();

    std::unique_ptr<QSocketNotifier> m_pNotifier;
};

// Writes that fail because the reader went away (SIGPIPE) or a file reached the size limit
// (SIGXFSZ) come back as errors instead of ending the process. Windows has neither signal.
void IgnoreWriteSignals();
// The signal number a run that lost its standard output ends with (128 + it), as on Linux.
constexpr int kBrokenPipeSignal = 13;
// "Interrupt", "Terminated", ...
const char* SignalName(int nSignal);

} // namespace relvane
