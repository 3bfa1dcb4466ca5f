#include "TestBytes.h"
#include "iec103/Iec103Codec.h"
#include "iec103/UdpFrame.h"

#include <array>
#include <gtest/gtest.h>

namespace
{

using relvane::CommandParams;
using relvane::Iec103Codec;
using relvane::test::Bytes;
using relvane::test::Hex;

struct CodecFixture : ::testing::Test
{
    Iec103Codec codec;
    std::array<std::uint8_t, 8192> out{};

    std::string Build(int (Iec103Codec::*build)(std::uint8_t*))
    {
        const int n = (codec.*build)(out.data());
        return n > 0 ? Hex(out.data(), n) : std::string();
    }
    int Build(int (Iec103Codec::*build)(std::uint8_t*, const CommandParams&), const CommandParams& params)
    {
        return (codec.*build)(out.data(), params);
    }
};

// Independent frame check: header, repeated L, sum over C..ASDU, end character.
void ExpectWellFormed(const std::uint8_t* p, int n)
{
    ASSERT_GE(n, 6);
    const int nL = p[1];
    EXPECT_EQ(n, nL + 6);
    EXPECT_EQ(p[0], 0x68);
    EXPECT_EQ(p[2], p[1]);
    EXPECT_EQ(p[3], 0x68);
    unsigned nSum = 0;
    for (int i = 4; i < 4 + nL; ++i)
        nSum += p[i];
    EXPECT_EQ(p[4 + nL], nSum % 256);
    EXPECT_EQ(p[5 + nL], 0x16);
}

TEST_F(CodecFixture, FcbAlternatesOverClass1AndClass2Requests)
{
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass1), "10 5A 01 5B 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass1), "10 7A 01 7B 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass2), "10 5B 01 5C 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass2), "10 7B 01 7C 16");
    // Link status leaves the flag alone.
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestLinkStatus), "10 49 01 4A 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass2), "10 5B 01 5C 16");
}

TEST_F(CodecFixture, ResetsSendFcvZeroAndMakeTheNextFcbOne)
{
    EXPECT_EQ(Build(&Iec103Codec::BuildResetCu), "10 40 01 41 16");
    EXPECT_EQ(codec.FcbFlag(), 1);
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass1), "10 7A 01 7B 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildResetFcb), "10 47 01 48 16");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass2), "10 7B 01 7C 16");
}

TEST_F(CodecFixture, ResetThenGeneralInterrogation)
{
    Build(&Iec103Codec::BuildResetCu);
    const int n = Build(&Iec103Codec::BuildGeneralInterrogation, CommandParams{});
    EXPECT_EQ(Hex(out.data(), n), "68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    EXPECT_EQ(codec.FcbFlag(), 0);
    EXPECT_EQ(codec.RiiCounter(), 1);
}

TEST_F(CodecFixture, AddressesGoIntoEveryFrame)
{
    codec.SetLinkAddress(0x22);
    codec.SetCommonAddress(0x33);
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass1), "10 5A 22 7C 16");
    const int n = Build(&Iec103Codec::BuildGeneralInterrogation, CommandParams{});
    ExpectWellFormed(out.data(), n);
    EXPECT_EQ(out[5], 0x22);
    EXPECT_EQ(out[9], 0x33);
}

TEST_F(CodecFixture, TimeSyncWithoutConfirmationKeepsTheFcb)
{
    const std::uint8_t data[] = {7, 0xC0, 0xDA, 0x22, 0x0C, 0x05, 0x06, 0x1A};
    CommandParams params;
    params.pData = data;
    const int n = Build(&Iec103Codec::BuildTimeSync, params);
    ASSERT_EQ(n, 21);
    ExpectWellFormed(out.data(), n);
    EXPECT_EQ(Hex(out.data(), 19), "68 0F 0F 68 44 01 06 81 08 01 FF 00 C0 DA 22 0C 05 06 1A");
    EXPECT_EQ(Build(&Iec103Codec::BuildRequestClass2), "10 5B 01 5C 16");

    params.bConfirm = 1;
    ASSERT_EQ(Build(&Iec103Codec::BuildTimeSync, params), 21);
    EXPECT_EQ(out[4], 0x73);
    EXPECT_EQ(codec.RiiCounter(), 0); // time sync does not use the counter
}

