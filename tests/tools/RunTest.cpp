// relvane-run against a relay played by this test on a pseudo-terminal.
#ifdef RELVANE_RUN_PATH

#include "rtf/RtfText.h"
#include "session/LogDocument.h"
#include "session/SessionRecorder.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include "FileSizeLimit.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

std::uint16_t Crc16Arc(const std::vector<std::uint8_t>& bytes)
{
    std::uint16_t nCrc = 0;
    for (std::uint8_t b : bytes)
    {
        nCrc ^= b;
        for (int i = 0; i < 8; ++i)
            nCrc = (nCrc & 1) ? static_cast<std::uint16_t>((nCrc >> 1) ^ 0xA001)
                              : static_cast<std::uint16_t>(nCrc >> 1);
    }
    return nCrc;
}

struct CRunResult
{
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs relvane-run on the script with the given port-map folder; captures both streams.
CRunResult RunScript(const std::filesystem::path& dir, const std::string& script,
                     const std::string& extraArgs = "")
{
    const auto scriptPath = dir / "script.txt";
    std::ofstream(scriptPath) << script;
    const std::string command = "HOME=" + dir.string() + " XDG_CONFIG_HOME=" + dir.string() + " QT_QPA_PLATFORM=offscreen " +
                                RELVANE_RUN_PATH + " " + extraArgs + " " + scriptPath.string() + " > " +
                                (dir / "out.txt").string() + " 2> " + (dir / "err.txt").string();
    CRunResult result;
    const int nStatus = std::system(command.c_str());
    result.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    result.strOut = ReadFile(dir / "out.txt");
    result.strErr = ReadFile(dir / "err.txt");
    return result;
}

std::size_t CountOf(const std::string& strText, const std::string& strPart)
{
    std::size_t nCount = 0;
    for (std::size_t n = strText.find(strPart); n != std::string::npos; n = strText.find(strPart, n + 1))
        ++nCount;
    return nCount;
}

// The log text an RTF file holds, read back with the window's own reader.
std::string RtfLogText(const std::filesystem::path& path)
{
    // The reader builds a text document, which needs a GUI application object (never a screen).
    static int argc = 1;
    static char szName[] = "tools_tests";
    static char* argv[] = {szName, nullptr};
    if (QGuiApplication::instance() == nullptr)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
    const std::string strRtf = ReadFile(path);
    QTextDocument document;
    if (!relvane::ReadRtf(QByteArray::fromStdString(strRtf), document))
        return "(not RTF)";
    return relvane::CLogDocument::LogText(document.toRawText()).toStdString();
}

class RelvaneRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/relvane-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        std::filesystem::create_directories(m_dir / "relvane" / "ports");
    }
    void TearDown() override
    {
        if (m_nMaster >= 0)
            close(m_nMaster);
        std::filesystem::remove_all(m_dir);
    }

    // A raw pseudo-terminal behind COM5 that plays a relay saying nothing.
    void OpenRelayPort()
    {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_nMaster, 0);
        ASSERT_EQ(grantpt(m_nMaster), 0);
        ASSERT_EQ(unlockpt(m_nMaster), 0);
        struct termios raw
        {
        };
        tcgetattr(m_nMaster, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_nMaster, TCSANOW, &raw);
        std::filesystem::create_symlink(ptsname(m_nMaster), m_dir / "relvane" / "ports" / "COM5");
    }

    // Starts relvane-run on the script with standard output on a pipe the test reads.
    pid_t Start(const std::string& script, const std::vector<std::string>& args, int& nOut)
    {
        std::ofstream(m_dir / "script.txt") << script;
        std::vector<std::string> argv{RELVANE_RUN_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back((m_dir / "script.txt").string());
        std::vector<std::string> env{"HOME=" + m_dir.string(), "XDG_CONFIG_HOME=" + m_dir.string(), "QT_QPA_PLATFORM=offscreen"};
        for (char** p = environ; *p != nullptr; ++p)
            env.emplace_back(*p);
        std::vector<char*> argp;
        std::vector<char*> envp;
        for (auto& arg : argv)
            argp.push_back(arg.data());
        for (auto& var : env)
            envp.push_back(var.data());
        argp.push_back(nullptr);
        envp.push_back(nullptr);

        int anPipe[2];
        EXPECT_EQ(pipe(anPipe), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, anPipe[1], 1);
        posix_spawn_file_actions_addclose(&actions, anPipe[0]);
        posix_spawn_file_actions_addopen(&actions, 2, (m_dir / "err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(anPipe[1]);
        nOut = anPipe[0];
        return pid;
    }

    // Reads the pipe into strOut until `enough` holds for it (or the pipe ends); false on time-out.
    static bool ReadUntil(int nFd, std::string& strOut, const std::function<bool(const std::string&)>& enough)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!enough(strOut) && std::chrono::steady_clock::now() < deadline)
        {
            struct pollfd pfd
            {
                nFd, POLLIN, 0
            };
            if (poll(&pfd, 1, 100) <= 0)
                continue;
            char abBuffer[4096];
            const ssize_t nRead = read(nFd, abBuffer, sizeof abBuffer);
            if (nRead <= 0)
                return enough(strOut);
            strOut.append(abBuffer, static_cast<std::size_t>(nRead));
        }
        return enough(strOut);
    }

    std::filesystem::path m_dir;
    int m_nMaster = -1;
};

} // namespace

