#pragma once

// Pieces shared by the window benchmarks: a serial line whose relay is played from another
// thread, the workbench window over a session, and process figures read from /proc.

#include "ScriptedUserInterface.h"
#include "app/MainFrame.h"
#include "session/RelvaneView.h"
#include "transport/ISerialChannel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace relvane::bench
{

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to);
long ResidentBytes();
// Returns what malloc keeps of freed memory to the system, then the resident size.
long TrimmedResidentBytes();
// User and system CPU time of the whole process, and of the calling thread.
double CpuSeconds();
double ThreadCpuSeconds();
// Context switches of every thread of the process: each is a wake-up or a preemption.
long ContextSwitches();
std::string CpuModel();

// A '94 event report of the relay (code B0H), annotated by the '94 interpreter; nIndex picks
// one of 40 event codes.
std::vector<std::uint8_t> EventFrame(int nIndex);
// A '94 report request (code BAH) asking for the events (answered with 86H).
std::vector<std::uint8_t> ReportFrame();

// The serial line with the relay on a producer thread: every injected chunk is one completed
// read and one WM_SERIAL_DATA, as the reader thread delivers them. Write remembers when the
// session last answered.
class CBenchSerialChannel : public ISerialChannel
{
public:
    int Configure(IMessageSink* pOwner, int nPort, int nBaud, char cParity, int nDataBits, int nStopBits,
                  unsigned nEventMask, int nBufferSize) override;
    int Open() override { return CHANNEL_OK; }
    int Close() override { return CHANNEL_OK; }
    int Write(const std::uint8_t* pBytes, int nCount) override;
    void AdvanceChunk() override;
    int BytesAvailable() const override;
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override;

    // Any thread.
    void Inject(std::vector<std::uint8_t> abChunk);
    std::size_t Queued() const;
    long long Advanced() const { return m_nAdvanced.load(); }
    long long Writes() const { return m_nWrites.load(); }
    Clock::time_point LastWrite() const { return Clock::time_point(Clock::duration(m_nLastWrite.load())); }
    // Called on the UI thread after each chunk was taken, with the running count.
    void SetAdvanceHook(std::function<void(long long)> fnHook) { m_fnAdvanceHook = std::move(fnHook); }

private:
    mutable std::mutex m_mutex;
    IMessageSink* m_pSink = nullptr;
    std::deque<std::vector<std::uint8_t>> m_queued;
    std::vector<std::uint8_t> m_current;
    std::atomic<long long> m_nAdvanced{0};
    std::atomic<long long> m_nWrites{0};
    std::atomic<Clock::duration::rep> m_nLastWrite{0};
    std::function<void(long long)> m_fnAdvanceHook;
};

// The workbench window over a session on the bench serial line: line limit off, port open,
// window shown (offscreen).
class CWorkbench
{
public:
    explicit CWorkbench(bool bShow = true);
    ~CWorkbench();

    CRelvaneView& View() { return *m_pView; }
    CMainFrame& Frame() { return *m_pFrame; }
    CBenchSerialChannel& Serial() { return *m_pSerial; }

private:
    CScriptedUserInterface m_ui;
    CBenchSerialChannel* m_pSerial = nullptr;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
};

// Writes annotated entries straight through the session's log writer, letting the event loop
// turn every few hundred entries.
void FillLog(CRelvaneView& view, int nEntries);
// Lets queued events and timers run for about nMs milliseconds.
void Pump(int nMs);

// Arguments: the first positional number, and flags.
int PositionalNumber(int argc, char** argv, int nDefault);
bool HasFlag(int argc, char** argv, const char* pszFlag);
void PrintMachine(const char* pszBench);

} // namespace relvane::bench
