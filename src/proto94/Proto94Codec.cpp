// Frame building, checking and the automatic answer of the '94 codec.
#include "proto94/Proto94Codec.h"

#include "proto94/Crc16.h"

namespace relvane
{
namespace
{

// Appends the CRC of pFrame[0 .. nBody-1] low byte first and returns the frame length.
int FinishFrame(std::uint8_t* pFrame, int nBody)
{
    const std::uint16_t nCrc = Crc16Arc(pFrame, static_cast<std::size_t>(nBody));
    pFrame[nBody] = static_cast<std::uint8_t>(nCrc & 0xFF);
    pFrame[nBody + 1] = static_cast<std::uint8_t>(nCrc >> 8);
    return nBody + 2;
}

} // namespace

int Proto94Codec::BuildFrame(std::uint8_t nCode, std::uint8_t* pOut, std::uint8_t nAddress, std::uint8_t nCpu,
                             int nExtraCount, const std::uint8_t* pExtra) const
{
    if (pOut == nullptr)
        return -1;
    int nDataLength = 0;
    switch (nCode)
    {
    case 0x80:
    case 0x86:
    case 0x87:
    case 0x88:
    case 0x98:
        pOut[3] = nCpu;
        nDataLength = 1;
        break;
    case 0x81:
        // The seven clock bytes are already in pOut[3..9] (BuildClockBytes).
        nDataLength = 7;
        break;
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x8A:
    case 0x8E:
    case 0x9A:
        nDataLength = 0;
        break;
    case 0x85:
    case 0x8F:
    case 0x90:
        if (nExtraCount != 1 || pExtra == nullptr)
            return -1;
        pOut[3] = nCpu;
        pOut[4] = pExtra[0];
        nDataLength = 2;
        break;
    case 0x99:
        if (nExtraCount != 2 || pExtra == nullptr)
            return -1;
        pOut[3] = nCpu;
        pOut[4] = pExtra[0];
        pOut[5] = pExtra[1];
        nDataLength = 3;
        break;
    default:
        return -1;
    }
    pOut[0] = nAddress;
    pOut[1] = nCode;
    pOut[2] = static_cast<std::uint8_t>(nDataLength);
    return FinishFrame(pOut, 3 + nDataLength);
}

int Proto94Codec::CheckFrame(const std::uint8_t* pFrame, int nLength) const
{
    if (pFrame == nullptr || nLength < 2)
        return 0;
    const int nBody = nLength - 2;
    const std::uint16_t nCrc = Crc16Arc(pFrame, static_cast<std::size_t>(nBody));
    const std::uint16_t nSent = static_cast<std::uint16_t>(pFrame[nBody] | (pFrame[nBody + 1] << 8));
    return nCrc == nSent ? 1 : 0;
}

int Proto94Codec::BuildAutoAnswer(std::uint8_t* pOut, const std::uint8_t* pFrame, int nLength) const
{
    // Bytes 0 (address), 1 (code), 3 (CPU) and 4 (request flags) are read: all must be present.
    if (pOut == nullptr || pFrame == nullptr || nLength < 5)
        return -1;
    const std::uint8_t nFlags = pFrame[4];
    if (pFrame[1] != 0xBA || nFlags == 0)
        return -1;
    const std::uint8_t nAddress = pFrame[0];
    const std::uint8_t nCpu = pFrame[3];
    if (nFlags & 0x01)
        return BuildFrame(0x86, pOut, nAddress, nCpu, 0, nullptr);
    if (nFlags & 0x02)
    {
        const std::uint8_t nAllGroups = 0xFF;
        return BuildFrame(0x85, pOut, nAddress, nCpu, 1, &nAllGroups);
    }
    if (nFlags & 0x0C)
        return BuildFrame(0x8A, pOut, nAddress, nCpu, 0, nullptr);
    return -1;
}

} // namespace relvane
