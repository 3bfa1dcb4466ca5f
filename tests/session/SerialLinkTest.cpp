#include "SessionFixture.h"
#include "common/AnnotationText.h"
#include "iec103/Iec103Codec.h"
#include "proto94/Crc16.h"

#include <functional>
#include <map>

namespace relvane
{
namespace
{

// Fixed 103 frames of the relay (address 1).
const Bytes kNoData = {0x10, 0x09, 0x01, 0x0A, 0x16};
const Bytes kNoDataAcd = {0x10, 0x29, 0x01, 0x2A, 0x16};
const Bytes kAckAcd = {0x10, 0x20, 0x01, 0x21, 0x16};
const Bytes kAck = {0x10, 0x00, 0x01, 0x01, 0x16};
const Bytes kLinkStatus = {0x10, 0x0B, 0x01, 0x0C, 0x16};
const Bytes kGarbled = {0x10, 0x09, 0x01, 0x0B, 0x16};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes abAll;
    for (const Bytes& part : parts)
        abAll.insert(abAll.end(), part.begin(), part.end());
    return abAll;
}

Bytes Frame94(std::uint8_t nCode, Bytes abData)
{
    Bytes abFrame = Join({{0x01, nCode, static_cast<std::uint8_t>(abData.size())}, abData});
    const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abFrame;
}

// The 103 control byte of a written frame (fixed or variable).
int Control(const Bytes& abFrame)
{
    if (abFrame.size() >= 5 && abFrame[0] == 0x10)
        return abFrame[1];
    return abFrame.size() >= 6 && abFrame[0] == 0x68 ? abFrame[4] : -1;
}

// The log's lines (annotations off: one line per entry).
std::vector<std::string> Lines(const std::string& strLog)
{
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strLog.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        lines.push_back(strLog.substr(nStart, nEnd - nStart));
    return lines;
}

class SerialLink : public CSessionFixture
{
protected:
    void Use103()
    {
        View().OnCommand(ID_MODE_103);
        View().OnCommand(ID_SHOW_ANNOTATIONS); // off: one line per entry
    }

    // Delivers until the relay has nothing more to say.
    void DeliverAll()
    {
        for (int i = 0; i < 50; ++i)
            Deliver();
    }

    std::vector<int> Controls() const
    {
        std::vector<int> controls;
        for (const Bytes& abFrame : m_pSerial->Written())
            controls.push_back(Control(abFrame));
        return controls;
    }

    std::string LastHint() const { return m_ui.Hints().empty() ? "(none)" : m_ui.Hints().back(); }
};

TEST_F(SerialLink, HandCommandWaitsForTheAnswerOfThePollInFlight)
{
    Use103();
    View().OnCommand(ID_103_POLLING);
    View().OnCommand(ID_103_CLASS2);
    View().OnCommand(ID_103_INTERROGATION); // chosen while the poll is awaited
    ASSERT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastHint(), "等待装置应答,1条命令待发送");

    // The answer asks for class 1 data, yet the user's command was first in line.
    Relay(kAckAcd);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x73}));
    EXPECT_EQ(LastHint(), "");
    // The poll falling due meanwhile gives way to the waiting class 1 request.
    View().OnTimer(TIMER_POLL);
    Relay(kAck);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x73, 0x5A}));
    Relay(kNoData);
    EXPECT_EQ(m_pSerial->Written().size(), 3u);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    EXPECT_EQ(Lines(Log()), (std::vector<std::string>{"发送: 10 5B 01 5C 16 ", "接收: 10 20 01 21 16 ",
                                                      "发送: 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16 ",
                                                      "接收: 10 00 01 01 16 ", "发送: 10 5A 01 5B 16 ",
                                                      "接收: 10 09 01 0A 16 "}));

    // Two answers asking for class 1 data get one request between them, not two.
    View().OnTimer(TIMER_POLL);
    View().OnCommand(ID_103_LINK_STATUS);
    Relay(kNoDataAcd); // the link status request goes; the class 1 request waits
    Relay(Join({kLinkStatus, kNoDataAcd}));
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x73, 0x5A, 0x7B, 0x49, 0x5A}));
}

