#include "FormsTestSupport.h"
#include "forms/DeviceAddressForm.h"
#include "forms/IntervalForm.h"
#include "forms/LineLimitForm.h"
#include "forms/SerialSettingsForm.h"

#include <QCheckBox>
#include <QTimer>

using namespace relvane;
using relvane::test::FormTest;

namespace
{
const QStringList kPorts{QStringLiteral("COM1"), QStringLiteral("COM3")};
}

using SerialSettingsFormTest = FormTest;

TEST_F(SerialSettingsFormTest, ListsHoldTheirEntriesInOrder)
{
    SerialSettingsForm form(kPorts);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("串口设置"));
    EXPECT_EQ(Items(form, IDC_SERIAL_PORT), kPorts);
    EXPECT_EQ(Items(form, IDC_SERIAL_BAUD).join(u','),
              QStringLiteral("300,1200,2400,4800,9600,14400,19200,38400,57600,115200"));
    EXPECT_EQ(Items(form, IDC_SERIAL_DATABITS).join(u','), QStringLiteral("4,5,6,7,8"));
    EXPECT_EQ(Items(form, IDC_SERIAL_STOPBITS).join(u','), QStringLiteral("1,1.5,2"));
    EXPECT_EQ(Items(form, IDC_SERIAL_PARITY).join(u','), QStringLiteral("None,Odd,Even,Mark,Space"));
}

TEST_F(SerialSettingsFormTest, ShowsHeldPositionsAndHandsBackTheEntryTexts)
{
    SerialSettingsForm form(kPorts);
    CSerialFormValues values;
    values.nPortIndex = 1;
    values.nBaudIndex = 9;
    values.nDataBitsIndex = 3;
    values.nStopBitsIndex = 2;
    values.nParityIndex = 2;
    values.nTimeoutMs = 800;
    form.SetValues(values);
    Open(form);
    EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_PORT)->currentText(), QStringLiteral("COM3"));
    EXPECT_EQ(Text(form, IDC_SERIAL_TIMEOUT), QStringLiteral("800"));
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().strPort, QStringLiteral("COM3"));
    EXPECT_EQ(form.Values().strBaud, QStringLiteral("115200"));
    EXPECT_EQ(form.Values().strParity, QStringLiteral("Even"));
    EXPECT_EQ(form.Values().nDataBitsIndex, 3);
    EXPECT_EQ(form.Values().nStopBitsIndex, 2);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(SerialSettingsFormTest, TimeoutRangeIsZeroToTenThousand)
{
    SerialSettingsForm form(kPorts);
    Open(form);
    SetText(form, IDC_SERIAL_TIMEOUT, QStringLiteral("10001"));
    Click(form, 1);
    EXPECT_TRUE(form.isVisible()) << "the form stays open";
    ASSERT_EQ(m_messages, QStringList{QStringLiteral("超时: “请填入一个在0和10000之间的整数。”")});
    EXPECT_TRUE(FocusIs(form, IDC_SERIAL_TIMEOUT));
    SetText(form, IDC_SERIAL_TIMEOUT, QStringLiteral("abc"));
    Click(form, 1);
    EXPECT_EQ(m_messages.last(), QStringLiteral("超时: 请键入一个整数。"));
    SetText(form, IDC_SERIAL_TIMEOUT, QStringLiteral("10000"));
    Click(form, 1);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nTimeoutMs, 10000);
}

TEST_F(SerialSettingsFormTest, DefaultsDependOnTheMode)
{
    CSerialFormValues values;
    values.nBaudIndex = 0;
    values.nParityIndex = 4;
    values.nTimeoutMs = 3;
    values.nPortIndex = 1;
    for (const auto& [nMode, nParity] : {std::pair{0, 0}, std::pair{1, 2}, std::pair{2, 4}})
    {
        values.nMode = nMode;
        SerialSettingsForm form(kPorts);
        form.SetValues(values);
        Click(form, IDC_SERIAL_DEFAULTS);
        EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_PARITY)->currentIndex(), nParity) << "mode " << nMode;
        EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_BAUD)->currentText(), QStringLiteral("9600"));
        EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_DATABITS)->currentText(), QStringLiteral("8"));
        EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_STOPBITS)->currentText(), QStringLiteral("1"));
        EXPECT_EQ(Get<QComboBox>(form, IDC_SERIAL_PORT)->currentIndex(), 0);
        EXPECT_EQ(Text(form, IDC_SERIAL_TIMEOUT), QStringLiteral("1500"));
    }
}

