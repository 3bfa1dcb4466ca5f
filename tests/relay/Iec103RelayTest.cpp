// The 103 relay driven by the workbench's own master codec, checked against the IEC 60870-5-2
// link rules and the 103 application sequences.
#include "relay/Iec103Relay.h"

#include "TestBytes.h"
#include "iec103/Iec103Codec.h"

#include <gtest/gtest.h>

namespace relvane::test
{
namespace
{

constexpr std::int64_t kNow = 1'700'000'000'000;

class Iec103RelayTest : public ::testing::Test
{
protected:
    using Builder = int (Iec103Codec::*)(std::uint8_t*);
    using ParamBuilder = int (Iec103Codec::*)(std::uint8_t*, const CommandParams&);

    CRelayBytes Send(const CRelayBytes& abFrame, std::int64_t nAt = kNow)
    {
        m_abLastSent = abFrame;
        return m_relay.Answer(abFrame.data(), static_cast<int>(abFrame.size()), nAt);
    }
    CRelayBytes Build(Builder build)
    {
        std::uint8_t ab[Iec103Codec::kMaxFrameLength];
        const int n = (m_master.*build)(ab);
        return CRelayBytes(ab, ab + n);
    }
    CRelayBytes Build(ParamBuilder build, std::uint8_t nFun, std::uint8_t nInf,
                      std::vector<std::uint8_t> abData, bool bConfirm = true)
    {
        std::uint8_t ab[Iec103Codec::kMaxFrameLength];
        CommandParams params;
        params.nFun = nFun;
        params.nInf = nInf;
        params.pData = abData.empty() ? nullptr : abData.data();
        params.bConfirm = bConfirm ? 1 : 0;
        const int n = (m_master.*build)(ab, params);
        EXPECT_GT(n, 0);
        return CRelayBytes(ab, ab + n);
    }
    static bool Acd(const CRelayBytes& abAnswer)
    {
        return !abAnswer.empty() && ((abAnswer[0] == 0x10 ? abAnswer[1] : abAnswer[4]) & 0x20) != 0;
    }
    // Fetches class 1 data while the relay asks for access, as the master's automatic processing
    // does; returns the ASDUs in order.
    std::vector<CRelayBytes> Drain(const CRelayBytes& abFirstAnswer)
    {
        std::vector<CRelayBytes> asdus;
        CRelayBytes abAnswer = abFirstAnswer;
        for (int i = 0; i < 100 && Acd(abAnswer); ++i)
        {
            abAnswer = Send(Build(&Iec103Codec::BuildRequestClass1));
            if (abAnswer.size() > 8 && abAnswer[0] == 0x68)
                asdus.emplace_back(abAnswer.begin() + 6, abAnswer.end() - 2);
        }
        return asdus;
    }
    std::vector<CRelayBytes> Reset() { return Drain(Send(Build(&Iec103Codec::BuildResetCu))); }

    Iec103Codec m_master;
    CIec103Relay m_relay{1, kNow};
    CRelayBytes m_abLastSent;
};

TEST_F(Iec103RelayTest, ResetsAreConfirmedAndFollowedByTheIdentification)
{
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildResetCu))), "10 20 01 21 16");
    const CRelayBytes abIdent = Send(Build(&Iec103Codec::BuildRequestClass1));
    ASSERT_GT(abIdent.size(), 10u);
    EXPECT_EQ(abIdent[6], 5);   // ASDU 5
    EXPECT_EQ(abIdent[8], 4);   // COT reset CU
    EXPECT_FALSE(Acd(abIdent)); // the power-up identification went with the reset
    const std::vector<CRelayBytes> asdus = Drain(Send(Build(&Iec103Codec::BuildResetFcb)));
    ASSERT_EQ(asdus.size(), 1u);
    EXPECT_EQ(asdus[0][2], 3); // COT reset FCB
    // Link status confirms nothing: the identification just sent still counts as waiting.
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestLinkStatus))), "10 2B 01 2C 16");
}

