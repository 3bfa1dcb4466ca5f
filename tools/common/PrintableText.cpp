#include "PrintableText.h"

#include <algorithm>
#include <cstdint>

namespace relvane
{
namespace
{

// Length of the well-formed UTF-8 sequence at nPos (no overlong forms, no surrogates, at most
// U+10FFFF), or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view strText, std::size_t nPos)
{
    const auto Byte = [&](std::size_t i) { return static_cast<std::uint8_t>(strText[i]); };
    const std::uint8_t nLead = Byte(nPos);
    std::size_t nLength = 0;
    std::uint8_t nLow = 0x80;
    std::uint8_t nHigh = 0xBF;
    if (nLead >= 0xC2 && nLead <= 0xDF)
        nLength = 2;
    else if (nLead >= 0xE0 && nLead <= 0xEF)
    {
        nLength = 3;
        if (nLead == 0xE0)
            nLow = 0xA0;
        else if (nLead == 0xED)
            nHigh = 0x9F;
    }
    else if (nLead >= 0xF0 && nLead <= 0xF4)
    {
        nLength = 4;
        if (nLead == 0xF0)
            nLow = 0x90;
        else if (nLead == 0xF4)
            nHigh = 0x8F;
    }
    else
        return 0;
    if (nPos + nLength > strText.size())
        return 0;
    // Only the second byte has the narrowed range; the rest are plain continuation bytes.
    if (Byte(nPos + 1) < nLow || Byte(nPos + 1) > nHigh)
        return 0;
    for (std::size_t i = 2; i < nLength; ++i)
        if (Byte(nPos + i) < 0x80 || Byte(nPos + i) > 0xBF)
            return 0;
    return nLength;
}

} // namespace

std::string TokenExcerpt(std::string_view strToken)
{
    std::size_t nPos = 0;
    for (std::size_t nChars = 0; nChars < kTokenExcerptChars && nPos < strToken.size(); ++nChars)
        nPos += std::max<std::size_t>(1, Utf8SequenceLength(strToken, nPos));
    if (nPos >= strToken.size())
        return std::string(strToken);
    return std::string(strToken.substr(0, nPos)) + "...";
}

std::string PrintableText(std::string_view strText)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(strText.size());
    for (std::size_t i = 0; i < strText.size();)
    {
        const auto nByte = static_cast<std::uint8_t>(strText[i]);
        if (nByte >= 0x20 && nByte < 0x7F)
        {
            strOut += static_cast<char>(nByte);
            ++i;
            continue;
        }
        const std::size_t nLength = nByte >= 0x80 ? Utf8SequenceLength(strText, i) : 0;
        // U+0080 to U+009F are control characters too (a terminal may take U+009B as CSI).
        const bool bC1 = nLength == 2 && nByte == 0xC2 && static_cast<std::uint8_t>(strText[i + 1]) < 0xA0;
        if (nLength > 0 && !bC1)
        {
            strOut.append(strText.substr(i, nLength));
            i += nLength;
            continue;
        }
        strOut += "\\x";
        strOut += kHex[nByte >> 4];
        strOut += kHex[nByte & 0x0F];
        ++i;
    }
    return strOut;
}

} // namespace relvane
