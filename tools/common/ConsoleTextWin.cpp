#include "ConsoleText.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <windows.h>

namespace relvane
{
namespace
{

HANDLE ConsoleOf(DWORD nStandardHandle)
{
    HANDLE hConsole = GetStdHandle(nStandardHandle);
    DWORD nMode = 0;
    if (hConsole == nullptr || hConsole == INVALID_HANDLE_VALUE || !GetConsoleMode(hConsole, &nMode))
        return nullptr;
    return hConsole;
}

void WriteWide(HANDLE hConsole, const std::u16string& strWide)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const auto* pText = reinterpret_cast<const wchar_t*>(strWide.data());
    std::size_t nLeft = strWide.size();
    while (nLeft > 0)
    {
        DWORD nWritten = 0;
        const DWORD nPiece = static_cast<DWORD>(std::min<std::size_t>(nLeft, 8192));
        if (!WriteConsoleW(hConsole, pText, nPiece, &nWritten, nullptr) || nWritten == 0)
            return;
        pText += nWritten;
        nLeft -= nWritten;
    }
}

// Binds a stream to the console behind hHandle when it is one; the buffer lives to the end of
// the program, as the stream does.
void BindToConsole(std::ostream& stream, DWORD nStandardHandle)
{
    HANDLE hConsole = ConsoleOf(nStandardHandle);
    if (hConsole == nullptr)
        return;
    stream.flush();
    auto* pBuffer = new CWideConsoleBuffer([hConsole](const std::u16string& strWide) { WriteWide(hConsole, strWide); });
    stream.rdbuf(pBuffer);
}

} // namespace

void UseConsoleText()
{
    std::fflush(stdout);
    std::fflush(stderr);
    BindToConsole(std::cout, STD_OUTPUT_HANDLE);
    BindToConsole(std::cerr, STD_ERROR_HANDLE);
    // std::cerr is unbuffered by contract: each write ends up on the screen at once.
    std::cerr.setf(std::ios::unitbuf);
}

void PutText(std::FILE* pStream, const std::string& strText)
{
    HANDLE hConsole = pStream == stdout ? ConsoleOf(STD_OUTPUT_HANDLE)
                      : pStream == stderr ? ConsoleOf(STD_ERROR_HANDLE)
                                          : nullptr;
    if (hConsole == nullptr)
    {
        std::fputs(strText.c_str(), pStream);
        return;
    }
    std::fflush(pStream);
    std::string strRest;
    WriteWide(hConsole, Utf16OfUtf8(strText, strRest));
}

} // namespace relvane
