#include "SessionFixture.h"
#include "session/PortMessages.h"

namespace relvane
{
namespace
{

class SessionState : public CSessionFixture
{
};

TEST_F(SessionState, StartsWithTheDefaults)
{
    EXPECT_EQ(View().Mode(), MODE_94);
    EXPECT_FALSE(View().PortOpen());
    EXPECT_FALSE(View().QueryCommand(ID_SERIAL_DISCONNECT).bEnabled);
    EXPECT_TRUE(View().QueryCommand(ID_SERIAL_CONNECT).bEnabled);
    EXPECT_TRUE(View().QueryCommand(ID_SERIAL_SETTINGS).bEnabled);
    for (const int nId :
         {ID_MODE_94, ID_AUTO_PROCESS, ID_FORMAT_HEX, ID_SHOW_ANNOTATIONS, ID_LINE_LIMIT, ID_MODEL_KLR10})
        EXPECT_TRUE(View().QueryCommand(nId).bChecked) << nId;
    for (const int nId :
         {ID_MODE_103, ID_MODE_ETH103, ID_103_POLLING, ID_FORMAT_DECIMAL, ID_MODEL_KTR20, ID_ETH_CONNECT})
        EXPECT_FALSE(View().QueryCommand(nId).bChecked) << nId;
    EXPECT_EQ(View().PaneText(ID_INDICATOR_PORT), "COM1");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_BAUD), "9600 bps");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_PARITY), "NONE");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_ADDRESS), "装置地址       ");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_CPU), "CPU号       ");
    EXPECT_EQ(View().TimeoutMs(), 1500);
    EXPECT_EQ(View().PollIntervalMs(), 1000);
    EXPECT_EQ(View().LineLimit(), 2000);
    EXPECT_EQ(m_pNetwork->StartupCount(), 1);
}

TEST_F(SessionState, RoutingAndEnabledRules)
{
    // '94 commands: 8CH and 8FH are never enabled; ids without a handler of their own are.
    EXPECT_FALSE(View().QueryCommand(32803).bEnabled);
    EXPECT_FALSE(View().QueryCommand(32804).bEnabled);
    EXPECT_TRUE(View().QueryCommand(ID_TIMEOUT_SETTINGS).bEnabled);
    EXPECT_TRUE(View().QueryCommand(32810).bHandled);
    EXPECT_TRUE(View().QueryCommand(32857).bEnabled);
    // The window's and the text area's commands are not the session's.
    for (const int nId : {57600, 57634, 57643, 59393, 32774, 32823, 32840, 32861})
        EXPECT_FALSE(View().QueryCommand(nId).bHandled) << nId;
    EXPECT_FALSE(View().OnCommand(57634));

    // The mode commands store the mode and pass the command on to the window.
    EXPECT_FALSE(View().OnCommand(ID_MODE_103));
    EXPECT_EQ(View().Mode(), MODE_103);
    EXPECT_TRUE(View().QueryCommand(ID_MODE_103).bChecked);
    EXPECT_TRUE(View().OnCommand(ID_AUTO_PROCESS));
}

