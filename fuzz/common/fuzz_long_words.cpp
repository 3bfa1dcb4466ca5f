// Builds long paragraphs (up to 262,144 UTF-16 units) from runs of characters of every kind a
// layout treats differently, and checks the long-word guard on them: it ends in time linear in
// the text (a hang is a libFuzzer time-out), never splits a surrogate pair, finds the same breaks
// whether the paragraph comes whole or in pieces, and leaves no stretch without a place to break
// longer than it promises.
#include "common/LongWordGuard.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

constexpr std::size_t kLongest = 64;
constexpr std::size_t kMostUnits = 1 << 18;

// Letters, digits, blanks, line ends, Han, CJK punctuation (closing and opening), no-break
// spaces, private use, both halves of surrogates, a zero-width no-break space, combining marks.
constexpr char16_t kUnits[] = {u'x',   u'7',   u' ',   u'\t',  u'\n',  0x2028, 0x2029, 0x4E00, 0x9FA5, 0x3001,
                               0x300C, 0x00A0, 0x202F, 0xE000, 0xF8FF, 0xD800, 0xDC00, 0xFEFF, 0x0301, u'(',
                               u')',   0x3000, u'\r',  0xFF01};

bool CanBreakHere(char16_t ch)
{
    // Units around which the guard may have found a break of the text's own.
    return ch == u' ' || ch == u'\t' || ch == u'\n' || ch == u'\r' || ch == 0x2028 || ch == 0x2029 ||
           (ch >= 0x4E00 && ch <= 0x9FFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    // Pairs of bytes: which unit, and how many of it (up to 16,384).
    std::u16string text;
    for (std::size_t i = 0; i + 1 < nSize && text.size() < kMostUnits; i += 2)
    {
        const char16_t ch = kUnits[pData[i] % (sizeof kUnits / sizeof kUnits[0])];
        const std::size_t nCount = (static_cast<std::size_t>(pData[i + 1]) + 1) * 64;
        text.append(std::min(nCount, kMostUnits - text.size()), ch);
    }

    relvane::CLongWordGuard whole(kLongest);
    std::vector<std::size_t> positions;
    whole.FindBreaks(text, positions);

    // In pieces cut where the input says: the same breaks.
    relvane::CLongWordGuard pieces(kLongest);
    std::vector<std::size_t> piecePositions;
    std::size_t nFrom = 0;
    for (std::size_t i = 0; nFrom < text.size(); ++i)
    {
        const std::size_t nLength = nSize == 0 ? text.size() : 1 + pData[i % nSize] * 97u;
        const std::size_t nEnd = std::min(text.size(), nFrom + nLength);
        std::vector<std::size_t> found;
        pieces.FindBreaks(std::u16string_view(text).substr(nFrom, nEnd - nFrom), found);
        for (const std::size_t n : found)
            piecePositions.push_back(nFrom + n);
        nFrom = nEnd;
    }
    if (piecePositions != positions)
        std::abort();

    std::size_t nStretch = 0;
    std::size_t nNext = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (nNext < positions.size() && positions[nNext] == i)
        {
            if (i == 0 || (nNext > 0 && positions[nNext - 1] >= i))
                std::abort(); // in order, never before the first unit
            if (text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF)
                std::abort(); // a surrogate pair split
            ++nNext;
            nStretch = 0;
        }
        // A stretch of units none of which lets the text break by itself is cut at the promised
        // length (one more where a surrogate pair was kept whole).
        nStretch = CanBreakHere(text[i]) ? 0 : nStretch + 1;
        if (nStretch > kLongest + 1)
            std::abort();
    }
    if (nNext != positions.size())
        std::abort();
    return 0;
}