TEST_F(SerialLink, HeldCommandsGoOutInTheUsersOrderOnceTheLineIsFree)
{
    Use103();
    View().OnCommand(ID_103_CLASS2);
    View().OnCommand(ID_103_INTERROGATION);
    m_ui.ClockForm().Push(Confirm(CClockFields{2026, 6, 5, 12, 34, 56, true, true, false}));
    View().OnCommand(ID_103_TIME_SYNC); // no answer asked: 44H
    m_ui.AnswerCustomFrame("10 49 01 4A 16");
    View().OnCommand(ID_103_CUSTOM_FRAME);
    m_ui.GeneralCommandForm().PushCancel(); // a cancelled form sends nothing and waits for nothing
    View().OnCommand(ID_103_GENERAL_COMMAND);
    View().OnCommand(ID_103_CLASS1);
    EXPECT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastHint(), "等待装置应答,4条命令待发送");

    Relay(kNoData); // the interrogation goes and is awaited in turn
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x73}));
    EXPECT_EQ(LastHint(), "等待装置应答,3条命令待发送");
    Relay(kAck); // the two that expect no answer go together, then the class 1 request
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x73, 0x44, 0x49, 0x5A}));
    EXPECT_EQ(LastHint(), "");
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(SerialLink, PollTickDuringAnExchangeWaitsAndIsNeverDoubled)
{
    Use103();
    View().OnCommand(ID_103_POLLING);
    View().OnCommand(ID_103_INTERROGATION);
    View().OnTimer(TIMER_POLL); // falls due while the interrogation is awaited
    EXPECT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastHint(), "(none)") << "a waiting poll is no command of the user's";
    // The answer schedules the next poll itself; the waiting one is dropped.
    Relay(kAck);
    EXPECT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    View().OnTimer(TIMER_POLL);
    EXPECT_EQ(Controls(), (std::vector<int>{0x53, 0x7B}));

    // Polling switched off meanwhile: the tick that fell due still goes, once.
    View().OnCommand(ID_103_POLLING);
    View().OnTimer(TIMER_POLL);
    Relay(kNoData);
    EXPECT_EQ(Controls(), (std::vector<int>{0x53, 0x7B, 0x5B}));
}

TEST_F(SerialLink, TimeoutReleasesTheHeldCommandAndTheRelayIsAskedAgainWithTheSameFcb)
{
    Use103();
    View().OnCommand(ID_103_POLLING);
    View().OnCommand(ID_103_CLASS2);
    View().OnCommand(ID_103_CLASS1);
    View().OnTimer(TIMER_RESPONSE);
    // The user's command goes first, with the FCB of the unanswered request; the poll due after
    // the time-out waits and then gives way to the one the answer schedules.
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x5A}));
    Relay(kNoData);
    EXPECT_EQ(m_pSerial->Written().size(), 2u);
    EXPECT_EQ(Lines(Log()), (std::vector<std::string>{"发送: 10 5B 01 5C 16 ", "超时",
                                                      "发送: 10 5A 01 5B 16 ", "接收: 10 09 01 0A 16 "}));

    // A garbled answer counts as none: the next request carries the same FCB.
    View().OnTimer(TIMER_POLL);
    Relay(kGarbled);
    View().OnTimer(TIMER_POLL);
    Relay(kNoData);
    View().OnTimer(TIMER_POLL);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x5A, 0x7B, 0x7B, 0x5B}));
}

TEST_F(SerialLink, OnlyAnAnswerToTheFcvRequestMovesTheFcb)
{
    Use103();
    View().OnCommand(ID_103_CLASS2);
    View().OnTimer(TIMER_RESPONSE);
    // The status of link answers the status request, not the lost class 2 request.
    View().OnCommand(ID_103_LINK_STATUS);
    Relay(kLinkStatus);
    View().OnCommand(ID_103_CLASS2);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5B, 0x49, 0x5B}));

    // A lone E5H is an answer: logged, the time-out stopped, the FCB moved on.
    Relay({0xE5});
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    View().OnCommand(ID_103_CLASS2);
    EXPECT_EQ(Controls().back(), 0x7B);
    EXPECT_EQ(Lines(Log())[Lines(Log()).size() - 2], "接收: E5 ");
}

