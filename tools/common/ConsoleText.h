#pragma once

// The tools write UTF-8. A console window on Windows shows those bytes in its own code page
// (437, 936 ...), so where standard output or error is a console, text goes through the console's
// wide-character interface instead; redirected to a file or a pipe it stays UTF-8.
#include <cstdio>
#include <functional>
#include <streambuf>
#include <string>

namespace relvane
{

// A stream buffer that takes UTF-8 and hands UTF-16 pieces to a sink. A sequence split between
// two writes is held until its last byte comes; a byte that is no UTF-8 shows as U+FFFD.
class CWideConsoleBuffer : public std::streambuf
{
public:
    using Sink = std::function<void(const std::u16string&)>;

    explicit CWideConsoleBuffer(Sink sink);
    ~CWideConsoleBuffer() override;
    CWideConsoleBuffer(const CWideConsoleBuffer&) = delete;
    CWideConsoleBuffer& operator=(const CWideConsoleBuffer&) = delete;

protected:
    int_type overflow(int_type nChar) override;
    std::streamsize xsputn(const char* pText, std::streamsize nCount) override;
    int sync() override;

private:
    void Take(const char* pText, std::size_t nCount);

    Sink m_sink;
    std::string m_strPending; // bytes not yet converted: at most one unfinished sequence after a flush
};

// Converts whole UTF-8 sequences of strText; an unfinished sequence at the end is left in
// strRest (empty when none).
std::u16string Utf16OfUtf8(const std::string& strText, std::string& strRest);

// Standard output and error write through the console's wide-character interface where they are
// a console window (Windows); elsewhere and when redirected, nothing changes. Call once at start.
void UseConsoleText();

// Writes UTF-8 text to a C stream (stdout, stderr) by the same rule, for code on C stdio.
void PutText(std::FILE* pStream, const std::string& strText);

} // namespace relvane
