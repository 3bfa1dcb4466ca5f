// Time stamps, capture to disk and statistics of a session on fake channels whose clock the test
// sets: what the log and the capture show is when the channels moved the bytes, however late the
// session handled them.
#include "FakeNetworkChannel.h"
#include "FakeSerialChannel.h"
#include "PtyFixture.h"
#include "ScriptedUserInterface.h"
#include "FileSizeLimit.h"
#include "session/CaptureFile.h"
#include "disturbance/DisturbanceUpload.h"
#include "session/RelvaneView.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace relvane
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kT0 = 1796630730LL * 1000000; // 2026-12-07 08:05:30.000 UTC

CChannelTime At(int nMs)
{
    return CChannelTime{kT0 + nMs * 1000LL, 5000000000LL + nMs * 1000LL};
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fake line with a clock the test sets: writes and injected chunks take its time.
class CClockedSerialChannel : public CFakeSerialChannel
{
public:
    void SetClock(const CChannelTime& time) { m_clock = time; }
    // A chunk complete now whose first byte came at firstByte (unset: the same time).
    void Inject(Bytes abChunk, const CChannelTime& firstByte = CChannelTime())
    {
        m_times.push_back({m_clock, firstByte.IsSet() ? firstByte : m_clock});
        InjectChunk(std::move(abChunk));
    }
    int Write(const std::uint8_t* pBytes, int nCount) override
    {
        m_lastWrite = m_clock;
        return CFakeSerialChannel::Write(pBytes, nCount);
    }
    void AdvanceChunk() override
    {
        CFakeSerialChannel::AdvanceChunk();
        m_current = {};
        if (BytesAvailable() > 0 && !m_times.empty())
        {
            m_current = m_times.front();
            m_times.pop_front();
        }
    }
    CChannelTime ChunkTime() const override { return m_current.first; }
    CChannelTime ChunkFirstByteTime() const override { return m_current.second; }
    CChannelTime LastWriteTime() const override { return m_lastWrite; }

private:
    CChannelTime m_clock;
    CChannelTime m_lastWrite;
    std::pair<CChannelTime, CChannelTime> m_current; // complete, first byte
    std::deque<std::pair<CChannelTime, CChannelTime>> m_times;
};

class RecorderTest : public ::testing::Test
{
protected:
    RecorderTest()
    {
        auto pSerial = std::make_unique<CClockedSerialChannel>();
        auto pNetwork = std::make_unique<CFakeNetworkChannel>();
        m_pSerial = pSerial.get();
        m_pNetwork = pNetwork.get();
        m_pView = std::make_unique<CRelvaneView>(std::move(pSerial), std::move(pNetwork), m_ui);
        m_pSerial->SetSink(m_pView->MessageSink());
    }

    CRelvaneView& View() { return *m_pView; }
    static void Deliver() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    std::string Log() { return View().LogText(); }

    void SetUp() override
    {
        setenv("TZ", "UTC0", 1);
        tzset();
        char szDir[] = "/tmp/relvane-capture-XXXXXX";
        ASSERT_NE(mkdtemp(szDir), nullptr);
        m_dir = szDir;
        View().OnCommand(ID_MODE_103);
        View().OnCommand(ID_SHOW_ANNOTATIONS); // one line per entry
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // A request sent at nSentMs and its answer whose bytes arrived at nAnsweredMs; the session
    // handles the answer only after a busy spell of its own.
    void Exchange(int nCommand, int nSentMs, const Bytes& abAnswer, int nAnsweredMs)
    {
        m_pSerial->SetClock(At(nSentMs));
        View().OnCommand(nCommand);
        m_pSerial->SetClock(At(nAnsweredMs));
        m_pSerial->Inject(abAnswer);
        Deliver();
    }

    // Three exchanges answered after 20, 50 and 80 ms (the last garbled), then a time-out.
    void RunScriptedSession()
    {
        Exchange(ID_103_CLASS2, 0, {0x10, 0x09, 0x01, 0x0A, 0x16}, 20);
        Exchange(ID_103_CLASS2, 100,
                 {0x68, 0x07, 0x07, 0x68, 0x08, 0x01, 0x05, 0x81, 0x00, 0x02, 0x03, 0x94, 0x16}, 150);
        Exchange(ID_103_CLASS2, 200, {0x10, 0x09, 0x01, 0x0B, 0x16}, 280);
        m_pSerial->SetClock(At(300));
        View().OnCommand(ID_103_CLASS1);
        View().OnTimer(TIMER_RESPONSE);
        View().Log().Flush();
    }

    std::filesystem::path m_dir;
    CScriptedUserInterface m_ui;
    CClockedSerialChannel* m_pSerial = nullptr;
    CFakeNetworkChannel* m_pNetwork = nullptr;
    std::unique_ptr<CRelvaneView> m_pView;
};

TEST_F(RecorderTest, StampsShowWhenTheBytesMovedInEachForm)
{
    struct CCase
    {
        int nCommand;
        const char* pszSend;    // stamp of the second request
        const char* pszReceive; // stamp of its answer
        int nStartMs;           // each case later than the one before: the log's times never go back
    };
    const CCase cases[] = {
        {ID_STAMP_TIME_OF_DAY, "[08:05:30.100] ", "[08:05:30.150] ", 0},
        {ID_STAMP_SINCE_PREVIOUS, "[+80ms] ", "[+50ms] ", 1000},
    };
    for (const CCase& test : cases)
    {
        View().OnCommand(test.nCommand);
        EXPECT_TRUE(View().QueryCommand(test.nCommand).bChecked);
        View().ClearLog();
        Exchange(ID_103_CLASS2, test.nStartMs, {0x10, 0x09, 0x01, 0x0A, 0x16}, test.nStartMs + 20);
        Exchange(ID_103_CLASS2, test.nStartMs + 100, {0x10, 0x09, 0x01, 0x0A, 0x16}, test.nStartMs + 150);
        const std::string strLog = Log();
        EXPECT_NE(strLog.find(std::string("\r\n") + test.pszSend + "发送: 10 7B 01 7C 16 \r\n" +
                              test.pszReceive + "接收: 10 09 01 0A 16 \r\n"),
                  std::string::npos)
            << strLog;
        // Choosing the form in use again turns the stamps off.
        View().OnCommand(test.nCommand);
        EXPECT_FALSE(View().QueryCommand(test.nCommand).bChecked);
    }
    View().ClearLog();
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(Log(), "超时\r\n");
}

TEST_F(RecorderTest, StatisticsOfAScriptedSession)
{
    RunScriptedSession();
    const CSessionStatistics& statistics = View().Recorder().Statistics();
    using Count = std::pair<std::uint64_t, std::uint64_t>;
    std::map<std::string, Count> frames;
    for (const auto& [strKey, count] : statistics.Frames())
        frames[strKey] = Count(count.nSent, count.nReceived);
    EXPECT_EQ(frames, (std::map<std::string, Count>{{"链路功能码 11", {3, 0}},
                                                    {"链路功能码 10", {1, 0}},
                                                    {"链路功能码 9", {0, 2}},
                                                    {"ASDU 5", {0, 1}}}));
    EXPECT_EQ(statistics.Timeouts(), 1u) << Log();
    EXPECT_EQ(statistics.CheckErrors(), 1u);
    EXPECT_EQ(statistics.BytesSent(), 20u);
    EXPECT_EQ(statistics.BytesReceived(), 23u);
    const auto responses = statistics.Responses();
    EXPECT_EQ(responses.nCount, 3u);
    EXPECT_EQ(responses.nMinUs, 20000);
    EXPECT_EQ(responses.nMedianUs, 50000);
    EXPECT_EQ(responses.nP95Us, 80000);
    EXPECT_EQ(responses.nMaxUs, 80000);
    EXPECT_NE(statistics.Table().find("超时 1, 校验错 1, 拆分帧 0"), std::string::npos) << statistics.Table();

    // Two answers in one read count as frames split from a merged read.
    View().Recorder().Statistics().Reset();
    Exchange(ID_103_CLASS2, 400, {0x10, 0x09, 0x01, 0x0A, 0x16, 0x10, 0x09, 0x01, 0x0A, 0x16}, 420);
    EXPECT_EQ(View().Recorder().Statistics().SplitFrames(), 2u);
    EXPECT_EQ(View().Recorder().Statistics().Timeouts(), 0u);
}

TEST_F(RecorderTest, CaptureKeepsEveryEntryWithItsTimeWhateverTheLogDoes)
{
    std::string strError;
    ASSERT_TRUE(View().Recorder().StartCapture((m_dir / "run").string(), strError)) << strError;
    EXPECT_NE(View().Recorder().CaptureStatus().find("run.txt/.pcapng"), std::string::npos);
    Exchange(ID_103_CLASS2, 0, {0x10, 0x09, 0x01, 0x0A, 0x16}, 20);
    View().ClearLog(); // neither clearing nor the line limit reach the capture
    View().OnCommand(ID_SHOW_ANNOTATIONS);
    Exchange(ID_103_CLASS2, 100,
             {0x68, 0x07, 0x07, 0x68, 0x08, 0x01, 0x05, 0x81, 0x00, 0x02, 0x03, 0x94, 0x16}, 150);
    View().Recorder().StopCapture();
    EXPECT_EQ(View().Recorder().CaptureStatus(), "");

    const std::string strText = ReadFile(m_dir / "run.txt");
    const std::string strExpectedStart = std::string(CSessionRecorder::kCaptureTimesNote) +
                                         "[2026-12-07 08:05:30.000] 发送: 10 5B 01 5C 16 \r\n"
                                         "[2026-12-07 08:05:30.020] 接收: 10 09 01 0A 16 \r\n"
                                         "[2026-12-07 08:05:30.100] 发送: 10 7B 01 7C 16 \r\n";
    EXPECT_EQ(strText.substr(0, strExpectedStart.size()), strExpectedStart) << strText;
    // The annotation's line breaks are "\r\n" too.
    EXPECT_NE(
        strText.find("[2026-12-07 08:05:30.150] 接收: 68 07 07 68 08 01 05 81 00 02 03 94 16 \r\n (\r\n"),
        std::string::npos)
        << strText;
    EXPECT_EQ(strText.find("\n\n"), std::string::npos);
    // Section header, one interface, four packets.
    EXPECT_GT(ReadFile(m_dir / "run.pcapng").size(), 28u + 32u + 4 * 48u);
}

// The enhanced packet blocks of a pcapng file: (inbound, time in microseconds) each.
std::vector<std::pair<bool, std::int64_t>> PacketTimes(const std::string& strFile)
{
    auto U32 = [&strFile](std::size_t nAt)
    {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<std::uint8_t>(strFile[nAt + static_cast<std::size_t>(i)]);
        return n;
    };
    std::vector<std::pair<bool, std::int64_t>> packets;
    for (std::size_t nAt = 0; nAt + 12 <= strFile.size() && U32(nAt + 4) >= 12; nAt += U32(nAt + 4))
    {
        if (U32(nAt) != 6 || nAt + 28 > strFile.size())
            continue;
        const std::int64_t nTime = (static_cast<std::int64_t>(U32(nAt + 12)) << 32) | U32(nAt + 16);
        // The flags option (2) follows the padded packet data.
        const std::size_t nOptions = nAt + 28 + ((U32(nAt + 20) + 3) & ~3u);
        packets.emplace_back(nOptions + 8 <= strFile.size() && (U32(nOptions + 4) & 3) == 1, nTime);
    }
    return packets;
}

// A serial answer in the capture carries the time its first byte came, not the end of the read a
// silence gap later; the text capture says which time is which.
TEST_F(RecorderTest, CapturedAnswersCarryTheirFirstByteTime)
{
    std::string strError;
    ASSERT_TRUE(View().Recorder().StartCapture((m_dir / "first").string(), strError)) << strError;
    m_pSerial->SetClock(At(0));
    View().OnCommand(ID_103_CLASS2);
    m_pSerial->SetClock(At(45)); // the read ends 30 ms after the last byte
    m_pSerial->Inject(Bytes{0x10, 0x09, 0x01, 0x0A, 0x16, 0xE5}, At(12));
    Deliver();
    View().Recorder().StopCapture();

    const auto packets = PacketTimes(ReadFile(m_dir / "first.pcapng"));
    using Packet = std::pair<bool, std::int64_t>;
    EXPECT_EQ(packets, (std::vector<Packet>{{false, At(0).nWallUs}, {true, At(12).nWallUs}, {true, At(12).nWallUs}}));
    EXPECT_EQ(ReadFile(m_dir / "first.txt").rfind(CSessionRecorder::kCaptureTimesNote, 0), 0u);
    // The response time is taken from the same first byte.
    EXPECT_EQ(View().Recorder().Statistics().Responses().nMinUs, 12000);
}

// Ethernet 103: TCP payloads and UDP frames on interfaces of their own, each with its direction,
// and Wireshark reads every payload back as plain bytes, whatever its first bytes look like.
TEST_F(RecorderTest, EthernetCaptureKeepsTcpAndUdpApartWithDirections)
{
    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark not installed";
    View().OnCommand(ID_MODE_ETH103);
    std::string strError;
    ASSERT_TRUE(View().Recorder().StartCapture((m_dir / "eth").string(), strError)) << strError;
    Bytes abUdp(41, 0);
    abUdp[0] = 0xFF;
    abUdp[40] = 0x16;
    struct CPacket
    {
        bool bTcp;
        Bytes abPayload;
        const char* pszExpected; // interface, direction, protocol column; then the bytes
    };
    const CPacket packets[] = {
        {true, {0x68, 0x04, 0x01, 0x00}, "Ethernet 103 TCP\t0x00000001\tTCP\t"},
        {false, abUdp, "Ethernet 103 UDP\t0x00000002\tUDP\t"},
        {true, {0x00}, "Ethernet 103 TCP\t0x00000001\tTCP\t"},
        {true, {0x45, 0x00, 0x00, 0x14, 0x00, 0x00}, "Ethernet 103 TCP\t0x00000001\tTCP\t"},
    };
    std::string strExpected;
    for (const CPacket& packet : packets)
    {
        if (packet.bTcp)
            m_pNetwork->PostTcpData(packet.abPayload);
        else
            m_pNetwork->PostUdpSent(packet.abPayload);
        Deliver();
        strExpected += packet.pszExpected;
        for (const std::uint8_t b : packet.abPayload)
        {
            char szHex[3];
            std::snprintf(szHex, sizeof szHex, "%02x", b);
            strExpected += szHex;
        }
        strExpected += "\n";
    }
    View().Recorder().StopCapture();

    const std::string strFields = (m_dir / "fields.txt").string();
    ASSERT_EQ(std::system(("tshark -r " + (m_dir / "eth.pcapng").string() +
                           " -T fields -e frame.interface_name -e frame.packet_flags_direction"
                           " -e _ws.col.Protocol -e data.data > " +
                           strFields + " 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(ReadFile(strFields), strExpected);
}

// On a disk that fills up (a file-size limit: a short write, then EFBIG) both files end on the
// last whole entry: a text entry or a pcapng block the disk took only in part is cut off again.
// A named pipe is refused at once instead of holding the window until someone reads it.
TEST_F(RecorderTest, CaptureEndsOnAWholeEntryOnAFullDisk)
{
    ASSERT_EQ(mkfifo((m_dir / "pipe.txt").c_str(), 0600), 0);
    std::string strPipeError;
    EXPECT_FALSE(View().Recorder().StartCapture((m_dir / "pipe").string(), strPipeError));
    EXPECT_NE(strPipeError.find("named pipe"), std::string::npos) << strPipeError;

    // One capture fills up with text entries, the other with packets (the first error stops a
    // capture).
    CCaptureFile text;
    CCaptureFile packets;
    std::string strError;
    ASSERT_TRUE(text.Open((m_dir / "full").string(), strError)) << strError;
    ASSERT_TRUE(packets.Open((m_dir / "packets").string(), strError)) << strError;
    const std::string strEntry(3000, 'x');
    const std::vector<std::uint8_t> abFrame(1000, 0x68);
    {
        test::CFileSizeLimit limit(10000);
        while (text.WriteText(strEntry))
        {
        }
        while (packets.WritePacket(CAPTURE_SERIAL_103, true, 0, abFrame.data(), static_cast<int>(abFrame.size())))
        {
        }
    }
    for (CCaptureFile* pCapture : {&text, &packets})
    {
        EXPECT_NE(pCapture->Error().find("File too large"), std::string::npos) << pCapture->Error();
        pCapture->Close();
    }
    EXPECT_EQ(ReadFile(m_dir / "full.txt"), strEntry + strEntry + strEntry);
    // The pcapng blocks, each with its length, add up to the file.
    const std::string strPackets = ReadFile(m_dir / "packets.pcapng");
    std::size_t nOffset = 0;
    int nBlocks = 0;
    while (nOffset + 8 <= strPackets.size())
    {
        std::uint32_t nLength = 0;
        std::memcpy(&nLength, strPackets.data() + nOffset + 4, 4);
        ASSERT_GE(nLength, 12u);
        nOffset += nLength;
        ++nBlocks;
    }
    EXPECT_EQ(nOffset, strPackets.size());
    EXPECT_GE(nBlocks, 3) << "the section header, the interface and packets";
}

TEST_F(RecorderTest, AWritingErrorStopsTheCaptureAndNotTheSession)
{
    std::string strError;
    EXPECT_FALSE(View().Recorder().StartCapture((m_dir / "missing" / "run").string(), strError));
    EXPECT_NE(strError.find("run.txt"), std::string::npos);

    ASSERT_TRUE(View().Recorder().StartCapture((m_dir / "run").string(), strError)) << strError;
    std::filesystem::remove(m_dir / "run.txt");
    std::filesystem::remove(m_dir / "run.pcapng");
    // The next sync, a second on, notices.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (View().Recorder().IsCapturing() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(View().Recorder().IsCapturing());
    Exchange(ID_103_CLASS2, 0, {0x10, 0x09, 0x01, 0x0A, 0x16}, 20);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_NE(m_ui.Messages()[0].find("捕获已停止"), std::string::npos) << m_ui.Messages()[0];
    Exchange(ID_103_CLASS2, 100, {0x10, 0x09, 0x01, 0x0A, 0x16}, 120);
    EXPECT_EQ(Log(), "发送: 10 5B 01 5C 16 \r\n接收: 10 09 01 0A 16 \r\n发送: 10 7B 01 7C 16 \r\n接收: 10 09 "
                     "01 0A 16 \r\n");
}

} // namespace
} // namespace relvane

namespace relvane
{
namespace
{

// Rows by number within their kind, with the names of ASDU types and link functions (each
// direction's own); the text table in the same order.
TEST(SessionStatistics, RowsInNumericOrderWithNames)
{
    CSessionStatistics statistics;
    const struct
    {
        const char* pszKey;
        bool bInbound;
    } frames[] = {{"ASDU 10", true},        {"ASDU 2", true},        {"TCP", true},
                  {"链路功能码 11", false}, {"链路功能码 9", false}, {"链路功能码 9", true},
                  {"ASDU 1", true},         {"83H", false},          {"B0H", true},
                  {"8AH", false},           {"链路功能码 0", true},  {"ASDU 99", true}};
    for (const auto& frame : frames)
        statistics.OnFrame(frame.pszKey, frame.bInbound);
    std::vector<std::string> keys;
    std::vector<std::string> names;
    for (const CSessionStatistics::CFrameRow& row : statistics.FrameRows())
    {
        keys.push_back(row.strKey);
        names.push_back(row.strName);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"83H", "8AH", "B0H", "ASDU 1", "ASDU 2", "ASDU 10", "ASDU 99",
                                              "链路功能码 0", "链路功能码 9", "链路功能码 11", "TCP"}));
    EXPECT_EQ(names, (std::vector<std::string>{"", "", "", "带时标的报文", "具有相对时间的带时标的报文",
                                               "通用分类数据", "", "确认", "请求链路状态 / 无所召唤的数据",
                                               "召唤二级用户数据", ""}));

    // The text table (the runner's) in the same order.
    const std::string strTable = statistics.Table();
    EXPECT_LT(strTable.find("\n8AH "), strTable.find("\nASDU 1 "));
    EXPECT_LT(strTable.find("\nASDU 2 "), strTable.find("\nASDU 10 "));
    EXPECT_LT(strTable.find("\n链路功能码 9 "), strTable.find("\n链路功能码 11 "));
}

// The device goes away in the middle of a disturbance upload on a real line: the upload ends at
// once with its word, nothing is logged, captured or counted as sent after the disconnect, no
// time-out follows, and the capture's times never go back.
class PortVanish : public test::PtyFixture
{
};

TEST_F(PortVanish, NothingIsSentAfterTheDeviceGoesMidUpload)
{
    constexpr int kPort = 46;
    const int nMaster = OpenPty(kPort);
    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), ui);
    CSerialFields serial = view.SerialFields();
    serial.strPort = "COM" + std::to_string(kPort);
    serial.nTimeoutMs = 100; // a relay that stays silent: time-outs and repeated requests
    ui.SerialForm().Push(Confirm(serial));
    view.OnCommand(ID_SERIAL_SETTINGS);
    view.OnCommand(ID_SERIAL_CONNECT);
    ASSERT_TRUE(view.PortOpen()) << (ui.Messages().empty() ? "" : ui.Messages().front());
    view.OnCommand(ID_MODE_103);
    view.OnCommand(ID_SHOW_ANNOTATIONS);
    std::string strError;
    ASSERT_TRUE(view.Recorder().StartCapture((m_root / "gone").string(), strError)) << strError;

    CDisturbanceUpload upload(view);
    upload.SetWatchdogMs(150);
    std::vector<QString> finished;
    QObject::connect(&upload, &CDisturbanceUpload::Finished,
                     [&finished](bool, const QString& strMessage) { finished.push_back(strMessage); });
    ASSERT_TRUE(upload.StartUpload(1, m_root.string(), ComtradeFormat::Ascii, strError)) << strError;

    auto RunUntil = [](const std::function<bool()>& fnDone)
    {
        QTimer wake;
        wake.start(10);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fnDone() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return fnDone();
    };
    auto Count = [](const std::string& strText, const std::string& strWhat)
    {
        std::size_t nCount = 0;
        for (std::size_t n = strText.find(strWhat); n != std::string::npos; n = strText.find(strWhat, n + 1))
            ++nCount;
        return nCount;
    };
    // Requests go out and time out (the relay reads them and says nothing), then the device goes.
    ASSERT_TRUE(RunUntil([&] { return Count(view.LogText(), "超时") >= 2; })) << view.LogText();
    CloseMaster(nMaster);
    ASSERT_TRUE(RunUntil([&] { return !finished.empty(); })) << view.LogText();
    EXPECT_EQ(finished, std::vector<QString>{QStringLiteral("串口已断开, 录波读取中止。")});
    EXPECT_FALSE(view.PortOpen());
    EXPECT_TRUE(view.SerialLinkIdle());

    const std::string strLog = view.LogText();
    const std::size_t nGone = strLog.find("串口已断开: COM46 (设备已移除)\r\n");
    ASSERT_NE(nGone, std::string::npos) << strLog;
    EXPECT_EQ(strLog.find("发送", nGone), std::string::npos) << strLog;
    EXPECT_EQ(strLog.find("超时", nGone), std::string::npos) << strLog;
    ASSERT_TRUE(view.Recorder().StopCapture());

    // Every packet in the capture is a frame the log shows as sent, in an order of times that
    // never goes back.
    const auto packets = PacketTimes(ReadFile(m_root / "gone.pcapng"));
    EXPECT_EQ(static_cast<std::size_t>(std::count_if(packets.begin(), packets.end(),
                                                     [](const auto& packet) { return !packet.first; })),
              Count(strLog, "发送: "));
    for (std::size_t i = 1; i < packets.size(); ++i)
        EXPECT_GE(packets[i].second, packets[i - 1].second) << i;
    std::uint64_t nCounted = 0;
    for (const auto& [strKey, count] : view.Recorder().Statistics().Frames())
        nCounted += count.nSent;
    EXPECT_EQ(nCounted, Count(strLog, "发送: ")) << "the statistics count what the log shows as sent";
}

} // namespace
} // namespace relvane
