#include "monitor/LineMonitor.h"

#include "FakeLine.h"
#include "PacedLine.h"
#include "session/LogDocument.h"
#include "session/SessionRecorder.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace relvane
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

CMonitorFrame Frame(Bytes abBytes, MonitorDirection eDirection, bool bValid = true)
{
    CMonitorFrame frame;
    frame.abBytes = std::move(abBytes);
    frame.eDirection = eDirection;
    frame.bValid = bValid;
    return frame;
}

// Each entry: the direction, its marks, the error word of the protocol, the bytes, and the
// workbench's own annotation block.
TEST(LineMonitorEntry, EntriesSayDirectionMarksBytesAndTheWorkbenchAnnotation)
{
    CMonitorFrame inferred = Frame({0x68, 0x0E}, DIRECTION_TO_MASTER, false);
    inferred.bDirectionInferred = true;
    inferred.bTie = true;
    struct CCase
    {
        CMonitorFrame frame;
        int nProtocol;
        std::string strExpected;
    };
    const CCase cases[] = {
        {Frame({0x10, 0x5B, 0x01, 0x5C, 0x16}, DIRECTION_TO_RELAY), MONITOR_103, "主站→装置: 10 5B 01 5C 16 \r\n"},
        {Frame({0xE5}, DIRECTION_TO_MASTER), MONITOR_103,
         "装置→主站: E5 \r\n (\n单个控制字符E5H: 肯定确认或无所请求的数据\n) \r\n"},
        {inferred, MONITOR_103, "装置→主站(推测)(先后不定) 校验和出错: 68 0E \r\n"},
        {Frame({0x01, 0x83, 0x00, 0x30, 0xF1}, DIRECTION_TO_RELAY, false), MONITOR_94, "主站→装置 CRC错: 01 83 00 30 F1 \r\n"},
        {Frame({0x01, 0xB7, 0x09, 0x04, 0x20, 0x12, 0x31, 0x23, 0x59, 0x58, 0x99, 0x09, 0x9B, 0x7C}, DIRECTION_TO_MASTER),
         MONITOR_94,
         "装置→主站: 01 B7 09 04 20 12 31 23 59 58 99 09 9B 7C \r\n (\n2004年12月31日 23:59:58.999 ) \r\n"},
        {Frame({0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01, 0x01, 0x81, 0x01, 0x01, 0x80, 0x5A, 0x02, 0x39, 0x30, 0x1E, 0x0A,
                0x00, 0xFA, 0x16},
               DIRECTION_TO_MASTER),
         MONITOR_103,
         "装置→主站: 68 0E 0E 68 08 01 01 81 01 01 80 5A 02 39 30 1E 0A 00 FA 16 \r\n (\n链路地址: 1      ASDU 1      "
         "COT: 1  自发(突发)\n应用服务数据单元公共地址: 1\n功能类型(FUN): 128      信息序号(INF): 90\n双点信息(DPI): 2  合      "
         "时间: 10:30:12.345      附加信息(SIN): 0\n) \r\n"},
    };
    for (const CCase& test : cases)
        EXPECT_EQ(CLineMonitor::EntryText(test.frame, test.nProtocol, KLR10), test.strExpected);
}

TEST(LineMonitorEntry, SettingsOfTheTwoFormsAreChecked)
{
    struct CCase
    {
        int nMaster, nRelay, nBus, nBaud;
        char cParity;
        bool bGood;
    };
    const CCase cases[] = {
        {5, 6, 0, 9600, 'N', true},   {0, 0, 7, 115200, 'E', true}, {5, 5, 0, 9600, 'N', false},
        {5, 0, 0, 9600, 'N', false},  {5, 6, 7, 9600, 'N', false},  {0, 0, 300, 9600, 'N', false},
        {5, 6, 0, 0, 'N', false},     {5, 6, 0, 9600, 'X', false},
    };
    for (const CCase& test : cases)
    {
        CMonitorSettings settings;
        settings.nMasterPort = test.nMaster;
        settings.nRelayPort = test.nRelay;
        settings.nBusPort = test.nBus;
        settings.nBaud = test.nBaud;
        settings.cParity = test.cParity;
        EXPECT_EQ(CheckMonitorSettings(settings).empty(), test.bGood) << test.nMaster << " " << test.nRelay << " " << test.nBus;
    }
}

