// The serial relay as a whole: frames cut from the byte stream, answered in their protocol, and
// the faults put on the answers.
#include "relay/RelaySession.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace relvane::test
{
namespace
{

constexpr std::int64_t kNow = 1'700'000'000'000;

TEST(RelayFrameReader, CutsTheStreamIntoFramesOfTheAcceptedProtocols)
{
    struct CCase
    {
        RelayProtocol eAccept;
        const char* pszStream;
        const char* pszFrames; // "94:..." / "103:..." per frame, separated by "|"
    };
    const CCase cases[] = {
        {RELAY_AUTO, "01 83 00 30 F0", "94:01 83 00 30 F0"},
        {RELAY_AUTO, "10 5B 01 5C 16 01 83 00 30 F0", "103:10 5B 01 5C 16|94:01 83 00 30 F0"},
        {RELAY_AUTO, "FF 00 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16",
         "103:68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16"},
        {RELAY_94, "10 5B 01 5C 16 01 83 00 30 F0", "94:01 83 00 30 F0"},
        {RELAY_103, "01 83 00 30 F0 10 49 01 4A 16", "103:10 49 01 4A 16"},
        {RELAY_AUTO, "01 83 00 30 F1 10 49 01 4B 16", ""}, // both checksums wrong
    };
    for (const CCase& c : cases)
    {
        CRelayFrameReader reader(c.eAccept);
        std::vector<CRelayFrame> frames;
        const CRelayBytes abStream = Bytes(c.pszStream);
        // Byte by byte, as a slow line delivers them.
        for (const std::uint8_t b : abStream)
            reader.Feed(&b, 1, frames);
        std::string strFrames;
        for (const CRelayFrame& frame : frames)
            strFrames += std::string(strFrames.empty() ? "" : "|") +
                         (frame.eProtocol == RELAY_103 ? "103:" : "94:") + Hex(frame.abBytes);
        EXPECT_EQ(strFrames, c.pszFrames) << c.pszStream;
    }
}

TEST(RelayFrameReader, AnIncompleteFrameWaitsUntilFlushed)
{
    CRelayFrameReader reader(RELAY_AUTO);
    std::vector<CRelayFrame> frames;
    const CRelayBytes abHalf = Bytes("68 09 09 68 73 01");
    reader.Feed(abHalf.data(), abHalf.size(), frames);
    EXPECT_TRUE(frames.empty());
    EXPECT_TRUE(reader.HasPartial());
    reader.Flush();
    const CRelayBytes abPoll = Bytes("01 83 00 30 F0");
    reader.Feed(abPoll.data(), abPoll.size(), frames);
    EXPECT_EQ(frames.size(), 1u);
}

TEST(RelaySession, BytesThatFormNoFrameAreReportedAtMostOnceASecond)
{
    CRelaySettings settings;
    settings.eProtocol = RELAY_103;
    CRelaySession session(settings, kNow);
    std::vector<CRelayExchange> exchanges;
    std::string strLine;
    EXPECT_FALSE(session.TakeIgnoredReport(kNow, strLine));
    // A master with a two-octet link address: its frames end where FT1.2 has no 16H.
    const CRelayBytes abWide = Bytes("10 5B 01 00 5C 16");
    session.Receive(abWide.data(), abWide.size(), kNow, exchanges);
    EXPECT_TRUE(exchanges.empty());
    ASSERT_TRUE(session.TakeIgnoredReport(kNow, strLine));
    EXPECT_EQ(strLine, "ignored 6 bytes: 10 5B 01 00 5C 16");
    // More within the second wait, counted; the line shows the first 16 bytes.
    for (int i = 0; i < 3; ++i)
        session.Receive(abWide.data(), abWide.size(), kNow + 100 * i, exchanges);
    EXPECT_FALSE(session.TakeIgnoredReport(kNow + 500, strLine));
    EXPECT_LE(session.Idle(kNow + 500), 500);
    // A frame cut off by silence is ignored too; a good frame is not.
    const CRelayBytes abCut = Bytes("10 49 01");
    session.Receive(abCut.data(), abCut.size(), kNow + 600, exchanges);
    session.Idle(kNow + 800);
    const CRelayBytes abGood = Bytes("10 49 01 4A 16");
    session.Receive(abGood.data(), abGood.size(), kNow + 900, exchanges);
    EXPECT_EQ(exchanges.size(), 1u);
    ASSERT_TRUE(session.TakeIgnoredReport(kNow + 1000, strLine));
    EXPECT_EQ(strLine, "ignored 21 bytes: 10 5B 01 00 5C 16 10 5B 01 00 5C 16 10 5B 01 00 …");
    EXPECT_FALSE(session.TakeIgnoredReport(kNow + 5000, strLine));
}

TEST(FaultInjector, EachFaultChangesTheWritesAsNamed)
{
    const CRelayBytes ab94 = Bytes("01 BA 02 01 00 B8 8B");
    const CRelayBytes ab103 = Bytes("10 09 01 0A 16");
    struct CCase
    {
        RelayFault eFault;
        bool bFt12;
        const char* pszWrites; // each write "delay:bytes", separated by "|"
    };
    const CCase cases[] = {
        {FAULT_NONE, false, "0:01 BA 02 01 00 B8 8B"},
        {FAULT_CHECKSUM, false, "0:01 BA 02 01 00 E2 8B"},
        {FAULT_CHECKSUM, true, "0:10 09 01 F5 16"},
        {FAULT_SPLIT, true, "0:10 09|80:01 0A 16"},
        {FAULT_SILENCE, false, ""},
        {FAULT_MERGE, true, "0:10 00 01 01 16 10 09 01 0A 16"},
    };
    for (const CCase& c : cases)
    {
        std::string strWrites;
        for (const CRelayWrite& write :
             CFaultInjector::Apply(c.eFault, c.bFt12, c.bFt12 ? ab103 : ab94, Bytes("10 00 01 01 16")))
            strWrites += std::string(strWrites.empty() ? "" : "|") + std::to_string(write.nDelayMs) + ":" +
                         Hex(write.abBytes);
        EXPECT_EQ(strWrites, c.pszWrites) << FaultName(c.eFault);
    }
}

TEST(FaultInjector, DrawsOnlyEnabledFaultsThatFitTheProtocol)
{
    unsigned nMask = 0;
    EXPECT_TRUE(ParseFaultList("nack", nMask));
    CFaultInjector nackOnly(100, nMask, 7);
    EXPECT_EQ(nackOnly.Draw(false), FAULT_NONE); // '94 has no link-layer refusal
    EXPECT_EQ(nackOnly.Draw(true), FAULT_NACK);
    CFaultInjector never(0, FAULT_ALL, 7);
    EXPECT_EQ(never.Draw(true), FAULT_NONE);
    EXPECT_TRUE(ParseFaultList("checksum,split,nack,silence,merge", nMask));
    EXPECT_EQ(nMask, unsigned{FAULT_ALL});
    EXPECT_FALSE(ParseFaultList("checksum,late", nMask));
    EXPECT_FALSE(ParseFaultList("", nMask));
}

TEST(RelaySession, AutoFollowsTheMasterFromOneProtocolToTheOther)
{
    CRelaySession session(CRelaySettings{}, kNow);
    std::vector<CRelayExchange> exchanges;
    const CRelayBytes abStream = Bytes("01 83 00 30 F0 10 49 01 4A 16");
    session.Receive(abStream.data(), abStream.size(), kNow, exchanges);
    ASSERT_EQ(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[0].eProtocol, RELAY_94);
    EXPECT_EQ(exchanges[0].abAnswer.at(1), 0xBA);
    EXPECT_EQ(exchanges[1].eProtocol, RELAY_103);
    EXPECT_EQ(Hex(exchanges[1].writes.at(0).abBytes), "10 2B 01 2C 16"); // link status, ACD: ident waits
}

TEST(RelaySession, NackLeavesTheFrameUntakenAndEventsComeAtTheirInterval)
{
    CRelaySettings settings;
    settings.nFaultRatePercent = 100;
    settings.nFaultMask = FAULT_NACK;
    settings.nEventIntervalMs = 1000;
    CRelaySession session(settings, kNow);
    std::vector<CRelayExchange> exchanges;
    const CRelayBytes abReset = Bytes("10 40 01 41 16");
    session.Receive(abReset.data(), abReset.size(), kNow, exchanges);
    EXPECT_EQ(Hex(exchanges.at(0).writes.at(0).abBytes), "10 0E 01 0F 16");
    EXPECT_EQ(session.Iec103().Class1Count(), 1u); // the power-up identification is still there
    EXPECT_EQ(session.Idle(kNow + 400), 600);
    session.Idle(kNow + 1000);
    session.Idle(kNow + 1500);
    EXPECT_EQ(session.Iec103().EventCount(), 1u);
    EXPECT_EQ(session.Proto94().WaitingReports(), 2u);
}

} // namespace
} // namespace relvane::test
