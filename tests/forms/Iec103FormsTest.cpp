#include "FormsTestSupport.h"
#include "iec103/CustomFrame.h"
#include "iec103forms/CustomFrameForm.h"
#include "iec103forms/DisturbanceForm.h"
#include "iec103forms/GeneralCommandForm.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace relvane;
using relvane::test::FormTest;

using GeneralCommandFormTest = FormTest;

TEST_F(GeneralCommandFormTest, DefaultsEntriesAndDco)
{
    GeneralCommandForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("一般命令"));
    EXPECT_EQ(Text(form, IDC_FUN), QStringLiteral("255"));
    EXPECT_EQ(Text(form, IDC_INF), QStringLiteral("19"));
    EXPECT_EQ(Items(form, IDC_DCO), (QStringList{QStringLiteral("分(1)"), QStringLiteral("合(2)")}));
    EXPECT_EQ(Get<QComboBox>(form, IDC_DCO)->currentIndex(), 0);
    EXPECT_FALSE(Get<QCheckBox>(form, IDC_ANSWER_REQUIRED)->isChecked());
    Open(form);
    Get<QComboBox>(form, IDC_DCO)->setCurrentIndex(1);
    Get<QCheckBox>(form, IDC_ANSWER_REQUIRED)->setChecked(true);
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().Dco(), 2);
    EXPECT_EQ(form.Values().bAnswer, 1);
}

TEST_F(GeneralCommandFormTest, FunIsCheckedBeforeInf)
{
    CGeneralCommandValues values;
    const CExchangeError error =
        ExchangeGeneralCommandForm({QStringLiteral("256"), QStringLiteral("x"), 0, false}, values);
    EXPECT_EQ(error.nControlId, IDC_FUN);
    EXPECT_EQ(error.strMessage, QStringLiteral("“请填入一个在0和255之间的整数。”"));
    EXPECT_EQ(
        ExchangeGeneralCommandForm({QStringLiteral("1"), QStringLiteral("x"), 0, false}, values).nControlId,
        IDC_INF);
}

using DisturbanceFormTest = FormTest;

TEST_F(DisturbanceFormTest, EntriesAndCaptionFollowTheMode)
{
    DisturbanceForm form;
    CDisturbanceValues values;
    form.SetValues(values);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("扰动数据传输的命令"));
    const QStringList entries24 = Items(form, IDC_DIST_TOO);
    ASSERT_EQ(entries24.size(), 8);
    EXPECT_EQ(entries24.first(), QStringLiteral("24  请求被记录的扰动表"));
    EXPECT_EQ(entries24.last(), QStringLiteral("9  通道的中止"));
    EXPECT_EQ(Text(form, IDC_DIST_TOV), QStringLiteral("1"));
    values.nAsdu = 25;
    form.SetValues(values);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("扰动数据传输的认可"));
    const QStringList entries25 = Items(form, IDC_DIST_TOO);
    ASSERT_EQ(entries25.size(), 6);
    EXPECT_EQ(entries25.first(), QStringLiteral("68  成功地带标志的状态变位传输"));
    EXPECT_EQ(entries25.last(), QStringLiteral("65  不成功地扰动数据传输"));
}

TEST_F(DisturbanceFormTest, RemembersTheTooEntryPerMode)
{
    CDisturbanceValues values;
    {
        DisturbanceForm form;
        form.SetValues(values);
        Open(form);
        Get<QComboBox>(form, IDC_DIST_TOO)->setCurrentIndex(3);
        Click(form, 1);
        ASSERT_EQ(form.result(), QDialog::Accepted);
        values = form.Values();
    }
    EXPECT_EQ(values.nToo, 16);
    EXPECT_EQ(values.nTooIndex24, 3);
    EXPECT_EQ(values.nTooIndex25, 0);
    values.nAsdu = 25;
    {
        DisturbanceForm form;
        form.SetValues(values);
        EXPECT_EQ(Get<QComboBox>(form, IDC_DIST_TOO)->currentIndex(), 0) << "first entry the first time";
        Click(form, 1);
        values = form.Values();
    }
    EXPECT_EQ(values.nToo, 68);
    values.nAsdu = 24;
    DisturbanceForm form;
    form.SetValues(values);
    EXPECT_EQ(Get<QComboBox>(form, IDC_DIST_TOO)->currentText(), QStringLiteral("16  请求带标志的状态变位"));
}

