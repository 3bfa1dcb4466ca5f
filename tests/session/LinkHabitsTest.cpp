// Habits of real relays on the serial 103 link: the single character E5H as a confirmation or
// "no data", framing that FT1.2 rejects, and answers repeated because the FCB was kept.
#include "SessionFixture.h"
#include "common/AnnotationText.h"
#include "iec103/Iec103Codec.h"

namespace relvane
{
namespace
{

const Bytes kNoData = {0x10, 0x09, 0x01, 0x0A, 0x16};
const Bytes kAckAcd = {0x10, 0x20, 0x01, 0x21, 0x16};
// ASDU 1 from the relay: a time-tagged double-point message (20 bytes).
const Bytes kEvent = {0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01, 0x01, 0x81, 0x01, 0x01,
                      0x80, 0x5A, 0x02, 0x39, 0x30, 0x1E, 0x0A, 0x00, 0xFA, 0x16};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes abAll;
    for (const Bytes& part : parts)
        abAll.insert(abAll.end(), part.begin(), part.end());
    return abAll;
}

std::vector<std::string> Lines(const std::string& strLog)
{
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strLog.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        lines.push_back(strLog.substr(nStart, nEnd - nStart));
    return lines;
}

std::string Hex(const Bytes& ab)
{
    std::string strText;
    char szByte[4];
    for (const std::uint8_t n : ab)
    {
        std::snprintf(szByte, sizeof szByte, "%02X ", n);
        strText += szByte;
    }
    return strText;
}

class LinkHabits : public CSessionFixture
{
protected:
    void SetUp() override
    {
        View().OnCommand(ID_MODE_103);
        View().OnCommand(ID_SHOW_ANNOTATIONS); // off: one line per entry
    }
    int LastControl() const { return LastWritten().size() >= 5 ? LastWritten()[1] : -1; }
    std::uint64_t Received(const std::string& strKey)
    {
        const auto& frames = View().Recorder().Statistics().Frames();
        const auto it = frames.find(strKey);
        return it == frames.end() ? 0 : it->second.nReceived;
    }
};

TEST_F(LinkHabits, SingleCharacterIsLoggedAndAnswersTheRequest)
{
    View().OnCommand(ID_103_POLLING);
    View().OnCommand(ID_103_CLASS2);
    View().OnCommand(ID_103_INTERROGATION); // held while the poll is awaited
    ASSERT_EQ(m_pSerial->Written().size(), 1u);

    // "No data": logged at once, the held command goes out, the FCB moved on.
    Relay({0xE5});
    EXPECT_EQ(Lines(Log()), (std::vector<std::string>{"发送: 10 5B 01 5C 16 ", "接收: E5 ",
                                                      "发送: 68 09 09 68 73 01 07 81 09 01 FF 00 00 05 16 "}));
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE)) << "the interrogation awaits its confirmation";
    // The confirmation: the response timer stops and the next poll is scheduled.
    Relay({0xE5});
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    View().OnTimer(TIMER_POLL);
    EXPECT_EQ(LastControl(), 0x5B);
    EXPECT_EQ(View().Recorder().Statistics().Timeouts(), 0u);
    EXPECT_EQ(Received("E5H"), 2u);

    // E5H in front of frames in one read: each its own entry.
    Relay(Join({{0xE5}, kNoData}));
    EXPECT_EQ(Lines(Log()).back(), "接收: 10 09 01 0A 16 ");
    EXPECT_EQ(Lines(Log())[Lines(Log()).size() - 2], "接收: E5 ");

    // With annotations on, the character is named.
    View().OnCommand(ID_SHOW_ANNOTATIONS);
    View().ClearLog();
    Relay({0xE5});
    CAnnotationText note;
    const Bytes abAck = {0xE5};
    ASSERT_GT(Iec103Codec::Annotate(abAck.data(), 1, note), 0);
    EXPECT_EQ(Log(), "接收: E5 \r\n (\n" + note.Text() + ") \r\n");
}

