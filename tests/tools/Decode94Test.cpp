// relvane-decode --protocol 94, run as a user runs it.
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

using CRun = relvane::test::CToolRun;

CRun Decode94(const std::string& strArgs)
{
    return relvane::test::RunTool(RELVANE_DECODE_PATH, "--protocol 94 " + strArgs, relvane::test::ToolOutput::Stdout);
}

const std::string kRelayClock = "01 B7 09 04 20 12 31 23 59 58 99 09 9B 7C";

} // namespace

TEST(Decode94Tool, PrintsTheAnnotationExactlyAsTheLogHoldsIt)
{
    const CRun run = Decode94("01 81 07 04 20 03 15 08 30 45 2A E8");
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "设置装置时间为：2004年03月15日 08:30:45 ");
    EXPECT_EQ(Decode94(kRelayClock).strOut, "2004年12月31日 23:59:58.999 ");
}

TEST(Decode94Tool, NothingToSayPrintsNothingAndExitsOne)
{
    const CRun run = Decode94("01 83 00 30 F0");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "");
}

TEST(Decode94Tool, EmptyAnnotationStillCountsAsAnnotated)
{
    // A settings frame whose only record is of an unknown kind: result 1, empty text.
    const CRun run = Decode94("01 BD 05 01 00 00 04 20 92 4A");
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "");
}

TEST(Decode94Tool, ModelPicksTheSettingNames)
{
    const std::string strFrame = "01 BD 07 01 00 00 04 10 50 21 91 59";
    EXPECT_EQ(Decode94(strFrame).strOut, "突变量启动定值：1.50\n");
    EXPECT_EQ(Decode94("--model KLR10 " + strFrame).strOut, "突变量启动定值：1.50\n");
    EXPECT_EQ(Decode94("--model KTR20 " + strFrame).strOut, "高压侧额定电压：1.50\n");
    EXPECT_EQ(Decode94("--model KXX99 " + strFrame).nExit, 2);
}

TEST(Decode94Tool, CheckPrintsTheVerdictFirst)
{
    CRun run = Decode94("--check " + kRelayClock);
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "CRC ok\n2004年12月31日 23:59:58.999 ");

    run = Decode94("--check 01 B7 09 04 20 12 31 23 59 58 99 09 7C 9B");
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "CRC bad\n2004年12月31日 23:59:58.999 ");

    // The verdict is printed even when there is no annotation.
    run = Decode94("--check 01 83 00 30 F0");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "CRC ok\n");
    run = Decode94("--check 01");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "CRC bad\n");
}

TEST(Decode94Tool, TruncatedFrameIsSafe)
{
    // The length byte claims nine time bytes; four arrived.
    const CRun run = Decode94("01 B7 09 04 20 12 31");
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "");
}