TEST_F(SessionState, DisabledCommandsDoNothing)
{
    Connect();
    View().OnCommand(ID_SERIAL_SETTINGS);
    EXPECT_EQ(m_ui.SerialForm().Opened(), 0);
    View().OnCommand(ID_SERIAL_CONNECT);
    EXPECT_EQ(m_pSerial->OpenCount(), 1);
    View().OnCommand(32804);
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(SessionState, ConnectStripsThePortTextAndOpensWithFixedLineParameters)
{
    m_ui.SerialForm().Push(
        [](CSerialFields& form)
        {
            EXPECT_EQ(form.nMode, MODE_94);
            form.nPortIndex = 3;
            form.nDataBitsIndex = 3; // 7 data bits
            form.nStopBitsIndex = 2; // 2 stop bits
            form.nParityIndex = 2;
            form.nTimeoutMs = 800;
            form.strPort = "COM12";
            form.strBaud = "19200";
            form.strParity = "Even";
            return true;
        });
    View().OnCommand(ID_SERIAL_SETTINGS);
    View().OnCommand(ID_SERIAL_CONNECT);
    ASSERT_TRUE(View().PortOpen());
    const auto& config = m_pSerial->Configuration();
    EXPECT_EQ(config.nPort, 12);
    EXPECT_EQ(config.nBaud, 19200);
    EXPECT_EQ(config.cParity, 'E');
    EXPECT_EQ(config.nDataBits, 8);
    EXPECT_EQ(config.nStopBits, 1);
    EXPECT_EQ(config.nEventMask, 5u);
    EXPECT_EQ(config.nBufferSize, 512);
    EXPECT_EQ(config.pOwner, View().MessageSink());
    EXPECT_EQ(View().PaneText(ID_INDICATOR_PORT), "12");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_BAUD), "19200 bps");
    EXPECT_TRUE(View().QueryCommand(ID_SERIAL_DISCONNECT).bEnabled);
    EXPECT_FALSE(View().QueryCommand(ID_SERIAL_SETTINGS).bEnabled);

    View().OnCommand(ID_SERIAL_DISCONNECT);
    EXPECT_FALSE(View().PortOpen());
    EXPECT_EQ(m_pSerial->CloseCount(), 1);
    View().OnCommand(ID_SERIAL_CONNECT);
    EXPECT_EQ(m_pSerial->Configuration().nPort, 12) << "the stripped text opens the same port again";

    // The form shows the remembered selections again.
    View().OnCommand(ID_SERIAL_DISCONNECT);
    m_ui.SerialForm().Push(
        [](CSerialFields& form)
        {
            EXPECT_EQ(form.nDataBitsIndex, 3);
            EXPECT_EQ(form.nStopBitsIndex, 2);
            EXPECT_EQ(form.nTimeoutMs, 800);
            return false;
        });
    View().OnCommand(ID_SERIAL_SETTINGS);
    EXPECT_EQ(m_ui.SerialForm().Opened(), 2);

    // The time-out applies to the next response timer.
    View().OnCommand(ID_SERIAL_CONNECT);
    View().OnCommand(ID_94_POLL);
    EXPECT_EQ(View().TimerInterval(TIMER_RESPONSE), 800);
}

TEST_F(SessionState, PortThatCannotBeOpenedIsReported)
{
    m_pSerial->SetOpenResult(CHANNEL_FAILED);
    View().OnCommand(ID_SERIAL_CONNECT);
    EXPECT_FALSE(View().PortOpen());
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"无法打开串口 COM1"});
    EXPECT_EQ(View().PaneText(ID_INDICATOR_PORT), "1");
}

TEST(PortMessages, APortThatDoesNotOpenIsNamedWithTheSystemsReason)
{
    using EState = CPortDescription::EState;
    const struct
    {
        int nPort;
        const char* pszDevice;
        EState eState;
        const char* pszText;
    } cases[] = {
        {3, "/dev/ttyUSB0", EState::Busy, "无法打开串口 COM3 (/dev/ttyUSB0): 被其他程序占用"},
        {3, "/dev/ttyS2", EState::NoPermission,
         "无法打开串口 COM3 (/dev/ttyS2): 无权限: 请把用户加入 dialout 组"},
        {7, "/dev/ttyACM0", EState::Missing, "无法打开串口 COM7 (/dev/ttyACM0): 设备不存在"},
        {7, "", EState::NotSerial, "无法打开串口 COM7: 不是串口设备"},
        {1, "/dev/ttyS0", EState::Failed, "无法打开串口 COM1 (/dev/ttyS0)"},
        {1, "", EState::Available, "无法打开串口 COM1"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(PortOpenFailedText(test.nPort, test.pszDevice, test.eState), test.pszText);
}

TEST_F(SessionState, VanishedDeviceIsSaidOnceAndTheNextConnectOpensItAgain)
{
    Connect();
    View().OnCommand(ID_94_POLL);
    const std::string strLogBefore = Log();
    // The notice of the hang-up, and a stale second one, reach the session.
    m_pSerial->HangUp();
    m_pSerial->HangUp();
    Deliver();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"串口已断开"});
    EXPECT_FALSE(View().PortOpen());
    EXPECT_EQ(m_pSerial->CloseCount(), 1);
    EXPECT_EQ(Log(), strLogBefore + "串口已断开: COM1 (设备已移除)\r\n") << "said once, with its cause";
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE)) << "no time-out of a line that is gone";

    // The device is back: one connect opens it; a notice left from the old opening is ignored.
    m_pSerial->HangUp();
    Connect();
    Deliver();
    EXPECT_TRUE(View().PortOpen());
    EXPECT_EQ(m_ui.Messages().size(), 1u);
}