TEST_F(LinkHabits, ShortReadsOtherThanTheSingleCharacterStayIgnored)
{
    for (const Bytes& abShort : {Bytes{0x10, 0x09}, Bytes{0x16, 0x00}})
    {
        View().OnCommand(ID_103_CLASS2);
        Relay(abShort);
        EXPECT_EQ(Lines(Log()).back().rfind("发送: ", 0), 0u) << Hex(abShort);
        EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE)) << Hex(abShort);
        View().OnTimer(TIMER_RESPONSE);
    }
    // The '94 mode has no single character: a lone E5H is a short read as ever.
    View().OnCommand(ID_MODE_94);
    Connect();
    View().ClearLog();
    View().OnCommand(ID_94_POLL);
    Relay({0xE5});
    EXPECT_EQ(Lines(Log()).size(), 1u) << Log();
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

// An E5H damaged on the line into one other byte is an answer as garbled as any other.
TEST_F(LinkHabits, ALoneByteOtherThanE5IsLoggedAsGarbled)
{
    for (const std::uint8_t nByte : {0xED, 0xE7, 0xF5, 0x65, 0x00})
    {
        View().OnCommand(ID_103_CLASS2);
        const int nControl = LastControl();
        Relay({nByte});
        EXPECT_EQ(Lines(Log()).back(), "校验和出错: " + Hex({nByte}));
        EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
        View().OnCommand(ID_103_CLASS2);
        EXPECT_EQ(LastControl(), nControl) << "the relay is asked again with the same FCB";
        Relay({0xE5});
    }
    EXPECT_EQ(View().Recorder().Statistics().CheckErrors(), 5u);
}

// A good frame behind noise (a stray byte at switch-on, an RS-485 converter's echo) or behind a
// damaged frame in the same read is found and taken.
TEST_F(LinkHabits, AFrameBehindNoiseInTheSameReadIsTaken)
{
    const Bytes abDamaged(kEvent.begin(), kEvent.end() - 3);
    const struct
    {
        const char* pszWhat;
        Bytes abChunk;
        std::vector<std::string> lines;
    } cases[] = {
        {"a stray byte", Join({{0xFF}, kEvent}), {"校验和出错: FF ", "接收: " + Hex(kEvent)}},
        {"a stray start character", Join({{0x10}, kNoData}), {"校验和出错: 10 ", "接收: " + Hex(kNoData)}},
        {"a stray byte before E5", {0x16, 0xE5}, {"校验和出错: 16 ", "接收: E5 "}},
        {"a damaged frame",
         Join({abDamaged, kNoData}),
         {"校验和出错: " + Hex(abDamaged), "接收: " + Hex(kNoData)}},
    };
    for (const auto& c : cases)
    {
        View().ClearLog();
        View().OnCommand(ID_103_CLASS2);
        Relay(c.abChunk);
        std::vector<std::string> lines = Lines(Log());
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.lines) << c.pszWhat << "\n" << Log();
        EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE)) << c.pszWhat;
    }
}

// Every one of these has a checksum that fits; FT1.2 rejects them for their framing.
TEST_F(LinkHabits, DamagedFramingIsAChecksumErrorAndKeepsTheFcb)
{
    auto Damaged = [](std::size_t nAt, std::uint8_t nValue)
    {
        Bytes ab = kEvent;
        ab[nAt] = nValue;
        return ab;
    };
    Bytes abLong = kEvent;
    abLong.insert(abLong.end() - 2, 0x00); // one byte more than L says, the sum still in front of 16H
    const struct
    {
        const char* pszWhat;
        Bytes abChunk;
    } cases[] = {
        {"L differs from L'", Damaged(2, 0x4E)},
        {"second start character", Damaged(3, 0x78)},
        {"end character", Damaged(19, 0x17)},
        {"short", Bytes(kEvent.begin(), kEvent.end() - 3)},
        {"long", abLong},
        {"fixed frame without 16H", {0x10, 0x09, 0x01, 0x0A, 0x00}},
        {"fixed frame, other start", {0x11, 0x09, 0x01, 0x0A, 0x16}},
    };
    for (const auto& c : cases)
    {
        View().OnCommand(ID_103_CLASS2);
        const int nControl = LastControl();
        Relay(c.abChunk);
        EXPECT_EQ(Lines(Log()).back(), "校验和出错: " + Hex(c.abChunk)) << c.pszWhat;
        EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE)) << c.pszWhat;
        // The relay is asked again with the same FCB; a good answer then moves it on.
        View().OnCommand(ID_103_CLASS2);
        EXPECT_EQ(LastControl(), nControl) << c.pszWhat;
        Relay(kNoData);
    }
    EXPECT_EQ(View().Recorder().Statistics().CheckErrors(), std::size(cases));
    // The frame itself, undamaged, is taken.
    View().OnCommand(ID_103_CLASS2);
    Relay(kEvent);
    EXPECT_EQ(Lines(Log()).back(), "接收: " + Hex(kEvent));
}

