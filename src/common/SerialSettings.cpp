#include "common/SerialSettings.h"

#include <algorithm>
#include <cctype>

namespace relvane
{
namespace
{

bool SameText(std::string_view strA, std::string_view strB, bool bAnyCase)
{
    if (!bAnyCase)
        return strA == strB;
    return strA.size() == strB.size() && std::equal(strA.begin(), strA.end(), strB.begin(),
                                                    [](char a, char b) {
                                                        return std::tolower(static_cast<unsigned char>(a)) ==
                                                               std::tolower(static_cast<unsigned char>(b));
                                                    });
}

} // namespace

int FindBaudRate(std::string_view strText)
{
    for (std::size_t i = 0; i < kBaudRateTexts.size(); ++i)
    {
        if (strText == kBaudRateTexts[i])
            return static_cast<int>(i);
    }
    return -1;
}

int FindParityName(std::string_view strText, bool bAnyCase)
{
    for (std::size_t i = 0; i < kParityNames.size(); ++i)
    {
        if (SameText(strText, kParityNames[i], bAnyCase))
            return static_cast<int>(i);
    }
    return -1;
}

int ParseComPort(std::string_view strText)
{
    if (strText.size() < 4 || strText.size() > 6 || strText.substr(0, 3) != "COM")
        return 0;
    int nPort = 0;
    for (const char c : strText.substr(3))
    {
        if (c < '0' || c > '9')
            return 0;
        nPort = nPort * 10 + (c - '0');
    }
    return nPort >= 1 && nPort <= 256 ? nPort : 0;
}

int CheckLineSettings(int nBaud, char cParity)
{
    if (nBaud <= 0 || nBaud > kMaxLineBaud)
        return LINE_BAD_BAUD;
    switch (std::toupper(static_cast<unsigned char>(cParity)))
    {
    case 'N':
    case 'O':
    case 'E':
    case 'M':
    case 'S':
        return LINE_OK;
    default:
        return LINE_BAD_PARITY;
    }
}

} // namespace relvane
