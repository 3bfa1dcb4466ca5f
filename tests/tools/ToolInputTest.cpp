// Input limits and printable error texts shared by relvane-decode and relvane-run.
#include "LineInput.h"
#include "PrintableText.h"
#include "ToolRun.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

using relvane::PrintableText;

TEST(ToolInput, ErrorTextsShowUtf8AndEscapeEverythingElse)
{
    const struct
    {
        std::string strIn;
        std::string strOut;
    } cases[] = {
        {"set parity Even", "set parity Even"},
        {"发送 é", "发送 é"},
        {"\xFF\xFE", "\\xFF\\xFE"},
        {"a\x1B[2Jb\t\x7F", "a\\x1B[2Jb\\x09\\x7F"},
        {"\xC2\x9B"
         "2J \xC2\xA0",
         "\\xC2\\x9B"
         "2J \xC2\xA0"},                              // C1 CSI escaped, a no-break space kept
        {"\xC0\x80", "\\xC0\\x80"},                   // overlong NUL
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"\xE5\x8F", "\\xE5\\x8F"},                   // cut short
        {std::string("a\0b", 3), "a\\x00b"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(PrintableText(test.strIn), test.strOut);
}

TEST(ToolInput, LinesOverTheLimitAreRefusedWithoutReadingOn)
{
    std::istringstream input("one\n" + std::string(10, 'x') + "\ntail");
    std::string line;
    EXPECT_EQ(relvane::ReadBoundedLine(*input.rdbuf(), line, 8), relvane::LINE_READ);
    EXPECT_EQ(line, "one");
    EXPECT_EQ(relvane::ReadBoundedLine(*input.rdbuf(), line, 8), relvane::LINE_TOO_LONG);
    EXPECT_EQ(line.size(), 8u);
    std::istringstream exact(std::string(8, 'x') + "\n\nlast");
    EXPECT_EQ(relvane::ReadBoundedLine(*exact.rdbuf(), line, 8), relvane::LINE_READ);
    EXPECT_EQ(relvane::ReadBoundedLine(*exact.rdbuf(), line, 8), relvane::LINE_READ);
    EXPECT_EQ(line, "");
    EXPECT_EQ(relvane::ReadBoundedLine(*exact.rdbuf(), line, 8), relvane::LINE_READ);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(relvane::ReadBoundedLine(*exact.rdbuf(), line, 8), relvane::LINE_END);
}

// relvane-decode on endless or oversized standard input ends with an error naming the line.
TEST(ToolInput, DecoderRefusesOversizedLinesAndEndlessInput)
{
    const auto path = std::filesystem::temp_directory_path() / ("relvane-decode-" + std::to_string(getpid()));
    std::ofstream(path) << "10 5B 01 5C 16\n" << std::string(2 * 1024 * 1024, '0') << "\n01 83 00 30 F0\n";
    const struct
    {
        std::string strInput;
        std::string strMessage;
    } cases[] = {
        {path.string(), "relvane-decode: line 2: longer than 1048576 bytes; input ends here\n"},
        {"/dev/zero", "relvane-decode: line 1: longer than 1048576 bytes; input ends here\n"},
    };
    for (const auto& test : cases)
    {
        const relvane::test::CToolRun run =
            relvane::test::RunTool(RELVANE_DECODE_PATH, "--protocol 103", relvane::test::ToolOutput::Both, test.strInput);
        EXPECT_EQ(run.nExit, 2) << test.strInput;
        EXPECT_EQ(run.strOut, test.strMessage);
    }
    std::filesystem::remove(path);
}