TEST_F(RelvaneRun, PollsARelayOnAPseudoTerminalAndPrintsTheLog)
{
    const int nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(nMaster, 0);
    ASSERT_EQ(grantpt(nMaster), 0);
    ASSERT_EQ(unlockpt(nMaster), 0);
    struct termios raw
    {
    };
    tcgetattr(nMaster, &raw);
    cfmakeraw(&raw);
    tcsetattr(nMaster, TCSANOW, &raw);
    std::filesystem::create_symlink(ptsname(nMaster), m_dir / "relvane" / "ports" / "COM5");

    // The relay answers the first frame it reads with B0H, length 0.
    std::vector<std::uint8_t> answer{0x01, 0xB0, 0x00};
    const std::uint16_t nCrc = Crc16Arc(answer);
    answer.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    answer.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    std::vector<std::uint8_t> received;
    std::thread relay(
        [&]
        {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (received.size() < 5 && std::chrono::steady_clock::now() < deadline)
            {
                struct pollfd pfd
                {
                    nMaster, POLLIN, 0
                };
                if (poll(&pfd, 1, 100) > 0 && (pfd.revents & POLLIN))
                {
                    std::array<std::uint8_t, 64> buffer{};
                    const ssize_t n = read(nMaster, buffer.data(), buffer.size());
                    if (n > 0)
                        received.insert(received.end(), buffer.begin(), buffer.begin() + n);
                }
            }
            if (received.size() >= 5)
                (void)!write(nMaster, answer.data(), answer.size());
        });

    // The poll interval is long so that only the one exchange lands in the log.
    const CRunResult result = RunScript(m_dir,
                                        "# one '94 poll\n"
                                        "set interval 60000\n"
                                        "set port COM5\n"
                                        "command 32777   # 串口连接\n"
                                        "command 32792   # 巡检(83H)\n"
                                        "wait 1500\n",
                                        "--log " + (m_dir / "log.rtf").string());
    relay.join();
    close(nMaster);

    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_EQ(received, (std::vector<std::uint8_t>{0x01, 0x83, 0x00, 0x30, 0xF0}));
    char szAnswer[32];
    std::snprintf(szAnswer, sizeof szAnswer, "01 B0 00 %02X %02X ", answer[3], answer[4]);
    const std::string expected =
        std::string("发送: 01 83 00 30 F0 \r\n") + "接收: " + szAnswer + "\r\n (\n) \r\n";
    EXPECT_EQ(result.strOut, expected);
    // An RTF log: the window's format, its annotation in dark green, and its streamed twin.
    EXPECT_EQ(RtfLogText(m_dir / "log.rtf"), expected);
    EXPECT_NE(ReadFile(m_dir / "log.rtf").find("\\red0\\green128\\blue0;"), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "log.rtf.txt"), expected);
}

