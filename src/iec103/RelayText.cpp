#include "iec103/RelayText.h"

#include "common/GbkDecoder.h"

#include <cstring>
#include <string_view>

namespace relvane
{
namespace
{

constexpr std::size_t kMaxDescriptionBytes = 255; // longest text shown

} // namespace

void AppendRelayText(CAnnotationText& text, const std::uint8_t* pBytes, std::size_t nCount)
{
    const void* pZero = std::memchr(pBytes, 0, nCount);
    if (pZero != nullptr)
        nCount = static_cast<std::size_t>(static_cast<const std::uint8_t*>(pZero) - pBytes);
    CAnnotationText piece(kMaxDescriptionBytes);
    CGbkDecoder gbk;
    std::size_t i = 0;
    while (i < nCount && !piece.IsFull())
    {
        const std::uint8_t c = pBytes[i];
        if (c < 0x80)
        {
            piece.Append(std::string_view(reinterpret_cast<const char*>(pBytes + i), 1));
            ++i;
            continue;
        }
        bool bConverted = false;
        char abOut[8];
        std::size_t nOut = 0;
        if (i + 1 < nCount && gbk.Decode(c, pBytes[i + 1], abOut, nOut))
        {
            piece.Append(std::string_view(abOut, nOut));
            bConverted = true;
        }
        if (bConverted)
            i += 2;
        else
        {
            piece.Append("?");
            ++i;
        }
    }
    text.Append(piece.Text());
}

} // namespace relvane