TEST_F(CodecFixture, GeneralCommandDcoAndRii)
{
    for (const int nIndex : {0, 1, 2, 255})
    {
        const std::uint8_t data[] = {1, static_cast<std::uint8_t>(nIndex)};
        CommandParams params;
        params.nFun = 0xFF;
        params.nInf = 19;
        params.pData = data;
        const int n = Build(&Iec103Codec::BuildGeneralCommand, params);
        ASSERT_EQ(n, 16);
        ExpectWellFormed(out.data(), n);
        EXPECT_EQ(out[4], 0x44);
        EXPECT_EQ(Hex(out.data() + 6, 8).substr(0, 17), "14 81 14 01 FF 13");
        EXPECT_EQ(out[12], nIndex > 1 ? 2 : 1) << nIndex;
    }
    EXPECT_EQ(out[13], 3); // RII of the fourth command
    EXPECT_EQ(codec.FcbFlag(), 0);
}

TEST_F(CodecFixture, GenericCommandCauseFollowsInf)
{
    const std::uint8_t data[] = {4, 1, 1, 1, 1};
    CommandParams params;
    params.pData = data;
    params.nInf = 245;
    int n = Build(&Iec103Codec::BuildGenericCommand, params);
    ASSERT_EQ(n, 19);
    ExpectWellFormed(out.data(), n);
    EXPECT_EQ(Hex(out.data() + 4, 13), "53 01 15 81 09 01 FE F5 00 01 01 01 01");
    params.nInf = 244;
    n = Build(&Iec103Codec::BuildGenericCommand, params);
    EXPECT_EQ(Hex(out.data() + 4, 8), "73 01 15 81 2A 01 FE F4");
    EXPECT_EQ(out[12], 1);
}

TEST_F(CodecFixture, GenericDataHoldsUpTo240Bytes)
{
    std::vector<std::uint8_t> data(242, 0xAB);
    data[0] = 240;
    CommandParams params;
    params.pData = data.data();
    params.nInf = 249;
    const int n = Build(&Iec103Codec::BuildGenericData, params);
    ASSERT_EQ(n, 255);
    EXPECT_EQ(out[1], 249);
    ExpectWellFormed(out.data(), n);
    EXPECT_EQ(Hex(out.data() + 6, 6), "0A 81 28 01 FE F9");
}

TEST_F(CodecFixture, DisturbanceOrderAndAck)
{
    const std::uint8_t data[] = {5, 8, 1, 0x34, 0x12, 3};
    CommandParams params;
    params.nFun = 0x80;
    params.nInf = 0;
    params.pData = data;
    int n = Build(&Iec103Codec::BuildDisturbanceOrder, params);
    ASSERT_EQ(n, 19);
    ExpectWellFormed(out.data(), n);
    EXPECT_EQ(Hex(out.data() + 4, 13), "53 01 18 81 1F 01 80 00 08 01 34 12 03");
    n = Build(&Iec103Codec::BuildDisturbanceAck, params);
    ASSERT_EQ(n, 19);
    EXPECT_EQ(Hex(out.data() + 4, 4), "73 01 19 81");
    EXPECT_EQ(codec.RiiCounter(), 0);
}

