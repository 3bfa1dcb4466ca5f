#include "relay/Eth103Peer.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace relvane::test
{
namespace
{

constexpr std::int64_t kNow = 1'700'000'000'000;

TEST(Eth103Peer, AnnouncesItselfAnswersAndSendsWhatItHasAtOnce)
{
    CEth103Peer peer(1, 1000, kNow);
    const std::vector<CRelayBytes> greeting = peer.OnConnected(kNow);
    ASSERT_EQ(greeting.size(), 1u);
    EXPECT_EQ(Hex(greeting[0]).substr(0, 35), "68 15 15 68 08 01 05 81 05 01 80 04");
    // A general interrogation typed by hand: the link answer, then every point at once.
    std::vector<CRelayBytes> received;
    const CRelayBytes abGi = Bytes("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    const std::vector<CRelayBytes> answers = peer.OnReceived(abGi.data(), abGi.size(), kNow, received);
    ASSERT_EQ(received.size(), 1u);
    ASSERT_GT(answers.size(), 2u);
    EXPECT_EQ(answers[0][0], 0x10);
    EXPECT_EQ(answers.back()[6], 8); // end of the interrogation
    // Events wait while the connection is down and go out once it stands.
    EXPECT_TRUE(peer.Idle(kNow + 1000, false).empty());
    EXPECT_EQ(peer.Idle(kNow + 1100, true).size(), 1u);
}

TEST(Eth103Peer, DescribesTheTimeAUdpFrameCarries)
{
    CRelayBytes abFrame(41, 0);
    abFrame[0] = 0xFF;
    EXPECT_EQ(CEth103Peer::DescribeUdpFrame(abFrame.data(), abFrame.size()), "41 bytes, no time");
    const CRelayBytes abTime = Bytes("FF 01 30 75 05 08 06 0C 1A");
    std::copy(abTime.begin(), abTime.end(), abFrame.begin());
    EXPECT_EQ(CEth103Peer::DescribeUdpFrame(abFrame.data(), abFrame.size()),
              "41 bytes, time 2026-12-06 08:05:30.000");
}

} // namespace
} // namespace relvane::test
