#include "common/AnnotationText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace relvane
{
namespace
{

// Length of the UTF-8 sequence starting with lead byte c; stray continuation bytes count as one.
std::size_t SequenceLength(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0)
        return 2;
    if ((c & 0xF0) == 0xE0)
        return 3;
    if ((c & 0xF8) == 0xF0)
        return 4;
    return 1;
}

} // namespace

std::size_t GbkLength(std::string_view strUtf8)
{
    std::size_t nLength = 0;
    for (std::size_t i = 0; i < strUtf8.size();)
    {
        const auto c = static_cast<unsigned char>(strUtf8[i]);
        const std::size_t nSeq = SequenceLength(c);
        nLength += c < 0x80 ? 1 : 2;
        i += nSeq;
    }
    return nLength;
}

bool CAnnotationText::Append(std::string_view strUtf8)
{
    if (m_bFull)
        return strUtf8.empty();
    for (std::size_t i = 0; i < strUtf8.size();)
    {
        const auto c = static_cast<unsigned char>(strUtf8[i]);
        std::size_t nSeq = SequenceLength(c);
        if (i + nSeq > strUtf8.size())
            nSeq = strUtf8.size() - i;
        const std::size_t nWidth = c < 0x80 ? 1 : 2;
        if (m_nGbkLength + nWidth > m_nMaxGbkBytes)
        {
            m_bFull = true;
            return false;
        }
        m_strText.append(strUtf8.substr(i, nSeq));
        m_nGbkLength += nWidth;
        i += nSeq;
    }
    return true;
}

bool CAnnotationText::AppendFormat(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int nNeeded = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (nNeeded <= 0)
    {
        va_end(args);
        return true;
    }
    std::vector<char> buffer(static_cast<std::size_t>(nNeeded) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), pszFormat, args);
    va_end(args);
    return Append(std::string_view(buffer.data(), static_cast<std::size_t>(nNeeded)));
}

} // namespace relvane
