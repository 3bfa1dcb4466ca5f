// relvane-monitor on a tap between relvane-run (the master) and relvane-relay, both ends and the
// tap made of pseudo-terminals: what the monitor heard must be what the runner logged.
#if defined(RELVANE_MONITOR_PATH) && defined(RELVANE_TAP_PATH)

#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace
{

using relvane::test::StartChildProcess;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One logged frame: its direction (true: from the relay), whether it was logged as garbled, bytes.
struct CHeard
{
    bool bFromRelay = false;
    bool bGarbled = false;
    std::string strBytes;

    friend bool operator==(const CHeard&, const CHeard&) = default;
    friend std::ostream& operator<<(std::ostream& out, const CHeard& heard)
    {
        return out << (heard.bFromRelay ? "relay " : "master ") << (heard.bGarbled ? "garbled " : "") << heard.strBytes;
    }
};

// Frames of at least five bytes: the workbench drops a shorter read unlogged, the monitor logs
// everything it hears; from five bytes on, both log every frame.
bool Compared(const std::string& strBytes)
{
    return strBytes.size() >= 5 * 3;
}

// The runner's log: "发送: ", "接收: ", "校验和出错: " and "CRC错: " lines.
std::vector<CHeard> RunnerFrames(const std::string& strLog)
{
    static const std::regex line("(?:^|\n)(发送|接收|校验和出错|CRC错): ([0-9A-F ]+)\r");
    std::vector<CHeard> frames;
    for (auto it = std::sregex_iterator(strLog.begin(), strLog.end(), line); it != std::sregex_iterator(); ++it)
    {
        const std::string strKind = (*it)[1];
        if (Compared((*it)[2]))
            frames.push_back({strKind != "发送", strKind == "校验和出错" || strKind == "CRC错", (*it)[2]});
    }
    return frames;
}

// The monitor's log: "[12:34:56.789] 装置→主站(推测)(先后不定) 校验和出错: ..." lines.
std::vector<CHeard> MonitorFrames(const std::string& strLog, int* pnTies = nullptr)
{
    static const std::regex line("(?:^|\n)\\[[0-9:.]+\\] (主站→装置|装置→主站)((?:\\([^)]*\\))*)( 校验和出错| CRC错)?: "
                                 "([0-9A-F ]+)\r");
    std::vector<CHeard> frames;
    for (auto it = std::sregex_iterator(strLog.begin(), strLog.end(), line); it != std::sregex_iterator(); ++it)
    {
        if (pnTies != nullptr && (*it)[2].str().find("先后不定") != std::string::npos)
            ++*pnTies;
        if (Compared((*it)[4]))
            frames.push_back({(*it)[1] == "装置→主站", (*it)[3].matched, (*it)[4]});
    }
    return frames;
}

struct CMonitorCase
{
    const char* pszName;
    const char* pszProtocol;
    bool bBus;
    const char* pszScript; // after "set port COM221" and "set baud 115200"
};

class RelvaneMonitor : public ::testing::TestWithParam<CMonitorCase>
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-monitor-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
        std::filesystem::create_directories(m_dir / "relvane" / "ports");
    }
    void TearDown() override
    {
        for (pid_t nPid : m_children)
            Stop(nPid);
        std::filesystem::remove_all(m_dir);
    }

    pid_t Start(const char* pszProgram, std::vector<std::string> args, const std::string& strOutput)
    {
        const pid_t nPid = StartChildProcess(pszProgram, std::move(args), m_dir / strOutput, m_dir.c_str());
        m_children.push_back(nPid);
        return nPid;
    }
    // SIGTERM, then the exit status (-1 when it had to be killed).
    int Stop(pid_t& nPid)
    {
        if (nPid <= 0)
            return -1;
        kill(nPid, SIGTERM);
        int nStatus = 0;
        for (int i = 0; i < 1000 && waitpid(nPid, &nStatus, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waitpid(nPid, &nStatus, WNOHANG) == 0)
        {
            kill(nPid, SIGKILL);
            waitpid(nPid, &nStatus, 0);
            nStatus = -1;
        }
        nPid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }
    bool WaitForText(const std::string& strFile, const std::string& strText, int nMs = 15000)
    {
        for (int i = 0; i < nMs / 10; ++i)
        {
            if (ReadFile(m_dir / strFile).find(strText) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::filesystem::path m_dir;
    std::vector<pid_t> m_children;
};

// The '94 and 103 sessions, on two receive lines and on a bus, with the relay's faults on.
TEST_P(RelvaneMonitor, HearsEveryFrameOfARealSessionInOrderAndDirection)
{
    const CMonitorCase& test = GetParam();
    Start(RELVANE_RELAY_PATH,
                         {"--protocol", test.pszProtocol, "--com", "220", "--fault-rate", "25", "--seed", "7",
                          "--event-interval", "700"},
                         "relay.out");
    ASSERT_TRUE(WaitForText("relay.out", "COM220 is")) << ReadFile(m_dir / "relay.out");
    // On two lines the master's bytes reach the relay later than the monitor, as on a wire; on
    // a bus the answer follows closely, in the same read as the request.
    std::vector<std::string> tapArgs{"--runner", "221", "--relay", "220", "--delay", test.bBus ? "3" : "40"};
    std::vector<std::string> monitorArgs{"--protocol", test.pszProtocol, "--baud", "115200", "--capture",
                                         (m_dir / "cap").string(), "--rtf", (m_dir / "log.rtf").string()};
    if (test.bBus)
    {
        tapArgs.insert(tapArgs.end(), {"--bus", "222"});
        monitorArgs.insert(monitorArgs.end(), {"--bus", "COM222"});
    }
    else
    {
        tapArgs.insert(tapArgs.end(), {"--master-copy", "222", "--relay-copy", "223"});
        monitorArgs.insert(monitorArgs.end(), {"--master", "COM222", "--relay", "COM223"});
    }
    Start(RELVANE_TAP_PATH, tapArgs, "tap.out");
    ASSERT_TRUE(WaitForText("tap.out", "ready")) << ReadFile(m_dir / "tap.out");
    pid_t nMonitor = Start(RELVANE_MONITOR_PATH, monitorArgs, "monitor.out");
    ASSERT_TRUE(WaitForText("monitor.out", "listening on")) << ReadFile(m_dir / "monitor.out");

    std::ofstream(m_dir / "script.txt") << "set port COM221\nset baud 115200\n" << test.pszScript;
    pid_t nRunner = Start(RELVANE_RUN_PATH, {"--log", (m_dir / "run.log").string(), (m_dir / "script.txt").string()},
                          "run.out");
    int nStatus = 0;
    ASSERT_EQ(waitpid(nRunner, &nStatus, 0), nRunner);
    nRunner = -1;
    ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << ReadFile(m_dir / "run.out");
    // The monitor holds frames back until no earlier one can come on the other line: it is
    // stopped once it has written as many frames as the runner logged.
    const std::size_t nRan = RunnerFrames(ReadFile(m_dir / "run.log")).size();
    for (int i = 0; i < 1500 && MonitorFrames(ReadFile(m_dir / "monitor.out")).size() < nRan; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Stop(nMonitor), 0);

    const std::vector<CHeard> ran = RunnerFrames(ReadFile(m_dir / "run.log"));
    int nTies = 0;
    const std::string strMonitor = ReadFile(m_dir / "monitor.out");
    const std::vector<CHeard> heard = MonitorFrames(strMonitor, &nTies);
    ASSERT_GE(ran.size(), 10u) << ReadFile(m_dir / "run.log");
    // The runner may end before the answer to its last request came; the monitor still hears it.
    std::vector<CHeard> heardWhileRunning = heard;
    if (heard.size() == ran.size() + 1 && heard.back().bFromRelay)
        heardWhileRunning.pop_back();
    EXPECT_EQ(heardWhileRunning, ran) << strMonitor << "\n---\n" << ReadFile(m_dir / "run.log");
    EXPECT_EQ(nTies, 0);
    // The relay's faults were on the line, and the monitor said so as the runner did.
    EXPECT_TRUE(std::any_of(ran.begin(), ran.end(), [](const CHeard& frame) { return frame.bGarbled; }));
    EXPECT_NE(strMonitor.find("响应时间(ms): "), std::string::npos);
    EXPECT_EQ(strMonitor.find("响应时间(ms): 无"), std::string::npos);

    // The capture holds the same frames with their directions; the saved log is RTF.
    const std::string strText = ReadFile(m_dir / "cap.txt");
    EXPECT_EQ(MonitorFrames(std::regex_replace(strText, std::regex("\\[[0-9-]+ "), "[")), heard);
    EXPECT_EQ(ReadFile(m_dir / "log.rtf").rfind("{\\rtf1", 0), 0u);
    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark not installed";
    // Directions and bytes as they are; for 103 also the primary bit as tshark's decoder reads it.
    auto Fields = [this](const std::string& strOptions)
    {
        const std::string strFile = (m_dir / "fields.txt").string();
        const std::string strCommand =
            "tshark -r " + (m_dir / "cap.pcapng").string() + " -T fields " + strOptions + " > " + strFile + " 2>/dev/null";
        EXPECT_EQ(std::system(strCommand.c_str()), 0) << strCommand;
        std::vector<std::string> lines;
        std::ifstream in(strFile);
        for (std::string strLine; std::getline(in, strLine);)
            lines.push_back(strLine);
        return lines;
    };
    const std::vector<std::string> packets = Fields("-e frame.packet_flags_direction -e data.data");
    std::vector<std::string> prm;
    if (std::string(test.pszProtocol) == "103")
        prm = Fields("-d rtacser.data,iec60870_5_103 -e iec60870_5_103.ctrl_prm");
    std::vector<CHeard> captured;
    for (std::size_t i = 0; i < packets.size(); ++i)
    {
        // Direction flags: 1 inbound (from the relay), 2 outbound.
        const bool bFromRelay = packets[i].rfind("0x00000001", 0) == 0;
        const std::string strHex = packets[i].substr(packets[i].find('\t') + 1);
        std::string strBytes;
        for (std::size_t n = 0; n + 1 < strHex.size(); n += 2)
            strBytes += std::string{static_cast<char>(std::toupper(strHex[n])),
                                    static_cast<char>(std::toupper(strHex[n + 1]))} + " ";
        // A 103 frame the decoder takes apart carries the primary bit of its direction.
        if (i < prm.size() && !prm[i].empty())
        {
            EXPECT_EQ(prm[i], bFromRelay ? "0" : "1") << packets[i];
        }
        if (Compared(strBytes))
            captured.push_back({bFromRelay, false, strBytes});
    }
    std::vector<CHeard> expected = heard;
    for (CHeard& frame : expected)
        frame.bGarbled = false;
    EXPECT_EQ(captured, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, RelvaneMonitor,
    ::testing::Values(
        // 103: reset, general interrogation, class 1 and 2 requests, then class 2 polling with
        // the relay's events and faults answered as they come.
        CMonitorCase{"Iec103TwoLines", "103", false,
                     "command 32772\ncommand 32777\ncommand 32843\ncommand 32848\ncommand 32841\ncommand 32842\n"
                     "command 32869\nwait 4000\n"},
        CMonitorCase{"Iec103Bus", "103", true,
                     "command 32772\ncommand 32777\ncommand 32843\ncommand 32848\ncommand 32869\nwait 3000\n"},
        // '94: polls with the automatic answers to the relay's reports.
        CMonitorCase{"Proto94TwoLines", "94", false, "set interval 200\ncommand 32777\ncommand 32792\nwait 3000\n"},
        CMonitorCase{"Proto94Bus", "94", true, "set interval 200\ncommand 32777\ncommand 32792\nwait 3000\n"}),
    [](const ::testing::TestParamInfo<CMonitorCase>& param) { return param.param.pszName; });

} // namespace

#endif
