#include "HexInput.h"

#include <gtest/gtest.h>

using relvane::ParseHexBytes;
using relvane::SplitTokens;

TEST(HexInput, AcceptsSeparatedJoinedAndPrefixedPairs)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    const std::vector<std::uint8_t> expected{0x01, 0x83, 0x00, 0x30, 0xF0};
    ASSERT_TRUE(ParseHexBytes(SplitTokens("01 83 00 30 F0"), bytes, error));
    EXPECT_EQ(bytes, expected);
    ASSERT_TRUE(ParseHexBytes(SplitTokens("01830030f0"), bytes, error));
    EXPECT_EQ(bytes, expected);
    ASSERT_TRUE(ParseHexBytes(SplitTokens("0x01 0x83 0x00 0x30 0xF0"), bytes, error));
    EXPECT_EQ(bytes, expected);
}

TEST(HexInput, NamesTheOffendingToken)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ParseHexBytes(SplitTokens("01 ZZ"), bytes, error));
    EXPECT_NE(error.find("\"ZZ\""), std::string::npos);
    EXPECT_FALSE(ParseHexBytes(SplitTokens("018"), bytes, error));
    EXPECT_NE(error.find("\"018\""), std::string::npos);
    EXPECT_FALSE(ParseHexBytes(SplitTokens("   "), bytes, error));
    EXPECT_FALSE(ParseHexBytes(SplitTokens("0x"), bytes, error));
}