TEST_F(RelvaneRun, ReportsMessagesAndScriptErrors)
{
    // A '94 command with the port closed is refused with the message box text; the run goes on
    // and ends with 2, saying what was not done.
    CRunResult result = RunScript(m_dir, "command 32792\ncommand 32792\n");
    EXPECT_EQ(result.nExit, 2);
    EXPECT_NE(result.strErr.find("message: 串口尚未打开,不能发送报文."), std::string::npos) << result.strErr;
    EXPECT_NE(result.strErr.find("2 commands were not sent: the port was not open"), std::string::npos)
        << result.strErr;
    EXPECT_EQ(result.strOut, "");

    // A port without a device cannot be opened: said, and the status is 2.
    result = RunScript(m_dir, "set port COM200\ncommand 32777\n");
    EXPECT_EQ(result.nExit, 2);
    EXPECT_NE(result.strErr.find("message: 无法打开串口"), std::string::npos) << result.strErr;
    EXPECT_NE(result.strErr.find("the serial port did not open (1 attempt)"), std::string::npos) << result.strErr;

    // A 103 command with the port closed is refused as a '94 one is: nothing is logged as sent
    // that never reached a port.
    result = RunScript(m_dir, "command 32772\ncommand 32842\ncommand 32841\n");
    EXPECT_EQ(result.nExit, 2);
    EXPECT_EQ(CountOf(result.strErr, "message: 串口尚未打开,不能发送报文.\n"), 2u) << result.strErr;
    EXPECT_EQ(result.strOut.find("发送"), std::string::npos) << result.strOut;

    // A bad line stops the run before anything happens, naming the line.
    result = RunScript(m_dir, "command 32792\nset parity purple\n");
    EXPECT_EQ(result.nExit, 2);
    EXPECT_NE(result.strErr.find("line 2:"), std::string::npos) << result.strErr;
    EXPECT_EQ(result.strErr.find("message:"), std::string::npos);
}

// An overnight run that is stopped (SIGTERM, as a service manager does) or killed outright has
// everything it logged before the signal in its --log file and on standard output.
TEST_F(RelvaneRun, StoppedOrKilledRunKeepsEveryLoggedEntry)
{
    struct CCase
    {
        int nSignal;
        const char* pszLog;
        const char* pszStreamed; // the file that is streamed
    };
    const CCase cases[] = {
        {SIGTERM, "log.rtf", "log.rtf.txt"},
        {SIGKILL, "log.txt", "log.txt"},
        {SIGKILL, "log.rtf", "log.rtf.txt"},
    };
    OpenRelayPort();
    for (const CCase& test : cases)
    {
        SCOPED_TRACE(std::string(strsignal(test.nSignal)) + " " + test.pszLog);
        // '94 polls every 100 ms into a relay that never answers: a steady stream of entries.
        int nOut = -1;
        const pid_t pid = Start("set port COM5\nset timeout 100\ncommand 32777\ncommand 32792\nwait 60000\n",
                                {"--log", (m_dir / test.pszLog).string()}, nOut);
        std::string strOut;
        ASSERT_TRUE(
            ReadUntil(nOut, strOut, [](const std::string& text) { return CountOf(text, "超时") >= 3; }));
        const std::string strBeforeSignal = strOut;
        kill(pid, test.nSignal);
        ReadUntil(nOut, strOut, [](const std::string&) { return false; });
        close(nOut);
        int nStatus = 0;
        ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);

        const std::string strStreamed = ReadFile(m_dir / test.pszStreamed);
        EXPECT_EQ(strStreamed.substr(0, strBeforeSignal.size()), strBeforeSignal);
        if (test.nSignal == SIGKILL)
        {
            EXPECT_TRUE(WIFSIGNALED(nStatus));
            continue;
        }
        // Stopped in order: the status says so, the files are complete and alike.
        ASSERT_TRUE(WIFEXITED(nStatus));
        EXPECT_EQ(WEXITSTATUS(nStatus), 128 + SIGTERM);
        EXPECT_EQ(strStreamed, strOut);
        EXPECT_EQ(RtfLogText(m_dir / test.pszLog), strOut);
    }
}

