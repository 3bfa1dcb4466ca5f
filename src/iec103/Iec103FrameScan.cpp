#include "iec103/Iec103FrameScan.h"

#include "iec103/Iec103Codec.h"

namespace relvane
{
namespace
{

constexpr std::uint8_t kSingleAck = 0xE5;
constexpr std::uint8_t kFixedStart = 0x10;
constexpr std::uint8_t kVariableStart = 0x68;
constexpr std::uint8_t kEnd = 0x16;
constexpr int kFixedLength = 5;
constexpr int kVariableOverhead = 6; // 68 L L 68 before the L bytes, CS 16 after them

CScanResult None()
{
    return CScanResult{};
}

CScanResult More(bool bEnd, int nLength)
{
    return bEnd ? None() : CScanResult{SCAN_MORE, nLength, false};
}

CScanResult Frame(int nLength, bool bValid)
{
    return CScanResult{SCAN_FRAME, nLength, bValid};
}

} // namespace

CScanResult ScanIec103Frame(const std::uint8_t* pBytes, int nCount, bool bEnd)
{
    if (pBytes == nullptr || nCount < 1)
        return None();
    switch (pBytes[0])
    {
    case kSingleAck:
    {
        if (nCount == 1)
            return bEnd ? Frame(1, true) : More(false, 1);
        if (pBytes[1] == kSingleAck)
            return Frame(1, true);
        // Decided only once what follows is: the same bytes give the same pieces however the
        // reads cut them. At the end, the start of a frame behind it is enough.
        const ScanMatch eNext = ScanIec103Frame(pBytes + 1, nCount - 1, false).eMatch;
        if (eNext == SCAN_NONE)
            return None();
        return eNext == SCAN_FRAME || bEnd ? Frame(1, true) : More(false, 1);
    }
    case kFixedStart:
        if (nCount < kFixedLength)
            return More(bEnd, kFixedLength);
        if (pBytes[kFixedLength - 1] != kEnd)
            return None();
        return Frame(kFixedLength, pBytes[3] == static_cast<std::uint8_t>(pBytes[1] + pBytes[2]));
    case kVariableStart:
    {
        if (nCount >= 2 && pBytes[1] < Iec103Codec::kMinVariableLength)
            return None();
        if ((nCount >= 3 && pBytes[2] != pBytes[1]) || (nCount >= 4 && pBytes[3] != kVariableStart))
            return None();
        const int nLength = nCount >= 2 ? pBytes[1] + kVariableOverhead : 0xFF + kVariableOverhead;
        if (nCount < nLength)
            return More(bEnd, nCount < 2 ? nCount + 1 : nLength);
        if (pBytes[nLength - 1] != kEnd)
            return None();
        return Frame(nLength, pBytes[nLength - 2] == Iec103Codec::Checksum(pBytes + 4, pBytes[1]));
    }
    default:
        return None();
    }
}

} // namespace relvane
