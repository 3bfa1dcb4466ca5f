#include "common/GbkDecoder.h"

#include <windows.h>

namespace relvane
{

// The code page tables are the system's own; nothing is held open.
CGbkDecoder::CGbkDecoder() = default;
CGbkDecoder::~CGbkDecoder() = default;

bool CGbkDecoder::Decode(std::uint8_t nLead, std::uint8_t nTrail, char (&abOut)[8], std::size_t& nOut) const
{
    const char abIn[2] = {static_cast<char>(nLead), static_cast<char>(nTrail)};
    wchar_t wcText[2];
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, abIn, 2, wcText, 2) != 1)
        return false;
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, wcText, 1, abOut, sizeof abOut, nullptr, nullptr);
    nOut = nBytes > 0 ? static_cast<std::size_t>(nBytes) : 0;
    return nBytes > 0;
}

} // namespace relvane
