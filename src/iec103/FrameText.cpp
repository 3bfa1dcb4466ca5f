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

namespace
{

constexpr std::size_t kMaxTokenShown = 24; // bytes of a refused token the message repeats

bool IsSpaceAt(std::string_view strText, std::size_t nPos, std::size_t& nWidth)
{
    const char c = strText[nPos];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f')
    {
        nWidth = 1;
        return true;
    }
    // The ideographic space a Chinese input method types.
    if (strText.substr(nPos, 3) == "\xE3\x80\x80")
    {
        nWidth = 3;
        return true;
    }
    return false;
}

// The byte a token stands for, or -1.
int TokenByte(std::string_view strToken, bool bHex)
{
    if (bHex && strToken.size() > 2 && strToken[0] == '0' && (strToken[1] == 'x' || strToken[1] == 'X'))
        strToken.remove_prefix(2);
    if (strToken.empty())
        return -1;
    int nValue = 0;
    for (const char c : strToken)
    {
        const int nDigit = DigitValue(c, bHex);
        if (nDigit < 0)
            return -1;
        nValue = nValue * (bHex ? 16 : 10) + nDigit;
        if (nValue > 0xFF)
            return -1;
    }
    return nValue;
}

// The token as the message shows it: cut after a few characters, never inside one.
std::string Shown(std::string_view strToken)
{
    if (strToken.size() <= kMaxTokenShown)
        return std::string(strToken);
    std::size_t nCut = kMaxTokenShown;
    while (nCut > 0 && (static_cast<unsigned char>(strToken[nCut]) & 0xC0) == 0x80)
        --nCut;
    return std::string(strToken.substr(0, nCut)) + "…";
}

} // namespace

CCheckedFrameText CheckFrameText(std::string_view strText, bool bHex, std::size_t nLimit)
{
    CCheckedFrameText result;
    std::size_t nPos = 0;
    std::size_t nWidth = 0;
    while (nPos < strText.size())
    {
        if (IsSpaceAt(strText, nPos, nWidth))
        {
            nPos += nWidth;
            continue;
        }
        std::size_t nEnd = nPos;
        while (nEnd < strText.size() && !IsSpaceAt(strText, nEnd, nWidth))
            ++nEnd;
        const std::string_view strToken = strText.substr(nPos, nEnd - nPos);
        const int nByte = TokenByte(strToken, bHex);
        if (nByte < 0)
        {
            const std::size_t nNumber = result.abBytes.size() + 1;
            result.abBytes.clear();
            result.strMessage = "第" + std::to_string(nNumber) + "个字节“" + Shown(strToken) +
                                (bHex ? "”不是十六进制的字节(00至FF)。" : "”不是十进制的字节(0至255)。");
            return result;
        }
        if (result.abBytes.size() >= nLimit)
        {
            result.abBytes.clear();
            result.strMessage = "报文超过" + std::to_string(nLimit) + "个字节。";
            return result;
        }
        result.abBytes.push_back(static_cast<std::uint8_t>(nByte));
        nPos = nEnd;
    }
    return result;
}

bool ConvertFrameText(std::string_view strText, bool bHexNow, std::string& strConverted,
                      std::string& strMessage)
{
    const CCheckedFrameText checked = CheckFrameText(strText, bHexNow, std::string::npos);
    strMessage = checked.strMessage;
    if (!checked.IsOk())
        return false;
    strConverted = FormatFrameText(checked.abBytes.data(), checked.abBytes.size(), !bHexNow);
    return true;
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