// Delivered chunks reach the monitor once the events posted for them are handled.
void HandlePosted()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// A monitor on two fake lines; times are given relative to a start a minute ahead, so that no
// frame is due before Stop, whatever order the lines are delivered in and however slow the test.
class FakeLineMonitor : public ::testing::Test
{
protected:
    FakeLineMonitor()
    {
        auto pMaster = std::make_unique<test::CFakeLine>();
        auto pRelay = std::make_unique<test::CFakeLine>();
        m_pMaster = pMaster.get();
        m_pRelay = pRelay.get();
        m_pMonitor = std::make_unique<CLineMonitor>(std::move(pMaster), std::move(pRelay));
        m_pMonitor->SetEntryTap([this](const std::string& strEntry)
                                { m_strEntries += strEntry.substr(strEntry.find("] ") + 2); });
        m_settings.nMasterPort = 31;
        m_settings.nRelayPort = 32;
        m_settings.nBaud = 9600;
        m_settings.nResolutionUs = 1000;
    }

    bool Start()
    {
        std::string strError;
        const bool bStarted = m_pMonitor->Start(m_settings, strError);
        EXPECT_TRUE(bStarted) << strError;
        return bStarted;
    }
    // One read on a line: its bytes, when it completed and since when its line was seen quiet
    // (milliseconds after the start; a negative quiet time: unknown).
    void Read(test::CFakeLine* pLine, const Bytes& abBytes, double dReadMs, double dQuietMs = -1)
    {
        pLine->Deliver({{abBytes, Us(dReadMs), dQuietMs < 0 ? 0 : Us(dQuietMs)}});
        HandlePosted();
    }
    std::int64_t Us(double dMs) const { return m_nStartUs + static_cast<std::int64_t>(dMs * 1000); }

    const std::int64_t m_nStartUs = CChannelTime::Now().nSteadyUs + 60000000;
    test::CFakeLine* m_pMaster = nullptr;
    test::CFakeLine* m_pRelay = nullptr;
    std::unique_ptr<CLineMonitor> m_pMonitor;
    CMonitorSettings m_settings;
    std::string m_strEntries;
};

// Request, answer, an unanswered request and a garbled answer, the relay's line delivered first:
// each is written once, in the order of the line, with its direction; stopping writes what was
// still held back; the statistics count both ways. The ports are opened for reading only and
// nothing is written to them.
TEST_F(FakeLineMonitor, TwoLinesAreHeardInOrderAndStoppingWritesWhatWasHeld)
{
    CLineMonitor& monitor = *m_pMonitor;
    ASSERT_TRUE(Start());
    std::string strError;
    EXPECT_FALSE(monitor.Start(CMonitorSettings{}, strError));
    EXPECT_FALSE(strError.empty());
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_pMaster->IsOpen() && m_pRelay->IsOpen());
    EXPECT_TRUE(m_pMaster->IsReadOnly() && m_pRelay->IsReadOnly());
    EXPECT_EQ(m_pRelay->Port(), 32);

    Read(m_pRelay, {0x10, 0x09, 0x01, 0x0A, 0x16}, 30, 20);
    Read(m_pRelay, {0x10, 0x09, 0x01, 0x0B, 0x16}, 130, 100);
    Read(m_pMaster, {0x10, 0x5B, 0x01, 0x5C, 0x16}, 6, 0);
    Read(m_pMaster, {0x10, 0x7B, 0x01, 0x7C, 0x16}, 56, 40);
    Read(m_pMaster, {0x10, 0x5B, 0x01}, 100, 90); // cut between reads
    Read(m_pMaster, {0x5C, 0x16}, 102, 101);
    monitor.Stop();
    EXPECT_FALSE(monitor.IsRunning());
    EXPECT_FALSE(m_pMaster->IsOpen() || m_pRelay->IsOpen());
    EXPECT_EQ(m_strEntries, "主站→装置: 10 5B 01 5C 16 \r\n"
                            "装置→主站: 10 09 01 0A 16 \r\n"
                            "主站→装置: 10 7B 01 7C 16 \r\n"
                            "主站→装置: 10 5B 01 5C 16 \r\n"
                            "装置→主站 校验和出错: 10 09 01 0B 16 \r\n");
    EXPECT_EQ(monitor.FrameCount(), 5u);
    monitor.Log().Flush();
    EXPECT_NE(monitor.Log().PlainText().find("装置→主站: 10 09 01 0A 16 \r\n"), std::string::npos);
    const std::string strTable = monitor.StatisticsTable();
    EXPECT_EQ(strTable.rfind("报文              主站→装置  装置→主站\n", 0), 0u) << strTable;
    EXPECT_NE(strTable.find("链路功能码 11          3         0\n"), std::string::npos) << strTable;
    EXPECT_NE(strTable.find("无应答 1, 校验错 1"), std::string::npos) << strTable;
    EXPECT_NE(strTable.find("响应时间(ms): 2 次"), std::string::npos) << strTable;
    EXPECT_EQ(m_pMaster->Written() + m_pRelay->Written(), 0);
}