TEST_F(SerialSettingsFormTest, NoOpenablePortGivesADisabledListAndAnEmptyPortText)
{
    SerialSettingsForm form({});
    Open(form);
    auto* pPort = Get<QComboBox>(form, IDC_SERIAL_PORT);
    EXPECT_FALSE(pPort->isEnabled());
    EXPECT_EQ(pPort->currentIndex(), -1);
    Click(form, IDC_SERIAL_DEFAULTS);
    EXPECT_EQ(pPort->currentIndex(), -1) << "defaults keep 'no port'";
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nPortIndex, -1);
    EXPECT_TRUE(form.Values().strPort.isEmpty());
}

TEST(SerialSettingsExchange, PositionBeyondTheListSelectsNothing)
{
    CSerialFormEntries entries;
    entries.ports = kPorts;
    entries.nPortIndex = 5;
    entries.nBaudIndex = 4;
    entries.nParityIndex = 0;
    entries.strTimeout = QStringLiteral("1500");
    CSerialFormValues values;
    ASSERT_TRUE(ExchangeSerialForm(entries, values).IsOk());
    EXPECT_TRUE(values.strPort.isEmpty());
    EXPECT_EQ(values.strBaud, QStringLiteral("9600"));
    EXPECT_EQ(values.strParity, QStringLiteral("None"));
}

using DeviceAddressFormTest = FormTest;

TEST_F(DeviceAddressFormTest, CpuNumberIsReportedBeforeTheDeviceAddress)
{
    CDeviceAddressValues values;
    const CExchangeError error =
        ExchangeDeviceAddressForm({QStringLiteral("256"), QStringLiteral("x"), QStringLiteral("0")}, values);
    EXPECT_EQ(error.nControlId, IDC_CPU_NUMBER);
    EXPECT_EQ(error.strMessage, QStringLiteral("请键入一个整数。"));
    const CExchangeError error2 =
        ExchangeDeviceAddressForm({QStringLiteral("256"), QStringLiteral("2"), QStringLiteral("-1")}, values);
    EXPECT_EQ(error2.nControlId, IDC_DEVICE_ADDRESS);
    EXPECT_EQ(error2.strMessage, QStringLiteral("“请填入一个在0和255之间的整数。”"));
    const CExchangeError error3 =
        ExchangeDeviceAddressForm({QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("-1")}, values);
    EXPECT_EQ(error3.nControlId, IDC_SETTING_GROUP);
}

TEST_F(DeviceAddressFormTest, RunsModallyAndYieldsTheThreeValues)
{
    DeviceAddressForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("装置地址设置"));
    form.SetValues({1, 1, 0});
    QTimer::singleShot(0, &form,
                       [&]
                       {
                           SetText(form, IDC_DEVICE_ADDRESS, QStringLiteral("5"));
                           SetText(form, IDC_CPU_NUMBER, QStringLiteral("2"));
                           SetText(form, IDC_SETTING_GROUP, QStringLiteral("255"));
                           Click(form, 1);
                       });
    ASSERT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nDeviceAddress, 5);
    EXPECT_EQ(form.Values().nCpuNumber, 2);
    EXPECT_EQ(form.Values().nSettingGroup, 255);
}

TEST_F(DeviceAddressFormTest, RefusedFieldKeepsTheFormOpenWithOneMessage)
{
    DeviceAddressForm form;
    Open(form);
    SetText(form, IDC_DEVICE_ADDRESS, QStringLiteral("256"));
    Click(form, 1);
    EXPECT_TRUE(form.isVisible());
    // The field is named; the standard text keeps its own quotes and gets no second pair.
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("装置地址: “请填入一个在0和255之间的整数。”")});
    Click(form, 2);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.Values().nDeviceAddress, 1) << "cancel keeps the caller's values";
}

using LineLimitFormTest = FormTest;

TEST_F(LineLimitFormTest, AnySignedLimitIsAccepted)
{
    LineLimitForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("显示行数限制"));
    form.SetValues({1, 2000});
    EXPECT_TRUE(Get<QCheckBox>(form, IDC_LINE_LIMIT_ON)->isChecked());
    EXPECT_EQ(Get<QCheckBox>(form, IDC_LINE_LIMIT_ON)->text(), QStringLiteral("限制最大行数"));
    Open(form);
    Get<QCheckBox>(form, IDC_LINE_LIMIT_ON)->setChecked(false);
    SetText(form, IDC_LINE_LIMIT, QStringLiteral("-5"));
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().bLineLimit, 0);
    EXPECT_EQ(form.Values().nLineLimit, -5);

    CLineLimitValues values;
    EXPECT_TRUE(ExchangeLineLimitForm({true, QStringLiteral("0")}, values).IsOk());
    const CExchangeError error = ExchangeLineLimitForm({false, QStringLiteral("1e3")}, values);
    EXPECT_EQ(error.nControlId, IDC_LINE_LIMIT);
    EXPECT_EQ(error.strMessage, QStringLiteral("请键入一个整数。"));
    EXPECT_EQ(values.bLineLimit, 0) << "the check box is read before the number";
}

