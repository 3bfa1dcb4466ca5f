#include "iec103/NumberScan.h"

namespace relvane
{
namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

int DigitValue(char c, bool bHex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (bHex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (bHex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ScanWholeNumber(std::string_view strText, std::size_t& nPos, bool bHex, std::uint32_t& nValue)
{
    std::size_t i = nPos;
    while (i < strText.size() && IsSpace(strText[i]))
        ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-'))
    {
        bNegative = strText[i] == '-';
        ++i;
    }
    // "0x" counts as a prefix only when a hexadecimal digit follows; otherwise the 0 is the number.
    if (bHex && i + 2 < strText.size() && strText[i] == '0' &&
        (strText[i + 1] == 'x' || strText[i + 1] == 'X') && DigitValue(strText[i + 2], true) >= 0)
        i += 2;
    const int nBase = bHex ? 16 : 10;
    std::uint32_t nResult = 0;
    std::size_t nDigits = 0;
    for (; i < strText.size(); ++i, ++nDigits)
    {
        const int nDigit = DigitValue(strText[i], bHex);
        if (nDigit < 0)
            break;
        nResult = nResult * static_cast<std::uint32_t>(nBase) + static_cast<std::uint32_t>(nDigit);
    }
    if (nDigits == 0)
        return false;
    nValue = bNegative ? 0u - nResult : nResult;
    nPos = i;
    return true;
}

} // namespace relvane
