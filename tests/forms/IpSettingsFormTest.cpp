#include "ethernet/IpSettingsForm.h"

#include "FormsTestSupport.h"

#include <QKeyEvent>
#include <QSpinBox>

using namespace relvane;
using relvane::test::FormTest;

using IpSettingsFormTest = FormTest;

TEST_F(IpSettingsFormTest, ShowsAndYieldsAddressAndPorts)
{
    IpSettingsForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("IP设置"));
    form.SetValues({0xC0A80164u, 1032, 1048});
    EXPECT_EQ(FormatIpv4(form.AddressShown()), QStringLiteral("192.168.1.100"));
    EXPECT_EQ(Text(form, IDC_IP_UDP_PORT), QStringLiteral("1032"));
    Open(form);
    form.findChild<QSpinBox*>(QStringLiteral("octet_0"))->setValue(127);
    form.findChild<QSpinBox*>(QStringLiteral("octet_1"))->setValue(0);
    form.findChild<QSpinBox*>(QStringLiteral("octet_2"))->setValue(0);
    form.findChild<QSpinBox*>(QStringLiteral("octet_3"))->setValue(1);
    SetText(form, IDC_IP_TCP_PORT, QStringLiteral("65535"));
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nTargetAddress, 0x7F000001u);
    EXPECT_EQ(form.Values().nLocalTcpPort, 65535);
}

TEST_F(IpSettingsFormTest, PortsAreCheckedUdpFirst)
{
    IpSettingsForm form;
    Open(form);
    SetText(form, IDC_IP_UDP_PORT, QStringLiteral("0"));
    SetText(form, IDC_IP_TCP_PORT, QStringLiteral("x"));
    Click(form, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(FocusIs(form, IDC_IP_UDP_PORT));
    SetText(form, IDC_IP_UDP_PORT, QStringLiteral("1"));
    Click(form, 1);
    EXPECT_EQ(m_messages, (QStringList{QStringLiteral("目标UDP端口: “请填入一个在1和65535之间的整数。”"),
                                       QStringLiteral("本机TCP端口: “请填入一个正整数。”")}));
    EXPECT_TRUE(FocusIs(form, IDC_IP_TCP_PORT));

    CIpSettingsValues values;
    values.nTargetAddress = 5;
    EXPECT_FALSE(ExchangeIpSettingsForm({9, QStringLiteral("1"), QStringLiteral("65536")}, values).IsOk());
    EXPECT_EQ(values.nTargetAddress, 5u) << "the address is taken only when both ports pass";
}

TEST_F(IpSettingsFormTest, AnAddressIsTypedAsItIsWritten)
{
    const struct
    {
        const char* pszTyped;
        const char* pszShown;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"}, // the third digit moves on, and the dot after it is that move
        {"10.1.2.3", "10.1.2.3"},   // a dot moves on
        {"192.168.001.100", "192.168.1.100"},
        {"1,2。3．4", "1.2.3.4"},  // the other dots a keyboard or input method gives
        {"1.2.3.4.5", "1.2.3.45"}, // the last box keeps its digits
    };
    for (const auto& test : cases)
    {
        IpSettingsForm form;
        form.SetValues({0xC0A80164u, 1032, 1048}); // typing replaces what each box showed
        Open(form);
        auto* pFirst = form.findChild<QSpinBox*>(QStringLiteral("octet_0"));
        pFirst->setFocus();
        pFirst->selectAll();
        for (const QChar ch : QString::fromUtf8(test.pszTyped))
        {
            QWidget* pTarget = form.focusWidget();
            ASSERT_NE(pTarget, nullptr);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(pTarget, &press);
        }
        EXPECT_EQ(FormatIpv4(form.AddressShown()), QString::fromUtf8(test.pszShown)) << test.pszTyped;
    }
}
