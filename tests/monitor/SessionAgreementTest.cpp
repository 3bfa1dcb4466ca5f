// The workbench's session and the line monitor watch the same exchange, paced at the line's rate,
// with a relay that behaves as the link rules say (it confirms first and has the data a frame
// asked for ready a while later, confirms and says "no data" with E5, and sends measurands on a
// cycle of its own): both count the same frames, the same unanswered requests and the same
// checksum errors.
#include "FakeNetworkChannel.h"
#include "PacedRelay.h"
#include "PtyFixture.h"
#include "ScriptedUserInterface.h"
#include "monitor/LineMonitor.h"
#include "relay/Iec103Relay.h"
#include "session/RelvaneView.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <map>

namespace relvane
{
namespace
{

constexpr int kSessionPort = 51;
constexpr int kMasterCopyPort = 52;
constexpr int kRelayCopyPort = 53;
constexpr int kBaud = 115200;
constexpr std::int64_t kTurnaroundUs = 3000;

std::int64_t NowMs()
{
    return test::SteadyNowUs() / 1000;
}

class SessionAgreement : public test::PtyFixture
{
protected:
    template <typename Condition> static bool RunUntil(Condition fnDone, std::chrono::seconds limit)
    {
        QTimer wake;
        wake.start(10);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!fnDone() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return fnDone();
    }
};

// Frames counted under each key: sent (to the relay), received (from the relay).
std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> FrameCounts(const CSessionStatistics& statistics)
{
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> counts;
    for (const auto& [strKey, count] : statistics.Frames())
        counts[strKey] = {count.nSent, count.nReceived};
    return counts;
}

std::uint64_t FrameTotal(const CSessionStatistics& statistics)
{
    std::uint64_t nTotal = 0;
    for (const auto& [strKey, count] : statistics.Frames())
        nTotal += count.nSent + count.nReceived;
    return nTotal;
}

// One request goes unanswered, and every eleventh answer of more than one byte arrives with a
// wrong checksum.
TEST_F(SessionAgreement, SessionAndMonitorCountTheSameExchangeAlike)
{
    for (const bool bBus : {false, true})
    {
        const int nSession = OpenPty(kSessionPort);
        const int nMasterCopy = OpenPty(kMasterCopyPort);
        const int nRelayCopy = bBus ? nMasterCopy : OpenPty(kRelayCopyPort);

        CLineMonitor monitor(std::make_unique<CSerialChannel>(), std::make_unique<CSerialChannel>());
        monitor.SetKeepLog(false);
        std::size_t nTies = 0;
        monitor.SetFrameTap([&nTies](const CMonitorFrame& frame) { nTies += frame.bTie ? 1 : 0; });
        CMonitorSettings monitorSettings;
        (bBus ? monitorSettings.nBusPort : monitorSettings.nMasterPort) = kMasterCopyPort;
        monitorSettings.nRelayPort = bBus ? 0 : kRelayCopyPort;
        monitorSettings.nBaud = kBaud;
        std::string strError;
        ASSERT_TRUE(monitor.Start(monitorSettings, strError)) << strError;

        CScriptedUserInterface ui;
        CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), ui);
        view.OnCommand(ID_MODE_103);
        CSerialFields serial = view.SerialFields();
        serial.strPort = "COM" + std::to_string(kSessionPort);
        serial.strBaud = std::to_string(kBaud);
        serial.nTimeoutMs = 1000;
        ui.SerialForm().Push(Confirm(serial));
        view.OnCommand(ID_SERIAL_SETTINGS);
        CIntervalFields interval;
        interval.nIntervalMs = 0;
        ui.IntervalForm().Push(Confirm(interval));
        view.OnCommand(ID_POLL_INTERVAL);
        view.OnCommand(ID_SERIAL_CONNECT);
        ASSERT_TRUE(view.PortOpen());

        CIec103Relay relay(1, NowMs());
        relay.SetSingleCharAck(true);
        relay.SetTiming(40, 150);
        int nRequests = 0;                // the relay's thread only
        int nAnswers = 0;
        std::atomic<int> nMeasurands{0};
        test::CPacedRelay line(
            nSession, kBaud, kTurnaroundUs,
            [&](const std::vector<std::uint8_t>& abRequest)
            {
                CRelayBytes abAnswer = relay.Answer(abRequest.data(), static_cast<int>(abRequest.size()), NowMs());
                // The relay takes the twentieth request and stays silent: the repetition gets the answer.
                if (++nRequests == 20)
                    return CRelayBytes{};
                nMeasurands += abAnswer.size() > 6 && (abAnswer[6] == 9 || abAnswer[6] == 3) ? 1 : 0;
                if (abAnswer.size() > 1 && ++nAnswers % 11 == 0)
                    abAnswer[abAnswer.size() - 2] ^= 0x01;
                return abAnswer;
            },
            test::CPacedTap{nMasterCopy, nRelayCopy});

        view.OnCommand(ID_103_RESET_CU);
        view.OnCommand(ID_103_POLLING);
        view.OnCommand(ID_103_CLASS2);
        EXPECT_TRUE(RunUntil([&] { return line.Answered() >= 60 && nMeasurands >= 3; }, std::chrono::seconds(30)));
        view.OnCommand(ID_103_POLLING);
        EXPECT_TRUE(RunUntil([&] { return view.SerialLinkIdle(); }, std::chrono::seconds(10)));
        const CSessionStatistics& session = view.Recorder().Statistics();
        // The monitor has heard every frame the session logged before it is stopped.
        EXPECT_TRUE(RunUntil([&] { return monitor.FrameCount() + monitor.WaitingCount() >= FrameTotal(session); },
                             std::chrono::seconds(10)));
        monitor.Stop();
        view.OnCommand(ID_SERIAL_DISCONNECT);

        const CSessionStatistics& heard = monitor.Statistics();
        const char* pszWhat = bBus ? "bus" : "two lines";
        EXPECT_EQ(FrameCounts(heard), FrameCounts(session)) << pszWhat << "\nmonitor:\n"
                                                    << monitor.StatisticsTable() << "session:\n"
                                                    << session.Table();
        EXPECT_EQ(heard.CheckErrors(), session.CheckErrors()) << pszWhat;
        EXPECT_GE(session.CheckErrors(), 1u) << pszWhat;
        EXPECT_EQ(session.Timeouts(), 1u) << pszWhat;
        // Which answer belongs to which request follows the order the monitor shows; where two
        // lines' readers were held up (a busy machine) and a frame is marked "先后不定", one pairing
        // per such frame may come out the other way.
        const auto Apart = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; };
        EXPECT_LE(Apart(heard.Timeouts(), session.Timeouts()), nTies) << pszWhat;
        EXPECT_LE(Apart(heard.Responses().nCount, session.Responses().nCount), nTies) << pszWhat;
        for (const int nFd : {nSession, nMasterCopy, nRelayCopy})
            CloseMaster(nFd);
    }
}

} // namespace
} // namespace relvane
