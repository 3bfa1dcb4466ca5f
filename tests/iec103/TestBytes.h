#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace relvane::test
{

// "68 09 09 68" style text of a byte run, for readable comparisons.
inline std::string Hex(const std::uint8_t* p, int n)
{
    std::string strText;
    for (int i = 0; i < n; ++i)
    {
        char sz[4];
        std::snprintf(sz, sizeof sz, "%02X", p[i]);
        if (i > 0)
            strText += ' ';
        strText += sz;
    }
    return strText;
}

inline std::string Hex(const std::vector<std::uint8_t>& ab)
{
    return Hex(ab.data(), static_cast<int>(ab.size()));
}

inline std::vector<std::uint8_t> Bytes(const std::string& strHex)
{
    std::vector<std::uint8_t> ab;
    for (std::size_t i = 0; i < strHex.size();)
    {
        if (strHex[i] == ' ')
        {
            ++i;
            continue;
        }
        ab.push_back(static_cast<std::uint8_t>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return ab;
}

} // namespace relvane::test
