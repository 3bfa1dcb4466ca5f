// Upload time of a disturbance record (8 channels x 1000 samples) against the line's own limit.
// The session, the upload and the serial channel are the real ones; the relay (the simulated
// relay's library) runs on a thread at the far end of a pseudo-terminal and keeps the line's pace:
// it answers a request only after the request's own bytes would have crossed the line, and lets
// its answer out byte by byte at the baud rate (8 data bits, even parity, one stop bit: 11 bits a
// character). The limit is every byte of the transfer, both ways, at that rate.
//
//   bench_disturbance [--baud N]   (default: 9600, then 115200)

#include "BenchFigures.h"
#include "ScriptedUserInterface.h"
#include "disturbance/DisturbanceUpload.h"
#include "iec103/UdpFrame.h"
#include "relay/RelaySession.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace relvane;
using namespace relvane::bench;

namespace
{

constexpr int kBitsPerCharacter = 11;
constexpr int kCom = 250;

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The relay at the line's pace, on its own thread.
class CPacedRelay
{
public:
    CPacedRelay(int nMasterFd, int nBaud) : m_nFd(nMasterFd), m_characterTime(std::chrono::nanoseconds(
                                                                   1'000'000'000LL * kBitsPerCharacter / nBaud))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~CPacedRelay()
    {
        m_bStop = true;
        m_thread.join();
    }
    long long BytesIn() const { return m_nIn.load(); }
    long long BytesOut() const { return m_nOut.load(); }

private:
    void Run()
    {
        CRelaySettings settings;
        settings.eProtocol = RELAY_103;
        CRelaySession session(settings, NowMs());
        std::deque<std::uint8_t> line; // bytes of the answer still to cross the line
        Clock::time_point lineAt = Clock::now();
        std::uint8_t abBuffer[4096];
        std::vector<CRelayExchange> exchanges;
        while (!m_bStop)
        {
            const Clock::time_point now = Clock::now();
            std::vector<std::uint8_t> abOut;
            while (!line.empty() && lineAt + m_characterTime <= now)
            {
                abOut.push_back(line.front());
                line.pop_front();
                lineAt += m_characterTime;
            }
            if (!abOut.empty())
            {
                m_nOut += static_cast<long long>(abOut.size());
                if (write(m_nFd, abOut.data(), abOut.size()) < 0)
                    return;
            }
            pollfd in{m_nFd, POLLIN, 0};
            if (poll(&in, 1, line.empty() ? 20 : 1) <= 0 || (in.revents & POLLIN) == 0)
            {
                session.Idle(NowMs());
                continue;
            }
            const ssize_t nRead = read(m_nFd, abBuffer, sizeof abBuffer);
            if (nRead <= 0)
                continue;
            m_nIn += nRead;
            // The request's own bytes took their time on the line before the relay had them all.
            lineAt = std::max(lineAt, Clock::now() + m_characterTime * nRead - m_characterTime);
            exchanges.clear();
            session.Receive(abBuffer, static_cast<std::size_t>(nRead), NowMs(), exchanges);
            for (const CRelayExchange& exchange : exchanges)
                for (const CRelayWrite& w : exchange.writes)
                    line.insert(line.end(), w.abBytes.begin(), w.abBytes.end());
        }
    }

    int m_nFd;
    Clock::duration m_characterTime;
    std::atomic<bool> m_bStop{false};
    std::atomic<long long> m_nIn{0};
    std::atomic<long long> m_nOut{0};
    std::thread m_thread;
};

void Pump(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void RunAt(int nBaud, const std::filesystem::path& dir)
{
    const int nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (nMaster < 0 || grantpt(nMaster) != 0 || unlockpt(nMaster) != 0)
    {
        std::printf("  no pseudo-terminal\n");
        return;
    }
    const auto link = dir / "relvane" / "ports" / ("COM" + std::to_string(kCom));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(ptsname(nMaster), link);

    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CNetworkChannel>(BuildUdpFrame), ui);
    view.OnCommand(ID_MODE_103);
    ui.SerialForm().Push(
        [nBaud](CSerialFields& fields)
        {
            fields.strPort = "COM" + std::to_string(kCom);
            fields.strBaud = std::to_string(nBaud);
            fields.strParity = "EVEN";
            return true;
        });
    view.OnCommand(ID_SERIAL_SETTINGS);
    view.OnCommand(ID_SERIAL_CONNECT);
    if (!view.PortOpen())
    {
        std::printf("  the port did not open\n");
        close(nMaster);
        return;
    }
    {
        CPacedRelay relay(nMaster, nBaud);
        CDisturbanceUpload upload(view);
        view.OnCommand(ID_103_RESET_CU);
        for (int i = 0; i < 200 && !(view.SerialLinkIdle() && !upload.Identification().empty()); ++i)
            Pump(20);

        bool bDone = false;
        bool bOk = false;
        QString strMessage;
        QObject::connect(&upload, &CDisturbanceUpload::Finished,
                         [&](bool bResult, const QString& strText)
                         {
                             bDone = true;
                             bOk = bResult;
                             strMessage = strText;
                         });
        const long long nIn = relay.BytesIn();
        const long long nOut = relay.BytesOut();
        const double dCpu = ThreadCpuSeconds();
        const auto start = Clock::now();
        std::string strError;
        if (!upload.StartUpload(2, (dir / "records").string(), ComtradeFormat::Binary, strError))
        {
            std::printf("  %s\n", strError.c_str());
            return;
        }
        while (!bDone)
            Pump(5);
        const double dSeconds = Seconds(start, Clock::now());
        const double dWindowCpu = ThreadCpuSeconds() - dCpu;
        // The last acknowledgement's exchange, so that every byte of the transfer is counted.
        for (int i = 0; i < 100 && !view.SerialLinkIdle(); ++i)
            Pump(10);
        const long long nBytesIn = relay.BytesIn() - nIn;
        const long long nBytesOut = relay.BytesOut() - nOut;
        const double dLimit = static_cast<double>(nBytesIn + nBytesOut) * kBitsPerCharacter / nBaud;
        std::printf("  %6d baud: %s, %.2f s; line limit %.2f s (%lld bytes to the relay, %lld from it, %d bits "
                    "a character): %.2f x the limit; window thread CPU %.2f s\n",
                    nBaud, bOk ? "complete" : strMessage.toStdString().c_str(), dSeconds, dLimit, nBytesIn,
                    nBytesOut, kBitsPerCharacter, dSeconds / dLimit, dWindowCpu);
        view.OnCommand(ID_SERIAL_DISCONNECT);
    }
    close(nMaster);
}

} // namespace

int main(int argc, char** argv)
{
    char szPattern[] = "/tmp/relvane-bench-upload-XXXXXX";
    if (mkdtemp(szPattern) == nullptr)
        return 1;
    const std::filesystem::path dir = szPattern;
    std::filesystem::create_directories(dir / "relvane" / "ports");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    PrintMachine("bench_disturbance");
    std::printf("  upload of one record, 8 channels x 1000 samples (100 per ASDU 30), through the session\n");
    const int nBaud = OptionInteger(argc, argv, "--baud", 0);
    if (nBaud > 0)
        RunAt(nBaud, dir);
    else
        for (const int n : {9600, 115200})
            RunAt(n, dir);
    std::filesystem::remove_all(dir);
    return 0;
}
