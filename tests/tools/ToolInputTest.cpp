// Input limits and printable error texts shared by relvane-decode and relvane-run.
#include "ConsoleText.h"
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

// Console text: UTF-8 cut anywhere between two writes comes out whole; what is no UTF-8 shows as
// U+FFFD, never as a piece of a neighbour.
TEST(ToolInput, ConsoleTextTakesUtf8CutAnywhere)
{
    const std::string strText = "链路 ok \xF0\x9F\x94\x8C\n";
    const std::u16string strWanted = u"链路 ok \U0001F50C\n";
    for (std::size_t nCut = 0; nCut <= strText.size(); ++nCut)
    {
        std::u16string strSeen;
        {
            relvane::CWideConsoleBuffer buffer([&](const std::u16string& strPiece) { strSeen += strPiece; });
            std::ostream stream(&buffer);
            stream << strText.substr(0, nCut) << std::flush;
            stream << strText.substr(nCut);
        }
        EXPECT_EQ(strSeen, strWanted) << "cut at " << nCut;
    }
    const struct
    {
        std::string strIn;
        std::u16string strOut;
    } cases[] = {
        {"\xFF a", u"\uFFFD a"},
        {"\xE9\x93x", u"\uFFFDx"},        // a sequence broken by a plain byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},     // overlong
        {"\xED\xA0\x80", u"\uFFFD"},       // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD"},   // past U+10FFFF
    };
    for (const auto& c : cases)
    {
        std::string strRest;
        EXPECT_EQ(relvane::Utf16OfUtf8(c.strIn, strRest), c.strOut) << relvane::PrintableText(c.strIn);
        EXPECT_TRUE(strRest.empty());
    }
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
