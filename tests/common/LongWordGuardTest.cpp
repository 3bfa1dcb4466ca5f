#include "common/LongWordGuard.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace relvane;

namespace
{

std::u16string Repeat(const std::u16string& strPart, std::size_t nUnits)
{
    std::u16string str;
    while (str.size() < nUnits)
        str += strPart;
    str.resize(nUnits);
    return str;
}

std::vector<std::size_t> Breaks(const std::u16string& text, std::size_t nLongest = 8)
{
    CLongWordGuard guard(nLongest);
    std::vector<std::size_t> positions;
    guard.FindBreaks(text, positions);
    return positions;
}

} // namespace

// Where a layout breaks lines by itself (blanks between words, Han ideographs, line ends) nothing
// is added; every stretch it cannot break (no-break spaces, CJK punctuation, private use, lone
// surrogates, letters) gets a break after each 8 units here, and a surrogate pair stays whole.
TEST(LongWordGuard, BreaksOnlyStretchesALayoutCannotBreak)
{
    const std::u16string strEightX = u"xxxxxxxx";
    const struct
    {
        const char* pszName;
        std::u16string text;
        std::vector<std::size_t> positions;
    } kCases[] = {
        {"words and blanks", Repeat(u"abc 12 ", 100), {}},
        {"a long word then blanks and a word", strEightX + u"   " + strEightX, {}},
        {"Han text", Repeat(u"链路地址", 100), {}},
        {"letters next to Han", Repeat(u"ASDU时间", 100), {}},
        {"line ends", Repeat(u"xxxxxxx\n", 40) + Repeat(u"xxxxxxx\u2028", 40), {}},
        {"one endless word", Repeat(u"x", 20), {8, 16}},
        {"x and no-break spaces", Repeat(u"x\u00A0", 20), {8, 16}},
        {"CJK punctuation", Repeat(u"\u3001", 20), {8, 16}},
        {"opening brackets between blanks", Repeat(u"\u300C ", 20), {8, 16}},
        {"private use", Repeat(u"\uE000", 20), {8, 16}},
        {"lone high surrogates", Repeat(u"\xD800", 20), {8, 16}},
        {"lone low surrogates", Repeat(u"\xDC00", 20), {8, 16}},
        {"surrogate pairs kept whole", u"x" + Repeat(u"\xD83D\xDE00", 38), {9, 17, 25, 33}},
        {"blanks after a word, up to twice the longest", strEightX + Repeat(u" ", 12), {16}},
    };
    for (const auto& testCase : kCases)
        EXPECT_EQ(Breaks(testCase.text), testCase.positions) << testCase.pszName;
}

// A word that runs over pieces of one paragraph is counted across them.
TEST(LongWordGuard, CountsAWordAcrossPieces)
{
    CLongWordGuard guard(8);
    std::vector<std::size_t> positions;
    guard.FindBreaks(u"xxxxx", positions);
    guard.FindBreaks(u"xxxxx", positions);
    EXPECT_EQ(positions, (std::vector<std::size_t>{3}));
}
