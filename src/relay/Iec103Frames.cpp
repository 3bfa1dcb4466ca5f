#include "relay/Iec103Frames.h"

#include "iec103/Iec103Codec.h"

#include <bit>

namespace relvane
{

CRelayBytes BuildAsduHeader(std::uint8_t nTyp, std::uint8_t nVsq, std::uint8_t nCot, std::uint8_t nAddress,
                            std::uint8_t nFun, std::uint8_t nInf)
{
    return {nTyp, nVsq, nCot, nAddress, nFun, nInf};
}

CRelayBytes BuildFixedFrame103(std::uint8_t nControl, std::uint8_t nAddress)
{
    return {0x10, nControl, nAddress, static_cast<std::uint8_t>(nControl + nAddress), 0x16};
}

CRelayBytes BuildVariableFrame103(std::uint8_t nControl, std::uint8_t nAddress, const CRelayBytes& abAsdu)
{
    const auto nLength = static_cast<std::uint8_t>(abAsdu.size() + 2);
    CRelayBytes abFrame;
    abFrame.reserve(abAsdu.size() + 8);
    for (const std::uint8_t b :
         {std::uint8_t{0x68}, nLength, nLength, std::uint8_t{0x68}, nControl, nAddress})
        abFrame.push_back(b);
    for (const std::uint8_t b : abAsdu)
        abFrame.push_back(b);
    abFrame.push_back(Iec103Codec::Checksum(abFrame.data() + 4, static_cast<int>(abFrame.size()) - 4));
    abFrame.push_back(0x16);
    return abFrame;
}

void AppendWord(CRelayBytes& ab, unsigned nValue)
{
    ab.push_back(static_cast<std::uint8_t>(nValue & 0xFF));
    ab.push_back(static_cast<std::uint8_t>((nValue >> 8) & 0xFF));
}

void AppendFloat(CRelayBytes& ab, float fValue)
{
    const auto nBits = std::bit_cast<std::uint32_t>(fValue);
    for (int i = 0; i < 4; ++i)
        ab.push_back(static_cast<std::uint8_t>((nBits >> (8 * i)) & 0xFF));
}

} // namespace relvane
