// Each planted defect spoils exactly the answer it names: the same frames to a relay without it
// are answered differently (as the protocols say, which the other relay tests check).
#include "TestBytes.h"
#include "iec103/Iec103Codec.h"
#include "proto94/Crc16.h"
#include "relay/RelaySession.h"

#include <gtest/gtest.h>
#include <sstream>

namespace relvane::test
{
namespace
{

constexpr std::int64_t kNow = 1'700'000'000'000;

// A small master for the tables. Tokens, separated by "|":
//   cu, fcb, st          reset CU, reset FCB, request status of link (address 1)
//   c1, c2               class 1 / class 2 request with the next FCB
//   sc ASDU              user data send/confirm with the next FCB
//   raw BYTES            bytes as they are
//   94 A CODE DATA       a '94 frame with its CRC
//   +MS                  time passes
class CScript
{
public:
    explicit CScript(const CRelayDefects& defects)
    {
        CRelaySettings settings;
        settings.defects = defects;
        m_pRelay = std::make_unique<CRelaySession>(settings, kNow);
    }

    // Runs the tokens; the exchange of the last frame.
    CRelayExchange Run(const std::string& strScript)
    {
        CRelayExchange last;
        std::istringstream in(strScript);
        std::string strToken;
        while (std::getline(in, strToken, '|'))
        {
            if (strToken[0] == '+')
            {
                m_nNow += std::stoll(strToken.substr(1));
                continue;
            }
            const CRelayBytes abFrame = Frame(strToken);
            std::vector<CRelayExchange> exchanges;
            m_pRelay->Receive(abFrame.data(), abFrame.size(), m_nNow, exchanges);
            // A frame the relay does not take at all makes no exchange.
            last = exchanges.empty() ? CRelayExchange{} : exchanges.back();
        }
        return last;
    }

private:
    CRelayBytes Frame(const std::string& strToken)
    {
        const std::size_t nSpace = strToken.find(' ');
        const std::string strVerb = strToken.substr(0, nSpace);
        const CRelayBytes abRest =
            nSpace == std::string::npos ? CRelayBytes{} : Bytes(strToken.substr(nSpace));
        std::uint8_t ab[Iec103Codec::kMaxFrameLength];
        if (strVerb == "raw")
            return abRest;
        if (strVerb == "94")
        {
            CRelayBytes abFrame{abRest[0], abRest[1], static_cast<std::uint8_t>(abRest.size() - 2)};
            abFrame.insert(abFrame.end(), abRest.begin() + 2, abRest.end());
            const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
            abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
            abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
            return abFrame;
        }
        int n = 0;
        if (strVerb == "cu")
            n = m_master.BuildResetCu(ab);
        else if (strVerb == "fcb")
            n = m_master.BuildResetFcb(ab);
        else if (strVerb == "st")
            n = m_master.BuildRequestLinkStatus(ab);
        else if (strVerb == "c1")
            n = m_master.BuildRequestClass1(ab);
        else if (strVerb == "c2")
            n = m_master.BuildRequestClass2(ab);
        else if (strVerb == "sc")
        {
            // The master's own builders put send/confirm around the ASDU; its generic data
            // builder carries any ASDU once its header is swapped in.
            const std::uint8_t abUser[1] = {0};
            CommandParams params;
            params.pData = abUser;
            n = m_master.BuildGenericData(ab, params);
            CRelayBytes abFrame(ab, ab + 6);
            abFrame.insert(abFrame.end(), abRest.begin(), abRest.end());
            abFrame[1] = abFrame[2] = static_cast<std::uint8_t>(abRest.size() + 2);
            abFrame.push_back(Iec103Codec::Checksum(abFrame.data() + 4, abFrame[1]));
            abFrame.push_back(0x16);
            return abFrame;
        }
        EXPECT_GT(n, 0) << strToken;
        return CRelayBytes(ab, ab + n);
    }

