#include "common/PcapngBlocks.h"

#include <algorithm>

namespace relvane::pcapng
{
namespace
{

constexpr std::uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionType = 0x00000001;
constexpr std::uint32_t kEnhancedPacketType = 0x00000006;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint32_t kSnapLength = 65535;
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kShbUserApplication = 4;
constexpr std::uint16_t kIfName = 2;
constexpr std::uint16_t kIfTsResol = 9;
constexpr std::uint16_t kEpbFlags = 2;
constexpr std::uint32_t kFlagInbound = 1;
constexpr std::uint32_t kFlagOutbound = 2;

void Put16(std::vector<std::uint8_t>& ab, std::uint16_t n)
{
    ab.push_back(static_cast<std::uint8_t>(n & 0xFF));
    ab.push_back(static_cast<std::uint8_t>(n >> 8));
}

void Put32(std::vector<std::uint8_t>& ab, std::uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        ab.push_back(static_cast<std::uint8_t>((n >> (8 * i)) & 0xFF));
}

void PadTo32(std::vector<std::uint8_t>& ab)
{
    while (ab.size() % 4 != 0)
        ab.push_back(0);
}

void PutOption(std::vector<std::uint8_t>& ab, std::uint16_t nCode, const std::uint8_t* pValue,
               std::size_t nLength)
{
    Put16(ab, nCode);
    Put16(ab, static_cast<std::uint16_t>(nLength));
    ab.insert(ab.end(), pValue, pValue + nLength);
    PadTo32(ab);
}

void PutTextOption(std::vector<std::uint8_t>& ab, std::uint16_t nCode, const std::string& strText)
{
    // An option holds at most 65535 bytes; names this long do not occur, but are cut, not wrapped.
    const std::size_t nLength = std::min<std::size_t>(strText.size(), 0xFFFF);
    PutOption(ab, nCode, reinterpret_cast<const std::uint8_t*>(strText.data()), nLength);
}

// Wraps a block body in its type and the two copies of its total length.
std::vector<std::uint8_t> Block(std::uint32_t nType, const std::vector<std::uint8_t>& abBody)
{
    std::vector<std::uint8_t> ab;
    const auto nTotal = static_cast<std::uint32_t>(abBody.size() + 12);
    ab.reserve(nTotal);
    Put32(ab, nType);
    Put32(ab, nTotal);
    ab.insert(ab.end(), abBody.begin(), abBody.end());
    Put32(ab, nTotal);
    return ab;
}

} // namespace

std::vector<std::uint8_t> BuildSectionHeader(const std::string& strApplication)
{
    std::vector<std::uint8_t> body;
    Put32(body, kByteOrderMagic);
    Put16(body, 1); // version 1.0
    Put16(body, 0);
    Put32(body, 0xFFFFFFFF); // section length not known in advance
    Put32(body, 0xFFFFFFFF);
    PutTextOption(body, kShbUserApplication, strApplication);
    Put32(body, kOptionEnd);
    return Block(kSectionHeaderType, body);
}

std::vector<std::uint8_t> BuildInterfaceDescription(LinkType eLinkType, const std::string& strName,
                                                    int nTsExponent)
{
    std::vector<std::uint8_t> body;
    Put16(body, eLinkType);
    Put16(body, 0);
    Put32(body, kSnapLength);
    PutTextOption(body, kIfName, strName);
    if (nTsExponent != 6)
    {
        const std::uint8_t nResolution = static_cast<std::uint8_t>(std::clamp(nTsExponent, 0, 9));
        PutOption(body, kIfTsResol, &nResolution, 1);
    }
    Put32(body, kOptionEnd);
    return Block(kInterfaceDescriptionType, body);
}

int TsExponentFor(std::int64_t nResolutionUs)
{
    int nExponent = 6;
    std::int64_t nUnitUs = 1;
    while (nExponent > 0 && nUnitUs * 10 <= nResolutionUs)
    {
        nUnitUs *= 10;
        --nExponent;
    }
    return nExponent;
}

std::vector<std::uint8_t> BuildEnhancedPacket(std::uint32_t nInterface, std::int64_t nTimeUs,
                                              const std::uint8_t* pBytes, int nLength, bool bInbound)
{
    const auto nOriginal = static_cast<std::uint32_t>(pBytes == nullptr ? 0 : std::max(nLength, 0));
    const std::uint32_t nCaptured = std::min(nOriginal, kSnapLength);
    const auto nTime = static_cast<std::uint64_t>(std::max<std::int64_t>(nTimeUs, 0));
    std::vector<std::uint8_t> body;
    body.reserve(nCaptured + 40);
    Put32(body, nInterface);
    Put32(body, static_cast<std::uint32_t>(nTime >> 32));
    Put32(body, static_cast<std::uint32_t>(nTime & 0xFFFFFFFF));
    Put32(body, nCaptured);
    Put32(body, nOriginal);
    if (nCaptured > 0)
        body.insert(body.end(), pBytes, pBytes + nCaptured);
    PadTo32(body);
    std::uint8_t abFlags[4];
    const std::uint32_t nFlags = bInbound ? kFlagInbound : kFlagOutbound;
    for (int i = 0; i < 4; ++i)
        abFlags[i] = static_cast<std::uint8_t>((nFlags >> (8 * i)) & 0xFF);
    PutOption(body, kEpbFlags, abFlags, sizeof abFlags);
    Put32(body, kOptionEnd);
    return Block(kEnhancedPacketType, body);
}

std::vector<std::uint8_t> BuildRtacHeader(std::int64_t nTimeUs, bool bInbound)
{
    const auto nTime = static_cast<std::uint64_t>(std::max<std::int64_t>(nTimeUs, 0));
    const auto nSeconds = static_cast<std::uint32_t>(nTime / 1000000);
    const auto nMicros = static_cast<std::uint32_t>(nTime % 1000000);
    std::vector<std::uint8_t> ab;
    ab.reserve(kRtacHeaderLength);
    for (const std::uint32_t n : {nSeconds, nMicros})
        for (int i = 3; i >= 0; --i)
            ab.push_back(static_cast<std::uint8_t>((n >> (8 * i)) & 0xFF));
    ab.push_back(bInbound ? kRtacRxStart : kRtacTxStart);
    ab.push_back(0); // control lines
    ab.push_back(0); // footer
    ab.push_back(0);
    return ab;
}

namespace
{
// Tags of Wireshark's exported PDUs: type and length big-endian, the value padded to 4 bytes
// with the padding counted in the length.
constexpr std::uint16_t kTagEnd = 0;
constexpr std::uint16_t kTagDissectorName = 12;
constexpr std::uint16_t kTagProtocolColumn = 33;
constexpr std::uint16_t kTagDirection = 35;
constexpr std::uint32_t kDirectionSent = 0;
constexpr std::uint32_t kDirectionReceived = 1;

void PutTag(std::vector<std::uint8_t>& ab, std::uint16_t nTag, const std::uint8_t* pValue,
            std::size_t nLength)
{
    const std::size_t nPadded = (nLength + 3) & ~std::size_t{3};
    for (const std::uint16_t n : {nTag, static_cast<std::uint16_t>(nPadded)})
    {
        ab.push_back(static_cast<std::uint8_t>(n >> 8));
        ab.push_back(static_cast<std::uint8_t>(n & 0xFF));
    }
    if (nLength > 0)
        ab.insert(ab.end(), pValue, pValue + nLength);
    ab.insert(ab.end(), nPadded - nLength, 0);
}

void PutTextTag(std::vector<std::uint8_t>& ab, std::uint16_t nTag, const std::string& strValue)
{
    PutTag(ab, nTag, reinterpret_cast<const std::uint8_t*>(strValue.data()), strValue.size());
}
} // namespace

std::vector<std::uint8_t> BuildExportedPduHeader(const std::string& strProtocol, bool bInbound)
{
    std::vector<std::uint8_t> ab;
    PutTextTag(ab, kTagDissectorName, "data");
    PutTextTag(ab, kTagProtocolColumn, strProtocol.substr(0, 64));
    const std::uint32_t nDirection = bInbound ? kDirectionReceived : kDirectionSent;
    const std::uint8_t abDirection[4] = {0, 0, 0, static_cast<std::uint8_t>(nDirection)};
    PutTag(ab, kTagDirection, abDirection, sizeof abDirection);
    PutTag(ab, kTagEnd, nullptr, 0);
    return ab;
}

} // namespace relvane::pcapng
