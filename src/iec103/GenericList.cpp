#include "iec103/GenericList.h"

#include "iec103/NumberScan.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace relvane
{
namespace
{

constexpr std::uint8_t kTypeUnsigned = 3;
constexpr std::uint8_t kTypeReal32 = 7;
constexpr std::uint8_t kTypeDoublePoint = 9;

// Decimal floating-point value at the start of the text, independent of the C locale; 0 when the
// text does not begin with a number.
float ReadFloat(std::string_view strText)
{
    std::size_t i = 0;
    while (i < strText.size() && (strText[i] == ' ' || strText[i] == '\t' || strText[i] == '\r' ||
                                  strText[i] == '\n' || strText[i] == '\v' || strText[i] == '\f'))
        ++i;
    if (i < strText.size() && strText[i] == '+')
        ++i;
    const char* pBegin = strText.data() + i;
    const char* pEnd = strText.data() + strText.size();
    float fValue = 0.0f;
    const auto result = std::from_chars(pBegin, pEnd, fValue, std::chars_format::general);
    if (result.ec == std::errc())
        return fValue;
    if (result.ec != std::errc::result_out_of_range)
        return 0.0f;
    // Out of the single range: like the C library, an overflow gives infinity and an underflow
    // zero, both with the sign typed.
    const bool bNegative = *pBegin == '-';
    double dValue = 0.0;
    if (std::from_chars(pBegin, pEnd, dValue, std::chars_format::general).ec == std::errc())
    {
        if (std::fabs(dValue) <= static_cast<double>(std::numeric_limits<float>::max()))
            return static_cast<float>(dValue);
        return bNegative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    }
    // Beyond the double range too: the sign of the exponent tells which way.
    const std::string_view strNumber(pBegin, static_cast<std::size_t>(result.ptr - pBegin));
    const std::size_t nExponent = strNumber.find_last_of("eE");
    const bool bUnderflow = nExponent != std::string_view::npos && nExponent + 1 < strNumber.size() &&
                            strNumber[nExponent + 1] == '-';
    if (bUnderflow)
        return bNegative ? -0.0f : 0.0f;
    return bNegative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
}

} // namespace

std::uint8_t LeadingNumber(std::string_view strText)
{
    std::uint8_t nValue = 0;
    for (const char c : strText)
    {
        if (c < '0' || c > '9')
            break;
        nValue = static_cast<std::uint8_t>(nValue * 10 + (c - '0'));
    }
    return nValue;
}

bool CGenericList::AddDataSet(std::uint8_t nGroup, std::uint8_t nEntry, std::string_view strKod,
                              std::string_view strType, std::uint8_t& nWidth, std::uint8_t& nNumber,
                              std::string_view strGid, bool bHex)
{
    int nOld = m_abData[0];
    if (nOld > kMaxUsed)
        return false;
    if (nOld == 0)
        nOld = 1; // the count byte is the first byte in use
    const std::uint8_t nKod = LeadingNumber(strKod);
    const std::uint8_t nType = LeadingNumber(strType);

    const int nFullSize = nWidth * nNumber;
    int nSize = nFullSize;
    std::uint8_t nNewWidth = nWidth;
    std::uint8_t nNewNumber = nNumber;
    if (nType == kTypeReal32 && nFullSize != 4)
    {
        nNewWidth = 4;
        nNewNumber = 1;
        nSize = 4;
    }
    else if (nType == kTypeDoublePoint && nFullSize != 1)
    {
        nNewWidth = 1;
        nNewNumber = 1;
        nSize = 1;
    }
    // Both the typed size and the size the type forces must fit, so that n never passes 240.
    if (nOld + 6 + nFullSize > kMaxUsed || nOld + 6 + nSize > kMaxUsed)
        return false;

    const int nNew = nOld + 6 + nSize;
    m_abData[0] = static_cast<std::uint8_t>(nNew);
    m_abData[1] = static_cast<std::uint8_t>(m_abData[1] + 1);
    std::uint8_t* p = m_abData.data() + nOld + 1;
    p[0] = nGroup;
    p[1] = nEntry;
    p[2] = nKod;
    p[3] = nType;
    p[4] = nNewWidth;
    p[5] = nNewNumber;
    std::uint8_t* pValue = p + 6;
    std::memset(pValue, 0, static_cast<std::size_t>(nSize));

    if (nType == kTypeUnsigned)
    {
        std::uint32_t nValue = 0;
        std::size_t nPos = 0;
        if (!ScanWholeNumber(strGid, nPos, bHex, nValue))
            nValue = 0;
        for (int i = 0; i < nSize && i < 4; ++i)
            pValue[i] = static_cast<std::uint8_t>(nValue >> (8 * i));
    }
    else if (nType == kTypeReal32)
    {
        const float fValue = ReadFloat(strGid);
        std::uint32_t nBits = 0;
        static_assert(sizeof nBits == sizeof fValue);
        std::memcpy(&nBits, &fValue, sizeof nBits);
        for (int i = 0; i < 4; ++i)
            pValue[i] = static_cast<std::uint8_t>(nBits >> (8 * i));
    }
    else if (nType == kTypeDoublePoint)
    {
        pValue[0] = LeadingNumber(strGid) <= 1 ? 1 : 2;
    }
    else
    {
        std::size_t nPos = 0;
        for (int i = 0; i < nSize; ++i)
        {
            std::uint32_t nValue = 0;
            if (!ScanWholeNumber(strGid, nPos, bHex, nValue))
                break;
            pValue[i] = static_cast<std::uint8_t>(nValue);
        }
    }
    nWidth = nNewWidth;
    nNumber = nNewNumber;
    return true;
}

bool CGenericList::AddIdentification(std::uint8_t nGroup, std::uint8_t nEntry, std::string_view strKod)
{
    const int nOld = m_abData[0];
    const int nCount = m_abData[1] + 1;
    const int nNew = m_abData[1] == 0 ? nOld + 4 : nOld + 3;
    // The position follows from the count; keep it inside the used part as well.
    if (nNew > kMaxUsed || 3 * nCount + 1 > kMaxUsed)
        return false;
    m_abData[0] = static_cast<std::uint8_t>(nNew);
    m_abData[1] = static_cast<std::uint8_t>(nCount);
    m_abData[3 * nCount - 1] = nGroup;
    m_abData[3 * nCount] = nEntry;
    m_abData[3 * nCount + 1] = LeadingNumber(strKod);
    return true;
}

void CGenericList::ClearGenericList()
{
    std::memset(m_abData.data(), 0, kMaxUsed + 1);
}

std::string CGenericList::ListText() const
{
    std::string strText;
    const int nUsed = m_abData[0] > kMaxUsed ? kMaxUsed : m_abData[0];
    for (int i = 2; i <= nUsed; ++i)
    {
        char szByte[4];
        std::snprintf(szByte, sizeof szByte, "%2.2X ", m_abData[static_cast<std::size_t>(i)]);
        strText += szByte;
    }
    return strText;
}

std::string CGenericList::CountText(GenericListKind kind) const
{
    char szText[64];
    std::snprintf(szText, sizeof szText,
                  kind == GenericListKind::Data ? "通用分类数据集数目  NGD :  %d"
                                                : "通用分类标识数目  NOG :  %d",
                  m_abData[1]);
    return szText;
}

CGenericListText FormatGenericList(const CGenericList& list, GenericListKind kind)
{
    return {list.ListText(), list.CountText(kind)};
}

} // namespace relvane