TEST_F(Iec103RelayTest, UnchangedFcbGetsTheLastAnswerAgainAndClass1WaitsForConfirmation)
{
    Reset();
    m_relay.RaiseEvent(kNow);
    m_relay.RaiseEvent(kNow);
    const CRelayBytes abFirst = Send(Build(&Iec103Codec::BuildRequestClass1));
    ASSERT_EQ(abFirst[0], 0x68);
    EXPECT_EQ(abFirst[17], 1); // SIN: event number 1
    EXPECT_TRUE(Acd(abFirst));
    // The master lost the answer and repeats the frame with the same FCB.
    const CRelayBytes abRepeat = Send(m_abLastSent);
    EXPECT_EQ(abRepeat, abFirst);
    EXPECT_EQ(m_relay.Class1Count(), 2u);
    // A new frame (FCB toggled) confirms event 1; event 2 comes next.
    const CRelayBytes abSecond = Send(Build(&Iec103Codec::BuildRequestClass1));
    EXPECT_EQ(abSecond[17], 2);
    EXPECT_FALSE(Acd(abSecond));
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass1))), "10 09 01 0A 16");
}

TEST_F(Iec103RelayTest, SingleCharacterStandsForConfirmationsAndNoDataWithoutAcd)
{
    m_relay.SetSingleCharAck(true);
    // The reset's confirmation carries ACD (its identification waits): the fixed frame.
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildResetCu))), "10 20 01 21 16");
    Drain(Send(Build(&Iec103Codec::BuildRequestClass1)));
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass1))), "E5");                          // no data
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildTimeSync, 255, 0, {7, 0, 0, 0, 0, 1, 1, 26}, false))), "");
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2))).substr(0, 2), "68"); // measurands
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2))), "E5");
    // A repetition gets the character again; a link status answer stays a fixed frame.
    EXPECT_EQ(Hex(Send(m_abLastSent)), "E5");
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestLinkStatus))), "10 0B 01 0C 16");
    // With an event waiting, "no data" must say so with ACD.
    m_relay.RaiseEvent(kNow);
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2))), "10 29 01 2A 16");
    Drain(Send(Build(&Iec103Codec::BuildRequestClass1)));
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass1))), "E5");
    // A relay with the defect never uses the character.
    CRelayDefects defects;
    defects.Add(DEFECT_NO_E5);
    m_relay.SetDefects(defects);
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass1))), "10 09 01 0A 16");
}

TEST_F(Iec103RelayTest, Class2GivesMeasurandsWhenDueAndNoDataOtherwiseWithAcd)
{
    Reset();
    const CRelayBytes abMeasurands = Send(Build(&Iec103Codec::BuildRequestClass2));
    ASSERT_EQ(abMeasurands[0], 0x68);
    EXPECT_EQ(abMeasurands[6], 9);
    EXPECT_EQ(abMeasurands[8], 2); // cyclic
    m_relay.RaiseEvent(kNow);
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2), kNow + 1000)), "10 29 01 2A 16");
    const CRelayBytes abNext =
        Send(Build(&Iec103Codec::BuildRequestClass2), kNow + CIec103Relay::kMeasurandPeriodMs);
    EXPECT_EQ(abNext[6], 3);
    EXPECT_TRUE(Acd(abNext));
}

// Timing of real relays: the data a frame asks for are ready some time after its confirmation;
// the measurands come on their own cycle, which a reset does not move.
TEST_F(Iec103RelayTest, AnswersComeAfterTheirDelayAndMeasurandsOnTheirCycle)
{
    m_relay.SetTiming(300, 3000);
    Reset();
    // Confirmed at once, and nothing waits yet: no ACD.
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildResetCu), kNow)), "10 00 01 01 16");
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass1), kNow + 100)), "10 09 01 0A 16");
    const CRelayBytes abMeasurands = Send(Build(&Iec103Codec::BuildRequestClass2), kNow + 200);
    ASSERT_EQ(abMeasurands[0], 0x68); // due at power-up
    EXPECT_FALSE(Acd(abMeasurands));
    // After it: the identification, announced by ACD.
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2), kNow + 300)), "10 29 01 2A 16");
    const CRelayBytes abIdent = Send(Build(&Iec103Codec::BuildRequestClass1), kNow + 310);
    ASSERT_GT(abIdent.size(), 10u);
    EXPECT_EQ(abIdent[6], 5);
    // A reset does not bring the measurands forward; their cycle does.
    Send(Build(&Iec103Codec::BuildResetCu), kNow + 1000);
    EXPECT_EQ(Hex(Send(Build(&Iec103Codec::BuildRequestClass2), kNow + 1100)), "10 09 01 0A 16");
    const CRelayBytes abNext = Send(Build(&Iec103Codec::BuildRequestClass2), kNow + 3000);
    ASSERT_EQ(abNext[0], 0x68);
    EXPECT_EQ(abNext[6], 3);
}

