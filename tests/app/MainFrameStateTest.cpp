#include "FrameFixture.h"
#include "session/SessionCommands.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <functional>
#include <QStatusBar>
#include <QTimer>

using namespace relvane;
using relvane::test::FrameFixture;

TEST_F(FrameFixture, StatusPanesAtStart)
{
    Settle();
    EXPECT_EQ(PaneText(0), QStringLiteral("就绪"));
    EXPECT_EQ(PaneText(ID_INDICATOR_ADDRESS), QStringLiteral("装置地址       "));
    EXPECT_EQ(PaneText(ID_INDICATOR_CPU), QStringLiteral("CPU号       "));
    EXPECT_EQ(PaneText(ID_INDICATOR_PORT), QStringLiteral("COM1"));
    EXPECT_EQ(PaneText(ID_INDICATOR_BAUD), QStringLiteral("9600 bps"));
    EXPECT_EQ(PaneText(ID_INDICATOR_PARITY), QStringLiteral("NONE"));
    // Left to right: message, device address, CPU number, port, baud rate, parity.
    int nLeft = -1;
    for (const int nId : {0, 59146, 59147, 59143, 59145, 59144})
    {
        QLabel* pPane = Frame().Pane(nId);
        ASSERT_NE(pPane, nullptr);
        EXPECT_GT(pPane->x(), nLeft) << nId;
        nLeft = pPane->x();
    }
}

TEST_F(FrameFixture, PanesKeepTheirStartingWidthFromTheInitialTexts)
{
    QLabel* pAddress = Frame().Pane(ID_INDICATOR_ADDRESS);
    QLabel* pParity = Frame().Pane(ID_INDICATOR_PARITY);
    EXPECT_GE(pAddress->minimumWidth(),
              pAddress->fontMetrics().horizontalAdvance(QStringLiteral("装置地址       ")));
    EXPECT_GE(pParity->minimumWidth(), pParity->fontMetrics().horizontalAdvance(QStringLiteral("校验  ")));
}

TEST_F(FrameFixture, DeviceAddressFormChangesTheDevicePanes)
{
    m_ui.DeviceAddressForm().PushCancel();
    Choose(ID_DEVICE_ADDRESS);
    EXPECT_EQ(PaneText(ID_INDICATOR_ADDRESS), QStringLiteral("装置地址       "))
        << "a cancel changes nothing";
    m_ui.DeviceAddressForm().Push(Confirm(CDeviceAddressFields{5, 2, 0}));
    Choose(ID_DEVICE_ADDRESS);
    EXPECT_EQ(PaneText(ID_INDICATOR_ADDRESS), QStringLiteral("装置地址:5"));
    EXPECT_EQ(PaneText(ID_INDICATOR_CPU), QStringLiteral("CPU号:2"));
}

TEST_F(FrameFixture, EnabledStatesFollowThePort)
{
    EXPECT_TRUE(Enabled(ID_SERIAL_CONNECT));
    EXPECT_TRUE(Enabled(ID_SERIAL_SETTINGS));
    EXPECT_FALSE(Enabled(ID_SERIAL_DISCONNECT));
    EXPECT_FALSE(Enabled(32803));
    EXPECT_FALSE(Enabled(32804));
    EXPECT_TRUE(Enabled(32805));
    Choose(ID_SERIAL_CONNECT);
    EXPECT_FALSE(Enabled(ID_SERIAL_CONNECT));
    EXPECT_FALSE(Enabled(ID_SERIAL_SETTINGS));
    EXPECT_TRUE(Enabled(ID_SERIAL_DISCONNECT));
    Choose(ID_SERIAL_DISCONNECT);
    EXPECT_TRUE(Enabled(ID_SERIAL_CONNECT));
}

TEST_F(FrameFixture, VanishedPortOffersConnectAgainAndItsNoticeEndsOnReconnect)
{
    Choose(ID_SERIAL_CONNECT);
    m_pSerial->HangUp();
    Settle();
    EXPECT_TRUE(Enabled(ID_SERIAL_CONNECT));
    EXPECT_FALSE(Enabled(ID_SERIAL_DISCONNECT));
    // The window's interface puts the notice into the status bar; connecting again ends it.
    Frame().statusBar()->showMessage(QStringLiteral("串口已断开"));
    Choose(ID_SERIAL_CONNECT);
    Settle();
    EXPECT_TRUE(Frame().statusBar()->currentMessage().isEmpty());
}