TEST_F(SerialLink, CommandAfterALostAnswerWaitsUntilTheAnswerIsFetchedAgain)
{
    Use103();
    View().OnCommand(ID_103_CLASS1);
    View().OnTimer(TIMER_RESPONSE);
    // With the FCB of the lost answer the interrogation would only fetch that answer and not be
    // carried out: a class 2 request with that FCB goes first.
    View().OnCommand(ID_103_INTERROGATION);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5A, 0x5B}));
    EXPECT_EQ(LastHint(), "等待装置应答,1条命令待发送");
    Relay(kNoData);
    EXPECT_EQ(Controls(), (std::vector<int>{0x5A, 0x5B, 0x73}));
    EXPECT_EQ(LastHint(), "");
}

TEST_F(SerialLink, MergedAnswersAreLoggedAnnotatedAndAnsweredFrameByFrame)
{
    View().OnCommand(ID_MODE_103);
    View().OnCommand(ID_103_CLASS2);
    // The poll's answer and a spontaneous event met in one read.
    const Bytes abEvent = {0x68, 0x0E, 0x0E, 0x68, 0x28, 0x01, 0x01, 0x81, 0x01, 0x01,
                           0xA0, 0x5A, 0x01, 0xA6, 0x0F, 0x2C, 0x15, 0x00, 0x9E, 0x16};
    Relay(Join({kAckAcd, abEvent}));
    CAnnotationText note;
    ASSERT_GT(Iec103Codec::Annotate(abEvent.data(), static_cast<int>(abEvent.size()), note), 0);
    EXPECT_EQ(Log(), "发送: 10 5B 01 5C 16 \r\n"
                     "接收: 10 20 01 21 16 \r\n"
                     "接收: 68 0E 0E 68 28 01 01 81 01 01 A0 5A 01 A6 0F 2C 15 00 9E 16 \r\n (\n" +
                         note.Text() +
                         ") \r\n"
                         "发送: 10 7A 01 7B 16 \r\n");
    EXPECT_EQ(View().LineCount(), 4);
    EXPECT_EQ(m_pSerial->Written().size(), 2u) << "both frames set ACD: one class 1 request";
}

TEST_F(SerialLink, QueuedAnswersAfterAStallAndGarbageBehindThem)
{
    Use103();
    View().OnCommand(ID_103_POLLING);
    const Bytes abMeasurands = {0x68, 0x10, 0x10, 0x68, 0x08, 0x01, 0x09, 0x04, 0x02, 0x01, 0xA0,
                                0x94, 0x40, 0x03, 0x48, 0x03, 0x50, 0x03, 0x58, 0x03, 0x89, 0x16};
    Relay(Join({kNoData, abMeasurands, kNoData, {0x12, 0x34}}));
    EXPECT_EQ(Lines(Log()), (std::vector<std::string>{
                                "接收: 10 09 01 0A 16 ",
                                "接收: 68 10 10 68 08 01 09 04 02 01 A0 94 40 03 48 03 50 03 58 03 89 16 ",
                                "接收: 10 09 01 0A 16 ", "校验和出错: 12 34 "}));
    EXPECT_EQ(View().LineCount(), 5);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
}

TEST_F(SerialLink, Proto94MergedFramesAndHeldCommands)
{
    Connect();
    View().OnCommand(ID_SHOW_ANNOTATIONS);
    View().OnCommand(ID_94_POLL);
    View().OnCommand(32798); // 召唤开入量(86H), chosen while the poll is awaited
    EXPECT_EQ(m_pSerial->Written().size(), 1u);

    // A report asking for settings and the clock answer in one read: both are logged, the report
    // is answered, and the user's command goes out first.
    const Bytes abReport = Frame94(0xBA, {0x03, 0x06});
    const Bytes abClock = Frame94(0xB7, {0x01, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45});
    Relay(Join({abReport, abClock}));
    ASSERT_EQ(m_pSerial->Written().size(), 2u);
    EXPECT_EQ(m_pSerial->Written()[1], (Bytes{0x01, 0x86, 0x01, 0x01, 0x20, 0x45}));
    Relay(Frame94(0xB0, {0x01}));
    ASSERT_EQ(m_pSerial->Written().size(), 3u);
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x85, 0x02, 0x03, 0xFF, 0xF5, 0xBC}));

    // Garbage behind a good frame is logged on its own, as a check failure.
    Relay(Join({Frame94(0xB0, {0x01}), {0xAA, 0xBB}}));
    const std::vector<std::string> lines = Lines(Log());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "CRC错: AA BB ");
    EXPECT_EQ(lines[lines.size() - 2].rfind("接收: 01 B0 01 01 ", 0), 0u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& s) { return s.rfind("发送", 0) == 0; }),
              3);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
}

