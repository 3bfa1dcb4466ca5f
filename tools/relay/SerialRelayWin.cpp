// The serial relay on Windows: one end of a COM port pair (com0com's, or a null-modem cable
// between two ports), the workbench on the other. The port is held at 9600 baud, 8N1; a virtual
// pair ignores the rate.
#include "RelayLoops.h"
#include "SerialRelayCore.h"

#include "transport/ChannelMessage.h"
#include "transport/SerialChannel.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <windows.h>

namespace relvane
{
namespace
{

constexpr int kBaud = 9600;
constexpr DWORD kStopCheckMs = 100; // Ctrl-C is noticed at least this often

// Counts the channel's chunks and wakes the relay's loop for each.
class CWakingSink final : public IMessageSink
{
public:
    CWakingSink() : m_hEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~CWakingSink() override
    {
        if (m_hEvent != nullptr)
            CloseHandle(m_hEvent);
    }
    CWakingSink(const CWakingSink&) = delete;
    CWakingSink& operator=(const CWakingSink&) = delete;

    void PostChannelMessage(CChannelMessage message) override
    {
        if (message.nMessage == WM_SERIAL_DATA)
            ++m_nChunks;
        else if (message.nMessage == WM_SERIAL_HANGUP)
            m_bHungUp = true;
        SetEvent(m_hEvent);
    }
    void Wait(DWORD nMs) const { WaitForSingleObject(m_hEvent, nMs); }
    bool TakeChunk()
    {
        int nChunks = m_nChunks.load();
        while (nChunks > 0 && !m_nChunks.compare_exchange_weak(nChunks, nChunks - 1))
        {
        }
        return nChunks > 0;
    }
    bool HungUp() const { return m_bHungUp; }

private:
    HANDLE m_hEvent;
    std::atomic<int> m_nChunks{0};
    std::atomic<bool> m_bHungUp{false};
};

} // namespace

int RunSerialRelay(const CRelayOptions& options, const CRelayConsole& console)
{
    CWakingSink sink;
    CSerialChannel channel;
    channel.Configure(&sink, options.nCom, kBaud, 'N', 8, 1, 5, CSerialChannel::kReadLimit);
    if (channel.Open() != CHANNEL_OK)
    {
        std::fprintf(stderr,
                     "relvane-relay: COM%d cannot be opened (no such port, or another program holds it); on "
                     "Windows the relay takes one port of a pair such as com0com's\n",
                     options.nCom);
        return 1;
    }
    CSerialRelayCore core(options, console, NowMs());
    console.Note("relvane-relay: COM" + std::to_string(options.nCom) + " (" + channel.DevicePath() + ")" +
                 core.Description());

    std::vector<std::uint8_t> abChunk(CSerialChannel::kReadLimit);
    int nStatus = 0;
    while (!g_bStopRequested)
    {
        const int nWaitMs = core.Step(NowMs(), [&channel](const CRelayBytes& abBytes)
                                      { channel.Write(abBytes.data(), static_cast<int>(abBytes.size())); });
        std::fflush(stdout);
        sink.Wait(std::min<DWORD>(static_cast<DWORD>(std::max(nWaitMs, 0)), kStopCheckMs));
        while (sink.TakeChunk())
        {
            channel.AdvanceChunk();
            const int nCount = channel.CopyReceived(abChunk.data(), static_cast<int>(abChunk.size()));
            if (nCount > 0)
                core.Receive(abChunk.data(), static_cast<std::size_t>(nCount), NowMs());
        }
        if (sink.HungUp())
        {
            console.Note("COM" + std::to_string(options.nCom) + " went away");
            nStatus = 1;
            break;
        }
    }
    channel.Close();
    return nStatus;
}

} // namespace relvane