TEST_F(FrameFixture, CheckMarksFollowTheToggles)
{
    EXPECT_TRUE(Checked(ID_MODE_94));
    EXPECT_TRUE(Checked(ID_AUTO_PROCESS));
    EXPECT_TRUE(Checked(ID_FORMAT_HEX));
    EXPECT_FALSE(Checked(ID_FORMAT_DECIMAL));
    EXPECT_TRUE(Checked(ID_SHOW_ANNOTATIONS));
    EXPECT_TRUE(Checked(ID_LINE_LIMIT));
    EXPECT_TRUE(Checked(ID_MODEL_KLR10));
    EXPECT_TRUE(Checked(ID_VIEW_STATUS_BAR));

    Choose(ID_AUTO_PROCESS);
    EXPECT_FALSE(Checked(ID_AUTO_PROCESS));
    Choose(ID_SHOW_ANNOTATIONS);
    EXPECT_FALSE(Checked(ID_SHOW_ANNOTATIONS));
    Choose(ID_FORMAT_DECIMAL);
    EXPECT_TRUE(Checked(ID_FORMAT_DECIMAL));
    EXPECT_FALSE(Checked(ID_FORMAT_HEX));
    Choose(ID_FORMAT_DECIMAL); // choosing it again keeps it checked
    EXPECT_TRUE(Checked(ID_FORMAT_DECIMAL));
    Choose(ID_MODEL_KTR20);
    EXPECT_TRUE(Checked(ID_MODEL_KTR20));
    EXPECT_FALSE(Checked(ID_MODEL_KLR10));
    Choose(ID_MODE_103);
    Choose(ID_103_POLLING);
    EXPECT_TRUE(Checked(ID_103_POLLING));
    EXPECT_TRUE(Checked(ID_MODE_103));
    EXPECT_FALSE(Checked(ID_MODE_94));
}

