// A session on a real pseudo-terminal against a scripted FT1.2 secondary that queues numbered
// events: through a lost answer, a garbled answer and two answers merged in one read, every event
// reaches the log once and in order, and no request goes out while another awaits its answer.
#include "FakeNetworkChannel.h"
#include "PtyFixture.h"
#include "ScriptedSecondary.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"
#include "transport/SerialChannel.h"
#include "PacedRelay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace relvane
{
namespace
{

constexpr int kPort = 41;
constexpr int kEvents = 8;

std::vector<std::string> Lines(const std::string& strLog)
{
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strLog.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        lines.push_back(strLog.substr(nStart, nEnd - nStart));
    return lines;
}

bool StartsWith(const std::string& strText, const char* pszPrefix)
{
    return strText.rfind(pszPrefix, 0) == 0;
}

// Event numbers of the ASDU 1 frames received with a good checksum, in log order.
std::vector<int> LoggedEvents(const std::vector<std::string>& lines)
{
    const std::string strPrefix = "接收: 68 0E 0E 68 ";
    std::vector<int> events;
    for (const std::string& strLine : lines)
    {
        // "接收: 68 0E 0E 68 C A 01 81 01 01 A0 NN": the information number is the twelfth byte.
        if (StartsWith(strLine, strPrefix.c_str()) && strLine.size() >= strPrefix.size() + 8 * 3 + 2)
            events.push_back(std::stoi(strLine.substr(strPrefix.size() + 7 * 3, 2), nullptr, 16));
    }
    return events;
}

class LosslessLink : public test::PtyFixture
{
protected:
    void SetUp() override
    {
        test::PtyFixture::SetUp();
        m_nMaster = OpenPty(kPort);
        auto pSerial = std::make_unique<CSerialChannel>();
        m_pView =
            std::make_unique<CRelvaneView>(std::move(pSerial), std::make_unique<CFakeNetworkChannel>(), m_ui);
    }

    void TearDown() override
    {
        m_pView.reset();
        test::PtyFixture::TearDown();
    }

    // Runs the event loop until the condition holds or a generous limit passes.
    template <typename Condition> bool RunUntil(Condition fnDone, std::chrono::seconds limit)
    {
        QTimer wake;
        wake.start(10);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!fnDone() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return fnDone();
    }

    std::vector<std::string> LogLines() { return Lines(m_pView->LogText()); }

    int m_nMaster = -1;
    CScriptedUserInterface m_ui;
    std::unique_ptr<CRelvaneView> m_pView;
};

TEST_F(LosslessLink, EveryQueuedEventReachesTheLogOnceInOrder)
{
    CRelvaneView& view = *m_pView;
    test::CScriptedSecondary relay(m_nMaster, kEvents);
    relay.LoseAnswerWithEvent(3);
    relay.GarbleAnswerWithEvent(6);
    relay.HoldBackLinkStatusAnswer();
    relay.Start();

    CSerialFields serial = view.SerialFields();
    serial.strPort = "COM" + std::to_string(kPort);
    serial.nTimeoutMs = 1000; // generous: a busy machine must not cause time-outs of its own
    m_ui.SerialForm().Push(Confirm(serial));
    view.OnCommand(ID_SERIAL_SETTINGS);
    CIntervalFields interval;
    interval.nIntervalMs = 40;
    m_ui.IntervalForm().Push(Confirm(interval));
    view.OnCommand(ID_POLL_INTERVAL);
    view.OnCommand(ID_SERIAL_CONNECT);
    ASSERT_TRUE(view.PortOpen()) << m_ui.Messages().size();
    view.OnCommand(ID_MODE_103);
    view.OnCommand(ID_SHOW_ANNOTATIONS); // one line per entry
    view.OnCommand(ID_103_POLLING);
    view.OnCommand(ID_103_CLASS2);

    // Hand-sent commands while the events are being fetched: held, then sent in turn. The relay
    // holds back its link status and writes it together with the answer to the next poll.
    ASSERT_TRUE(RunUntil([&] { return LoggedEvents(LogLines()).size() >= 2; }, std::chrono::seconds(20)));
    view.OnCommand(ID_103_INTERROGATION);
    view.OnCommand(ID_103_LINK_STATUS);

    const bool bAll =
        RunUntil([&] { return LoggedEvents(LogLines()).size() >= kEvents && relay.EventsLeft() == 0; },
                 std::chrono::seconds(30));
    view.OnCommand(ID_103_POLLING);
    RunUntil([] { return false; }, std::chrono::seconds(1)); // the last exchange ends
    relay.Stop();
    view.OnCommand(ID_SERIAL_DISCONNECT);

    const std::vector<std::string> lines = LogLines();
    std::string strLog;
    for (const std::string& strLine : lines)
        strLog += strLine + "\n";
    ASSERT_TRUE(bAll) << strLog;

    std::vector<int> expected(kEvents);
    for (int n = 0; n < kEvents; ++n)
        expected[static_cast<std::size_t>(n)] = n + 1;
    EXPECT_EQ(LoggedEvents(lines), expected) << strLog;

    // The three faults happened, the merged read among them: the held status answer and the
    // next answer stand in consecutive entries without a request between them.
    EXPECT_NE(strLog.find("超时\n"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("校验和出错: 68 0E 0E 68 "), std::string::npos) << strLog;
    bool bMerged = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    {
        const bool bStatus = lines[i] == "接收: 10 0B 01 0C 16 " || lines[i] == "接收: 10 2B 01 2C 16 ";
        bMerged = bMerged || (bStatus && StartsWith(lines[i + 1], "接收: "));
    }
    EXPECT_TRUE(bMerged) << strLog;
    EXPECT_NE(strLog.find("发送: 68 09 09 68 "), std::string::npos) << "the interrogation went out";

    // One request at a time: a request is always followed by its answer or its time-out.
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    {
        const bool bBackToBack = StartsWith(lines[i], "发送: ") && StartsWith(lines[i + 1], "发送: ");
        EXPECT_FALSE(bBackToBack) << "line " << i << "\n" << strLog;
    }
}

// Polling back to back (interval 0) a relay that answers at the line's pace: every answer is
// logged, also the one behind a stray byte, and no request times out.
TEST_F(LosslessLink, BackToBackPollingOfAPacedRelayLosesNoAnswer)
{
    CRelvaneView& view = *m_pView;
    CSerialFields serial = view.SerialFields();
    serial.strPort = "COM" + std::to_string(kPort);
    serial.strBaud = "115200";
    serial.nTimeoutMs = 1000;
    m_ui.SerialForm().Push(Confirm(serial));
    view.OnCommand(ID_SERIAL_SETTINGS);
    CIntervalFields interval;
    interval.nIntervalMs = 0;
    m_ui.IntervalForm().Push(Confirm(interval));
    view.OnCommand(ID_POLL_INTERVAL);
    view.OnCommand(ID_SERIAL_CONNECT);
    ASSERT_TRUE(view.PortOpen());
    view.OnCommand(ID_MODE_103);
    view.OnCommand(ID_SHOW_ANNOTATIONS); // one line per entry
    view.ClearLog();
    int nAnswered = 0;
    {
        // Each request read is answered after a short turnaround with "no data", an event or E5
        // in turn; every fifth answer has a stray byte of line noise in front of it.
        test::CPacedRelay relay(m_nMaster, 115200, 2000, test::PollingAnswers103(5));
        view.OnCommand(ID_103_POLLING);
        view.OnCommand(ID_103_CLASS2);
        EXPECT_TRUE(RunUntil([&] { return relay.Answered() >= 30; }, std::chrono::seconds(30)));
        view.OnCommand(ID_103_POLLING);
        EXPECT_TRUE(RunUntil([&] { return view.SerialLinkIdle(); }, std::chrono::seconds(10)));
        nAnswered = relay.Answered();
    }
    const std::vector<std::string> lines = LogLines();
    std::string strLog;
    for (const std::string& strLine : lines)
        strLog += strLine + "\n";
    const auto Count = [&lines](const char* pszPrefix)
    { return std::count_if(lines.begin(), lines.end(), [&](const std::string& s) { return StartsWith(s, pszPrefix); }); };
    EXPECT_EQ(Count("接收: "), nAnswered) << strLog;
    EXPECT_EQ(Count("校验和出错: FF "), nAnswered / 5) << strLog;
    EXPECT_EQ(Count("超时"), 0) << strLog;
}

} // namespace
} // namespace relvane