TEST_F(LinkHabits, AnAnswerRepeatedForAKeptFcbIsMarkedOnce)
{
    View().OnCommand(ID_103_POLLING);
    View().OnCommand(ID_103_CLASS1);
    Relay(kEvent); // the previous answer
    // The relay stays silent past the time-out: the poll repeats the FCB. Its answer then comes
    // late, and its answer to the repetition right behind it.
    View().OnTimer(TIMER_POLL);
    const Bytes abEvent2 = [] {
        Bytes ab = kEvent;
        ab[12] = 0x01; // the other double point state
        ab[18] = static_cast<std::uint8_t>(ab[18] - 1);
        return ab;
    }();
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(LastControl(), 0x7B) << "the repetition keeps the FCB of the lost answer";
    Relay(abEvent2);
    Relay(abEvent2);
    EXPECT_EQ(Lines(Log()), (std::vector<std::string>{
                                "发送: 10 5A 01 5B 16 ", "接收: " + Hex(kEvent), "发送: 10 7B 01 7C 16 ", "超时",
                                "发送: 10 7B 01 7C 16 ", "接收: " + Hex(abEvent2),
                                "接收: " + Hex(abEvent2) + "(重复应答)"}));
    const CSessionStatistics& statistics = View().Recorder().Statistics();
    EXPECT_EQ(statistics.Repetitions(), 1u);
    EXPECT_EQ(Received("ASDU 1"), 2u) << "the repetition is no new data";
    EXPECT_NE(statistics.Table().find("重复应答 1"), std::string::npos) << statistics.Table();

    // Not marked: the first copy of an answer that was lost (the log holds it once), and the same
    // bytes again to a request with a new FCB.
    View().OnTimer(TIMER_POLL);
    View().OnTimer(TIMER_RESPONSE);
    Relay(kEvent);
    View().OnTimer(TIMER_POLL);
    Relay(kEvent);
    EXPECT_EQ(statistics.Repetitions(), 1u) << Log();
    EXPECT_EQ(Log().find("(重复应答)"), Log().rfind("(重复应答)"));
}

TEST_F(LinkHabits, RepetitionMarkFollowsTheAnnotation)
{
    View().OnCommand(ID_SHOW_ANNOTATIONS); // on
    View().OnCommand(ID_103_CLASS1);
    Relay(kEvent);
    View().OnCommand(ID_103_CLASS1);
    View().OnTimer(TIMER_RESPONSE);
    View().OnCommand(ID_103_CLASS1);
    View().ClearLog();
    // The relay repeats the answer already logged, twice in one read.
    Relay(Join({kEvent, kEvent}));
    CAnnotationText note;
    ASSERT_GT(Iec103Codec::Annotate(kEvent.data(), static_cast<int>(kEvent.size()), note), 0);
    const std::string strEntry = "接收: " + Hex(kEvent) + "\r\n (\n" + note.Text() + ") ";
    EXPECT_EQ(Log(), strEntry + "(重复应答)\r\n" + strEntry + "(重复应答)\r\n");
    // Our mark is in the log's own colour, after the annotation's.
    const std::vector<CColouredRun> runs = Runs();
    ASSERT_GE(runs.size(), 2u);
    EXPECT_EQ(runs[1].colour, kGreen);
    EXPECT_EQ(runs[2].strText.rfind("(重复应答)", 0), 0u);
    EXPECT_EQ(runs[2].colour, kBlack);
}

} // namespace
} // namespace relvane