TEST_F(DisturbanceFormTest, TypedTooCountsAndKeepsTheRememberedEntry)
{
    CDisturbanceValues values;
    values.nTooIndex24 = 2;
    DisturbanceForm form;
    form.SetValues(values);
    Open(form);
    Get<QComboBox>(form, IDC_DIST_TOO)->setEditText(QStringLiteral("5 x"));
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nToo, 5);
    EXPECT_EQ(form.Values().nTooIndex24, 2);
}

TEST_F(DisturbanceFormTest, FieldMessagesInOrder)
{
    CDisturbanceValues values;
    auto check = [&](const char* pszFun, const char* pszTov, const char* pszFan, const char* pszAcc)
    {
        return ExchangeDisturbanceForm({QString::fromLatin1(pszFun), QStringLiteral("1"), -1,
                                        QString::fromLatin1(pszTov), QString::fromLatin1(pszFan),
                                        QString::fromLatin1(pszAcc)},
                                       values);
    };
    EXPECT_EQ(check("x", "x", "x", "x").nControlId, IDC_DIST_FUN);
    EXPECT_EQ(check("0", "256", "x", "x").nControlId, IDC_DIST_TOV);
    const CExchangeError fanText = check("0", "1", "x", "x");
    EXPECT_EQ(fanText.nControlId, IDC_DIST_FAN);
    EXPECT_EQ(fanText.strMessage, QStringLiteral("请键入一个整数。"));
    EXPECT_EQ(check("0", "1", "65536", "0").strMessage, QStringLiteral("“请填入一个在0和65535之间的整数。”"));
    EXPECT_EQ(check("0", "1", "65535", "300").nControlId, IDC_DIST_ACC);
    ASSERT_TRUE(check("0", "1", "65535", "255").IsOk());
    EXPECT_EQ(values.nFan, 65535);
}

using CustomFrameFormTest = FormTest;

TEST_F(CustomFrameFormTest, OkStoresCheckedBytesAndRefusesTheRestByName)
{
    CCustomFrame frame;
    frame.StoreText("10 5B 01 5C 16", true);
    CustomFrameForm form(frame);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("自定义103报文"));
    EXPECT_TRUE(Get<QRadioButton>(form, IDC_FRAME_HEX)->isChecked());
    Open(form);
    auto* pText = Get<QPlainTextEdit>(form, IDC_FRAME_TEXT);
    form.SetHex(false);
    const struct
    {
        const char* pszText;
        QString strMessage;
    } refused[] = {
        {"1 2 300", QStringLiteral("第3个字节“300”不是十进制的字节(0至255)。")},
        {"hello 1G", QStringLiteral("第1个字节“hello”不是十进制的字节(0至255)。")},
        {"16 -5", QStringLiteral("第2个字节“-5”不是十进制的字节(0至255)。")},
        {"  ", QStringLiteral("请键入报文的字节。")},
    };
    for (const auto& test : refused)
    {
        m_messages.clear();
        pText->setPlainText(QString::fromUtf8(test.pszText));
        Click(form, 1);
        EXPECT_EQ(m_messages, QStringList{test.strMessage}) << test.pszText;
        EXPECT_TRUE(form.isVisible()) << "the form stays open: " << test.pszText;
        EXPECT_EQ(pText->toPlainText(), QString::fromUtf8(test.pszText));
        EXPECT_EQ(frame.Text(true), "10 5B 01 5C 16 ") << "the stored frame is untouched";
    }
    m_messages.clear();
    pText->setPlainText(QStringLiteral("1 2 255"));
    Click(form, 1);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(frame.Text(true), "01 02 FF ");

    CustomFrameForm again(frame);
    again.SetHex(true);
    EXPECT_EQ(Get<QPlainTextEdit>(again, IDC_FRAME_TEXT)->toPlainText(), QStringLiteral("01 02 FF "));
}

