// relvane-run against a relay played by this test on a pseudo-terminal.
#ifdef RELVANE_RUN_PATH

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
    const std::string command = "XDG_CONFIG_HOME=" + dir.string() + " QT_QPA_PLATFORM=offscreen " +
                                RELVANE_RUN_PATH + " " + extraArgs + " " + scriptPath.string() + " > " +
                                (dir / "out.txt").string() + " 2> " + (dir / "err.txt").string();
    CRunResult result;
    const int nStatus = std::system(command.c_str());
    result.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    result.strOut = ReadFile(dir / "out.txt");
    result.strErr = ReadFile(dir / "err.txt");
    return result;
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
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path m_dir;
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
                                        "--log " + (m_dir / "log.txt").string());
    relay.join();
    close(nMaster);

    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_EQ(received, (std::vector<std::uint8_t>{0x01, 0x83, 0x00, 0x30, 0xF0}));
    char szAnswer[32];
    std::snprintf(szAnswer, sizeof szAnswer, "01 B0 00 %02X %02X ", answer[3], answer[4]);
    const std::string expected =
        std::string("发送: 01 83 00 30 F0 \r\n") + "接收: " + szAnswer + "\r\n (\n) \r\n";
    EXPECT_EQ(result.strOut, expected);
    EXPECT_EQ(ReadFile(m_dir / "log.txt"), expected);
}

TEST_F(RelvaneRun, ReportsMessagesAndScriptErrors)
{
    // A '94 command with the port closed is refused with the message box text.
    CRunResult result = RunScript(m_dir, "command 32792\n");
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strErr.find("message: 串口尚未打开,不能发送报文."), std::string::npos) << result.strErr;
    EXPECT_EQ(result.strOut, "");

    // A port without a device cannot be opened.
    result = RunScript(m_dir, "set port COM200\ncommand 32777\n");
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strErr.find("message: 无法打开串口"), std::string::npos) << result.strErr;

    // A 103 command chosen while a request awaits its answer is held, and said so.
    result = RunScript(m_dir, "command 32772\ncommand 32842\ncommand 32841\n");
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strErr.find("status: 等待装置应答,1条命令待发送"), std::string::npos) << result.strErr;
    EXPECT_EQ(result.strOut.find("10 5A"), std::string::npos) << result.strOut;

    // A bad line stops the run before anything happens, naming the line.
    result = RunScript(m_dir, "command 32792\nset parity purple\n");
    EXPECT_EQ(result.nExit, 2);
    EXPECT_NE(result.strErr.find("line 2:"), std::string::npos) << result.strErr;
    EXPECT_EQ(result.strErr.find("message:"), std::string::npos);
}

#endif
