#include "monitor/MonitorFrame.h"
#include "monitor/MonitorSettings.h"

#include <gtest/gtest.h>
#include <string>

namespace relvane
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

CChannelTime At(std::int64_t nUs)
{
    return CChannelTime{1'700'000'000'000'000 + nUs, nUs};
}

TEST(MonitorFrame, DirectionComesFromThePrimaryBitOrTheCommandCode)
{
    struct CCase
    {
        int nProtocol;
        Bytes abFrame;
        MonitorDirection eExpected;
    };
    const CCase cases[] = {
        {MONITOR_103, {0x10, 0x5B, 0x01, 0x5C, 0x16}, DIRECTION_TO_RELAY},   // class 2 request
        {MONITOR_103, {0x10, 0x20, 0x01, 0x21, 0x16}, DIRECTION_TO_MASTER},  // ack with ACD
        {MONITOR_103, {0xE5}, DIRECTION_TO_MASTER},                          // single character
        {MONITOR_103, {0x68, 0x09, 0x09, 0x68, 0x73, 0x01}, DIRECTION_TO_RELAY},
        {MONITOR_103, {0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01}, DIRECTION_TO_MASTER},
        {MONITOR_103, {0x68, 0x0E, 0x0E, 0x67, 0x48}, DIRECTION_UNKNOWN},    // no second start
        {MONITOR_103, {0x01, 0x21, 0x16}, DIRECTION_UNKNOWN},
        {MONITOR_103, {0x10}, DIRECTION_UNKNOWN},
        {MONITOR_94, {0x01, 0x83, 0x00, 0x30, 0xF0}, DIRECTION_TO_RELAY},
        {MONITOR_94, {0x01, 0x9A, 0x00}, DIRECTION_TO_RELAY},
        {MONITOR_94, {0x01, 0xB7, 0x09}, DIRECTION_TO_MASTER},
        {MONITOR_94, {0x01, 0x7F}, DIRECTION_TO_MASTER},
        {MONITOR_94, {0x01}, DIRECTION_UNKNOWN},
        {MONITOR_94, {}, DIRECTION_UNKNOWN},
    };
    for (const CCase& test : cases)
        EXPECT_EQ(FrameDirection(test.nProtocol, test.abFrame.data(), static_cast<int>(test.abFrame.size())),
                  test.eExpected)
            << test.nProtocol << " " << ::testing::PrintToString(test.abFrame);
    EXPECT_EQ(FrameDirection(MONITOR_103, nullptr, 5), DIRECTION_UNKNOWN);
    EXPECT_EQ(CharacterTimeUs(9600, 'N'), 1041);
    EXPECT_EQ(CharacterTimeUs(9600, 'E'), 1145);
    EXPECT_EQ(CharacterTimeUs(0, 'N'), 0);
}

// On a bus one read may hold a request and its answer: each is its own frame with its own
// direction and the time of the read that brought its first byte, less the characters after it in
// that read; a frame cut by the read waits for the next one; what has no header follows the
// line's history and says so.
TEST(MonitorFrame, BusReadsAreCutIntoFramesWithDirectionsAndTimes)
{
    CMonitorCutter cutter(MONITOR_103, LINE_MASTER, DIRECTION_UNKNOWN, 100, 5000);
    std::vector<CMonitorFrame> frames;
    const Bytes abRead = {0x10, 0x5B, 0x01, 0x5C, 0x16, 0x10, 0x09, 0x01, 0x0A, 0x16, 0xE5, 0x10, 0x7B, 0x01, 0x7C, 0x16, 0x68, 0x0E};
    EXPECT_EQ(cutter.Cut(abRead.data(), static_cast<int>(abRead.size()), At(10000), frames), 4);
    // The rest of a garbled frame in the next read continues it, and it is given out once the
    // line is quiet.
    const Bytes abRest = {0x01, 0x81, 0x16};
    EXPECT_EQ(cutter.Cut(abRest.data(), 3, At(90000), frames), 0);
    EXPECT_EQ(cutter.Expire(94999, false, frames), 0);
    EXPECT_EQ(cutter.Expire(95000, false, frames), 1);
    struct CExpected
    {
        std::size_t nLength;
        MonitorDirection eDirection;
        bool bInferred;
        bool bValid;
        std::int64_t nUs;
        std::int64_t nLastUs;
    };
    const CExpected expected[] = {
        {5, DIRECTION_TO_RELAY, false, true, 8300, 8700},   {5, DIRECTION_TO_MASTER, false, true, 8800, 9200},
        {1, DIRECTION_TO_MASTER, false, true, 9300, 9300},  {5, DIRECTION_TO_RELAY, false, true, 9400, 9800},
        {5, DIRECTION_TO_MASTER, true, false, 9900, 90000},
    };
    ASSERT_EQ(frames.size(), std::size(expected));
    for (std::size_t i = 0; i < frames.size(); ++i)
    {
        EXPECT_EQ(frames[i].abBytes.size(), expected[i].nLength) << i;
        EXPECT_EQ(frames[i].eDirection, expected[i].eDirection) << i;
        EXPECT_EQ(frames[i].bDirectionInferred, expected[i].bInferred) << i;
        EXPECT_EQ(frames[i].bValid, expected[i].bValid) << i;
        EXPECT_EQ(frames[i].time.nSteadyUs, expected[i].nUs) << i;
        EXPECT_EQ(frames[i].lastByte.nSteadyUs, expected[i].nLastUs) << i;
        EXPECT_EQ(frames[i].time.nWallUs - frames[i].time.nSteadyUs, 1'700'000'000'000'000) << i;
        EXPECT_EQ(frames[i].nDurationUs, static_cast<std::int64_t>(expected[i].nLength) * 100) << i;
    }

    // A good frame after noise is found; reads of one chunk keep their own times.
    CMonitorCutter relay103(MONITOR_103, LINE_RELAY, DIRECTION_TO_MASTER, 100);
    frames.clear();
    const Bytes abNoisy = {0xFF, 0x10, 0x09, 0x01, 0x0A, 0x16, 0x10, 0x09, 0x01, 0x0A, 0x16};
    EXPECT_EQ(
        relay103.CutReads(abNoisy.data(), 11, {CChunkRead{0, At(10000)}, CChunkRead{6, At(20000)}}, frames),
        3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_FALSE(frames[0].bValid);
    EXPECT_TRUE(frames[1].bValid);
    EXPECT_EQ(frames[1].time.nSteadyUs, 9600);
    EXPECT_EQ(frames[2].time.nSteadyUs, 19600);
    // Bytes that came faster than the line carries them (a reader woken in time) are not timed
    // before the read that came before them.
    const Bytes abQuick = {0x10, 0x09, 0x01, 0x0A, 0x16};
    EXPECT_EQ(relay103.Cut(abQuick.data(), 5, At(20100), frames), 1);
    EXPECT_EQ(frames.back().time.nSteadyUs, 20000);

    // '94: a good command then a frame whose CRC fails; on a receive line the line decides.
    CMonitorCutter bus94(MONITOR_94, LINE_MASTER, DIRECTION_UNKNOWN, 0);
    CMonitorCutter relayLine(MONITOR_94, LINE_RELAY, DIRECTION_TO_MASTER, 0);
    frames.clear();
    const Bytes ab94 = {0x01, 0x83, 0x00, 0x30, 0xF0, 0x01, 0x83, 0x00, 0x30, 0xF1};
    EXPECT_EQ(bus94.Cut(ab94.data(), 10, At(0), frames), 1);
    EXPECT_EQ(bus94.Expire(0, true, frames), 1);
    EXPECT_EQ(relayLine.Cut(ab94.data(), 5, At(0), frames), 1);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].eDirection, DIRECTION_TO_RELAY);
    EXPECT_TRUE(frames[0].bValid);
    EXPECT_EQ(frames[1].eDirection, DIRECTION_TO_MASTER);
    EXPECT_FALSE(frames[1].bValid);
    EXPECT_EQ(frames[2].eDirection, DIRECTION_TO_MASTER);
    EXPECT_EQ(frames[2].nLine, LINE_RELAY);
    EXPECT_EQ(bus94.Cut(nullptr, 4, At(0), frames), 0);
}

// Frames of two lines come out in the order of their times once no earlier one can come; those
// closer than the resolution, or later than the hold allowed, are marked rather than trusted.
TEST(MonitorFrame, TwoLinesAreOrderedByTimeAndCloseCallsAreMarked)
{
    CMonitorOrder order(50000, 2000);
    auto Add = [&order](int nLine, std::int64_t nUs)
    {
        CMonitorFrame frame;
        frame.nLine = nLine;
        frame.time = At(nUs);
        frame.abBytes = {static_cast<std::uint8_t>(nUs / 1000)};
        order.Add(frame);
    };
    Add(LINE_RELAY, 20000);
    Add(LINE_MASTER, 10000);
    Add(LINE_MASTER, 21000); // 1 ms after the relay's: closer than the resolution
    Add(LINE_MASTER, 40000);
    std::vector<CMonitorFrame> released;
    order.Release(60000, false, released); // only what lies 50 ms back
    ASSERT_EQ(released.size(), 1u);
    order.Release(80000, false, released);
    ASSERT_EQ(released.size(), 3u);
    EXPECT_EQ(order.Waiting(), 1u);
    Add(LINE_RELAY, 15000); // came too late for its place
    order.Release(80000, true, released);
    ASSERT_EQ(released.size(), 5u);
    const std::int64_t anUs[] = {10000, 20000, 21000, 15000, 40000};
    const bool abTie[] = {false, false, true, true, false};
    for (std::size_t i = 0; i < released.size(); ++i)
    {
        EXPECT_EQ(released[i].time.nSteadyUs, anUs[i]) << i;
        EXPECT_EQ(released[i].bTie, abTie[i]) << i;
    }
    // Equal times on one line keep the order they came in.
    CMonitorOrder bus(0, 2000);
    for (std::uint8_t n = 0; n < 3; ++n)
    {
        CMonitorFrame frame;
        frame.time = At(5);
        frame.abBytes = {n};
        bus.Add(frame);
    }
    released.clear();
    bus.Release(0, true, released);
    ASSERT_EQ(released.size(), 3u);
    for (std::uint8_t n = 0; n < 3; ++n)
    {
        EXPECT_EQ(released[n].abBytes[0], n);
        EXPECT_FALSE(released[n].bTie);
    }
}

} // namespace
} // namespace relvane

