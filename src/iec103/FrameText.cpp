#include "iec103/FrameText.h"

#include "iec103/NumberScan.h"

#include <cstdio>

namespace relvane
{

std::vector<std::uint8_t> ParseFrameText(std::string_view strText, bool bHex, std::size_t nLimit)
{
    std::vector<std::uint8_t> abBytes;
    std::size_t nPos = 0;
    std::uint32_t nValue = 0;
    while (abBytes.size() < nLimit && ScanWholeNumber(strText, nPos, bHex, nValue))
        abBytes.push_back(static_cast<std::uint8_t>(nValue));
    return abBytes;
}

std::string FormatFrameText(const std::uint8_t* pBytes, std::size_t nCount, bool bHex)
{
    std::string strText;
    strText.reserve(nCount * 4);
    for (std::size_t i = 0; i < nCount; ++i)
    {
        char szByte[8];
        std::snprintf(szByte, sizeof szByte, bHex ? "%2.2X " : "%d ", pBytes[i]);
        strText += szByte;
    }
    return strText;
}

CCompletedFrame CompleteFrame(const std::uint8_t* pBytes, std::size_t nCount)
{
    CCompletedFrame result;
    // Bytes not typed count as 0.
    const auto At = [&](std::size_t i) -> std::uint8_t { return i < nCount ? pBytes[i] : 0; };
    const std::uint8_t nStart = At(0);
    if (nStart == 0x10)
    {
        result.abFrame = {0x10, At(1), At(2), static_cast<std::uint8_t>(At(1) + At(2)), 0x16};
        return result;
    }
    if (nStart != 0x68)
    {
        result.strMessage = "启动字符错误";
        return result;
    }
    if (nCount < 8)
        result.strMessage = "报文长度不够";
    else if (At(3) != 0x68)
        result.strMessage = "启动字符不正确";
    else if (At(1) != At(2))
        result.strMessage = "报文长度不一致";
    else if (At(1) < 4)
        result.strMessage = "报文长度过短";
    if (!result.strMessage.empty())
        return result;

    const std::size_t nL = At(1);
    result.abFrame.reserve(nL + 6);
    std::uint8_t nSum = 0;
    for (std::size_t i = 0; i < nL + 4; ++i)
    {
        const std::uint8_t nByte = At(i);
        result.abFrame.push_back(nByte);
        if (i >= 4)
            nSum = static_cast<std::uint8_t>(nSum + nByte);
    }
    result.abFrame.push_back(nSum);
    result.abFrame.push_back(0x16);
    return result;
}

} // namespace relvane