TEST_F(SessionState, DeviceAddressFormFillsThePanes)
{
    m_ui.DeviceAddressForm().PushCancel();
    View().OnCommand(ID_DEVICE_ADDRESS);
    EXPECT_EQ(View().PaneText(ID_INDICATOR_ADDRESS), "装置地址       ");

    m_ui.DeviceAddressForm().Push(
        [](CDeviceAddressFields& fields)
        {
            EXPECT_EQ(fields.nDeviceAddress, 1);
            EXPECT_EQ(fields.nCpuNumber, 1);
            fields = CDeviceAddressFields{5, 2, 3};
            return true;
        });
    View().OnCommand(ID_DEVICE_ADDRESS);
    EXPECT_EQ(View().PaneText(ID_INDICATOR_ADDRESS), "装置地址:5");
    EXPECT_EQ(View().PaneText(ID_INDICATOR_CPU), "CPU号:2");
    Connect();
    View().OnCommand(32796); // 召唤事件报告(87H)
    ASSERT_EQ(LastWritten().size(), 6u);
    EXPECT_EQ(LastWritten()[0], 5);
    EXPECT_EQ(LastWritten()[3], 2);
}

TEST_F(SessionState, ModelAndIntervalSettings)
{
    View().OnCommand(ID_MODEL_KTR20);
    EXPECT_EQ(View().Model(), KTR20);
    EXPECT_EQ(View().Proto94().Model(), KTR20);
    EXPECT_TRUE(View().QueryCommand(ID_MODEL_KTR20).bChecked);

    m_ui.IntervalForm().Push(
        [](CIntervalFields& fields)
        {
            EXPECT_EQ(fields.strTitle, "巡检时间设置");
            EXPECT_EQ(fields.nIntervalMs, 1000);
            fields.nIntervalMs = 250;
            return true;
        });
    View().OnCommand(ID_POLL_INTERVAL);
    EXPECT_EQ(View().PollIntervalMs(), 250);
}

TEST_F(SessionState, TimerStartedInOneModeFiresUnderTheRulesOfTheNext)
{
    Connect();
    View().OnCommand(ID_MODE_103);
    View().OnCommand(ID_103_CLASS2);
    m_pSerial->ClearWritten();
    View().OnCommand(ID_MODE_94);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE)) << "a mode switch leaves the timers running";
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(LastWritten(), (Bytes{0x01, 0x83, 0x00, 0x30, 0xF0}));
    EXPECT_NE(Log().find("超时\r\n发送: 01 83 00 30 F0 "), std::string::npos);

    // '94 poll timer firing in the 103 mode sends the class 2 request.
    View().OnCommand(ID_MODE_103);
    m_pSerial->ClearWritten();
    View().KillTimer(TIMER_RESPONSE); // the poll above was answered
    View().StartTimer(TIMER_POLL, 1000);
    View().OnTimer(TIMER_POLL);
    ASSERT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastWritten()[1] & 0x0F, 0x0B);

    // Any other id does nothing in the serial modes.
    m_pSerial->ClearWritten();
    View().OnTimer(7);
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(SessionState, StateChangedFollowsCommands)
{
    int nChanges = 0;
    QObject::connect(&View(), &CRelvaneView::StateChanged, [&nChanges] { ++nChanges; });
    View().OnCommand(ID_AUTO_PROCESS);
    View().OnCommand(ID_MODE_ETH103);
    EXPECT_EQ(nChanges, 2);
}

TEST_F(SessionState, ChannelsAreReleasedBeforeTheQueueTheyPostTo)
{
    // Destroying the session with messages still queued neither delivers nor leaks them.
    m_pNetwork->PostStatus(NET_TCP_LISTENING);
    m_pSerial->InjectChunk({0x01, 0x02, 0x03, 0x04, 0x05});
    m_pView.reset();
    m_pSerial = nullptr;
    m_pNetwork = nullptr;
    Deliver();
    SUCCEED();
}

} // namespace
} // namespace relvane
