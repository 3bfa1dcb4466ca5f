#pragma once

#include <cstddef>
#include <cstdint>

namespace relvane
{

// One two-byte GBK character to UTF-8: through iconv (GbkDecoderPosix.cpp), or the system's code page
// 936 on Windows (GbkDecoderWin.cpp). A decoder is made per text, not shared between threads.
class CGbkDecoder
{
public:
    CGbkDecoder();
    ~CGbkDecoder();
    CGbkDecoder(const CGbkDecoder&) = delete;
    CGbkDecoder& operator=(const CGbkDecoder&) = delete;

    // The character's UTF-8 bytes in abOut and their count in nOut; false when the pair is not GBK.
    bool Decode(std::uint8_t nLead, std::uint8_t nTrail, char (&abOut)[8], std::size_t& nOut) const;

private:
    void* m_pConverter = nullptr; // the open conversion, where the system keeps one
};

} // namespace relvane
