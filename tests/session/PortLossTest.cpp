// Nothing is logged that did not happen: a frame the port did not take is not "发送", a port that
// closes ends polling and time-outs and is said in the log with its cause, and a clock frame
// synchronised with the computer carries the time it went out.
#include "SessionFixture.h"
#include "disturbance/DisturbanceUpload.h"

#include <QDateTime>

namespace relvane
{
namespace
{

const Bytes kNoData103 = {0x10, 0x09, 0x01, 0x0A, 0x16};

class PortLoss : public CSessionFixture
{
protected:
    void StartPolling(int nMode)
    {
        if (nMode == MODE_103)
        {
            View().OnCommand(ID_MODE_103);
            View().OnCommand(ID_103_POLLING);
            View().OnCommand(ID_103_CLASS2);
            Relay(kNoData103); // answered: the polling timer runs
        }
        else
        {
            View().OnCommand(ID_94_POLL); // with automatic processing on, the cycle runs for good
        }
    }
};

TEST_F(PortLoss, ClosingThePortEndsPollingAndTimeOutsAndSaysWhy)
{
    const struct
    {
        int nMode;
        bool bVanishes;
        const char* pszLine;
    } cases[] = {
        {MODE_94, false, "串口已断开: COM1 (用户断开)"},
        {MODE_94, true, "串口已断开: COM1 (设备已移除)"},
        {MODE_103, false, "串口已断开: COM1 (用户断开)"},
        {MODE_103, true, "串口已断开: COM1 (设备已移除)"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.pszLine + std::to_string(test.nMode));
        View().OnCommand(test.nMode == MODE_94 ? ID_MODE_94 : ID_MODE_103);
        Connect();
        View().OnCommand(ID_SHOW_ANNOTATIONS);
        StartPolling(test.nMode);
        ASSERT_TRUE(View().IsTimerActive(TIMER_RESPONSE) || View().IsTimerActive(TIMER_POLL));
        if (test.bVanishes)
        {
            m_pSerial->HangUp();
            Deliver();
        }
        else
        {
            View().OnCommand(ID_SERIAL_DISCONNECT);
        }
        const std::string strLog = Log();
        EXPECT_EQ(strLog.substr(strLog.size() - std::string(test.pszLine).size() - 2),
                  std::string(test.pszLine) + "\r\n");
        EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
        EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
        EXPECT_TRUE(View().SerialLinkIdle());

        // A timer that fired as the port closed (the port, closed, takes nothing) finds nothing to do: no
        // word, no frame.
        m_pSerial->SetWriteResult(0);
        View().OnTimer(TIMER_POLL);
        Deliver();
        m_pSerial->SetWriteResult(1);
        EXPECT_EQ(Log(), strLog);
        // The user was told once, where the device went (the window says it in its status bar).
        EXPECT_EQ(m_ui.Messages(),
                  test.bVanishes ? std::vector<std::string>{"串口已断开"} : std::vector<std::string>{});

        // Polling that was switched on starts again with the next answer after a connect.
        if (test.nMode == MODE_103)
            View().OnCommand(ID_103_POLLING);
        View().OnCommand(ID_SHOW_ANNOTATIONS);
        View().ClearLog();
        m_ui.ClearMessages();
    }
}

TEST_F(PortLoss, AFrameThePortDidNotTakeIsNeitherLoggedNorCounted)
{
    Connect();
    View().OnCommand(ID_MODE_103);
    View().OnCommand(ID_SHOW_ANNOTATIONS);
    m_pSerial->SetWriteResult(0);

    // The user's command is refused with a word; nothing is logged, counted or timed.
    View().OnCommand(ID_103_CLASS2);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"串口写入失败, 报文未发送."});
    EXPECT_EQ(Log(), "");
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_EQ(View().Recorder().Statistics().BytesSent(), 0u);

    // A poll that cannot go out ends its cycle without a word.
    View().OnCommand(ID_103_POLLING);
    View().OnTimer(TIMER_POLL);
    EXPECT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(Log(), "");
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    // Closed: the user hears that the port is not open, as in the '94 mode.
    View().OnCommand(ID_SERIAL_DISCONNECT);
    m_ui.ClearMessages();
    View().OnCommand(ID_103_CLASS1);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"串口尚未打开,不能发送报文."});
    EXPECT_EQ(Log().find("发送"), std::string::npos) << Log();
}

