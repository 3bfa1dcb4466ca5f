#pragma once

// Pieces shared by the window benchmarks: the application, a serial line whose relay is played
// from another thread, and the workbench window over a session.

#include "BenchFigures.h"
#include "ScriptedUserInterface.h"
#include "SerialChunkQueue.h"
#include "app/MainFrame.h"
#include "session/RelvaneView.h"
#include "transport/INetworkChannel.h"
#include "transport/ISerialChannel.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QApplication;

namespace relvane::bench
{

// The application of a window benchmark: offscreen unless QT_QPA_PLATFORM names a platform,
// figures printed with a decimal point, the log's font fallbacks installed, large blocks mapped
// as relvane maps them.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv);

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
    int BytesAvailable() const override { return m_chunks.BytesAvailable(); }
    int CopyReceived(std::uint8_t* pDestination, int nCapacity) const override
    {
        return m_chunks.CopyReceived(pDestination, nCapacity);
    }

    // Any thread.
    void Inject(std::vector<std::uint8_t> abChunk) { m_chunks.Push(std::move(abChunk)); }
    std::size_t Queued() const { return m_chunks.Queued(); }
    long long Advanced() const { return m_nAdvanced.load(); }
    long long Writes() const { return m_nWrites.load(); }
    Clock::time_point LastWrite() const { return Clock::time_point(Clock::duration(m_nLastWrite.load())); }
    // Called on the UI thread after each chunk was taken, with the running count.
    void SetAdvanceHook(std::function<void(long long)> fnHook) { m_fnAdvanceHook = std::move(fnHook); }

private:
    CSerialChunkQueue m_chunks;
    std::atomic<long long> m_nAdvanced{0};
    std::atomic<long long> m_nWrites{0};
    std::atomic<Clock::duration::rep> m_nLastWrite{0};
    std::function<void(long long)> m_fnAdvanceHook;
};

// The workbench window over a session on the bench serial line: line limit off, port open,
// window shown (offscreen). A network channel given here replaces the fake one (which sends
// nothing), so that frames can arrive over a real TCP connection.
class CWorkbench
{
public:
    explicit CWorkbench(bool bShow = true, std::unique_ptr<INetworkChannel> pNetwork = nullptr);
    ~CWorkbench();

    CRelvaneView& View() { return *m_pView; }
    CMainFrame& Frame() { return *m_pFrame; }
    CBenchSerialChannel& Serial() { return *m_pSerial; }
    CScriptedUserInterface& Ui() { return m_ui; }

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

} // namespace relvane::bench