TEST_F(CustomFrameFormTest, SwitchingTheBaseConvertsWhatIsTyped)
{
    CCustomFrame frame;
    CustomFrameForm form(frame);
    Open(form);
    auto* pText = Get<QPlainTextEdit>(form, IDC_FRAME_TEXT);
    auto* pHex = Get<QRadioButton>(form, IDC_FRAME_HEX);
    auto* pDecimal = Get<QRadioButton>(form, IDC_FRAME_DECIMAL);
    pText->setPlainText(QStringLiteral("10 5b 01 5C 16"));
    pDecimal->click();
    EXPECT_EQ(pText->toPlainText(), QStringLiteral("16 91 1 92 22 "));
    pHex->click();
    EXPECT_EQ(pText->toPlainText(), QStringLiteral("10 5B 01 5C 16 "));

    // Something that is no byte: said, and the text and the base stay as they were.
    pText->setPlainText(QStringLiteral("10 zz"));
    pDecimal->click();
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("第2个字节“zz”不是十六进制的字节(00至FF)。")});
    EXPECT_TRUE(pHex->isChecked());
    EXPECT_EQ(pText->toPlainText(), QStringLiteral("10 zz"));
    EXPECT_EQ(frame.Length(), 0);
}

TEST_F(CustomFrameFormTest, ChecksumCompletesTheTypedFrame)
{
    CCustomFrame frame;
    CustomFrameForm form(frame);
    Open(form);
    auto* pText = Get<QPlainTextEdit>(form, IDC_FRAME_TEXT);
    pText->setPlainText(QStringLiteral("10 5B 01"));
    Click(form, IDC_FRAME_CHECKSUM);
    EXPECT_EQ(pText->toPlainText(), QStringLiteral("10 5B 01 5C 16 "));
    EXPECT_EQ(frame.Length(), 5);
    pText->setPlainText(QStringLiteral("68 09 09 68 53 01 07 81 09 01 FF 00 01"));
    Click(form, IDC_FRAME_CHECKSUM);
    EXPECT_EQ(pText->toPlainText(), QStringLiteral("68 09 09 68 53 01 07 81 09 01 FF 00 01 E6 16 "));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(CustomFrameFormTest, ChecksumMessagesLeaveFrameAndTextAlone)
{
    CCustomFrame frame;
    frame.StoreText("10 5B 01 5C 16", true);
    CustomFrameForm form(frame);
    Open(form);
    auto* pText = Get<QPlainTextEdit>(form, IDC_FRAME_TEXT);
    const struct
    {
        const char* pszText;
        QString strMessage;
    } cases[] = {
        {"68 09 08 68 53 01", QStringLiteral("报文长度不够")},
        {"68 09 08 67 53 01 07 81", QStringLiteral("启动字符不正确")},
        {"68 09 08 68 53 01 07 81", QStringLiteral("报文长度不一致")},
        {"68 03 03 68 53 01 07 81", QStringLiteral("报文长度过短")},
        {"", QStringLiteral("启动字符错误")},
        {"11 22", QStringLiteral("启动字符错误")},
    };
    for (const auto& item : cases)
    {
        m_messages.clear();
        pText->setPlainText(QString::fromLatin1(item.pszText));
        Click(form, IDC_FRAME_CHECKSUM);
        EXPECT_EQ(m_messages, QStringList{item.strMessage}) << item.pszText;
        EXPECT_EQ(pText->toPlainText(), QString::fromLatin1(item.pszText));
        EXPECT_EQ(frame.Length(), 5);
    }
}

TEST_F(CustomFrameFormTest, ClearAndHiddenChecksumButton)
{
    CCustomFrame frame;
    frame.StoreText("10 5B 01 5C 16", true);
    CustomFrameForm form(frame);
    form.SetChecksumButtonShown(false);
    Open(form);
    EXPECT_FALSE(Get<QPushButton>(form, IDC_FRAME_CHECKSUM)->isVisible());
    Click(form, IDC_FRAME_CLEAR);
    EXPECT_EQ(frame.Length(), 0);
    EXPECT_TRUE(Get<QPlainTextEdit>(form, IDC_FRAME_TEXT)->toPlainText().isEmpty());
    Click(form, 2);
    EXPECT_EQ(frame.Length(), 0) << "clearing stays after a cancel";
}
