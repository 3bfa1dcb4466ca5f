// relvane-decode --protocol 103, run as a user runs it.
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

using CRun103 = relvane::test::CToolRun;

// Runs the decoder; bStderr captures standard error instead of standard output.
CRun103 Decode103(const std::string& strArgs, bool bStderr = false)
{
    return relvane::test::RunTool(RELVANE_DECODE_PATH, "--protocol 103 " + strArgs,
                                  bStderr ? relvane::test::ToolOutput::Stderr : relvane::test::ToolOutput::Stdout);
}

const char* const kInterrogation = "68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16";
const char* const kInterrogationText = "链路地址: 1      ASDU 7      COT: 9  总查询(总召唤)的启动\n"
                                       "应用服务数据单元公共地址: 1\n"
                                       "功能类型(FUN): 255      信息序号(INF): 0      扫描序号(SCN): 0\n";

} // namespace

TEST(Decode103Tool, PrintsTheAnnotationAsTheLogHoldsIt)
{
    const CRun103 run = Decode103(kInterrogation);
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, kInterrogationText);
}

TEST(Decode103Tool, FullAddsTheExplanationAfterTheAnnotation)
{
    CRun103 run = Decode103(std::string("--full ") + kInterrogation);
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut,
              std::string(kInterrogationText) +
                  "控制域: 73H    PRM: 1    FCB: 1    FCV: 1    功能码: 3 (传送数据(发送/确认))\n"
                  "可变结构限定词(VSQ): 81H    SQ: 1    数目: 1\n"
                  "功能类型: 255 (全局功能类型)    信息序号: 0 (总查询(总召唤)的启动)\n扫描序号(SCN): 0\n");
    run = Decode103("--full 10 5A 01 5B 16");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "");
    run = relvane::test::RunTool(RELVANE_DECODE_PATH, "--protocol 94 --full 01 83 00 30 F0",
                                 relvane::test::ToolOutput::Stderr);
    EXPECT_EQ(run.nExit, 2);
    EXPECT_NE(run.strOut.find("--full"), std::string::npos);
}

TEST(Decode103Tool, CheckLineComesFirst)
{
    CRun103 run = Decode103(std::string("--check ") + kInterrogation);
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, std::string("checksum ok\n") + kInterrogationText);
    run = Decode103("--check 68 09 09 68 73 01 07 81 09 01 FF 00 00 06 16");
    EXPECT_EQ(run.strOut.rfind("checksum bad\n", 0), 0u);
    // A fixed frame: the verdict, but nothing to annotate.
    run = Decode103("--check 10 5A 01 5B 16");
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "checksum ok\n");
}

TEST(Decode103Tool, ShortChunksPrintNothing)
{
    for (const char* pszBytes : {"10 5A 01 5B 16", "68 09 09 68 73 01 07 81"})
    {
        const CRun103 run = Decode103(pszBytes);
        EXPECT_EQ(run.nExit, 1) << pszBytes;
        EXPECT_EQ(run.strOut, "") << pszBytes;
    }
    // The single character is the one short answer with something to say, as in the log.
    const CRun103 ack = Decode103("--check E5");
    EXPECT_EQ(ack.nExit, 0);
    EXPECT_EQ(ack.strOut, "checksum ok\n单个控制字符E5H: 肯定确认或无所请求的数据\n");
    // Damaged framing with a fitting sum: the same verdict as the log's.
    EXPECT_EQ(Decode103("--check 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 17").strOut.rfind("checksum bad\n", 0),
              0u);
}

TEST(Decode103Tool, CompletesFrames)
{
    CRun103 run = Decode103("--complete 68 09 09 68 53 01 07 81 09 01 FF 00 01");
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, "68 09 09 68 53 01 07 81 09 01 FF 00 01 E6 16\n");
    EXPECT_EQ(Decode103("--complete 10 5B 01").strOut, "10 5B 01 5C 16\n");

    run = Decode103("--complete 68 09 08 68 53 01 07 81", true);
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strOut, "报文长度不一致\n");
    run = Decode103("--complete 68 09 08 68 53 01", true);
    EXPECT_EQ(run.strOut, "报文长度不够\n");
}

TEST(Decode103Tool, BadInputIsExplained)
{
    const CRun103 run = Decode103("68 ZZ 09", true);
    EXPECT_EQ(run.nExit, 2);
    EXPECT_NE(run.strOut.find("ZZ"), std::string::npos);
}
