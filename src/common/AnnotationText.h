#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace relvane
{

// Text of one annotation block, held as UTF-8 but bounded as the relay-side tools bound it:
// a 2048-byte GBK buffer with its terminating zero, so at most 2047 bytes where an ASCII
// character counts one byte and every other character two. Appends past the bound are cut
// at a character boundary and everything after the cut is dropped.
class CAnnotationText
{
public:
    static constexpr std::size_t kMaxGbkBytes = 2047;

    explicit CAnnotationText(std::size_t nMaxGbkBytes = kMaxGbkBytes) : m_nMaxGbkBytes(nMaxGbkBytes) {}

    // Appends as much of the UTF-8 text as fits; returns false when something was cut.
    bool Append(std::string_view strUtf8);
    // printf-style append; the formatted text is bounded like Append.
    bool AppendFormat(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

    const std::string& Text() const { return m_strText; }
    std::size_t GbkLength() const { return m_nGbkLength; }
    bool IsFull() const { return m_bFull; }
    bool IsEmpty() const { return m_strText.empty(); }

private:
    std::string m_strText;
    std::size_t m_nGbkLength = 0;
    std::size_t m_nMaxGbkBytes;
    bool m_bFull = false;
};

// Byte length the UTF-8 text would have in GBK: one per ASCII character, two per other.
std::size_t GbkLength(std::string_view strUtf8);

} // namespace relvane