TEST_F(FrameFixture, StatusBarItemHidesAndShowsCurrentPanes)
{
    Choose(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(Frame().statusBar()->isVisible());
    EXPECT_FALSE(Checked(ID_VIEW_STATUS_BAR));
    m_ui.DeviceAddressForm().Push(Confirm(CDeviceAddressFields{7, 3, 0}));
    Choose(ID_DEVICE_ADDRESS);
    Choose(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(Frame().statusBar()->isVisible());
    EXPECT_TRUE(Checked(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(PaneText(ID_INDICATOR_ADDRESS), QStringLiteral("装置地址:7"));
}

TEST_F(FrameFixture, ModeRoundTripKeepsLogPortAndChecks)
{
    Choose(ID_SERIAL_CONNECT);
    Choose(32792); // a '94 poll goes into the log
    Choose(ID_AUTO_PROCESS);
    const std::string strLog = View().LogText();
    ASSERT_FALSE(strLog.empty());
    const QString strShown = Frame().LogEdit()->toPlainText();

    Choose(ID_MODE_103);
    EXPECT_EQ(Frame().ShownMode(), MODE_103);
    Choose(ID_MODE_94);
    EXPECT_EQ(View().LogText(), strLog);
    EXPECT_EQ(Frame().LogEdit()->toPlainText(), strShown);
    EXPECT_TRUE(View().PortOpen());
    EXPECT_TRUE(m_pSerial->IsOpen());
    EXPECT_EQ(m_pSerial->CloseCount(), 0);
    EXPECT_FALSE(Checked(ID_AUTO_PROCESS));
    EXPECT_TRUE(Checked(ID_MODE_94));
    EXPECT_EQ(Frame().menuBar()->actions().size(), 10); // the specified nine and 测试
    EXPECT_FALSE(Enabled(ID_SERIAL_CONNECT));
}

TEST_F(FrameFixture, EthernetChecksFollowTheChannel)
{
    Choose(ID_MODE_ETH103);
    EXPECT_FALSE(Checked(ID_ETH_CONNECT));
    Choose(ID_ETH_TCP_LISTEN);
    EXPECT_TRUE(Checked(ID_ETH_TCP_LISTEN));
    EXPECT_TRUE(Checked(ID_ETH_CONNECT));
    // The listener ends on its own: the marks go with the next refresh.
    m_pNetwork->SetTcpRunFlag(false);
    m_pNetwork->PostStatus(NET_TCP_DISCONNECTED);
    Settle();
    EXPECT_FALSE(Checked(ID_ETH_TCP_LISTEN));
    EXPECT_FALSE(Checked(ID_ETH_CONNECT));
}

TEST_F(FrameFixture, NewEmptiesTheLogWithoutAskingOnceAskingIsOff)
{
    Choose(ID_SERIAL_CONNECT);
    Choose(32792);
    ASSERT_FALSE(Frame().LogEdit()->toPlainText().isEmpty());
    QStringList questions;
    SetQuestionHook(
        [&questions](QWidget*, const QString& strText)
        {
            questions << strText;
            return EAnswer::Cancel;
        });
    Choose(57600); // asked first, and 取消 keeps the log
    EXPECT_EQ(questions.size(), 1);
    EXPECT_FALSE(Frame().LogEdit()->toPlainText().isEmpty());
    Choose(ID_OPTION_ASK_SAVE);
    Choose(57600);
    Choose(ID_OPTION_ASK_SAVE);
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(Frame().LogEdit()->toPlainText().isEmpty());
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));
}

TEST_F(FrameFixture, AboutBoxShowsProductBuildAndOneButton)
{
    QTimer::singleShot(0,
                       []
                       {
                           QWidget* pBox = QApplication::activeModalWidget();
                           ASSERT_NE(pBox, nullptr);
                           EXPECT_EQ(pBox->windowTitle(), QStringLiteral("关于 Relvane"));
                           EXPECT_EQ(pBox->findChild<QLabel*>(QStringLiteral("ctl_1027"))->text(),
                                     QStringLiteral("Relvane 1.50 版"));
                           EXPECT_EQ(pBox->findChild<QLabel*>(QStringLiteral("ctl_1028"))->text(),
                                     QStringLiteral("Build 20040928"));
                           EXPECT_EQ(pBox->findChild<QLabel*>(QStringLiteral("ctl_1029"))->text(),
                                     QStringLiteral("版权所有 (C) 2026 Relvane 贡献者"));
                           pBox->findChild<QAbstractButton*>(QStringLiteral("ctl_1"))->click();
                       });
    Choose(57664);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(FrameFixture, RightButtonOpensThePopupAtTheMouse)
{
    CLogEdit* pEdit = Frame().LogEdit();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), pEdit->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(pEdit->viewport(), &event);
    Settle();
    QMenu* pPopup = nullptr;
    for (QMenu* pMenu : pEdit->findChildren<QMenu*>())
    {
        if (pMenu->isVisible())
            pPopup = pMenu;
    }
    ASSERT_NE(pPopup, nullptr);
    EXPECT_EQ(pPopup->actions().size(), 7);
    pPopup->close();
    Settle();
}

// The link's state has a pane of its own that no passing message covers; 83H, which starts a poll
// that repeats on its own, stops it when clicked again.
TEST_F(FrameFixture, LinkPaneSaysTheStateAndThePollIsOnAndOff)
{
    auto waitFor = [](const std::function<bool()>& fnDone)
    {
        QElapsedTimer timer;
        timer.start();
        while (!fnDone() && timer.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return fnDone();
    };
    Settle();
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), QStringLiteral("未连接"));
    CSerialFields fields = View().SerialFields();
    fields.strPort = "COM200";
    fields.strBaud = "9600";
    fields.strParity = "Even";
    fields.nTimeoutMs = 20;
    m_ui.SerialForm().Push(Confirm(fields));
    Choose(ID_SERIAL_SETTINGS);
    Choose(ID_SERIAL_CONNECT);
    const QString strConnected = QStringLiteral("已连接 COM200 9600 Even");
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), strConnected);
    Frame().statusBar()->showMessage(QStringLiteral("串口连接"));
    Frame().statusBar()->clearMessage();
    Settle();
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), strConnected);

    // The relay is silent: each time-out polls again, for ever.
    if (!View().AutoProcess())
        Choose(ID_AUTO_PROCESS);
    Choose(ID_94_POLL);
    ASSERT_TRUE(waitFor([this] { return m_pSerial->Written().size() >= 3; }));
    Frame().UpdateCommandStates(); // as the idle refresh does
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), strConnected + QStringLiteral(" 巡检中"));
    EXPECT_TRUE(Checked(ID_94_POLL));
    Choose(ID_94_POLL); // stops it; the poll under way ends with its time-out
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), strConnected);
    EXPECT_FALSE(Checked(ID_94_POLL));
    const std::size_t nSent = m_pSerial->Written().size();
    ASSERT_TRUE(waitFor([this] { return !View().IsTimerActive(TIMER_RESPONSE); }));
    Settle();
    EXPECT_EQ(m_pSerial->Written().size(), nSent);
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    // The next 83H starts it again.
    Choose(ID_94_POLL);
    EXPECT_EQ(m_pSerial->Written().size(), nSent + 1);
    ASSERT_TRUE(waitFor([this, nSent] { return m_pSerial->Written().size() >= nSent + 2; }));
    Choose(ID_94_POLL);

    // 103: "循环巡检" has a tip and says so in the pane while on.
    Choose(ID_MODE_103);
    EXPECT_FALSE(Frame().Action(ID_103_POLLING)->toolTip().isEmpty());
    Choose(ID_103_POLLING);
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), strConnected + QStringLiteral(" 巡检中"));
    Choose(ID_103_POLLING);
    Choose(ID_SERIAL_DISCONNECT);
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), QStringLiteral("未连接"));

    Choose(ID_MODE_ETH103);
    Choose(ID_ETH_TCP_LISTEN);
    EXPECT_EQ(PaneText(ID_INDICATOR_LINK), QStringLiteral("监听 TCP 1048"));
}
