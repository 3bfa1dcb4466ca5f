// The automatic answer to a BAH report.
#include "Proto94TestUtil.h"
#include "proto94/Proto94Codec.h"

#include <gtest/gtest.h>

using namespace relvane;
using relvane::test::Bytes;

namespace
{

Bytes Answer(const Bytes& abFrame)
{
    Proto94Codec codec;
    std::uint8_t abOut[Proto94Codec::kMaxFrameLength] = {};
    const int nLength = codec.BuildAutoAnswer(abOut, abFrame.data(), static_cast<int>(abFrame.size()));
    if (nLength <= 0)
        return {};
    return Bytes(abOut, abOut + nLength);
}

Bytes Report(std::uint8_t nFlags)
{
    return test::WithCrc({0x01, 0xBA, 0x02, 0x03, nFlags});
}

} // namespace

TEST(BuildAutoAnswer, SettingsRequestAsksForAllGroupsOfTheReportedCpu)
{
    const Bytes abReport{0x01, 0xBA, 0x02, 0x03, 0x06, 0x39, 0xEA};
    EXPECT_EQ(test::WithCrc({0x01, 0xBA, 0x02, 0x03, 0x06}), abReport);
    EXPECT_EQ(Answer(abReport), (Bytes{0x01, 0x85, 0x02, 0x03, 0xFF, 0xF5, 0xBC}));
}

TEST(BuildAutoAnswer, LowestSetFlagAmongBitsZeroToThreeDecides)
{
    EXPECT_EQ(Answer(Report(0x01)), test::WithCrc({0x01, 0x86, 0x01, 0x03}));
    EXPECT_EQ(Answer(Report(0xFF)), test::WithCrc({0x01, 0x86, 0x01, 0x03}));
    EXPECT_EQ(Answer(Report(0x02)), test::WithCrc({0x01, 0x85, 0x02, 0x03, 0xFF}));
    EXPECT_EQ(Answer(Report(0x04)), test::WithCrc({0x01, 0x8A, 0x00}));
    EXPECT_EQ(Answer(Report(0x08)), test::WithCrc({0x01, 0x8A, 0x00}));
    EXPECT_EQ(Answer(Report(0x1C)), test::WithCrc({0x01, 0x8A, 0x00}));
}

TEST(BuildAutoAnswer, AddressAndCpuComeFromTheReport)
{
    EXPECT_EQ(Answer(test::WithCrc({0x2A, 0xBA, 0x02, 0x07, 0x01})), test::WithCrc({0x2A, 0x86, 0x01, 0x07}));
}

TEST(BuildAutoAnswer, NoAnswerDue)
{
    EXPECT_TRUE(Answer(Report(0x10)).empty());
    EXPECT_TRUE(Answer(Report(0xF0)).empty());
    EXPECT_TRUE(Answer(Report(0x00)).empty());
    EXPECT_TRUE(Answer(test::WithCrc({0x01, 0xB0, 0x02, 0x03, 0x01})).empty());
    EXPECT_TRUE(Answer(test::WithCrc({0x01, 0xBB, 0x02, 0x03, 0x01})).empty());
}

TEST(BuildAutoAnswer, ReportTooShortForItsFlagsGetsNoAnswer)
{
    EXPECT_TRUE(Answer({0x01, 0xBA, 0x02, 0x03}).empty());
    EXPECT_TRUE(Answer({0x01, 0xBA}).empty());
    EXPECT_TRUE(Answer({}).empty());
    // Five bytes carry the flags; the checksum is the receive path's business, not this one's.
    EXPECT_EQ(Answer({0x01, 0xBA, 0x02, 0x03, 0x01}), test::WithCrc({0x01, 0x86, 0x01, 0x03}));
}
