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
