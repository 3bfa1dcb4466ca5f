#include "app/DialogUserInterface.h"

#include "forms/FormDialog.h"
#include "iec103/CustomFrame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace relvane;

namespace
{

// Runs `fnDrive` on the modal form as soon as it is open (a zero-delay timer, so nothing blocks).
void WhenModal(std::function<void(QWidget&)> fnDrive)
{
    QTimer::singleShot(0,
                       [fnDrive = std::move(fnDrive)]
                       {
                           QWidget* pForm = QApplication::activeModalWidget();
                           ASSERT_NE(pForm, nullptr);
                           fnDrive(*pForm);
                       });
}

template <typename T> T* ControlOf(QWidget& form, int nId)
{
    return form.findChild<T*>(QStringLiteral("ctl_%1").arg(nId));
}

} // namespace

TEST(DialogUserInterface, DeviceAddressFormRunsModallyAndHandsBackValues)
{
    CDialogUserInterface ui({});
    CDeviceAddressFields fields;
    WhenModal(
        [](QWidget& form)
        {
            EXPECT_EQ(form.windowTitle(), QStringLiteral("装置地址设置"));
            ControlOf<QLineEdit>(form, 1001)->setText(QStringLiteral("5"));
            ControlOf<QLineEdit>(form, 1003)->setText(QStringLiteral("2"));
            ControlOf<QAbstractButton>(form, 1)->click();
        });
    ASSERT_TRUE(ui.ShowDeviceAddressForm(fields));
    EXPECT_EQ(fields.nDeviceAddress, 5);
    EXPECT_EQ(fields.nCpuNumber, 2);
}

TEST(DialogUserInterface, LostPortIsSaidInTheStatusBarWithoutAModalBox)
{
    QMainWindow window;
    CDialogUserInterface ui({});
    ui.SetParentWidget(&window);
    bool bModal = false;
    QTimer::singleShot(0,
                       [&bModal]
                       {
                           if (QWidget* pBox = QApplication::activeModalWidget())
                           {
                               bModal = true;
                               pBox->close();
                           }
                       });
    ui.ShowSerialLost("串口已断开");
    QApplication::processEvents();
    EXPECT_FALSE(bModal);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("串口已断开"));
}

TEST(DialogUserInterface, SerialFormListsTheProbedPortsAndCancelChangesNothing)
{
    CDialogUserInterface ui([] { return QStringList{QStringLiteral("COM2"), QStringLiteral("COM5")}; });
    CSerialFields fields;
    fields.nPortIndex = 1;
    WhenModal(
        [](QWidget& form)
        {
            auto* pPort = ControlOf<QComboBox>(form, 1000);
            ASSERT_NE(pPort, nullptr);
            EXPECT_EQ(pPort->currentText(), QStringLiteral("COM5"));
            ControlOf<QAbstractButton>(form, 1)->click();
        });
    ASSERT_TRUE(ui.ShowSerialForm(fields));
    EXPECT_EQ(fields.strPort, "COM5");
    EXPECT_EQ(fields.strBaud, "9600");
    EXPECT_EQ(fields.strParity, "None");

    WhenModal([](QWidget& form) { ControlOf<QAbstractButton>(form, 2)->click(); });
    CSerialFields untouched;
    untouched.nTimeoutMs = 777;
    EXPECT_FALSE(ui.ShowSerialForm(untouched));
    EXPECT_EQ(untouched.nTimeoutMs, 777);
}

TEST(DialogUserInterface, CustomFrameOkStoresTheTypedFrame)
{
    CDialogUserInterface ui({});
    CCustomFrame frame;
    CCustomFrameFields fields;
    fields.bShowChecksumButton = false;
    WhenModal(
        [](QWidget& form)
        {
            EXPECT_FALSE(ControlOf<QAbstractButton>(form, 1050)->isVisible());
            ControlOf<QPlainTextEdit>(form, 1041)->setPlainText(QStringLiteral("10 5B 01 5C 16"));
            ControlOf<QAbstractButton>(form, 1)->click();
        });
    ASSERT_TRUE(ui.ShowCustomFrameForm(frame, fields));
    EXPECT_EQ(frame.Length(), 5);
}

TEST(DialogUserInterface, MessagesGoThroughTheMessageBox)
{
    std::vector<QString> shown;
    SetMessageHook([&](QWidget*, const QString& strText) { shown.push_back(strText); });
    CDialogUserInterface ui({});
    ui.ShowMessage("无法打开串口");
    SetMessageHook({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], QStringLiteral("无法打开串口"));
}

TEST(DialogUserInterface, RealMessageBoxHasCaptionIconAndOneButton)
{
    QTimer::singleShot(0,
                       []
                       {
                           QWidget* pBox = QApplication::activeModalWidget();
                           ASSERT_NE(pBox, nullptr);
                           EXPECT_EQ(pBox->windowTitle(), QStringLiteral("Relvane"));
                           const auto buttons = pBox->findChildren<QAbstractButton*>();
                           ASSERT_EQ(buttons.size(), 1);
                           EXPECT_EQ(buttons.front()->text(), QStringLiteral("确定"));
                           buttons.front()->click();
                       });
    ShowRelvaneMessage(nullptr, QStringLiteral("串口尚未打开,不能发送报文."));
}

TEST(DialogUserInterface, StatusHintStandsInTheWindowsStatusBarUntilTakenAway)
{
    QMainWindow window;
    CDialogUserInterface ui({});
    ui.ShowStatusHint("等待装置应答,1条命令待发送"); // no parent yet: nowhere to show it, no harm
    ui.SetParentWidget(&window);
    ui.ShowStatusHint("等待装置应答,2条命令待发送");
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("等待装置应答,2条命令待发送"));
    ui.ShowStatusHint("");
    EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
}