TEST_F(Iec103RelayTest, GeneralInterrogationReportsEveryPointThenEnds)
{
    Reset();
    const std::vector<CRelayBytes> asdus =
        Drain(Send(Build(&Iec103Codec::BuildGeneralInterrogation, 0, 0, {})));
    ASSERT_GE(asdus.size(), 3u);
    for (std::size_t i = 0; i + 1 < asdus.size(); ++i)
    {
        EXPECT_TRUE(asdus[i][0] == 1 || asdus[i][0] == 2) << i;
        EXPECT_EQ(asdus[i][2], 9) << i;
        EXPECT_EQ(asdus[i].back(), 0) << "SIN = SCN " << i;
    }
    EXPECT_EQ(Hex(asdus.back()), "08 81 0A 01 FF 00 00");
}

TEST_F(Iec103RelayTest, GeneralCommandsAreAcknowledgedPositiveOrNegative)
{
    struct CCase
    {
        std::uint8_t nFun, nInf, nDcoData;
        bool bConfirm;
        std::uint8_t nCot;
    };
    for (const CCase& c : {CCase{255, 19, 2, true, 20}, CCase{128, 16, 1, false, 20},
                           CCase{128, 99, 2, true, 21}, CCase{7, 16, 2, true, 21}})
    {
        Reset();
        const CRelayBytes abAnswer =
            Send(Build(&Iec103Codec::BuildGeneralCommand, c.nFun, c.nInf, {1, c.nDcoData}, c.bConfirm));
        EXPECT_EQ(abAnswer.empty(), !c.bConfirm) << int(c.nInf);
        CRelayBytes abAck = abAnswer.empty() ? Send(Build(&Iec103Codec::BuildRequestLinkStatus)) : abAnswer;
        const std::vector<CRelayBytes> asdus = Drain(abAck);
        ASSERT_EQ(asdus.size(), 1u) << int(c.nInf);
        EXPECT_EQ(asdus[0][0], 1);
        EXPECT_EQ(asdus[0][2], c.nCot) << int(c.nInf);
        EXPECT_EQ(asdus[0][4], c.nFun);
        EXPECT_EQ(asdus[0][5], c.nInf);
    }
}

TEST_F(Iec103RelayTest, TimeSynchronisationSetsTheClockAndIsConfirmedOnlyWhenAsked)
{
    Reset();
    const std::vector<std::uint8_t> abTime{7,    0xC0, 0xDA, 0x22,
                                           0x0C, 0x05, 0x06, 0x1A}; // 2026-06-05 12:34:56
    EXPECT_TRUE(Send(Build(&Iec103Codec::BuildTimeSync, 0, 0, abTime, false)).empty());
    EXPECT_EQ(m_relay.Clock().Now(kNow).nMinute, 34);
    const std::vector<CRelayBytes> asdus =
        Drain(Send(Build(&Iec103Codec::BuildTimeSync, 0, 0, abTime, true)));
    ASSERT_EQ(asdus.size(), 1u);
    EXPECT_EQ(Hex(asdus[0]), "06 81 08 01 FF 00 C0 DA 22 0C 05 06 1A");
}