TEST_F(SerialLink, ClosingThePortDropsWhatWaits)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    View().OnCommand(32801); // 召唤保护时钟(82H)
    EXPECT_EQ(LastHint(), "等待装置应答,1条命令待发送");
    View().OnCommand(ID_SERIAL_DISCONNECT);
    EXPECT_EQ(LastHint(), "");
    View().OnCommand(ID_AUTO_PROCESS);
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_TRUE(m_ui.Messages().empty());
    // With the port closed a '94 command is refused at once, not held.
    View().OnCommand(ID_94_POLL);
    EXPECT_EQ(m_ui.Messages().size(), 1u);
}

// A relay that answers every request at once, while polling runs and the user sends commands by
// hand in between: the log holds strictly alternating request and answer pairs.
TEST_F(SerialLink, PollingWithHandCommandsAlternatesAgainstAnAtOnceRelay)
{
    const struct
    {
        int nMode;
        std::vector<int> handCommands;
        std::function<Bytes(const Bytes&)> fnAnswer;
    } cases[] = {
        {MODE_103,
         {ID_103_INTERROGATION, ID_103_LINK_STATUS, ID_103_CLASS1, ID_103_INTERROGATION},
         [](const Bytes& abRequest)
         {
             switch (Control(abRequest) & 0x0F)
             {
             case 3:
                 return kAckAcd; // the interrogation's acknowledgement: class 1 data wait
             case 9:
                 return kLinkStatus;
             case 10:
                 return kNoData;
             default:
                 return kNoDataAcd;
             }
         }},
        {MODE_94,
         {32798, 32801, 32796},
         [](const Bytes& abRequest) {
             return abRequest[1] == 0x83 ? Frame94(0xBA, {0x01, 0x01}) : Frame94(0xB0, {0x01});
         }},
    };
    for (const auto& c : cases)
    {
        m_pView.reset();
        auto pSerial = std::make_unique<CFakeSerialChannel>();
        m_pSerial = pSerial.get();
        m_pView =
            std::make_unique<CRelvaneView>(std::move(pSerial), std::make_unique<CFakeNetworkChannel>(), m_ui);
        m_pSerial->SetSink(m_pView->MessageSink());
        m_pSerial->SetWriteHook([this, &c](const Bytes& abRequest)
                                { m_pSerial->InjectChunk(c.fnAnswer(abRequest)); });
        Connect();
        View().OnCommand(c.nMode == MODE_103 ? ID_MODE_103 : ID_MODE_94);
        View().OnCommand(ID_SHOW_ANNOTATIONS);
        if (c.nMode == MODE_103)
            View().OnCommand(ID_103_POLLING);

        for (const int nId : c.handCommands)
        {
            View().OnTimer(TIMER_POLL); // the poll goes, its answer is on its way
            View().OnCommand(nId);      // the user clicks a few milliseconds later
            View().OnTimer(TIMER_POLL); // and the polling timer is due again meanwhile
            DeliverAll();
        }
        const std::vector<std::string> lines = Lines(Log());
        ASSERT_GE(lines.size(), 2 * c.handCommands.size()) << c.nMode;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].rfind(i % 2 == 0 ? "发送: " : "接收: ", 0), 0u)
                << c.nMode << " line " << i << ": " << lines[i];
        EXPECT_EQ(lines.size() % 2, 0u) << c.nMode;
        m_pSerial->SetWriteHook({});
    }
}

} // namespace
} // namespace relvane