TEST_F(PortLoss, AnUploadEndsAtOnceWhenThePortGoes)
{
    for (const bool bVanishes : {false, true})
    {
        SCOPED_TRACE(bVanishes ? "device gone" : "disconnected");
        View().OnCommand(ID_MODE_103);
        Connect();
        CDisturbanceUpload upload(View());
        std::vector<QString> finished;
        QObject::connect(&upload, &CDisturbanceUpload::Finished,
                         [&finished](bool bOk, const QString& strMessage)
                         {
                             EXPECT_FALSE(bOk);
                             finished.push_back(strMessage);
                         });
        std::string strError;
        ASSERT_TRUE(upload.StartUpload(3, "/nonexistent", ComtradeFormat::Ascii, strError)) << strError;
        ASSERT_TRUE(upload.Busy());
        if (bVanishes)
        {
            m_pSerial->HangUp();
            Deliver();
        }
        else
        {
            View().OnCommand(ID_SERIAL_DISCONNECT);
        }
        EXPECT_FALSE(upload.Busy());
        EXPECT_EQ(finished, std::vector<QString>{QStringLiteral("串口已断开, 录波读取中止。")});

        // Nothing of it waits for the line any more.
        EXPECT_TRUE(View().SerialLinkIdle());
        EXPECT_EQ(m_ui.Messages(),
                  bVanishes ? std::vector<std::string>{"串口已断开"} : std::vector<std::string>{});
        m_ui.ClearMessages();
        View().ClearLog();
    }
}

TEST_F(PortLoss, LogTimesNeverGoBack)
{
    // A chunk whose read ended before a send that was logged ahead of it gets no earlier time.
    CSessionRecorder& recorder = View().Recorder();
    recorder.Stamp().SetForm(STAMP_SINCE_PREVIOUS);
    CChannelTime later;
    later.nWallUs = 1'700'000'000'000'000;
    later.nSteadyUs = 5'000'000;
    CChannelTime earlier = later;
    earlier.nWallUs -= 40'000;
    earlier.nSteadyUs -= 40'000;
    EXPECT_EQ(recorder.OnLogEvent(LOG_SEND, "发送: ", later), "[+0ms] 发送: ");
    EXPECT_EQ(recorder.OnLogEvent(LOG_RECEIVE, "接收: ", earlier), "[+0ms] 接收: ");
    recorder.Stamp().SetForm(STAMP_TIME_OF_DAY);
    const std::string strLater = recorder.OnLogEvent(LOG_TIMEOUT, "超时\r\n", later);
    EXPECT_EQ(recorder.OnLogEvent(LOG_TIMEOUT, "超时\r\n", earlier), strLater);
}

TEST_F(PortLoss, AFrameAPlanTypedIsSentButNotShownToTheUserNextTime)
{
    View().OnCommand(ID_MODE_103);
    m_ui.AnswerCustomFrame("10 49 01 4A 16");
    View().OnCommand(ID_103_CUSTOM_FRAME);
    m_ui.SetAnswersForTheUser(true);
    m_ui.AnswerCustomFrame("68 01 02 68 FF 16");
    View().OnCommand(ID_103_CUSTOM_FRAME);
    EXPECT_EQ(LastWritten(), (Bytes{0x68, 0x01, 0x02, 0x68, 0xFF, 0x16}));
    m_ui.SetAnswersForTheUser(false);
    EXPECT_EQ(View().CustomFrame().Text(true), "10 49 01 4A 16 ");
}

// ---------------------------------------------------------------------------------------------
// The clock frame

class ClockSync : public CSessionFixture
{
protected:
    ClockSync()
    {
        View().SetWallClock([this] { return m_nClockUs; });
    }

    // Local 2026-06-05 12:34:56.789 as the clock seam gives it.
    static std::int64_t LocalUs(int nHour, int nMinute, int nSecond, int nMs)
    {
        const QDateTime time(QDate(2026, 6, 5), QTime(nHour, nMinute, nSecond, nMs));
        return time.toMSecsSinceEpoch() * 1000;
    }

