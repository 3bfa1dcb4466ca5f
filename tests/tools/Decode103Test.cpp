// relvane-decode --protocol 103, run as a user runs it.
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace
{

struct CRun103
{
    int nExit;
    std::string strOut;
};

// Runs the decoder; bStderr folds standard error into the captured text.
CRun103 Decode103(const std::string& strArgs, bool bStderr = false)
{
    const std::string strCommand = std::string(RELVANE_DECODE_PATH) + " --protocol 103 " + strArgs +
                                   (bStderr ? " 2>&1 >/dev/null" : " 2>/dev/null");
    CRun103 run{-1, {}};
    FILE* pPipe = popen(strCommand.c_str(), "r");
    if (pPipe == nullptr)
        return run;
    char abBuffer[4096];
    std::size_t nRead = 0;
    while ((nRead = fread(abBuffer, 1, sizeof abBuffer, pPipe)) > 0)
        run.strOut.append(abBuffer, nRead);
    const int nStatus = pclose(pPipe);
    run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return run;
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
    for (const char* pszBytes : {"10 5A 01 5B 16", "68 09 09 68 73 01 07 81", "E5"})
    {
        const CRun103 run = Decode103(pszBytes);
        EXPECT_EQ(run.nExit, 1) << pszBytes;
        EXPECT_EQ(run.strOut, "") << pszBytes;
    }
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
