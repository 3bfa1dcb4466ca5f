#include "common/LongWordGuard.h"

namespace relvane
{

CLongWordGuard::EKind CLongWordGuard::KindOf(char16_t ch)
{
    if (ch == u'\n' || ch == u'\r' || ch == 0x2028 || ch == 0x2029)
        return EKind::LineEnd;
    if ((ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z'))
        return EKind::Plain;
    if (ch == u' ' || ch == u'\t')
        return EKind::Blank;
    // CJK Unified Ideographs, Extension A and the compatibility ideographs: class ID, a break
    // allowed on either side.
    if ((ch >= 0x4E00 && ch <= 0x9FFF) || (ch >= 0x3400 && ch <= 0x4DBF) || (ch >= 0xF900 && ch <= 0xFAFF))
        return EKind::Han;
    return EKind::Other;
}

void CLongWordGuard::FindBreaks(std::u16string_view text, std::vector<std::size_t>& positions)
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const char16_t ch = text[i];
        const EKind eKind = KindOf(ch);
        if (eKind == EKind::LineEnd)
        {
            m_nStretch = 0;
            m_ePrevious = EKind::LineEnd;
            m_chPrevious = ch;
            continue;
        }
        const bool bWord = eKind == EKind::Plain || eKind == EKind::Han;
        const bool bBreakBefore =
            bWord && ((m_ePrevious == EKind::Blank && m_bWordBeforeBlanks) || m_ePrevious == EKind::Han ||
                      (m_ePrevious == EKind::Plain && eKind == EKind::Han));
        if (bBreakBefore)
            m_nStretch = 0;
        else if (m_nStretch >= m_nLongest)
        {
            const bool bInsidePair = ch >= 0xDC00 && ch <= 0xDFFF && m_chPrevious >= 0xD800 && m_chPrevious <= 0xDBFF;
            const bool bBlankAfterWord = eKind == EKind::Blank && m_nStretch < LongestStretch();
            if (!bInsidePair && !bBlankAfterWord)
            {
                positions.push_back(i);
                m_nStretch = 0;
                m_ePrevious = EKind::LineEnd;
            }
        }
        if (eKind == EKind::Blank && m_ePrevious != EKind::Blank)
            m_bWordBeforeBlanks = m_ePrevious == EKind::Plain || m_ePrevious == EKind::Han;
        ++m_nStretch;
        m_ePrevious = eKind;
        m_chPrevious = ch;
    }
}

} // namespace relvane
