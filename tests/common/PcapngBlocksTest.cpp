#include "common/PcapngBlocks.h"

#include <gtest/gtest.h>

namespace relvane::pcapng
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Read32(const Bytes& ab, std::size_t nAt)
{
    return static_cast<std::uint32_t>(ab[nAt] | (ab[nAt + 1] << 8) | (ab[nAt + 2] << 16) |
                                      (static_cast<std::uint32_t>(ab[nAt + 3]) << 24));
}

// Every block: padded to 32 bits, its total length at both ends.
void ExpectWellFormed(const Bytes& ab, std::uint32_t nType)
{
    ASSERT_GE(ab.size(), 12u);
    EXPECT_EQ(ab.size() % 4, 0u);
    EXPECT_EQ(Read32(ab, 0), nType);
    EXPECT_EQ(Read32(ab, 4), ab.size());
    EXPECT_EQ(Read32(ab, ab.size() - 4), ab.size());
}

TEST(PcapngBlocks, BlocksAreFramedAndPadded)
{
    const Bytes shb = BuildSectionHeader("relvane");
    ExpectWellFormed(shb, 0x0A0D0D0A);
    EXPECT_EQ(Read32(shb, 8), 0x1A2B3C4Du);

    const Bytes idb = BuildInterfaceDescription(LINKTYPE_RTAC_SERIAL, "COM5");
    ExpectWellFormed(idb, 1);
    EXPECT_EQ(idb[8] | (idb[9] << 8), 250);

    struct CCase
    {
        Bytes abFrame;
        bool bInbound;
        std::uint32_t nFlags;
    };
    const CCase cases[] = {
        {{0x10, 0x5B, 0x01, 0x5C, 0x16}, false, 2},
        {{0xE5}, true, 1},
        {{}, true, 1},
        {{1, 2, 3, 4}, false, 2},
    };
    for (const CCase& test : cases)
    {
        const std::int64_t nTime = 0x123456789ALL;
        const Bytes epb = BuildEnhancedPacket(3, nTime, test.abFrame.data(),
                                              static_cast<int>(test.abFrame.size()), test.bInbound);
        ExpectWellFormed(epb, 6);
        EXPECT_EQ(Read32(epb, 8), 3u);
        EXPECT_EQ(Read32(epb, 12), 0x12u);
        EXPECT_EQ(Read32(epb, 16), 0x3456789Au);
        EXPECT_EQ(Read32(epb, 20), test.abFrame.size());
        EXPECT_EQ(Read32(epb, 24), test.abFrame.size());
        EXPECT_EQ(Bytes(epb.begin() + 28, epb.begin() + 28 + static_cast<long>(test.abFrame.size())),
                  test.abFrame);
        // The flags option (code 2, length 4) and the end of options close the block.
        const std::size_t nOption = epb.size() - 4 - 4 - 8;
        EXPECT_EQ(Read32(epb, nOption), 0x00040002u);
        EXPECT_EQ(Read32(epb, nOption + 4), test.nFlags);
        EXPECT_EQ(Read32(epb, nOption + 8), 0u);
    }
}

// An interface whose times are only good to a few milliseconds says so in if_tsresol (option 9,
// one byte: the power of ten); the default microseconds write no option.
TEST(PcapngBlocks, TimeResolutionIsStatedByTheInterface)
{
    const struct
    {
        std::int64_t nResolutionUs;
        int nExponent;
    } cases[] = {{0, 6}, {1, 6}, {9, 6}, {10, 5}, {2400, 3}, {17700, 2}, {100000, 1}, {5000000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TsExponentFor(c.nResolutionUs), c.nExponent) << c.nResolutionUs;
    const Bytes plain = BuildInterfaceDescription(LINKTYPE_USER0, "COM5");
    const Bytes coarse = BuildInterfaceDescription(LINKTYPE_USER0, "COM5", 3);
    ExpectWellFormed(coarse, 1);
    ASSERT_EQ(coarse.size(), plain.size() + 8);
    // Before the end of options: code 9, length 1, the exponent, padding.
    const std::size_t nOption = coarse.size() - 4 - 4 - 8;
    EXPECT_EQ(Read32(coarse, nOption), 0x00010009u);
    EXPECT_EQ(Read32(coarse, nOption + 4), 3u);
}

TEST(PcapngBlocks, RtacHeaderCarriesTimeAndDirection)
{
    EXPECT_EQ(BuildRtacHeader(1765000000123456LL, false),
              (Bytes{0x69, 0x33, 0xC3, 0x40, 0x00, 0x01, 0xE2, 0x40, 0x01, 0, 0, 0}));
    EXPECT_EQ(BuildRtacHeader(0, true), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0}));
}

TEST(PcapngBlocks, ExportedPduTagsNameDataProtocolAndDirection)
{
    // Dissector "data", protocol column "UDP" padded to 4 with the padding counted, direction,
    // end of tags.
    EXPECT_EQ(BuildExportedPduHeader("UDP", true),
              (Bytes{0,   12, 0, 4,  'd', 'a', 't', 'a', 0, 33, 0, 4, 'U', 'D',
                     'P', 0,  0, 35, 0,   4,   0,   0,   0, 1,  0, 0, 0,   0}));
    const Bytes abSent = BuildExportedPduHeader("TCP", false);
    EXPECT_EQ(Bytes(abSent.end() - 8, abSent.end()), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
} // namespace relvane::pcapng