TEST_F(CodecFixture, RefusedBuildsChangeNothing)
{
    Build(&Iec103Codec::BuildRequestClass1); // flag now 1
    std::vector<std::uint8_t> tooLong(243, 0);
    tooLong[0] = 241;
    const std::uint8_t wrong6[] = {6, 0, 0, 0, 0, 0, 0};
    const std::uint8_t wrong2[] = {2, 1, 1};
    const std::uint8_t wrong4[] = {4, 1, 1, 1, 1};
    CommandParams none;
    CommandParams longer;
    longer.pData = tooLong.data();
    CommandParams six;
    six.pData = wrong6;
    six.bConfirm = 1;
    CommandParams two;
    two.pData = wrong2;
    two.bConfirm = 1;
    CommandParams four;
    four.pData = wrong4;
    for (const CommandParams* p : {&none, &longer, &six, &two, &four})
    {
        EXPECT_EQ(Build(&Iec103Codec::BuildTimeSync, *p), 0);
        EXPECT_EQ(Build(&Iec103Codec::BuildGeneralCommand, *p), 0);
        EXPECT_EQ(Build(&Iec103Codec::BuildDisturbanceOrder, *p), 0);
        EXPECT_EQ(Build(&Iec103Codec::BuildDisturbanceAck, *p), 0);
    }
    EXPECT_EQ(Build(&Iec103Codec::BuildGenericCommand, none), 0);
    EXPECT_EQ(Build(&Iec103Codec::BuildGenericData, longer), 0);
    EXPECT_EQ(codec.FcbFlag(), 1);
    EXPECT_EQ(codec.RiiCounter(), 0);
}