namespace relvane
{
namespace
{

// The window's fields become settings, or a message that says what to correct.
TEST(MonitorSettings, FieldsBecomeSettingsOrSayWhatToCorrect)
{
    struct CCase
    {
        CMonitorFields fields;
        const char* pszError; // nullptr: accepted
    };
    auto Fields = [](bool bBus, const char* pszMaster, const char* pszRelay, const char* pszBaud, const char* pszParity)
    {
        CMonitorFields fields;
        fields.bBus = bBus;
        (bBus ? fields.strBus : fields.strMaster) = pszMaster;
        fields.strRelay = pszRelay;
        fields.strBaud = pszBaud;
        fields.strParity = pszParity;
        return fields;
    };
    const CCase cases[] = {
        {Fields(false, "COM5", "com6", "9600", "Even"), nullptr},
        {Fields(true, "7", "", "115200", "N"), nullptr},
        {Fields(false, "COM5", "COM5", "9600", "None"), "主站发送和装置发送须是两个不同的端口"},
        {Fields(false, "COM5", "", "9600", "None"), "请选择端口(COMn)"},
        {Fields(true, "COMx", "", "9600", "None"), "请选择端口(COMn)"},
        {Fields(false, "COM5", "COM6", "96OO", "None"), "波特率须是1到4000000之间的整数"},
        {Fields(false, "COM5", "COM6", "0", "None"), "波特率须是1到4000000之间的整数"},
        {Fields(false, "COM5", "COM6", "9600", "Parity"), "请选择校验位"},
        {Fields(false, "COM5", "COM999", "9600", "None"), "端口须在COM1和COM256之间"},
    };
    for (const CCase& test : cases)
    {
        CMonitorSettings settings;
        std::string strError;
        const bool bBuilt = BuildMonitorSettings(test.fields, settings, strError);
        EXPECT_EQ(bBuilt, test.pszError == nullptr) << strError;
        if (test.pszError != nullptr)
        {
            EXPECT_EQ(strError, test.pszError);
        }
    }
    CMonitorSettings settings;
    std::string strError;
    ASSERT_TRUE(BuildMonitorSettings(cases[0].fields, settings, strError));
    EXPECT_EQ(settings.nMasterPort, 5);
    EXPECT_EQ(settings.nRelayPort, 6);
    EXPECT_EQ(settings.cParity, 'E');
    EXPECT_EQ(settings.nBusPort, 0);
    ASSERT_TRUE(BuildMonitorSettings(cases[1].fields, settings, strError));
    EXPECT_EQ(settings.nBusPort, 7);
    EXPECT_EQ(settings.nBaud, 115200);
    EXPECT_EQ(ParsePortText("COM"), 0);
    EXPECT_EQ(ParsePortText("COM12345"), 0);
    EXPECT_EQ(ParseParityText("space"), 'S');
}

} // namespace
} // namespace relvane