using IntervalFormTest = FormTest;

TEST_F(IntervalFormTest, TitleAndUnsignedRange)
{
    IntervalForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("巡检时间设置"));
    form.SetTitle(QStringLiteral("UDP发送时间间隔"));
    form.SetInterval(15000);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("UDP发送时间间隔"));
    EXPECT_EQ(Text(form, IDC_INTERVAL), QStringLiteral("15000"));
    Open(form);
    SetText(form, IDC_INTERVAL, QStringLiteral("65536"));
    Click(form, 1);
    SetText(form, IDC_INTERVAL, QStringLiteral("-1"));
    Click(form, 1);
    EXPECT_EQ(m_messages, (QStringList{QStringLiteral("UDP发送时间间隔: “请填入一个在0和65535之间的整数。”"),
                                       QStringLiteral("UDP发送时间间隔: “请填入一个正整数。”")}));
    EXPECT_TRUE(form.isVisible());
    SetText(form, IDC_INTERVAL, QStringLiteral("0"));
    Click(form, 1);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Interval(), 0);
}

TEST_F(SerialSettingsFormTest, TabOrderFollowsTheControls)
{
    SerialSettingsForm form(kPorts);
    Open(form);
    QWidget* pWidget = form.Control(IDC_SERIAL_PORT);
    QStringList order;
    for (int i = 0; i < 9; ++i)
    {
        order << pWidget->objectName();
        pWidget = pWidget->nextInFocusChain();
        while (pWidget->focusPolicy() == Qt::NoFocus ||
               !pWidget->objectName().startsWith(QStringLiteral("ctl_")))
            pWidget = pWidget->nextInFocusChain();
    }
    EXPECT_EQ(order.join(u' '),
              QStringLiteral("ctl_1000 ctl_1002 ctl_1004 ctl_1006 ctl_1007 ctl_1011 ctl_1019 ctl_1 ctl_2"));
}

// With details on: devices and adapters beside the numbers, the ports that cannot be opened greyed
// after the others with their reason, positions among the usable ports as before, and a new probe
// each time the list opens.
TEST_F(SerialSettingsFormTest, DetailedListNamesDevicesGreysUnusablePortsAndRefreshesOnOpening)
{
    int nProbes = 0;
    QList<CPortEntry> ports{
        {QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"), {}},
        {QStringLiteral("COM33"), QStringLiteral("/dev/ttyUSB0    FTDI FT232R (序列号 A1B2C3)"),
         QStringLiteral("无权限: 请把用户加入 dialout 组")},
        {QStringLiteral("COM200"), QStringLiteral("/dev/pts/3"), {}},
    };
    SetPortDescriber(
        [&]
        {
            ++nProbes;
            return ports;
        });
    {
        SerialSettingsForm form(kPorts);
        CSerialFormValues values;
        values.nPortIndex = 1;
        form.SetValues(values);
        EXPECT_EQ(Items(form, IDC_SERIAL_PORT),
                  (QStringList{QStringLiteral("COM1    /dev/ttyS0"), QStringLiteral("COM200    /dev/pts/3"),
                               QStringLiteral("COM33    /dev/ttyUSB0    FTDI FT232R (序列号 A1B2C3)    "
                                              "(无权限: 请把用户加入 dialout 组)")}));
        auto* pBox = qobject_cast<QComboBox*>(form.Control(IDC_SERIAL_PORT));
        EXPECT_FALSE(pBox->model()->flags(pBox->model()->index(2, 0)).testFlag(Qt::ItemIsEnabled));
        EXPECT_EQ(pBox->currentIndex(), 1);

        // COM1 went away meanwhile: opening the list probes again and COM200 stays chosen.
        ports.removeFirst();
        pBox->showPopup();
        pBox->hidePopup();
        EXPECT_EQ(nProbes, 2);
        EXPECT_EQ(pBox->currentIndex(), 0);
        form.accept();
        EXPECT_EQ(form.Values().strPort, QStringLiteral("COM200"));
        EXPECT_EQ(form.Values().nPortIndex, 0);
    }
    // Only ports that cannot be opened: nothing to choose, but the reasons can be read.
    ports = {{QStringLiteral("COM33"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("被其他程序占用")}};
    {
        SerialSettingsForm form(kPorts);
        form.SetValues(CSerialFormValues());
        EXPECT_TRUE(form.Control(IDC_SERIAL_PORT)->isEnabled());
        form.accept();
        EXPECT_EQ(form.Values().nPortIndex, -1);
        EXPECT_TRUE(form.Values().strPort.isEmpty());
    }
    SetPortDescriber({});
}
