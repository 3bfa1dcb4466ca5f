#include "rtf/RtfCodePage.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace relvane
{

bool EncodeGbk(char16_t c, QByteArray& abBytes)
{
    const wchar_t wc = static_cast<wchar_t>(c);
    char abOut[4] = {};
    BOOL bUsedDefault = FALSE;
    const int nCount =
        WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wc, 1, abOut, sizeof abOut, nullptr, &bUsedDefault);
    const bool bEncoded = nCount > 0 && !bUsedDefault;
    abBytes = bEncoded ? QByteArray(abOut, nCount) : QByteArray();
    return bEncoded;
}

CCodePageDecoder::CCodePageDecoder(int nCodePage) : m_nCodePage(static_cast<unsigned>(nCodePage)) {}

bool CCodePageDecoder::IsValid() const
{
    return IsValidCodePage(m_nCodePage) != FALSE;
}

QString CCodePageDecoder::Decode(QByteArrayView abBytes)
{
    if (abBytes.isEmpty())
        return QString();
    const int nSize = static_cast<int>(abBytes.size());
    const int nChars = MultiByteToWideChar(m_nCodePage, 0, abBytes.data(), nSize, nullptr, 0);
    if (nChars <= 0)
        return QString::fromLatin1(abBytes);
    std::wstring strWide(static_cast<std::size_t>(nChars), L'\0');
    MultiByteToWideChar(m_nCodePage, 0, abBytes.data(), nSize, strWide.data(), nChars);
    return QString::fromWCharArray(strWide.data(), nChars);
}

} // namespace relvane
