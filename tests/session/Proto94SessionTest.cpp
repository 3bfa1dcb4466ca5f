#include "SessionFixture.h"
#include "proto94/Crc16.h"
#include "proto94/Proto94Codec.h"

namespace relvane
{
namespace
{

const Bytes kPoll83 = {0x01, 0x83, 0x00, 0x30, 0xF0};
// A BAH report asking for settings (bit 1 of the flags), CPU 3.
const Bytes kReportBah = {0x01, 0xBA, 0x02, 0x03, 0x06, 0x39, 0xEA};
const Bytes kAnswer85 = {0x01, 0x85, 0x02, 0x03, 0xFF, 0xF5, 0xBC};

// A valid frame built with the codec: address 1, code, data.
Bytes Frame94(std::uint8_t nCode, Bytes abData)
{
    Bytes abFrame(abData.size() + 3);
    abFrame[0] = 0x01;
    abFrame[1] = nCode;
    abFrame[2] = static_cast<std::uint8_t>(abData.size());
    for (std::size_t i = 0; i < abData.size(); ++i)
        abFrame[i + 3] = abData[i];
    const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abFrame;
}

std::string Annotation94(const Bytes& abFrame)
{
    Proto94Codec codec;
    std::string strText;
    return codec.Interpret(abFrame.data(), static_cast<int>(abFrame.size()), strText) > 0 ? strText : "";
}

class Proto94Session : public CSessionFixture
{
};

TEST_F(Proto94Session, PollAndAnnotatedAnswerComposeTheLogEntries)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    EXPECT_EQ(LastWritten(), kPoll83);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_EQ(View().TimerInterval(TIMER_RESPONSE), 1500);

    const Bytes abClock = Frame94(0xB7, {0x01, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45});
    const std::string strNote = Annotation94(abClock);
    ASSERT_FALSE(strNote.empty()) << "the relay's clock answer is expected to be annotated";
    Relay(abClock);

    std::string strBytes;
    for (const std::uint8_t n : abClock)
    {
        char sz[4];
        std::snprintf(sz, sizeof(sz), "%.2X ", n);
        strBytes += sz;
    }
    EXPECT_EQ(Log(), "发送: 01 83 00 30 F0 \r\n接收: " + strBytes + "\r\n (\n" + strNote + ") \r\n");

    const std::vector<CColouredRun> runs = Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].strText, "发送: 01 83 00 30 F0 ");
    EXPECT_EQ(runs[0].colour, kBlack);
    EXPECT_EQ(runs[1].strText, "\r\n"); // the poll has no annotation: only its line end is green
    EXPECT_EQ(runs[1].colour, kGreen);
    EXPECT_EQ(runs[2].strText, "接收: " + strBytes);
    EXPECT_EQ(runs[2].colour, kBlack);
    EXPECT_EQ(runs[3].strText, "\r\n (\n" + strNote + ") \r\n");
    EXPECT_EQ(runs[3].colour, kGreen);

    // No follow-up is due: the answer stops the response timer and starts polling.
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    EXPECT_EQ(View().TimerInterval(TIMER_POLL), 1000);
    EXPECT_EQ(View().LineCount(), 2);
}

TEST_F(Proto94Session, PollingCycleRunsOnTheTimers)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    Relay(Frame94(0xB0, {0x01}));
    ASSERT_TRUE(View().IsTimerActive(TIMER_POLL));
    m_pSerial->ClearWritten();

    View().OnTimer(TIMER_POLL);
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    ASSERT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastWritten(), kPoll83);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));

    // The next poll also goes out when the timer really fires through the event loop.
    Relay(Frame94(0xB0, {0x01}));
    ASSERT_TRUE(View().IsTimerActive(TIMER_POLL));
    m_pSerial->ClearWritten();
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&View(), &CRelvaneView::StateChanged, &loop, &QEventLoop::quit);
    guard.start(30000);
    while (m_pSerial->Written().empty() && guard.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(LastWritten(), kPoll83);
}

TEST_F(Proto94Session, WithoutAutomaticProcessingAnAnswerEndsTheExchange)
{
    Connect();
    View().OnCommand(ID_AUTO_PROCESS);
    ASSERT_FALSE(View().AutoProcess());
    View().OnCommand(ID_94_POLL);
    m_pSerial->ClearWritten();
    Relay(kReportBah);
    EXPECT_TRUE(m_pSerial->Written().empty()) << "no automatic answer";
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));

    // A time-out only logs.
    View().OnCommand(ID_94_POLL);
    m_pSerial->ClearWritten();
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_NE(Log().find("超时\r\n"), std::string::npos);
}

TEST_F(Proto94Session, ReportRequestsAreAnsweredAutomatically)
{
    Connect();
    Relay(kReportBah);
    EXPECT_EQ(LastWritten(), kAnswer85);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    const std::string strLog = Log();
    EXPECT_NE(strLog.find("接收: 01 BA 02 03 06 39 EA \r\n"), std::string::npos);
    EXPECT_NE(strLog.find("发送: 01 85 02 03 FF F5 BC \r\n"), std::string::npos);

    // Flags 10H ask for nothing the master answers: polling goes on instead.
    m_pSerial->ClearWritten();
    View().KillTimer(TIMER_RESPONSE);
    Relay(Frame94(0xBA, {0x03, 0x10}));
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
}

