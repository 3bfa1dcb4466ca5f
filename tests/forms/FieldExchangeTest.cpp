#include "forms/FieldExchange.h"

#include <gtest/gtest.h>

using namespace relvane;

TEST(FieldExchange, MessagesAreTheStandardTexts)
{
    EXPECT_EQ(MessageNotInteger(), QStringLiteral("请键入一个整数。"));
    EXPECT_EQ(MessageNotPositiveInteger(), QStringLiteral("“请填入一个正整数。”"));
    EXPECT_EQ(MessageRange(0, 10000), QStringLiteral("“请填入一个在0和10000之间的整数。”"));
}

TEST(FieldExchange, SignedFieldReadsSignedNumbersAndRefusesText)
{
    int n = 7;
    EXPECT_TRUE(ReadSignedField(QStringLiteral(" -42 "), n).isEmpty());
    EXPECT_EQ(n, -42);
    EXPECT_EQ(ReadSignedField(QStringLiteral("12ab"), n), MessageNotInteger());
    EXPECT_EQ(ReadSignedField(QString(), n), MessageNotInteger());
    EXPECT_EQ(ReadSignedField(QStringLiteral("-"), n), MessageNotInteger());
    EXPECT_EQ(n, -42) << "a refused field leaves the value alone";
    EXPECT_EQ(ReadSignedField(QStringLiteral("99999999999"), n), MessageNotInteger())
        << "a value beyond 32 bits is not an integer of the field";
    EXPECT_EQ(ReadSignedField(QStringLiteral("256"), 0, 255, n), MessageRange(0, 255));
    EXPECT_EQ(ReadSignedField(QStringLiteral("99999999999"), 0, 255, n), MessageRange(0, 255));
}

TEST(FieldExchange, UnsignedFieldRefusesNegativesAsNotPositive)
{
    int n = 0;
    EXPECT_EQ(ReadUnsignedField(QStringLiteral("-1"), 0, 65535, n), MessageNotPositiveInteger());
    EXPECT_EQ(ReadUnsignedField(QStringLiteral("x"), 0, 65535, n), MessageNotPositiveInteger());
    EXPECT_EQ(ReadUnsignedField(QStringLiteral("65536"), 0, 65535, n), MessageRange(0, 65535));
    EXPECT_TRUE(ReadUnsignedField(QStringLiteral("65535"), 0, 65535, n).isEmpty());
    EXPECT_EQ(n, 65535);
}

TEST(FieldExchange, ByteFieldGivesTheByteRangeForAnythingButAByte)
{
    int n = 0;
    EXPECT_EQ(ReadByteField(QStringLiteral("abc"), 0, 255, n), MessageRange(0, 255));
    EXPECT_EQ(ReadByteField(QStringLiteral("256"), 1, 255, n), MessageRange(0, 255));
    EXPECT_EQ(ReadByteField(QStringLiteral("-1"), 0, 255, n), MessageRange(0, 255));
    EXPECT_EQ(ReadByteField(QStringLiteral("0"), 1, 255, n), MessageRange(1, 255));
    EXPECT_TRUE(ReadByteField(QStringLiteral("255"), 1, 255, n).isEmpty());
    EXPECT_EQ(n, 255);
}

TEST(FieldExchange, RefusedFieldsAreNamedByTheirLabels)
{
    const struct
    {
        const char* pszLabel;
        const char* pszMessage;
        const char* pszShown;
    } cases[] = {
        {"装置地址", "“请填入一个在0和255之间的整数。”", "装置地址: “请填入一个在0和255之间的整数。”"},
        {"超时∶", "请键入一个整数。", "超时: 请键入一个整数。"},
        {" 定值区号(&G): ", "“请填入一个正整数。”", "定值区号: “请填入一个正整数。”"},
        {"端口：", "x", "端口: x"},
        {"", "“请填入一个在1和255之间的整数。”", "“请填入一个在1和255之间的整数。”"},
        {" ∶ ", "m", "m"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(
            relvane::NamedFieldMessage(QString::fromUtf8(test.pszLabel), QString::fromUtf8(test.pszMessage)),
            QString::fromUtf8(test.pszShown))
            << test.pszLabel;
}
