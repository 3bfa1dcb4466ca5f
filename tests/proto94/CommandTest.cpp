// The '94 command table and the step counter rules of 88H, 98H and 99H.
#include "Proto94TestUtil.h"
#include "proto94/Proto94Codec.h"
#include "proto94/Proto94Commands.h"

#include <gtest/gtest.h>
#include <set>

using namespace relvane;
using relvane::test::Bytes;

namespace
{

// What the command handler sends for the id: extra data by the command's rule, then BuildFrame.
Bytes Send(int nId, CProto94StepCounter& counter, std::uint8_t nGroup = 0)
{
    const CProto94Command* pCommand = FindProto94Command(nId);
    if (pCommand == nullptr)
        return {};
    std::uint8_t abExtra[2] = {};
    const int nExtra = PrepareProto94Extra(*pCommand, nGroup, counter, abExtra);
    Proto94Codec codec;
    std::uint8_t abOut[Proto94Codec::kMaxFrameLength] = {};
    const int nLength = codec.BuildFrame(pCommand->nCode, abOut, 1, 1, nExtra, abExtra);
    return nLength > 0 ? Bytes(abOut, abOut + nLength) : Bytes{};
}

} // namespace

TEST(Proto94Commands, TableRowsAndLookup)
{
    std::set<int> ids;
    for (std::size_t i = 0; i < kProto94CommandCount; ++i)
    {
        const CProto94Command& command = Proto94Commands()[i];
        EXPECT_GE(command.nId, kProto94FirstCommandId);
        EXPECT_LE(command.nId, kProto94LastCommandId);
        EXPECT_EQ(FindProto94Command(command.nId), &command);
        ids.insert(command.nId);
    }
    EXPECT_EQ(ids.size(), kProto94CommandCount);
    EXPECT_EQ(FindProto94Command(32808), nullptr);
    EXPECT_EQ(FindProto94Command(32791), nullptr);

    const CProto94Command* pPoll = FindProto94Command(kProto94PollCommandId);
    ASSERT_NE(pPoll, nullptr);
    EXPECT_STREQ(pPoll->pszCaption, "巡检(83H)");
    EXPECT_EQ(pPoll->nCode, 0x83);
    EXPECT_EQ(Proto94Prompt(*pPoll), "巡检");
    EXPECT_EQ(Proto94Prompt(*FindProto94Command(32822)), "召唤最后录波步骤2");
    EXPECT_EQ(FindProto94Command(32800)->eData, P94_DATA_CLOCK);
}

TEST(Proto94Commands, OnlyModifySettingsCommandsAreNeverEnabled)
{
    for (std::size_t i = 0; i < kProto94CommandCount; ++i)
    {
        const CProto94Command& command = Proto94Commands()[i];
        EXPECT_EQ(command.bEnabled, command.nId != 32803 && command.nId != 32804) << command.nId;
    }
}

TEST(Proto94Commands, ModifySettingsHasNoLayoutSoNothingIsSent)
{
    CProto94StepCounter counter;
    EXPECT_TRUE(Send(32803, counter).empty());
}

TEST(Proto94Commands, SettingGroupCommandsCarryCpuAndGroup)
{
    CProto94StepCounter counter;
    EXPECT_EQ(Send(32802, counter, 2), (Bytes{0x01, 0x85, 0x02, 0x01, 0x02, 0x35, 0x5D}));
    EXPECT_EQ(Send(32805, counter, 2), test::WithCrc({0x01, 0x90, 0x02, 0x01, 0x02}));
}

TEST(Proto94Commands, ToolbarOrder)
{
    const int* pIds = Proto94ToolbarIds();
    EXPECT_EQ(pIds[0], 32792);
    EXPECT_EQ(pIds[7], 32797);
    EXPECT_EQ(pIds[8], 0);
    EXPECT_EQ(pIds[kProto94ToolbarCount - 1], 32822);
}

TEST(StepCounter, RecordingStepTwoCountsFromStepOne)
{
    CProto94StepCounter counter;
    EXPECT_EQ(Send(32821, counter), test::WithCrc({0x01, 0x98, 0x01, 0x01}));
    EXPECT_EQ(Send(32822, counter), (Bytes{0x01, 0x99, 0x03, 0x01, 0x01, 0x00, 0x4D, 0xD9}));
    EXPECT_EQ(Send(32822, counter), test::WithCrc({0x01, 0x99, 0x03, 0x01, 0x02, 0x00}));
    // 88H resets the counter as well.
    Send(32799, counter);
    EXPECT_EQ(counter.Value(), 0);
    EXPECT_EQ(Send(32822, counter), test::WithCrc({0x01, 0x99, 0x03, 0x01, 0x01, 0x00}));
}

TEST(StepCounter, StartsAtZeroAndWrapsAfter65535)
{
    CProto94StepCounter counter;
    EXPECT_EQ(counter.Value(), 0);
    for (int i = 0; i < 65535; ++i)
        counter.Advance();
    EXPECT_EQ(counter.Value(), 65535);
    std::uint8_t abBytes[2] = {};
    counter.BuildBytes(abBytes);
    EXPECT_EQ(abBytes[0], 0xFF);
    EXPECT_EQ(abBytes[1], 0xFF);
    EXPECT_EQ(counter.Advance(), 0);
    EXPECT_EQ(Send(32822, counter), test::WithCrc({0x01, 0x99, 0x03, 0x01, 0x01, 0x00}));
}