// A run killed outright keeps in its capture every frame and entry it had logged: the text
// capture holds the streamed log (with time stamps) and the pcapng file reads back with every
// frame's bytes and direction. --stats prints the link's counts at the end.
TEST_F(RelvaneRun, KilledRunKeepsItsCaptureAndStatisticsAreSaidAtTheEnd)
{
    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark not installed";
    OpenRelayPort();
    int nOut = -1;
    const pid_t pid = Start("set port COM5\nset timeout 100\ncommand 32777\ncommand 32792\nwait 60000\n",
                            {"--capture", (m_dir / "cap").string()}, nOut);
    std::string strOut;
    ASSERT_TRUE(ReadUntil(nOut, strOut, [](const std::string& text) { return CountOf(text, "超时") >= 3; }));
    kill(pid, SIGKILL);
    close(nOut);
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(nStatus));

    // The text capture without its stamps begins, after the line that says what its times are,
    // with what was streamed.
    std::string strText = ReadFile(m_dir / "cap.txt");
    ASSERT_EQ(strText.rfind(relvane::CSessionRecorder::kCaptureTimesNote, 0), 0u) << strText;
    strText.erase(0, std::string(relvane::CSessionRecorder::kCaptureTimesNote).size());
    std::string strPlain;
    for (std::size_t n = 0; n < strText.size();)
    {
        if (strText[n] == '[' && (n == 0 || strText[n - 1] == '\n'))
            n = strText.find("] ", n) + 2;
        else
            strPlain += strText[n++];
    }
    EXPECT_EQ(strPlain.substr(0, strOut.size()), strOut);

    const std::string strFields = (m_dir / "fields.txt").string();
    ASSERT_EQ(std::system(("tshark -r " + (m_dir / "cap.pcapng").string() +
                           " -T fields -e frame.packet_flags_direction -e data.data > " + strFields +
                           " 2>/dev/null")
                              .c_str()),
              0);
    const std::string strPackets = ReadFile(strFields);
    EXPECT_GE(CountOf(strPackets, "0x00000002\t01830030f0\n"), CountOf(strOut, "发送: 01 83 00 30 F0 \r\n"));
    EXPECT_EQ(CountOf(strPackets, "\n"), CountOf(strPackets, "0x00000002\t01830030f0\n")) << strPackets;

    const CRunResult result = RunScript(
        m_dir, "set port COM5\nset timeout 100\ncommand 32777\ncommand 32792\nwait 250\n", "--stats");
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strErr.find("83H "), std::string::npos) << result.strErr;
    EXPECT_NE(result.strErr.find("响应时间(ms): 无"), std::string::npos) << result.strErr;
}