// A reader woken late stamps its frame late. Where its line was last seen quiet before the other
// line's frame, the two may have come either way: the later one shown is marked "先后不定". Where
// its line was seen quiet after the other's frame, or the reader was on time, the order is sure.
TEST_F(FakeLineMonitor, AReaderWokenLateMarksTheFramesItMayHaveCarriedEarlier)
{
    struct CCase
    {
        const char* pszWhat;
        double dRequestReadMs, dRequestQuietMs;
        const char* pszExpected;
    };
    const CCase cases[] = {
        {"request read late, line seen quiet long before", 30, 2,
         "装置→主站: 10 09 01 0A 16 \r\n主站→装置(先后不定): 10 5B 01 5C 16 \r\n"},
        {"request read late, unknown when its line was quiet", 30, -1,
         "装置→主站: 10 09 01 0A 16 \r\n主站→装置: 10 5B 01 5C 16 \r\n"},
        {"request after the answer, its line seen quiet after the answer", 30, 26,
         "装置→主站: 10 09 01 0A 16 \r\n主站→装置: 10 5B 01 5C 16 \r\n"},
        {"request on time", 6, 0, "主站→装置: 10 5B 01 5C 16 \r\n装置→主站: 10 09 01 0A 16 \r\n"},
        {"answer read late, its line seen quiet before the request", 6, 0,
         "主站→装置: 10 5B 01 5C 16 \r\n装置→主站(先后不定): 10 09 01 0A 16 \r\n"},
    };
    for (const CCase& test : cases)
    {
        m_strEntries.clear();
        ASSERT_TRUE(Start());
        const bool bAnswerLate = std::string(test.pszWhat).rfind("answer read late", 0) == 0;
        Read(m_pRelay, {0x10, 0x09, 0x01, 0x0A, 0x16}, 25, bAnswerLate ? 1 : 20);
        Read(m_pMaster, {0x10, 0x5B, 0x01, 0x5C, 0x16}, test.dRequestReadMs, test.dRequestQuietMs);
        m_pMonitor->Stop();
        EXPECT_EQ(m_strEntries, test.pszExpected) << test.pszWhat;
    }
}

// A port that does not open is named and the other is closed again; a line whose device goes away
// is named while the other is still heard.
TEST_F(FakeLineMonitor, APortThatFailsOrGoesAwayIsNamed)
{
    m_pRelay->SetOpenResult(CHANNEL_FAILED);
    std::string strError;
    EXPECT_FALSE(m_pMonitor->Start(m_settings, strError));
    EXPECT_EQ(strError, "无法打开串口 COM32");
    EXPECT_FALSE(m_pMaster->IsOpen());
    EXPECT_FALSE(m_pMonitor->IsRunning());

    m_pRelay->SetOpenResult(CHANNEL_OK);
    ASSERT_TRUE(Start());
    std::vector<QString> gone;
    QObject::connect(m_pMonitor.get(), &CLineMonitor::LineGone, [&](const QString& strText) { gone.push_back(strText); });
    m_pRelay->HangUp();
    HandlePosted();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].toStdString(), "串口已断开: COM32");
    Read(m_pMaster, {0x10, 0x5B, 0x01, 0x5C, 0x16}, 6, 0);
    m_pMonitor->Stop();
    EXPECT_EQ(m_strEntries, "主站→装置: 10 5B 01 5C 16 \r\n");
}

