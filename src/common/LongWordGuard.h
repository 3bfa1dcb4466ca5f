#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace relvane
{

// Finds where a paragraph needs a forced line break so that laying it out stays linear.
//
// A text layout looks for the end of a word before it breaks a line; a word longer than a line is
// scanned again for every line it fills, so a paragraph of one endless word takes time growing
// with the square of its length. The guard counts the UTF-16 units since the last place where a
// line break is certainly allowed (by the Unicode line-breaking rules every layout follows) and
// asks for a break wherever that stretch reaches the longest word allowed. Only plain cases count
// as places to break: a line end, a blank between letters, digits or Han ideographs, and either
// side of a Han ideograph next to a letter, digit or ideograph. Everything else (no-break spaces,
// punctuation, other CJK signs, private-use characters, lone surrogates) may glue to its
// neighbours and so only adds to the stretch. A surrogate pair is never split. Linear in the text.
class CLongWordGuard
{
public:
    explicit CLongWordGuard(std::size_t nLongest) : m_nLongest(nLongest) {}

    // Appends to positions every index of text before which a line separator is to go. A word
    // may run on over pieces of one paragraph: the guard carries its count to the next call.
    void FindBreaks(std::u16string_view text, std::vector<std::size_t>& positions);

    // UTF-16 units of the longest stretch a layout may see: a word of nLongest units, and the
    // blanks after it up to as many again (a break right before a blank would split what the
    // layout itself breaks after).
    std::size_t LongestStretch() const { return 2 * m_nLongest; }

private:
    enum class EKind
    {
        LineEnd, // a line or paragraph end, also a forced one
        Plain,   // ASCII letter or digit
        Han,     // Han ideograph
        Blank,   // space or tab
        Other,
    };
    static EKind KindOf(char16_t ch);

    std::size_t m_nLongest;
    std::size_t m_nStretch = 0;
    EKind m_ePrevious = EKind::LineEnd;
    char16_t m_chPrevious = 0;
    bool m_bWordBeforeBlanks = false; // the blanks now being read follow a letter, digit or ideograph
};

} // namespace relvane
