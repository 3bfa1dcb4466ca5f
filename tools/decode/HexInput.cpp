#include "HexInput.h"

#include <cctype>

namespace relvane
{
namespace
{

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseToken(const std::string& token, std::vector<std::uint8_t>& abBytes, std::string& strError)
{
    std::size_t i = 0;
    bool bAny = false;
    while (i < token.size())
    {
        // A "0x" prefix may stand before any byte of the token.
        if (token.size() - i >= 2 && token[i] == '0' && (token[i + 1] == 'x' || token[i + 1] == 'X'))
            i += 2;
        if (token.size() - i < 2)
        {
            strError = "bad byte \"" + token + "\": hexadecimal digits must come in pairs";
            return false;
        }
        const int nHigh = HexDigit(token[i]);
        const int nLow = HexDigit(token[i + 1]);
        if (nHigh < 0 || nLow < 0)
        {
            strError = "bad byte \"" + token + "\": not a hexadecimal pair";
            return false;
        }
        abBytes.push_back(static_cast<std::uint8_t>(nHigh * 16 + nLow));
        i += 2;
        bAny = true;
    }
    if (!bAny)
    {
        strError = "bad byte \"" + token + "\": no hexadecimal digits";
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> SplitTokens(std::string_view line)
{
    std::vector<std::string> tokens;
    std::string current;
    for (char c : line)
    {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
        {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        }
        else
        {
            current.push_back(c);
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

bool ParseHexBytes(const std::vector<std::string>& tokens, std::vector<std::uint8_t>& abBytes,
                   std::string& strError)
{
    abBytes.clear();
    for (const std::string& token : tokens)
        if (!ParseToken(token, abBytes, strError))
            return false;
    if (abBytes.empty())
    {
        strError = "no frame bytes given";
        return false;
    }
    return true;
}

} // namespace relvane
