#include "ConsoleText.h"

namespace relvane
{
namespace
{

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::size_t kFlushAt = 4096;

// The length of the sequence a lead byte opens, 0 for a byte that cannot lead one.
std::size_t SequenceLength(unsigned char nLead)
{
    if (nLead < 0x80)
        return 1;
    if (nLead >= 0xC2 && nLead <= 0xDF)
        return 2;
    if (nLead >= 0xE0 && nLead <= 0xEF)
        return 3;
    if (nLead >= 0xF0 && nLead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

std::u16string Utf16OfUtf8(const std::string& strText, std::string& strRest)
{
    std::u16string strWide;
    strWide.reserve(strText.size());
    strRest.clear();
    std::size_t i = 0;
    while (i < strText.size())
    {
        const auto nLead = static_cast<unsigned char>(strText[i]);
        const std::size_t nLength = SequenceLength(nLead);
        if (nLength == 0)
        {
            strWide.push_back(kReplacement);
            ++i;
            continue;
        }
        if (nLength == 1)
        {
            strWide.push_back(static_cast<char16_t>(nLead));
            ++i;
            continue;
        }
        char32_t nCode = nLead & (0xFF >> (nLength + 1));
        std::size_t nTaken = 1;
        bool bBroken = false;
        for (; nTaken < nLength && i + nTaken < strText.size(); ++nTaken)
        {
            const auto nNext = static_cast<unsigned char>(strText[i + nTaken]);
            if ((nNext & 0xC0) != 0x80)
            {
                bBroken = true;
                break;
            }
            nCode = (nCode << 6) | (nNext & 0x3F);
        }
        if (!bBroken && nTaken < nLength)
        {
            strRest = strText.substr(i); // the rest of this sequence comes with the next write
            break;
        }
        // Overlong forms, surrogates and values past U+10FFFF are no characters.
        const bool bValid = !bBroken && !(nLength == 3 && nCode < 0x800) && !(nLength == 4 && nCode < 0x10000) &&
                            !(nCode >= 0xD800 && nCode <= 0xDFFF) && nCode <= 0x10FFFF;
        if (!bValid)
        {
            strWide.push_back(kReplacement);
            i += bBroken ? nTaken : nLength;
            continue;
        }
        if (nCode >= 0x10000)
        {
            nCode -= 0x10000;
            strWide.push_back(static_cast<char16_t>(0xD800 + (nCode >> 10)));
            strWide.push_back(static_cast<char16_t>(0xDC00 + (nCode & 0x3FF)));
        }
        else
            strWide.push_back(static_cast<char16_t>(nCode));
        i += nLength;
    }
    return strWide;
}

CWideConsoleBuffer::CWideConsoleBuffer(Sink sink) : m_sink(std::move(sink)) {}

CWideConsoleBuffer::~CWideConsoleBuffer()
{
    sync();
}

void CWideConsoleBuffer::Take(const char* pText, std::size_t nCount)
{
    m_strPending.append(pText, nCount);
    // A console shows text as it comes: a line end or a large piece goes out at once.
    if (m_strPending.size() >= kFlushAt || m_strPending.find('\n') != std::string::npos)
        sync();
}

CWideConsoleBuffer::int_type CWideConsoleBuffer::overflow(int_type nChar)
{
    if (traits_type::eq_int_type(nChar, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(nChar) : traits_type::eof();
    const char cByte = traits_type::to_char_type(nChar);
    Take(&cByte, 1);
    return nChar;
}

std::streamsize CWideConsoleBuffer::xsputn(const char* pText, std::streamsize nCount)
{
    if (nCount > 0)
        Take(pText, static_cast<std::size_t>(nCount));
    return nCount;
}

int CWideConsoleBuffer::sync()
{
    if (m_strPending.empty())
        return 0;
    std::string strRest;
    const std::u16string strWide = Utf16OfUtf8(m_strPending, strRest);
    m_strPending = std::move(strRest);
    if (!strWide.empty() && m_sink)
        m_sink(strWide);
    return 0;
}

} // namespace relvane
