// Command frames, the checksum test, BCD and the clock bytes of 81H.
#include "Proto94TestUtil.h"
#include "proto94/Bcd.h"
#include "proto94/Proto94Codec.h"

#include <gtest/gtest.h>

using namespace relvane;
using relvane::test::Bytes;

namespace
{

Bytes Build(std::uint8_t nCode, std::uint8_t nAddress, std::uint8_t nCpu, Bytes abExtra = {})
{
    Proto94Codec codec;
    std::uint8_t abOut[32] = {};
    const int nLength = codec.BuildFrame(nCode, abOut, nAddress, nCpu, static_cast<int>(abExtra.size()),
                                         abExtra.empty() ? nullptr : abExtra.data());
    if (nLength <= 0)
        return {};
    return Bytes(abOut, abOut + nLength);
}

} // namespace

TEST(BuildFrame, WorkedExamples)
{
    EXPECT_EQ(Build(0x83, 1, 1), (Bytes{0x01, 0x83, 0x00, 0x30, 0xF0}));
    EXPECT_EQ(Build(0x80, 1, 1), (Bytes{0x01, 0x80, 0x01, 0x01, 0xC0, 0x44}));
    EXPECT_EQ(Build(0x85, 1, 1, {0x02}), (Bytes{0x01, 0x85, 0x02, 0x01, 0x02, 0x35, 0x5D}));
    EXPECT_EQ(Build(0x99, 1, 1, {0x01, 0x00}), (Bytes{0x01, 0x99, 0x03, 0x01, 0x01, 0x00, 0x4D, 0xD9}));
}

TEST(BuildFrame, LengthOfEveryLayout)
{
    for (std::uint8_t nCode : {0x80, 0x86, 0x87, 0x88, 0x98})
    {
        const Bytes abFrame = Build(nCode, 7, 3);
        ASSERT_EQ(abFrame.size(), 6u) << int(nCode);
        EXPECT_EQ(abFrame[2], 1);
        EXPECT_EQ(abFrame[3], 3); // the CPU number
    }
    for (std::uint8_t nCode : {0x82, 0x83, 0x84, 0x8A, 0x8E, 0x9A})
        EXPECT_EQ(Build(nCode, 7, 3).size(), 5u) << int(nCode);
    for (std::uint8_t nCode : {0x85, 0x8F, 0x90})
        EXPECT_EQ(Build(nCode, 7, 3, {9}), (test::WithCrc({7, nCode, 2, 3, 9}))) << int(nCode);
    EXPECT_EQ(Build(0x99, 7, 3, {0x34, 0x12}), (test::WithCrc({7, 0x99, 3, 3, 0x34, 0x12})));
}

TEST(BuildFrame, CodesWithoutLayoutAreRefused)
{
    Proto94Codec codec;
    for (int nCode = 0; nCode < 256; ++nCode)
    {
        const bool bHasLayout = (nCode >= 0x80 && nCode <= 0x90 && nCode != 0x89 && nCode != 0x8B &&
                                 nCode != 0x8C && nCode != 0x8D) ||
                                nCode == 0x98 || nCode == 0x99 || nCode == 0x9A;
        std::uint8_t abOut[32] = {};
        const std::uint8_t abExtra[2] = {0, 0};
        const int nExtra = nCode == 0x99 ? 2 : (nCode == 0x85 || nCode == 0x8F || nCode == 0x90) ? 1 : 0;
        const int nLength = codec.BuildFrame(static_cast<std::uint8_t>(nCode), abOut, 1, 1, nExtra, abExtra);
        EXPECT_EQ(nLength > 0, bHasLayout) << "code " << nCode;
    }
}

TEST(BuildFrame, ExtraCountMustFitTheCode)
{
    Proto94Codec codec;
    std::uint8_t abOut[32] = {};
    const std::uint8_t abExtra[2] = {1, 2};
    EXPECT_EQ(codec.BuildFrame(0x85, abOut, 1, 1, 0, abExtra), -1);
    EXPECT_EQ(codec.BuildFrame(0x85, abOut, 1, 1, 2, abExtra), -1);
    EXPECT_EQ(codec.BuildFrame(0x90, abOut, 1, 1, 1, nullptr), -1);
    EXPECT_EQ(codec.BuildFrame(0x99, abOut, 1, 1, 1, abExtra), -1);
    EXPECT_EQ(codec.BuildFrame(0x99, abOut, 1, 1, 2, nullptr), -1);
    EXPECT_EQ(codec.BuildFrame(0x99, abOut, 1, 1, 2, abExtra), 8);
}

TEST(BuildFrame, ClockFrameCarriesTheBcdTimeWithoutCpu)
{
    Proto94Codec codec;
    std::uint8_t abOut[Proto94Codec::kMaxFrameLength] = {};
    BuildClockBytes(abOut, 2004, 3, 15, 8, 30, 45);
    const int nLength = codec.BuildFrame(0x81, abOut, 1, 0x55, 0, nullptr);
    EXPECT_EQ(Bytes(abOut, abOut + nLength),
              (Bytes{0x01, 0x81, 0x07, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45, 0x2A, 0xE8}));
}

TEST(Bcd, EncodesTensAndUnitsOfTheLowByte)
{
    EXPECT_EQ(EncodeBcd(0), 0x00);
    EXPECT_EQ(EncodeBcd(45), 0x45);
    EXPECT_EQ(EncodeBcd(99), 0x99);
    EXPECT_EQ(EncodeBcd(20), 0x20);
    EXPECT_EQ(EncodeBcd(256 + 12), 0x12); // only the low 8 bits count
}

TEST(Bcd, DecodesWithoutRejectingLargeNibbles)
{
    EXPECT_EQ(DecodeBcd(0x59), 59);
    EXPECT_EQ(DecodeBcd(0x0A), 10);
    EXPECT_EQ(DecodeBcd(0xFF), 165);
}

TEST(CheckFrame, AcceptsOnlyTheCrcLowByteFirst)
{
    Proto94Codec codec;
    const Bytes abPoll{0x01, 0x83, 0x00, 0x30, 0xF0};
    EXPECT_EQ(codec.CheckFrame(abPoll.data(), 5), 1);
    const Bytes abSwapped{0x01, 0x83, 0x00, 0xF0, 0x30};
    EXPECT_EQ(codec.CheckFrame(abSwapped.data(), 5), 0);
    Bytes abDamaged = abPoll;
    abDamaged[2] = 0x01;
    EXPECT_EQ(codec.CheckFrame(abDamaged.data(), 5), 0);
}

TEST(CheckFrame, TestsNothingButTheChecksum)
{
    Proto94Codec codec;
    // The length byte claims 9 data bytes; only the checksum decides.
    const Bytes abFrame = test::WithCrc({0x01, 0xB7, 0x09});
    EXPECT_EQ(codec.CheckFrame(abFrame.data(), static_cast<int>(abFrame.size())), 1);
    // Two bytes: the checksum of nothing is 0000H.
    const Bytes abZero{0x00, 0x00};
    EXPECT_EQ(codec.CheckFrame(abZero.data(), 2), 1);
}

TEST(CheckFrame, FewerThanTwoBytesAnswerZero)
{
    Proto94Codec codec;
    const std::uint8_t nByte = 0;
    EXPECT_EQ(codec.CheckFrame(&nByte, 1), 0);
    EXPECT_EQ(codec.CheckFrame(&nByte, 0), 0);
    EXPECT_EQ(codec.CheckFrame(&nByte, -3), 0);
    EXPECT_EQ(codec.CheckFrame(nullptr, 5), 0);
}