    Iec103Codec m_master;
    std::unique_ptr<CRelaySession> m_pRelay;
    std::int64_t m_nNow = kNow;
};

// What the answer to the last frame shows. "silent", "answered", "late", "crc" (a '94 CRC that
// does not fit), "hex BYTES" (the whole answer), "at N XX" (byte N), "bit N XX" (bits XX of byte N
// set), "tail XX" (the last byte before an FT1.2 checksum).
bool Shows(const CRelayExchange& exchange, const std::string& strCheck)
{
    const CRelayBytes abLine = exchange.writes.empty() ? CRelayBytes{} : exchange.writes.front().abBytes;
    std::istringstream in(strCheck);
    std::string strVerb;
    in >> strVerb;
    if (strVerb == "silent")
        return exchange.writes.empty();
    if (strVerb == "answered")
        return !exchange.writes.empty();
    if (strVerb == "late")
        return !exchange.writes.empty() && exchange.writes.front().nDelayMs == kDefectSlowMs;
    if (strVerb == "crc")
    {
        const std::uint16_t nCrc = Crc16Arc(abLine.data(), abLine.size() - 2);
        return abLine.size() >= 5 &&
               (abLine[abLine.size() - 2] != (nCrc & 0xFF) || abLine.back() != nCrc >> 8);
    }
    if (strVerb == "hex")
        return Hex(abLine) == strCheck.substr(4);
    if (strVerb == "tail")
        return abLine.size() > 3 && Hex({abLine[abLine.size() - 3]}) == strCheck.substr(5);
    std::size_t nAt = 0;
    std::string strValue;
    in >> nAt >> strValue;
    const auto nValue = static_cast<std::uint8_t>(std::stoul(strValue, nullptr, 16));
    if (nAt >= abLine.size())
        return false;
    return strVerb == "at" ? abLine[nAt] == nValue : (abLine[nAt] & nValue) == nValue;
}

TEST(RelayDefects, EachSpoilsItsOwnAnswerOnly)
{
    // GI with SCN 5, then everything it queues (11 data ASDUs, ASDU 8).
    const std::string strGi = "cu|c1|sc 07 81 09 01 FF 00 05|c1|c1|c1|c1|c1|c1|c1|c1|c1|c1|c1|c1";
    struct CCase
    {
        RelayDefect eDefect;
        const char* pszScript;
        const char* pszCheck;
    };
    const CCase cases[] = {
        {DEFECT_BAD_CHECKSUM_ANSWERED, "raw 10 49 01 4B 16", "answered"},
        {DEFECT_BAD_CHECKSUM_ANSWERED, "raw 68 09 09 68 73 01 07 81 09 01 FF 00 00 06 16", "answered"},
        {DEFECT_WRONG_ADDRESS_ANSWERED, "raw 10 49 02 4B 16", "hex 10 2B 01 2C 16"},
        {DEFECT_BAD_LENGTH_ANSWERED, "raw 68 09 08 68 73 01 07 81 09 01 FF 00 00 05 16", "answered"},
        {DEFECT_FCB_REPEAT_NEW, "cu|c1|raw 10 7A 01 7B 16", "hex 10 09 01 0A 16"},
        {DEFECT_RESET_NO_ANSWER, "fcb", "silent"},
        {DEFECT_STATUS_NO_ANSWER, "st", "silent"},
        {DEFECT_ACD_STUCK, "cu|c1|c2|st", "hex 10 2B 01 2C 16"},
        {DEFECT_ACD_MISSING, "st", "hex 10 0B 01 0C 16"},
        {DEFECT_DFC_STUCK, "st", "hex 10 3B 01 3C 16"},
        {DEFECT_SLOW, "st", "late"},
        {DEFECT_E5_FOR_FRAME, "st", "hex E5"},
        {DEFECT_IDENT_COT_SWAPPED, "cu|c1", "at 8 03"},
        {DEFECT_IDENT_COT_SWAPPED, "cu|c1|fcb|c1", "at 8 04"},
        {DEFECT_GI_WRONG_COT, "cu|c1|sc 07 81 09 01 FF 00 05|c1", "at 8 01"},
        {DEFECT_GI_NO_TERMINATION, strGi.c_str(), "hex 10 09 01 0A 16"},
        {DEFECT_GI_WRONG_SCN, strGi.c_str(), "at 12 06"},
        {DEFECT_CLOCK_NO_ANSWER, "cu|c1|sc 06 81 08 01 FF 00 00 00 00 00 01 01 01|c1", "hex 10 09 01 0A 16"},
        {DEFECT_CLOCK_IGNORED, "cu|c1|sc 06 81 08 01 FF 00 00 00 00 00 01 01 01|c1", "bit 18 02"}, // not 01
        {DEFECT_GC_NO_NEGATIVE, "cu|c1|sc 14 81 14 01 80 63 02 07|c1", "at 8 14"},
        {DEFECT_GC_NO_ACK, "cu|c1|sc 14 81 14 01 80 10 02 07|c1", "hex 10 09 01 0A 16"},
        {DEFECT_GENERIC_WRONG_COT, "cu|c1|sc 15 81 2A 01 FE F0 00 00|c1", "at 8 2B"},
        {DEFECT_GENERIC_TRUNCATED, "cu|c1|sc 15 81 2A 01 FE F1 00 01 02 00 01|c1", "bit 13 80"},
        {DEFECT_GENERIC_TRUNCATED, "cu|c1|sc 15 81 09 01 FE F5 00 00|c1|c1", "hex 10 09 01 0A 16"},
        {DEFECT_GENERIC_WRITE_LOST,
         "cu|c1|sc 0A 81 28 01 FE F8 00 01 05 02 01 03 01 01 07|c1|sc 15 81 2A 01 FE F4 00 01 05 02 01|c1",
         "tail 03"},
        {DEFECT_DIST_LIST_MISSING, "cu|c1|sc 18 81 1F 01 80 00 18 00 00 00 00|c1", "hex 10 09 01 0A 16"},
        {DEFECT_DIST_TRANSFER_STOPS,
         "cu|c1|sc 18 81 1F 01 80 00 01 00 01 00 00|c1|sc 19 81 1F 01 80 00 42 01 01 00 01|c1",
         "hex 10 09 01 0A 16"},
        {DEFECT_MEASURAND_CLASS1, "cu|c1|c2", "hex 10 29 01 2A 16"},
        {DEFECT_COT_ILLEGAL, "cu|c1|c2|+5000|c2", "at 8 01"},
        {DEFECT_CRC_BAD, "94 01 83", "crc"},
        {DEFECT_REPEAT_CRC_BAD, "94 01 82|94 01 84", "crc"},
        {DEFECT_REPEAT_DIFFERENT, "94 01 82|94 01 84", "at 1 BA"},
        {DEFECT_SLOW94, "94 01 83", "late"},
        {DEFECT_EVENTS_FLAG_STUCK, "94 01 8A|94 01 83", "at 4 04"},
        {DEFECT_EVENTS_LOST, "94 01 8A", "at 1 BA"},
        {DEFECT_CLOCK_NOT_SET, "94 01 81 01 20 01 01 00 00 00|94 01 82", "bit 3 02"}, // not 01
        {DEFECT_GROUP_NO_FLAG, "94 01 8A|94 01 90 01 02", "at 4 00"},
        {DEFECT_OTHER_ADDRESS_ANSWERED, "94 02 83", "at 0 01"},
        {DEFECT_CPU_IGNORED, "94 01 87 01", "at 3 00"},
    };
    for (const CCase& c : cases)
    {
        CRelayDefects defects;
        defects.Add(c.eDefect);
        const CRelayExchange spoilt = CScript(defects).Run(c.pszScript);
        const CRelayExchange right = CScript(CRelayDefects{}).Run(c.pszScript);
        const std::string strWhat = std::string(DefectName(c.eDefect)) + ": " + c.pszScript;
        EXPECT_TRUE(Shows(spoilt, c.pszCheck)) << strWhat << " -> " << Hex(spoilt.abAnswer);
        EXPECT_FALSE(Shows(right, c.pszCheck)) << strWhat << " without the defect -> " << Hex(right.abAnswer);
    }
}

TEST(RelayDefects, NamesAndLists)
{
    for (int i = 0; i < DEFECT_COUNT; ++i)
    {
        const auto eDefect = static_cast<RelayDefect>(i);
        ASSERT_NE(DefectName(eDefect), nullptr) << i;
        RelayDefect eFound = DEFECT_COUNT;
        EXPECT_TRUE(FindDefect(DefectName(eDefect), eFound));
        EXPECT_EQ(eFound, eDefect);
    }
    CRelayDefects defects;
    std::string strBad;
    EXPECT_TRUE(defects.AddList("slow,crc-bad", strBad));
    EXPECT_TRUE(defects.Has(DEFECT_SLOW) && defects.Has(DEFECT_CRC_BAD) && !defects.Has(DEFECT_SLOW94));
    for (const char* pszBad : {"slow,fast", "", "slow,", ",slow"})
    {
        CRelayDefects none;
        EXPECT_FALSE(none.AddList(pszBad, strBad)) << pszBad;
        EXPECT_TRUE(none.Empty()) << pszBad;
    }
    EXPECT_TRUE(defects.AddList("slow", strBad));
}

} // namespace
} // namespace relvane::test
