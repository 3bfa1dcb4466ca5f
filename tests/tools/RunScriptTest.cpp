#include "PrintableText.h"
#include "RunScript.h"

#include <gtest/gtest.h>
#include <sstream>

using relvane::CScriptStep;
using relvane::ParseRunScript;

namespace
{

bool Parse(const std::string& text, std::vector<CScriptStep>& steps, std::string& error)
{
    std::istringstream input(text);
    return ParseRunScript(input, steps, error);
}

} // namespace

TEST(RunScript, ReadsEveryInstructionAndSkipsComments)
{
    std::vector<CScriptStep> steps;
    std::string error;
    ASSERT_TRUE(Parse("# a '94 poll\n"
                      "set port COM3\nset baud 9600\nset parity Even\nset timeout 500\n"
                      "set address 5 2 0   # relay 5\n"
                      "set limit off 100\nset ip 127.0.0.1 1032 1048\n"
                      "answer clock 2004-03-15 08:30:45\nanswer generalcommand 255 0 2 reply\n"
                      "answer disturbance 255 1 1 0 0\nanswer custom hex 68 09\nanswer genericdata cancel\n"
                      "generic clear\ngeneric add id 1 1 1\ngeneric add data 5 1 1 3 2 1 dec 4660\n"
                      "\ncommand 32777\nwait 200\n",
                      steps, error))
        << error;
    ASSERT_EQ(steps.size(), 17u);
    EXPECT_EQ(steps[0].nLine, 2);
    EXPECT_EQ(steps[4].strVerb, "set");
    EXPECT_EQ(steps[4].args, (std::vector<std::string>{"address", "5", "2", "0"}));
    EXPECT_EQ(steps[15].nLine, 18);
    EXPECT_EQ(steps[16].args[0], "200");
}

TEST(RunScript, NamesTheLineOfTheFirstMistake)
{
    std::vector<CScriptStep> steps;
    std::string error;
    EXPECT_FALSE(Parse("command 32792\n\nfly away\n", steps, error));
    EXPECT_EQ(error, "line 3: unknown instruction \"fly\"");
    EXPECT_FALSE(Parse("set parity even\n", steps, error));
    EXPECT_EQ(error.rfind("line 1:", 0), 0u);
    EXPECT_FALSE(Parse("set address 256 1 0\n", steps, error));
    EXPECT_FALSE(Parse("wait soon\n", steps, error));
    EXPECT_FALSE(Parse("answer clock 2004-03-15\n", steps, error));
    EXPECT_FALSE(Parse("answer custom oct 1 2\n", steps, error));
    EXPECT_FALSE(Parse("set port ttyS0\n", steps, error));
}

// A script is read whole before it runs: endless input (`yes "wait 1" | relvane-run -`) ends in an
// error instead of exhausting memory.
TEST(RunScript, EndlessInputIsRefused)
{
    struct CEndless : std::streambuf
    {
        int_type underflow() override
        {
            setg(m_abLine, m_abLine, m_abLine + sizeof m_abLine - 1);
            return traits_type::to_int_type(m_abLine[0]);
        }
        char m_abLine[8] = "wait 1\n";
    } endless;
    std::istream input(&endless);
    std::vector<CScriptStep> steps;
    std::string error;
    EXPECT_FALSE(ParseRunScript(input, steps, error));
    EXPECT_EQ(error, "line 1000001: a script is limited to 1000000 instructions");
}

// An error quotes at most the first 80 characters of a bad word (a UTF-8 character counts once),
// and a byte-order mark before the first line is no part of it.
TEST(RunScript, QuotesTheStartOfALongBadWordAndSkipsAByteOrderMark)
{
    auto Repeat = [](const std::string& strPart, int nCount)
    {
        std::string str;
        for (int n = 0; n < nCount; ++n)
            str += strPart;
        return str;
    };
    const struct
    {
        std::string strToken;
        std::string strShown;
    } kCases[] = {
        {"abc", "abc"},
        {Repeat("z", 80), Repeat("z", 80)},
        {Repeat("z", 81), Repeat("z", 80) + "..."},
        {Repeat("时", 100), Repeat("时", 80) + "..."},
    };
    for (const auto& testCase : kCases)
        EXPECT_EQ(relvane::TokenExcerpt(testCase.strToken), testCase.strShown);
    std::vector<CScriptStep> steps;
    std::string error;
    EXPECT_TRUE(Parse("\xEF\xBB\xBFwait 10\n", steps, error)) << error;
    EXPECT_FALSE(Parse("wait 10\n\xEF\xBB\xBFwait 10\n", steps, error)) << "only at the start";
}