TEST_F(CodecFixture, RiiCounterWrapsAfter256Uses)
{
    const std::uint8_t empty[] = {0};
    CommandParams params;
    params.pData = empty;
    for (int i = 0; i < 256; ++i)
    {
        const int n = Build(&Iec103Codec::BuildGenericData, params);
        ASSERT_EQ(n, 15);
        ASSERT_EQ(out[12], static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(codec.RiiCounter(), 0);
    Build(&Iec103Codec::BuildGeneralInterrogation, params);
    EXPECT_EQ(out[12], 0); // SCN shares the counter
    EXPECT_EQ(codec.RiiCounter(), 1);
}

TEST(Iec103CheckFrame, FixedAndVariableRules)
{
    const auto fixed = Bytes("10 5A 01 5B 16");
    EXPECT_TRUE(Iec103Codec::CheckFrame(fixed.data(), 5));
    const auto badFixed = Bytes("10 5A 01 5C 16");
    EXPECT_FALSE(Iec103Codec::CheckFrame(badFixed.data(), 5));
    const auto gi = Bytes("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    EXPECT_TRUE(Iec103Codec::CheckFrame(gi.data(), 15));
    auto wrongSum = gi;
    wrongSum[13] = 0x06;
    EXPECT_FALSE(Iec103Codec::CheckFrame(wrongSum.data(), 15));
    const auto ack = Bytes("E5");
    EXPECT_TRUE(Iec103Codec::CheckSingleAck(ack.data(), 1));
    EXPECT_FALSE(Iec103Codec::CheckSingleAck(fixed.data(), 5));
    EXPECT_FALSE(Iec103Codec::CheckSingleAck(nullptr, 1));
}

// FT1.2 rejects damaged framing whatever the sum says; each of these has a fitting checksum.
TEST(Iec103CheckFrame, DamagedFramingIsRejected)
{
    const struct
    {
        const char* pszWhat;
        const char* pszFrame;
    } cases[] = {
        {"fixed frame, odd start", "55 5A 01 5B 16"},
        {"fixed frame, no end character", "10 5A 01 5B 00"},
        {"L differs from L'", "68 09 49 68 73 01 07 81 09 01 FF 00 00 05 16"},
        {"second start character", "68 09 09 78 73 01 07 81 09 01 FF 00 00 05 16"},
        {"first start character", "69 09 09 68 73 01 07 81 09 01 FF 00 00 05 16"},
        {"end character", "68 09 09 68 73 01 07 81 09 01 FF 00 00 05 17"},
        {"longer than L + 6", "68 09 09 68 73 01 07 81 09 01 FF 00 00 05 00 16"},
        {"L too small for C and A", "68 01 01 68 05 05 16"},
    };
    for (const auto& c : cases)
    {
        const auto frame = Bytes(c.pszFrame);
        EXPECT_FALSE(Iec103Codec::CheckFrame(frame.data(), static_cast<int>(frame.size()))) << c.pszWhat;
    }
}

TEST(Iec103CheckFrame, ChunkShorterThanItsLengthIsInvalidAndNotReadPast)
{
    // A heap copy of exactly the chunk lets the sanitizer catch any read past it.
    const auto gi = Bytes("68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16");
    for (int n = 5; n < 15; ++n)
    {
        std::vector<std::uint8_t> chunk(gi.begin(), gi.begin() + n);
        if (n == 5)
            continue; // five bytes follow the fixed-frame rule
        EXPECT_FALSE(Iec103Codec::CheckFrame(chunk.data(), n)) << n;
    }
    const auto claimsMore = Bytes("68 FF FF 68 00 00 00 00");
    EXPECT_FALSE(Iec103Codec::CheckFrame(claimsMore.data(), 8));
    EXPECT_FALSE(Iec103Codec::CheckFrame(gi.data(), 4));
}

TEST_F(CodecFixture, AutoAnswerFollowsAcdAndLinkFailure)
{
    codec.SetLinkAddress(9);
    const auto ackWithAcd = Bytes("10 20 01 21 16");
    ASSERT_EQ(codec.AutoAnswer(out.data(), ackWithAcd.data(), 5), 5);
    EXPECT_EQ(Hex(out.data(), 5), "10 5A 01 5B 16");

    const auto notFunctioning = Bytes("10 0E 05 13 16");
    ASSERT_EQ(codec.AutoAnswer(out.data(), notFunctioning.data(), 5), 5);
    EXPECT_EQ(Hex(out.data(), 5), "10 40 09 49 16");
    EXPECT_EQ(codec.FcbFlag(), 1);

    const auto both = Bytes("10 2E 01 2F 16");
    ASSERT_EQ(codec.AutoAnswer(out.data(), both.data(), 5), 5);
    EXPECT_EQ(Hex(out.data(), 5), "10 40 09 49 16");

    const auto variableAcd = Bytes("68 09 09 68 28 07 05 81 01 01 FF 00 00 00 16");
    ASSERT_EQ(codec.AutoAnswer(out.data(), variableAcd.data(), 15), 5);
    EXPECT_EQ(Hex(out.data(), 5), "10 7A 07 81 16");

    auto noAcd = variableAcd;
    noAcd[4] = 0x08;
    EXPECT_EQ(codec.AutoAnswer(out.data(), noAcd.data(), 15), -1);
    const auto plainAck = Bytes("10 00 01 01 16");
    EXPECT_EQ(codec.AutoAnswer(out.data(), plainAck.data(), 5), -1);
    const auto other = Bytes("E5 20 01 21 16");
    EXPECT_EQ(codec.AutoAnswer(out.data(), other.data(), 5), -1);
    EXPECT_EQ(codec.FcbFlag(), 0); // only the answers above moved it
}

// Steps: "c1"/"c2"/"gi" build and give the control byte, "ok" a valid answer came, "lost" a
// time-out or a garbled answer, "reset" the reset of the communication unit.
std::string RunFcbSteps(Iec103Codec& codec, const std::vector<std::string>& steps)
{
    std::array<std::uint8_t, 256> out{};
    std::string strControls;
    for (const std::string& step : steps)
    {
        if (step == "ok")
            codec.ConfirmFcb();
        else if (step == "lost")
            codec.RestoreFcb();
        else if (step == "reset")
            codec.BuildResetCu(out.data());
        else
        {
            const CommandParams params;
            if (step == "c1")
                codec.BuildRequestClass1(out.data());
            else if (step == "c2")
                codec.BuildRequestClass2(out.data());
            else
                codec.BuildGeneralInterrogation(out.data(), params);
            strControls += (strControls.empty() ? "" : " ") + Hex(&out[step == "gi" ? 4 : 1], 1);
        }
    }
    return strControls;
}

TEST(Iec103Fcb, MovesOnOnlyWhenTheRelayAnswered)
{
    const struct
    {
        const char* pszWhat;
        std::vector<std::string> steps;
        const char* pszControls;
    } cases[] = {
        {"answered requests alternate", {"c2", "ok", "c2", "ok", "c1", "ok", "gi"}, "5B 7B 5A 73"},
        {"a lost answer is asked for again", {"c2", "lost", "c2", "ok", "c2"}, "5B 5B 7B"},
        {"losses in a row keep the bit",
         {"c1", "ok", "c2", "lost", "c1", "lost", "gi", "ok", "c2"},
         "5A 7B 7A 73 5B"},
        {"a late good answer after a garbled one", {"c2", "lost", "ok", "c2"}, "5B 7B"},
        {"nothing to take back once answered", {"c2", "ok", "lost", "c2"}, "5B 7B"},
        {"a reset sets the bit whatever was lost", {"c2", "reset", "lost", "c2", "lost", "c2"}, "5B 7B 7B"},
        // Building without answers still alternates, as it always did.
        {"no verdict, plain alternation", {"c2", "c2", "c1"}, "5B 7B 5A"},
    };
    for (const auto& c : cases)
    {
        Iec103Codec codec;
        EXPECT_EQ(RunFcbSteps(codec, c.steps), c.pszControls) << c.pszWhat;
    }
}

TEST(Iec103Fcb, OnlyAnswersToFcvFramesConfirm)
{
    const struct
    {
        const char* pszFrame;
        bool bAnswersFcb;
    } cases[] = {
        {"E5", true},
        {"10 00 01 01 16", true},                                // positive acknowledgement
        {"10 29 01 2A 16", true},                                // no data, ACD
        {"10 0B 01 0C 16", false},                               // status of link
        {"68 09 09 68 08 01 05 81 04 01 FF 03 02 98 16", true},  // user data
        {"68 09 09 68 0B 01 05 81 04 01 FF 03 02 9B 16", false}, // function 11 in a long frame
        {"12 34 56 78 9A", false},
    };
    for (const auto& c : cases)
    {
        const auto frame = Bytes(c.pszFrame);
        EXPECT_EQ(Iec103Codec::CheckAnswersFcb(frame.data(), static_cast<int>(frame.size())), c.bAnswersFcb)
            << c.pszFrame;
    }
    EXPECT_FALSE(Iec103Codec::CheckAnswersFcb(nullptr, 5));
}

TEST(Iec103Fcb, CheckAutoAnswerAgreesWithAutoAnswer)
{
    for (const char* pszFrame : {"10 20 01 21 16", "10 0E 05 13 16", "10 2E 01 2F 16", "10 09 01 0A 16",
                                 "68 09 09 68 28 07 05 81 01 01 FF 00 00 00 16",
                                 "68 09 09 68 08 07 05 81 01 01 FF 00 00 00 16", "E5", "10 20"})
    {
        const auto frame = Bytes(pszFrame);
        const int nCount = static_cast<int>(frame.size());
        Iec103Codec codec;
        std::array<std::uint8_t, 8> out{};
        const bool bChecked = Iec103Codec::CheckAutoAnswer(frame.data(), nCount);
        EXPECT_EQ(bChecked, codec.AutoAnswer(out.data(), frame.data(), nCount) > 0) << pszFrame;
        EXPECT_EQ(codec.FcbFlag() != 0 || codec.FcbAwaitingAnswer(), bChecked)
            << "nothing built: " << pszFrame;
    }
}

TEST(Iec103Checksum, PlainSumModulo256)
{
    const auto bytes = Bytes("FF 02 80 80");
    EXPECT_EQ(Iec103Codec::Checksum(bytes.data(), 4), 0x01);
    EXPECT_EQ(Iec103Codec::Checksum(bytes.data(), 0), 0);
}

TEST(UdpFrame, WithAndWithoutTime)
{
    std::array<std::uint8_t, 64> out{};
    out.fill(0xEE);
    relvane::CCalendarTime t{2026, 12, 6, 8, 5, 30, 0};
    ASSERT_EQ(relvane::BuildUdpFrame(out.data(), false, t), relvane::kUdpFrameLength);
    EXPECT_EQ(out[0], 0xFF);
    for (int i = 1; i < 41; ++i)
        EXPECT_EQ(out[static_cast<std::size_t>(i)], 0) << i;
    EXPECT_EQ(out[41], 0xEE); // nothing past the frame
    ASSERT_EQ(relvane::BuildUdpFrame(out.data(), true, t), 41);
    EXPECT_EQ(Hex(out.data(), 10), "FF 01 30 75 05 08 06 0C 1A 00");
    t.nYear = 1999;
    relvane::BuildUdpFrame(out.data(), true, t);
    EXPECT_EQ(out[8], 99);
}

} // namespace