    void AnswerClock(bool bSynchronise, bool bAnswer = false)
    {
        m_ui.ClockForm().Push(
            [bSynchronise, bAnswer](CClockFields& clock)
            {
                const bool bShowAnswerBox = clock.bShowAnswerBox;
                clock = CClockFields{2026, 1, 2, 3, 4, 5, bSynchronise, bShowAnswerBox, bAnswer};
                return true;
            });
    }

    // The seven time octets of the last ASDU 6 written.
    Bytes TimeOctets103() const
    {
        const Bytes abFrame = m_pSerial->Written().back();
        return abFrame.size() == 21 ? Bytes(abFrame.begin() + 12, abFrame.begin() + 19) : Bytes();
    }

    std::int64_t m_nClockUs = LocalUs(12, 34, 56, 789);
};

TEST_F(ClockSync, SynchronisedFramesCarryTheTimeTheyLeaveWithMilliseconds)
{
    // 56.789 s is 56789 ms of the minute: DD D5.
    AnswerClock(true);
    View().OnCommand(ID_103_TIME_SYNC);
    EXPECT_EQ(TimeOctets103(), (Bytes{0xD5, 0xDD, 0x22, 0x0C, 0x05, 0x06, 0x1A}));

    // Typed with the box off: sent as typed (03:04:05 on 2 January 2026).
    AnswerClock(false);
    View().OnCommand(ID_103_TIME_SYNC);
    EXPECT_EQ(TimeOctets103(), (Bytes{0x88, 0x13, 0x04, 0x03, 0x02, 0x01, 0x1A}));

    // Held while a request awaits its answer: the time is the one at sending, not at the form.
    View().OnCommand(ID_103_CLASS2);
    AnswerClock(true, true);
    View().OnCommand(ID_103_TIME_SYNC);
    const std::size_t nWritten = m_pSerial->Written().size();
    m_nClockUs = LocalUs(12, 35, 1, 250);
    Relay(kNoData103);
    ASSERT_EQ(m_pSerial->Written().size(), nWritten + 1);
    EXPECT_EQ(TimeOctets103(), (Bytes{0xE2, 0x04, 0x23, 0x0C, 0x05, 0x06, 0x1A}));

    // '94 (81H): whole seconds, cut from the computer's time at sending.
    View().OnCommand(ID_MODE_94);
    Connect();
    View().KillTimer(TIMER_RESPONSE);
    AnswerClock(true);
    View().OnCommand(32800);
    const Bytes ab94 = m_pSerial->Written().back();
    ASSERT_GE(ab94.size(), 10u);
    EXPECT_EQ(Bytes(ab94.begin() + 3, ab94.begin() + 10), (Bytes{0x26, 0x20, 0x06, 0x05, 0x12, 0x35, 0x01}));
}

TEST_F(ClockSync, TheSystemClockIsReadAtTheMomentOfSending)
{
    // The seam passes the system's time through and keeps what it gave.
    std::int64_t nGivenUs = 0;
    View().SetWallClock(
        [&nGivenUs]
        {
            nGivenUs = CChannelTime::Now().nWallUs;
            return nGivenUs;
        });
    AnswerClock(true);
    View().OnCommand(ID_103_TIME_SYNC);
    const std::int64_t nAfterUs = CChannelTime::Now().nWallUs;
    const Bytes abTime = TimeOctets103();
    ASSERT_EQ(abTime.size(), 7u);
    ASSERT_NE(nGivenUs, 0);
    const QDateTime given = QDateTime::fromMSecsSinceEpoch(nGivenUs / 1000);
    const int nFrameMs = abTime[0] | (abTime[1] << 8);
    const int nGivenMs = given.time().second() * 1000 + given.time().msec();
    EXPECT_EQ(nFrameMs, nGivenMs);
    EXPECT_EQ(abTime[2], given.time().minute());
    EXPECT_LE(nAfterUs - nGivenUs, 50'000) << "read at sending, not when the form opened";
}

} // namespace
} // namespace relvane
