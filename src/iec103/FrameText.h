#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// Reads whole numbers separated by white space (decimal, or hexadecimal with or without 0x) from
// the start of the text, stopping at the first thing that is not a number; keeps the low byte of
// each and at most nLimit bytes.
std::vector<std::uint8_t> ParseFrameText(std::string_view strText, bool bHex, std::size_t nLimit);

// A hand-typed frame, checked: every token (separated by white space) must be one byte in the
// base: hexadecimal one or more digits with an optional 0x prefix and a value up to FF, decimal
// digits with a value up to 255. The bytes, or the message that names the first token that is no
// byte (and then no bytes). More than nLimit bytes are refused too.
struct CCheckedFrameText
{
    std::vector<std::uint8_t> abBytes;
    std::string strMessage; // UTF-8, empty when the text was good
    bool IsOk() const { return strMessage.empty(); }
};
CCheckedFrameText CheckFrameText(std::string_view strText, bool bHex, std::size_t nLimit);

// The typed text written in the other base (bHexNow the base it is in), or false with the
// message of CheckFrameText.
bool ConvertFrameText(std::string_view strText, bool bHexNow, std::string& strConverted,
                      std::string& strMessage);

// Each byte as "%d " (decimal) or "%2.2X " (hexadecimal), concatenated.
std::string FormatFrameText(const std::uint8_t* pBytes, std::size_t nCount, bool bHex);

// Outcome of CompleteFrame: the completed frame, or the message to show (frame then empty).
struct CCompletedFrame
{
    std::vector<std::uint8_t> abFrame;
    std::string strMessage; // UTF-8: "报文长度不够", "启动字符不正确", "报文长度不一致", "报文长度过短",
                            // "启动字符错误"
    bool IsFrame() const { return strMessage.empty(); }
};

// Completes a typed FT1.2 frame with its checksum and end character after checking its header.
CCompletedFrame CompleteFrame(const std::uint8_t* pBytes, std::size_t nCount);
inline CCompletedFrame CompleteFrame(const std::vector<std::uint8_t>& abBytes)
{
    return CompleteFrame(abBytes.data(), abBytes.size());
}

} // namespace relvane