// Whatever can be checked is checked before the script runs (its wait would hold the test).
TEST_F(RelvaneRun, BadArgumentsAndBadScriptsEndTheRunAtOnce)
{
    const std::string strWait = "wait 600000\n";
    struct CCase
    {
        std::string strScript;
        std::string strArgs;
        std::string strMessage;
    };
    const CCase cases[] = {
        {strWait, "--log " + (m_dir / "no-such-folder" / "log.txt").string(), "No such file or directory"},
        {strWait, "--log " + (m_dir / "no-such-folder" / "log.rtf").string(), "No such file or directory"},
        {strWait, "--log " + m_dir.string(), "Is a directory"},
        {strWait + "answer custom hex 68 ZZ\n", "",
         "line 2: answer custom hex: \"ZZ\" is not a hexadecimal byte"},
        {"answer custom dec 1 256\n" + strWait, "",
         "line 1: answer custom dec: \"256\" is not a decimal byte"},
        {"answer generalcommand 255 x 2\n", "", "line 1: answer generalcommand: \"x\""},
        // Bytes that are not UTF-8 and control characters are shown escaped, Chinese as it is.
        {strWait + "go\xFF\xFE\x01 now\n", "", "line 2: unknown instruction \"go\\xFF\\xFE\\x01\"\n"},
        {"时\x1B[31m\n", "", "line 1: unknown instruction \"时\\x1B[31m\"\n"},
        {strWait + std::string(2 * 1024 * 1024, 'w') + "\n", "", "line 2: longer than 1048576 bytes"},
        // A byte-order mark is skipped; a long bad word is quoted by its first 80 characters.
        {"\xEF\xBB\xBF" + strWait + "bogus\n", "", "line 2: unknown instruction \"bogus\"\n"},
        {strWait + std::string(100000, 'z') + "\n", "", "unknown instruction \"" + std::string(80, 'z') + "...\"\n"},
        // The log and the capture never share a file (nothing is written to either).
        {strWait, "--log " + (m_dir / "cap.txt").string() + " --capture " + (m_dir / "cap").string(), "--capture"},
        {strWait, "--log " + (m_dir / "x.rtf").string() + " --capture " + (m_dir / "x.rtf").string(),
         "x.rtf.txt"},
    };
    for (const CCase& test : cases)
    {
        SCOPED_TRACE(test.strMessage);
        const CRunResult result = RunScript(m_dir, test.strScript, test.strArgs);
        EXPECT_EQ(result.nExit, 2);
        EXPECT_NE(result.strErr.find(test.strMessage), std::string::npos) << result.strErr;
        EXPECT_EQ(result.strOut, "");
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "cap.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "cap.pcapng"));
    // A directory given as the script.
    const int nStatus = std::system(
        (std::string(RELVANE_RUN_PATH) + " " + m_dir.string() + " 2>" + (m_dir / "e").string()).c_str());
    EXPECT_EQ(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, 2);
    EXPECT_NE(ReadFile(m_dir / "e").find("is a directory, not a script"), std::string::npos);
}

// A log or capture that cannot be written whole (here a file-size limit: a short write, then
// EFBIG) is said when it happens and ends the run with 2; an RTF log keeps the old file.
TEST_F(RelvaneRun, OutputThatComesUpShortIsSaidAndFailsTheRun)
{
    struct CCase
    {
        std::string strArgs;
        std::string strMessage;
    };
    const CCase cases[] = {
        {"--log " + (m_dir / "log.txt").string(), "cannot write \"" + (m_dir / "log.txt").string() + "\": File too large"},
        {"--log " + (m_dir / "log.rtf").string(), "cannot write \"" + (m_dir / "log.rtf").string() + "\": File too large"},
        {"--capture " + (m_dir / "cap").string(), "message: 捕获已停止: " + (m_dir / "cap").string()},
    };
    OpenRelayPort();
    std::ofstream(m_dir / "log.rtf") << "old log";
    std::ofstream(m_dir / "script.txt") << "set port COM5\nset timeout 50\ncommand 32777\ncommand 32792\nwait 1500\n";
    for (const CCase& test : cases)
    {
        SCOPED_TRACE(test.strArgs);
        const std::string strCommand = "HOME=" + m_dir.string() + " XDG_CONFIG_HOME=" + m_dir.string() + " QT_QPA_PLATFORM=offscreen " +
                                       RELVANE_RUN_PATH + " " + test.strArgs + " " + (m_dir / "script.txt").string() +
                                       " > /dev/null 2> " + (m_dir / "err.txt").string();
        int nStatus = 0;
        {
            relvane::test::CFileSizeLimit limit(512);
            nStatus = std::system(strCommand.c_str());
        }
        EXPECT_EQ(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, 2);
        const std::string strErr = ReadFile(m_dir / "err.txt");
        EXPECT_NE(strErr.find(test.strMessage), std::string::npos) << strErr;
    }
    EXPECT_EQ(ReadFile(m_dir / "log.rtf"), "old log");
}

// A command held behind the last request of the script still goes out before the run ends.
TEST_F(RelvaneRun, CommandHeldAtTheEndOfTheScriptGoesOut)
{
    OpenRelayPort();
    const CRunResult result =
        RunScript(m_dir, "set port COM5\nset timeout 200\ncommand 32777\ncommand 32792\ncommand 32793\n");
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_NE(result.strErr.find("1条命令待发送"), std::string::npos) << result.strErr;
    EXPECT_NE(result.strOut.find("发送: 01 84 "), std::string::npos) << result.strOut;
}

// A command held behind the last request cannot go out when the port goes away during the final
// wait: it is counted and the run ends with 2.
TEST_F(RelvaneRun, HeldCommandLostWithThePortIsCounted)
{
    OpenRelayPort();
    int nOut = -1;
    const pid_t pid = Start("set port COM5\nset timeout 5000\ncommand 32777\ncommand 32792\ncommand 32793\n", {}, nOut);
    std::string strOut;
    ASSERT_TRUE(ReadUntil(nOut, strOut, [](const std::string& text) { return CountOf(text, "发送: 01 83") >= 1; }));
    close(m_nMaster); // the adapter is pulled while 84H waits for the poll's answer
    m_nMaster = -1;
    ReadUntil(nOut, strOut, [](const std::string&) { return false; });
    close(nOut);
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    EXPECT_EQ(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, 2);
    const std::string strErr = ReadFile(m_dir / "err.txt");
    EXPECT_NE(strErr.find("1 held command never went out: the port closed first"), std::string::npos) << strErr;
    EXPECT_EQ(strOut.find("发送: 01 84"), std::string::npos) << strOut;
}

// A run refused for its arguments or its port leaves every file as it was: the old log, the last
// run's reports, the script; nothing is created. Pipes, devices, folders, the script (also
// through a link) and two outputs on one file (also through a dangling link) are refused.
TEST_F(RelvaneRun, RefusedRunLeavesEveryFileAsItWas)
{
    namespace fs = std::filesystem;
    const fs::path script = m_dir / "script.txt";
    std::ofstream(script) << "wait 600000\n";
    std::ofstream(m_dir / "old.txt") << "old log";
    std::ofstream(m_dir / "keep.html") << "old report";
    std::ofstream(m_dir / "keep.xml") << "old junit";
    std::ofstream(m_dir / "keep.txt") << "old capture";
    std::ofstream(m_dir / "opts.txt") << "[testplan]\n";
    ASSERT_EQ(mkfifo((m_dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((m_dir / "fifo.xml").c_str(), 0600), 0);
    fs::create_symlink("c.txt", m_dir / "dangling");
    fs::create_symlink("script.txt", m_dir / "to-script");
    // COM9 names a device that is not there.
    fs::create_symlink(m_dir / "no-such-device", m_dir / "relvane" / "ports" / "COM9");
    const auto Snapshot = [&]
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(m_dir))
        {
            const std::string strName = entry.path().filename().string();
            if (strName != "out.txt" && strName != "err.txt")
                files[strName] = entry.is_regular_file() ? ReadFile(entry.path()) : std::string("(other)");
        }
        return files;
    };
    const auto before = Snapshot();
    const std::string strDir = m_dir.string() + "/";
    const std::string strScript = script.string();
    struct CCase
    {
        std::string strArgs;
        std::string strMessage;
    };
    const CCase cases[] = {
        {"--log " + strDir + "old.txt --capture /nonexistent/c " + strScript, "\"/nonexistent/c.txt\": No such file"},
        {"--log " + strScript + " " + strScript, "is the script"},
        {"--capture " + strDir + "script " + strScript, "is the script"},
        {"--log " + strDir + "to-script " + strScript, "is the script"},
        {"--log " + strDir + "dangling --capture " + strDir + "c " + strScript, "writes as well"},
        {"--log " + strDir + "pipe " + strScript, "is a named pipe (FIFO)"},
        {"--log /dev/null " + strScript, "is a device"},
        {"--capture " + strDir + "old.txt --log " + strDir + "old.txt.txt " + strScript, "writes as well"},
        {"--plan 103 --port COM9 --report " + strDir + "keep", "COM9 cannot be opened"},
        {"--plan 103 --port COM9 --options " + strDir + "opts.txt --report " + strDir + "opts", "is --options"},
        {"--plan 94 --port COM9 --report " + strDir + "fifo", "fifo.xml\" is a named pipe"},
    };
    for (const CCase& test : cases)
    {
        SCOPED_TRACE(test.strArgs);
        const std::string strCommand = "HOME=" + m_dir.string() + " XDG_CONFIG_HOME=" + m_dir.string() + " QT_QPA_PLATFORM=offscreen " +
                                       RELVANE_RUN_PATH + " " + test.strArgs + " > " + strDir + "out.txt 2> " +
                                       strDir + "err.txt";
        const int nStatus = std::system(strCommand.c_str());
        EXPECT_EQ(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, 2);
        const std::string strErr = ReadFile(m_dir / "err.txt");
        EXPECT_NE(strErr.find(test.strMessage), std::string::npos) << strErr;
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(RelvaneRun, VanishedDeviceIsSaidOnce)
{
    OpenRelayPort();
    int nOut = -1;
    const pid_t pid =
        Start("set port COM5\nset timeout 100\ncommand 32777\ncommand 32792\nwait 1500\n", {}, nOut);
    std::string strOut;
    ASSERT_TRUE(ReadUntil(nOut, strOut, [](const std::string& text) { return CountOf(text, "超时") >= 1; }));
    close(m_nMaster); // the adapter is pulled
    m_nMaster = -1;
    ReadUntil(nOut, strOut, [](const std::string&) { return false; });
    close(nOut);
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    EXPECT_EQ(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, 0);
    const std::string strErr = ReadFile(m_dir / "err.txt");
    EXPECT_EQ(CountOf(strErr, "message: 串口已断开\n"), 1u) << strErr;
}

#endif