// Two pseudo-terminals play the master's and the relay's transmit lines, heard by real channels.
class LineMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/relvane-monitor-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_root = szTemplate;
        std::filesystem::create_directories(m_root / "relvane" / "ports");
        setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
        for (int nPort : {31, 32})
        {
            const int nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            ASSERT_GE(nMaster, 0);
            grantpt(nMaster);
            unlockpt(nMaster);
            std::filesystem::create_symlink(ptsname(nMaster), m_root / "relvane" / "ports" / ("COM" + std::to_string(nPort)));
            m_anMasters.push_back(nMaster);
        }
    }
    void TearDown() override
    {
        for (int nFd : m_anMasters)
            close(nFd);
        std::filesystem::remove_all(m_root);
        unsetenv("XDG_CONFIG_HOME");
    }

    std::filesystem::path m_root;
    std::vector<int> m_anMasters;
};

// A master polling back to back and a relay answering after its turnaround, paced at the line's
// rate, a few characters between an answer and the next request: on two lines and on a bus,
// every frame is heard once, with its direction, in the order of the line.
TEST_F(LineMonitorTest, BackToBackTrafficAtLineRateIsHeardWholeAndInOrder)
{
    for (const bool bBus : {false, true})
    {
        CLineMonitor monitor(std::make_unique<CSerialChannel>(), std::make_unique<CSerialChannel>());
        monitor.SetKeepLog(false);
        std::vector<CMonitorFrame> heard;
        monitor.SetFrameTap([&](const CMonitorFrame& frame) { heard.push_back(frame); });
        CMonitorSettings settings;
        (bBus ? settings.nBusPort : settings.nMasterPort) = 31;
        settings.nRelayPort = bBus ? 0 : 32;
        settings.nBaud = 115200;
        std::string strError;
        ASSERT_TRUE(monitor.Start(settings, strError)) << strError;

        std::vector<test::CPacedFrame> played = test::BackToBackPolling103(400);
        test::CPacedLine line(115200, 'N', 1000, 3 * 87);
        std::atomic<bool> bDone{false};
        std::thread player(
            [&]
            {
                line.Play(played, m_anMasters[0], m_anMasters[bBus ? 0 : 1]);
                bDone = true;
            });
        QElapsedTimer timer;
        timer.start();
        while ((!bDone || monitor.FrameCount() + monitor.WaitingCount() < played.size()) &&
               timer.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        player.join();
        monitor.Stop();

        // Each direction (one line of two, or one direction of the bus) is heard whole and in its
        // order; on a bus, where one reader hears both, the order between them is the line's too.
        // (Across two lines the order rests on two readers' times, which a loaded machine may hold
        // up: the benchmark measures them.)
        auto Text = [](bool bFromRelay, bool bValid, const std::vector<std::uint8_t>& abBytes)
        {
            return std::string(bFromRelay ? "装置→主站" : "主站→装置") + (bValid ? ": " : " 校验和出错: ") +
                   CSessionRecorder::ByteText(abBytes.data(), static_cast<int>(abBytes.size()), 1) + "\n";
        };
        for (const int nWhich : {0, 1, 2}) // master's, relay's, both
        {
            if (nWhich == 2 && !bBus)
                continue;
            std::vector<std::string> expected, got;
            for (const test::CPacedFrame& frame : played)
            {
                if (nWhich == 2 || frame.bFromRelay == (nWhich == 1))
                    expected.push_back(Text(frame.bFromRelay, true, frame.abBytes));
            }
            for (const CMonitorFrame& frame : heard)
            {
                const bool bFromRelay = frame.eDirection == DIRECTION_TO_MASTER;
                if (nWhich == 2 || bFromRelay == (nWhich == 1))
                    got.push_back(Text(bFromRelay, frame.bValid, frame.abBytes));
            }
            std::size_t nSame = 0;
            while (nSame < expected.size() && nSame < got.size() && expected[nSame] == got[nSame])
                ++nSame;
            EXPECT_EQ(got.size(), expected.size()) << (bBus ? "bus " : "two lines ") << nWhich;
            EXPECT_EQ(nSame, expected.size()) << (bBus ? "bus " : "two lines ") << nWhich << ": heard "
                                              << (nSame < got.size() ? got[nSame] : "nothing") << "played "
                                              << (nSame < expected.size() ? expected[nSame] : "nothing");
        }
        if (bBus)
        {
            EXPECT_EQ(monitor.Statistics().Timeouts(), 0u) << monitor.StatisticsTable();
            EXPECT_TRUE(std::none_of(heard.begin(), heard.end(),
                                     [](const CMonitorFrame& frame) { return frame.bTie; }));
        }
    }
}

} // namespace
} // namespace relvane