TEST_F(Proto94Session, CrcErrorIsLoggedCountedTwiceAndNeverAnswered)
{
    Connect();
    Bytes abBad = kReportBah;
    abBad.back() ^= 0xFF;
    Relay(abBad);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_EQ(Log(), "CRC错: 01 BA 02 03 06 39 15 \r\n");
    EXPECT_EQ(View().LineCount(), 2);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL)) << "automatic processing keeps polling";

    View().KillTimer(TIMER_POLL);
    View().OnCommand(ID_AUTO_PROCESS);
    Relay(abBad);
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
}

TEST_F(Proto94Session, TimeoutIsFollowedByAPoll)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    m_pSerial->ClearWritten();
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(Log(), "发送: 01 83 00 30 F0 \r\n超时\r\n发送: 01 83 00 30 F0 \r\n");
    EXPECT_EQ(LastWritten(), kPoll83);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Proto94Session, ShortChunkIsDroppedButStillHandedOver)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    const int nAdvances = m_pSerial->AdvanceCount();
    Relay({0x01, 0xB0, 0x00, 0x00});
    EXPECT_EQ(m_pSerial->AdvanceCount(), nAdvances + 1);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE)) << "a 4-byte chunk does not stop the time-out";
    EXPECT_EQ(Log(), "发送: 01 83 00 30 F0 \r\n");
    View().OnCommand(ID_AUTO_PROCESS);
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(Log(), "发送: 01 83 00 30 F0 \r\n超时\r\n");
}

TEST_F(Proto94Session, ChunkOfTheOtherModesIsReadByTheModeActiveWhenItArrives)
{
    Connect();
    View().OnCommand(ID_MODE_ETH103);
    const int nAdvances = m_pSerial->AdvanceCount();
    Relay(kReportBah);
    EXPECT_EQ(m_pSerial->AdvanceCount(), nAdvances + 1);
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(Proto94Session, CommandsRefusedWhileThePortIsClosed)
{
    View().OnCommand(ID_94_POLL);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0], "串口尚未打开,不能发送报文.");
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    // Closing the port ends the response timer: no time-out, no poll. A poll that still falls
    // due (a timer that fired as the port closed) goes nowhere without a word.
    Connect();
    View().OnCommand(ID_94_POLL);
    View().OnCommand(ID_SERIAL_DISCONNECT);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    View().OnTimer(TIMER_POLL);
    EXPECT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_pSerial->Written().size(), 1u);
}

TEST_F(Proto94Session, FramesCarryTheConfiguredAddressAndData)
{
    Connect();
    m_ui.DeviceAddressForm().Push(Confirm(CDeviceAddressFields{1, 1, 2}));
    View().OnCommand(ID_DEVICE_ADDRESS);
    // Each command goes out once the one before it has had its answer (its timer stopped).
    const auto answered = [this] { View().KillTimer(TIMER_RESPONSE); };
    View().OnCommand(32802); // 召唤定值(85H)
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x85, 0x02, 0x01, 0x02, 0x35, 0x5D}));
    answered();
    View().OnCommand(32797); // 复位保护(80H)
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x80, 0x01, 0x01, 0xC0, 0x44}));

    // 98H resets the step counter, each 99H advances it before it is sent.
    answered();
    View().OnCommand(32821);
    answered();
    View().OnCommand(32822);
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x99, 0x03, 0x01, 0x01, 0x00, 0x4D, 0xD9}));
    answered();
    View().OnCommand(32822);
    EXPECT_EQ(View().StepCounter(), 2);

    // Ids of the range without a code, and 8CH, send nothing and start no timer.
    m_pSerial->ClearWritten();
    View().KillTimer(TIMER_RESPONSE);
    View().OnCommand(ID_TIMEOUT_SETTINGS);
    View().OnProto94Command(32803);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Proto94Session, ClockCommandSendsTheFormsTimeOrNothing)
{
    Connect();
    m_ui.ClockForm().Push(
        [](CClockFields& clock)
        {
            EXPECT_FALSE(clock.bShowAnswerBox);
            clock.nYear = 2004;
            clock.nMonth = 3;
            clock.nDay = 15;
            clock.nHour = 8;
            clock.nMinute = 30;
            clock.nSecond = 45;
            return true;
        });
    View().OnCommand(32800);
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x81, 0x07, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45, 0x2A, 0xE8}));

    m_pSerial->ClearWritten();
    View().KillTimer(TIMER_RESPONSE);
    const std::string strBefore = Log();
    m_ui.ClockForm().PushCancel();
    View().OnCommand(32800);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_EQ(Log(), strBefore);
}

} // namespace
} // namespace relvane
