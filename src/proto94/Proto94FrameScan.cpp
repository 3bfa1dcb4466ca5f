#include "proto94/Proto94FrameScan.h"

#include "proto94/Crc16.h"

namespace relvane
{
namespace
{

constexpr int kOverhead = 5; // address, code, length, two CRC bytes

} // namespace

CScanResult ScanProto94Frame(const std::uint8_t* pBytes, int nCount, bool bEnd)
{
    if (pBytes == nullptr || nCount < 1)
        return CScanResult{};
    const int nLength = nCount >= 3 ? pBytes[2] + kOverhead : kOverhead;
    if (nCount < nLength)
        return bEnd ? CScanResult{} : CScanResult{SCAN_MORE, nLength, false};
    const int nBody = nLength - 2;
    const std::uint16_t nCrc = Crc16Arc(pBytes, static_cast<std::size_t>(nBody));
    const auto nSent = static_cast<std::uint16_t>(pBytes[nBody] | (pBytes[nBody + 1] << 8));
    return nCrc == nSent ? CScanResult{SCAN_FRAME, nLength, true} : CScanResult{};
}

} // namespace relvane
