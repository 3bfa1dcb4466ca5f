#pragma once

// The text pieces both halves of the COMTRADE reader take apart: lines, comma-separated fields
// and numbers, read the same way whatever the locale says the decimal point is.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane::comtrade
{

inline std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

inline std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t nStart = 0;
    for (;;)
    {
        const std::size_t nComma = line.find(',', nStart);
        fields.push_back(
            Trimmed(line.substr(nStart, nComma == std::string_view::npos ? nComma : nComma - nStart)));
        if (nComma == std::string_view::npos)
            return fields;
        nStart = nComma + 1;
    }
}

// A finite number in the C locale's notation ("1.5", "-2e3"); false for anything else.
inline bool ParseReal(std::string_view text, double& d)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const char* pEnd = text.data() + text.size();
    const auto result = std::from_chars(text.data(), pEnd, d);
    return !text.empty() && result.ec == std::errc() && result.ptr == pEnd && std::isfinite(d);
}

inline bool ParseInteger(std::string_view text, std::int64_t& n)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const char* pEnd = text.data() + text.size();
    const auto result = std::from_chars(text.data(), pEnd, n);
    return !text.empty() && result.ec == std::errc() && result.ptr == pEnd;
}

// A field as the messages quote it: at most 40 bytes, control characters as '?'.
inline std::string Quoted(std::string_view text)
{
    std::string str = "“";
    for (std::size_t i = 0; i < text.size() && i < 40; ++i)
        str += static_cast<unsigned char>(text[i]) < 0x20 ? '?' : text[i];
    if (text.size() > 40)
        str += "…";
    return str + "”";
}

inline std::string LineError(std::size_t nLine, std::string_view field, const std::string& strReason)
{
    return "第" + std::to_string(nLine) + "行 " + std::string(field) + ": " + strReason;
}

} // namespace relvane::comtrade
