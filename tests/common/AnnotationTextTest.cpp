#include "common/AnnotationText.h"

#include <gtest/gtest.h>

using relvane::CAnnotationText;

TEST(AnnotationText, CountsAsciiOneAndOtherCharactersTwo)
{
    EXPECT_EQ(relvane::GbkLength("abc"), 3u);
    EXPECT_EQ(relvane::GbkLength("年月日"), 6u);
    EXPECT_EQ(relvane::GbkLength("A：1"), 4u);
}

TEST(AnnotationText, StopsAtTheBoundWithoutSplittingACharacter)
{
    CAnnotationText text(5);
    EXPECT_TRUE(text.Append("ab"));
    EXPECT_FALSE(text.Append("年月日")); // "年" fits (4), "月" would make 6
    EXPECT_EQ(text.Text(), "ab年");
    EXPECT_EQ(text.GbkLength(), 4u);
    EXPECT_FALSE(text.Append("c")); // nothing follows a cut, so no stray tail appears
    EXPECT_EQ(text.Text(), "ab年");
}

TEST(AnnotationText, DefaultBoundIs2047)
{
    CAnnotationText text;
    for (int i = 0; i < 3000; ++i)
        text.Append("定");
    EXPECT_EQ(text.GbkLength(), 2046u);
    EXPECT_TRUE(text.IsFull());
}

TEST(AnnotationText, FormatsLikePrintf)
{
    CAnnotationText text;
    text.AppendFormat("%02X-%d", 0x0A, 12);
    EXPECT_EQ(text.Text(), "0A-12");
}