TEST_F(Iec103RelayTest, GenericServicesReadAndWriteEntries)
{
    Reset();
    // Read the headings of all groups.
    std::vector<CRelayBytes> asdus = Drain(Send(Build(&Iec103Codec::BuildGenericCommand, 254, 240, {1, 0})));
    ASSERT_EQ(asdus.size(), 1u);
    EXPECT_EQ(asdus[0][2], 42);
    EXPECT_EQ(asdus[0][7], 4); // NGD
    // Read one entry's actual value: group 2 entry 1, KOD 1, R32 5.0.
    asdus = Drain(Send(Build(&Iec103Codec::BuildGenericCommand, 254, 244, {4, 1, 2, 1, 1})));
    ASSERT_EQ(asdus.size(), 1u);
    EXPECT_EQ(Hex(CRelayBytes(asdus[0].begin() + 7, asdus[0].end())), "01 02 01 01 07 04 01 00 00 A0 40");
    // Write with confirmation, then with execution: the value changes only at the second.
    const std::vector<std::uint8_t> abWrite{9, 1, 5, 1, 1, 3, 2, 1, 0x34, 0x12};
    asdus = Drain(Send(Build(&Iec103Codec::BuildGenericData, 254, 249, abWrite)));
    ASSERT_EQ(asdus.size(), 1u);
    EXPECT_EQ(asdus[0][2], 40);
    EXPECT_EQ(Hex(m_relay.Generic().Value(5, 1)), "64 00");
    Drain(Send(Build(&Iec103Codec::BuildGenericData, 254, 250, abWrite)));
    EXPECT_EQ(Hex(m_relay.Generic().Value(5, 1)), "34 12");
    // A read-only entry refuses the write; an unknown entry reads as invalid.
    asdus = Drain(Send(Build(&Iec103Codec::BuildGenericData, 254, 249, {8, 1, 3, 1, 1, 9, 1, 1, 1})));
    EXPECT_EQ(asdus.at(0)[2], 41);
    asdus = Drain(Send(Build(&Iec103Codec::BuildGenericCommand, 254, 244, {4, 1, 9, 9, 1})));
    EXPECT_EQ(asdus.at(0)[2], 43);
    // Every answer is annotated by the workbench without running past its bytes.
    CAnnotationText text;
    Send(Build(&Iec103Codec::BuildGenericCommand, 254, 243, {4, 1, 2, 1, 1}));
    const CRelayBytes abFrame = Send(Build(&Iec103Codec::BuildRequestClass1));
    EXPECT_EQ(abFrame.at(6), 11); // generic identification
    EXPECT_GT(Iec103Codec::Annotate(abFrame.data(), static_cast<int>(abFrame.size()), text), 0);
}

TEST_F(Iec103RelayTest, DisturbanceTransferRunsToItsEnd)
{
    Reset();
    auto Order = [&](ParamBuilder build, std::uint8_t nToo, std::uint16_t nFan, std::uint8_t nAcc)
    {
        return Drain(Send(Build(build, 128, 0,
                                {5, nToo, 1, static_cast<std::uint8_t>(nFan & 0xFF),
                                 static_cast<std::uint8_t>(nFan >> 8), nAcc})));
    };
    auto Types = [](const std::vector<CRelayBytes>& asdus)
    {
        std::string str;
        for (const CRelayBytes& ab : asdus)
            str += std::to_string(ab[0]) + (ab[0] == 31 ? "/" + std::to_string(ab[6]) : "") + " ";
        return str;
    };
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 24, 0, 0)), "23 ");
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 1, 2, 0)), "26 ");
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 2, 2, 0)), "28 ");
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 16, 2, 0)), "29 29 29 29 31/38 ");
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceAck, 68, 2, 0)), "27 ");
    std::string strBlocks;
    for (int i = 0; i < CDisturbanceRecorder::kElements / CDisturbanceRecorder::kPerAsdu; ++i)
        strBlocks += "30 ";
    for (std::uint8_t nAcc = 1; nAcc <= 8; ++nAcc)
    {
        EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 8, 2, nAcc)), strBlocks + "31/35 ") << int(nAcc);
        EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceAck, 66, 2, nAcc)), nAcc == 8 ? "31/32 " : "27 ");
    }
    EXPECT_FALSE(m_relay.Recorder().Transmitted(2));
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceAck, 64, 2, 0)), "");
    EXPECT_TRUE(m_relay.Recorder().Transmitted(2));
    // A fault that is not on record is refused by the relay.
    EXPECT_EQ(Types(Order(&Iec103Codec::BuildDisturbanceOrder, 1, 77, 0)), "31/34 ");
}

TEST_F(Iec103RelayTest, OtherAddressesBroadcastsAndDamagedFramesGetNoAnswer)
{
    m_master.SetLinkAddress(2);
    EXPECT_TRUE(Send(Build(&Iec103Codec::BuildRequestClass2)).empty());
    CRelayBytes abDamaged = Bytes("10 5B 01 5C 16");
    abDamaged[3] ^= 1;
    EXPECT_TRUE(Send(abDamaged).empty());
    m_master.SetLinkAddress(255);
    EXPECT_TRUE(Send(Build(&Iec103Codec::BuildTimeSync, 0, 0, {7, 0, 0, 5, 6, 7, 8, 26}, false)).empty());
    EXPECT_EQ(m_relay.Clock().Now(kNow).nMinute, 5);
}

} // namespace
} // namespace relvane::test
