// The '94 relay against the workbench's own codec: every command is answered in a layout the
// interpreter reads, and the master's automatic answers drive it as they would a real relay.
#include "relay/Proto94Relay.h"

#include "TestBytes.h"
#include "proto94/Proto94Codec.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace relvane::test
{
namespace
{

constexpr std::int64_t kNow = 1'700'000'000'000;

class Proto94RelayTest : public ::testing::Test
{
protected:
    // The master's frame for a code (CPU 1, extra bytes as given), as the workbench builds it.
    CRelayBytes Command(std::uint8_t nCode, std::vector<std::uint8_t> abExtra = {}, std::uint8_t nAddress = 1)
    {
        std::uint8_t abFrame[Proto94Codec::kMaxFrameLength] = {};
        if (nCode == 0x81)
            std::copy(abExtra.begin(), abExtra.end(), abFrame + 3);
        const int nLength =
            m_master.BuildFrame(nCode, abFrame, nAddress, 1,
                                nCode == 0x81 ? 0 : static_cast<int>(abExtra.size()), abExtra.data());
        EXPECT_GT(nLength, 0) << int(nCode);
        return CRelayBytes(abFrame, abFrame + std::max(nLength, 0));
    }
    CRelayBytes Ask(std::uint8_t nCode, std::vector<std::uint8_t> abExtra = {})
    {
        const CRelayBytes abCommand = Command(nCode, abExtra);
        return m_relay.Answer(abCommand.data(), static_cast<int>(abCommand.size()), kNow);
    }
    std::string Text(const CRelayBytes& abFrame) const
    {
        std::string strText;
        m_master.Interpret(abFrame.data(), static_cast<int>(abFrame.size()), strText);
        return strText;
    }

    Proto94Codec m_master;
    CProto94Relay m_relay{1, KLR10, kNow};
};

TEST_F(Proto94RelayTest, EveryCommandGetsAFrameWithARightChecksumAndLength)
{
    struct CCase
    {
        std::uint8_t nCode;
        std::vector<std::uint8_t> abExtra;
        std::uint8_t nAnswer;
    };
    const CCase cases[] = {
        {0x80, {}, 0xB0},     {0x81, {0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45}, 0xB7},
        {0x82, {}, 0xB7},     {0x83, {}, 0xBA},
        {0x84, {}, 0xBA},     {0x85, {2}, 0xBD},
        {0x86, {}, 0xBE},     {0x87, {}, 0xB0},
        {0x88, {}, 0xB8},     {0x8A, {}, 0xB0},
        {0x8E, {}, 0xBA},     {0x8F, {2}, 0xBD},
        {0x90, {1}, 0xBA},    {0x98, {}, 0xCA},
        {0x99, {1, 0}, 0xC9}, {0x9A, {}, 0xBA},
    };
    for (const CCase& c : cases)
    {
        const CRelayBytes abAnswer = Ask(c.nCode, c.abExtra);
        ASSERT_GE(abAnswer.size(), 5u) << int(c.nCode);
        EXPECT_EQ(abAnswer[0], 1) << int(c.nCode);
        EXPECT_EQ(abAnswer[1], c.nAnswer) << int(c.nCode);
        EXPECT_EQ(abAnswer.size(), abAnswer[2] + 5u) << int(c.nCode);
        EXPECT_EQ(m_master.CheckFrame(abAnswer.data(), static_cast<int>(abAnswer.size())), 1) << int(c.nCode);
    }
}

TEST_F(Proto94RelayTest, PollRaisesAReportRequestThatTheMastersAutomaticAnswerFetches)
{
    CRelayBytes abAnswer = Ask(0x83);
    EXPECT_EQ(Hex(abAnswer).substr(0, 14), "01 BA 02 01 04"); // a report waits (bit 2)
    std::uint8_t abFollow[Proto94Codec::kMaxFrameLength];
    const int nFollow =
        m_master.BuildAutoAnswer(abFollow, abAnswer.data(), static_cast<int>(abAnswer.size()));
    ASSERT_EQ(nFollow, 5);
    EXPECT_EQ(abFollow[1], 0x8A);
    abAnswer = m_relay.Answer(abFollow, nFollow, kNow);
    EXPECT_EQ(abAnswer[1], 0xB0);
    EXPECT_NE(Text(abAnswer).find("装置上电"), std::string::npos) << Text(abAnswer);
    // Nothing waits now: a plain status answer that asks for nothing.
    abAnswer = Ask(0x83);
    EXPECT_EQ(abAnswer[4], 0);
    EXPECT_EQ(m_master.BuildAutoAnswer(abFollow, abAnswer.data(), static_cast<int>(abAnswer.size())), -1);
    // 84H repeats the last answer byte for byte.
    EXPECT_EQ(Ask(0x84), abAnswer);
}

TEST_F(Proto94RelayTest, SpontaneousEventsRaiseEachRequestFlag)
{
    Ask(0x8E); // drop the power-up report
    for (int i = 0; i < 5; ++i)
        m_relay.RaiseEvent(kNow + i);
    EXPECT_EQ(m_relay.RequestFlags(), 0x0D); // reports, extended reports, switch inputs
    EXPECT_EQ(m_relay.WaitingReports(), 6u);
    // The master answers bit 0 first: switch inputs, whose answer clears it.
    EXPECT_EQ(Ask(0x86)[1], 0xBE);
    EXPECT_EQ(m_relay.RequestFlags(), 0x0C);
    // Ordinary reports go first, then the extended one; each leaves the memory once sent.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Ask(0x8A)[1], 0xB0);
    const CRelayBytes abExtended = Ask(0x8A);
    EXPECT_EQ(abExtended[1], 0xCA);
    EXPECT_NE(Text(abExtended).find("相间距离Ⅰ段出口"), std::string::npos) << Text(abExtended);
    EXPECT_EQ(m_relay.RequestFlags(), 0);
}

TEST_F(Proto94RelayTest, ActiveGroupChangeAsksTheMasterToReadTheSettings)
{
    const CRelayBytes abAnswer = Ask(0x90, {3});
    EXPECT_EQ(abAnswer[4] & 0x02, 0x02);
    std::uint8_t abFollow[Proto94Codec::kMaxFrameLength];
    const int nFollow =
        m_master.BuildAutoAnswer(abFollow, abAnswer.data(), static_cast<int>(abAnswer.size()));
    ASSERT_EQ(Hex(abFollow, 5), "01 85 02 01 FF");
    const CRelayBytes abSettings = m_relay.Answer(abFollow, nFollow, kNow);
    EXPECT_EQ(abSettings[4], 3); // the active group stands in for FFH
    EXPECT_EQ(m_relay.RequestFlags() & 0x02, 0);
}

TEST_F(Proto94RelayTest, SettingsOfBothModelsCoverEveryKindAndVariantAndShowTheirNames)
{
    struct CCase
    {
        DeviceModel eModel;
        const char* pszFirst; // text the interpreter shows for the first records
    };
    for (const CCase& c : {CCase{KLR10, "控制字：1234\n突变量启动定值：0.20\n"},
                           CCase{KTR20, "控制字1：0F0F\n控制字2：0001\n控制字3：0000\n"}})
    {
        CProto94Relay relay(1, c.eModel, kNow);
        m_master.SetModel(c.eModel);
        const CRelayBytes abCommand = Command(0x85, {0});
        const CRelayBytes abSettings =
            relay.Answer(abCommand.data(), static_cast<int>(abCommand.size()), kNow);
        const std::string strText = Text(abSettings);
        EXPECT_EQ(strText.rfind(c.pszFirst, 0), 0u) << strText;
        // Walk the records as the interpreter does and collect the format bytes.
        std::set<std::uint8_t> formats;
        for (std::size_t p = 6; p + 2 < abSettings.size();)
        {
            const std::uint8_t nFormat = abSettings[p + 1];
            formats.insert(nFormat);
            const int nKind = (nFormat >> 3) & 7;
            const int nVariant = nFormat & 7;
            p += nKind == 1 ? 3 : (nKind == 2 && nVariant > 1) ? 2 : 4;
        }
        EXPECT_EQ(formats, (std::set<std::uint8_t>{0x08, 0x10, 0x11, 0x12, 0x18})) << int(c.eModel);
        EXPECT_NE(strText.find("：-"), std::string::npos) << "a negative value";
    }
}

TEST_F(Proto94RelayTest, ClockFollowsTheMastersSetting)
{
    const CRelayBytes abAnswer = Ask(0x81, {0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45});
    EXPECT_EQ(Text(abAnswer), "2004年03月15日 08:30:45.000 ");
    EXPECT_EQ(Text(m_relay.Answer(Command(0x82).data(), 5, kNow + 1500)), "2004年03月15日 08:30:46.500 ");
}

TEST_F(Proto94RelayTest, FramesForAnotherAddressOrWithoutMeaningGetNoAnswer)
{
    const CRelayBytes abOther = Command(0x83, {}, 2);
    EXPECT_TRUE(m_relay.Answer(abOther.data(), 5, kNow).empty());
    const CRelayBytes ab8C{1, 0x8C, 0, 0, 0};
    EXPECT_TRUE(m_relay.Answer(ab8C.data(), 5, kNow).empty());
}

} // namespace
} // namespace relvane::test
