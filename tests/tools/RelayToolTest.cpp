// relvane-relay's command line, and the program on a real pseudo-terminal.
#include "RelayOptions.h"

#include <gtest/gtest.h>
#include <vector>

namespace relvane
{
namespace
{

OptionsResult Parse(std::vector<const char*> args, CRelayOptions& options, std::string& strError)
{
    args.insert(args.begin(), "relvane-relay");
    return ParseRelayOptions(static_cast<int>(args.size()), args.data(), options, strError);
}

TEST(RelayOptions, ValuesAndRefusals)
{
    struct CCase
    {
        std::vector<const char*> args;
        OptionsResult eResult;
        const char* pszError; // part of the message
    };
    const CCase cases[] = {
        {{}, OptionsResult::Run, ""},
        {{"--protocol", "eth103", "--tcp-port=2000", "--udp-port", "2001"}, OptionsResult::Run, ""},
        {{"--com", "201", "--address", "7", "--model", "KTR20", "--faults", "split,merge", "--seed", "9",
          "--fault-rate", "100", "--event-interval", "500", "--quiet"},
         OptionsResult::Run,
         ""},
        {{"--help"}, OptionsResult::Help, ""},
        {{"--version"}, OptionsResult::Version, ""},
        {{"--protocol", "101"}, OptionsResult::Error, "auto, 94, 103 or eth103"},
        {{"--com", "0"}, OptionsResult::Error, "from 1 to 256"},
        {{"--com", "2x"}, OptionsResult::Error, "\"2x\""},
        {{"--address", "255"}, OptionsResult::Error, "from 0 to 254"},
        {{"--fault-rate", "101"}, OptionsResult::Error, "from 0 to 100"},
        {{"--faults", "checksum,late"}, OptionsResult::Error, "--faults"},
        {{"--model", "KLR11"}, OptionsResult::Error, "KLR10 or KTR20"},
        {{"--tcp-port", "0"}, OptionsResult::Error, "from 1 to 65535"},
        {{"--seed"}, OptionsResult::Error, "needs a value"},
        {{"--verbose"}, OptionsResult::Error, "unknown option"},
        {{"--defect", "slow,crc-bad", "--defect=acd-stuck"}, OptionsResult::Run, ""},
        {{"--defect", "list"}, OptionsResult::ListDefects, ""},
        {{"--defect", "slow,late"}, OptionsResult::Error, "\"late\""},
        {{"--defect", "slow,"}, OptionsResult::Error, "--defect"},
    };
    for (const CCase& c : cases)
    {
        CRelayOptions options;
        std::string strError;
        EXPECT_EQ(Parse(c.args, options, strError), c.eResult) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_NE(strError.find(c.pszError), std::string::npos) << strError;
    }
    CRelayOptions options;
    std::string strError;
    Parse(cases[2].args, options, strError);
    EXPECT_EQ(options.nCom, 201);
    EXPECT_EQ(options.settings.nAddress, 7);
    EXPECT_EQ(options.settings.eModel, KTR20);
    EXPECT_EQ(options.settings.nFaultMask, unsigned{FAULT_SPLIT | FAULT_MERGE});
    EXPECT_EQ(options.settings.nSeed, 9u);
    EXPECT_EQ(options.settings.nEventIntervalMs, 500);
    EXPECT_TRUE(options.bQuiet);
    CRelayOptions defaults;
    EXPECT_EQ(defaults.nCom, 200);
    EXPECT_EQ(defaults.nTcpPort, 1048);
    EXPECT_EQ(defaults.nUdpPort, 1032);
    EXPECT_EQ(defaults.settings.eProtocol, RELAY_AUTO);
    Parse(cases[1].args, options, strError);
    EXPECT_EQ(options.eMode, RelayMode::Ethernet);
    EXPECT_EQ(options.nTcpPort, 2000);
    Parse(cases[15].args, options, strError);
    EXPECT_TRUE(options.settings.defects.Has(DEFECT_SLOW) && options.settings.defects.Has(DEFECT_CRC_BAD) &&
                options.settings.defects.Has(DEFECT_ACD_STUCK));
    EXPECT_TRUE(defaults.settings.defects.Empty());
}

} // namespace
} // namespace relvane

#ifdef RELVANE_RELAY_PATH

#include "ChildProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace relvane
{
namespace
{

// One relvane-relay process with its output in a file.
class CRelayProcess
{
public:
    CRelayProcess(const std::filesystem::path& dir, std::vector<std::string> args) : m_out(dir / "relay.out")
    {
        m_nPid = test::StartChildProcess(RELVANE_RELAY_PATH, std::move(args), m_out, dir.c_str());
    }
    ~CRelayProcess()
    {
        if (m_nPid > 0 && !m_bReaped)
        {
            kill(m_nPid, SIGKILL);
            waitpid(m_nPid, nullptr, 0);
        }
    }
    // Exit status, or -1 when it did not end within the time.
    // Waits for the program to end; the bound only keeps a hung program from holding the suite,
    // so it is generous: a loaded machine may take seconds to start a process.
    int Wait(int nMs = 30000)
    {
        for (int i = 0; i < nMs / 10; ++i)
        {
            int nStatus = 0;
            if (waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid)
            {
                m_bReaped = true;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    void Signal(int nSignal) { kill(m_nPid, nSignal); }
    std::string Output() const
    {
        std::ifstream in(m_out);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_out;
    pid_t m_nPid = -1;
    bool m_bReaped = false;
};

class RelayProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-relay-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    bool WaitForLink(const std::filesystem::path& link)
    {
        for (int i = 0; i < 300; ++i)
        {
            if (std::filesystem::is_symlink(link))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Writes a frame to the line and collects what comes back within the time.
    static std::vector<std::uint8_t> Exchange(int nFd, const std::vector<std::uint8_t>& abFrame)
    {
        EXPECT_EQ(write(nFd, abFrame.data(), abFrame.size()), static_cast<ssize_t>(abFrame.size()));
        std::vector<std::uint8_t> abAnswer;
        pollfd in{nFd, POLLIN, 0};
        while (poll(&in, 1, abAnswer.empty() ? 2000 : 100) > 0)
        {
            std::uint8_t ab[512];
            const ssize_t n = read(nFd, ab, sizeof ab);
            if (n <= 0)
                break;
            abAnswer.insert(abAnswer.end(), ab, ab + n);
        }
        return abAnswer;
    }

    std::filesystem::path m_dir;
};

TEST_F(RelayProgram, ServesBothProtocolsOnItsPortAndCleansUpOnSigterm)
{
    const auto link = m_dir / "relvane" / "ports" / "COM231";
    CRelayProcess relay(m_dir, {"--com", "231"});
    ASSERT_TRUE(WaitForLink(link)) << relay.Output();
    {
        // A second relay on the same number is refused.
        CRelayProcess second(m_dir, {"--com", "231"});
        EXPECT_EQ(second.Wait(), 1);
        EXPECT_NE(second.Output().find("COM231 is taken"), std::string::npos) << second.Output();
    }
    const int nFd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(nFd, 0);
    termios tio;
    tcgetattr(nFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(nFd, TCSANOW, &tio);
    const std::vector<std::uint8_t> abPollAnswer = Exchange(nFd, {0x01, 0x83, 0x00, 0x30, 0xF0});
    ASSERT_GE(abPollAnswer.size(), 5u);
    EXPECT_EQ(abPollAnswer[1], 0xBA);
    EXPECT_EQ(Exchange(nFd, {0x10, 0x40, 0x01, 0x41, 0x16}),
              (std::vector<std::uint8_t>{0x10, 0x20, 0x01, 0x21, 0x16}));
    close(nFd);
    relay.Signal(SIGTERM);
    EXPECT_EQ(relay.Wait(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    const std::string strOut = relay.Output();
    EXPECT_NE(strOut.find("RX 94  01 83 00 30 F0"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("TX 103 10 20 01 21 16"), std::string::npos) << strOut;
}

TEST_F(RelayProgram, ReplacesOnlyALinkLeftBehindByAKilledRelay)
{
    const auto dir = m_dir / "relvane" / "ports";
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink("/dev/pts/987654", dir / "COM236");
    std::filesystem::create_symlink("/dev/null", dir / "COM237");
    CRelayProcess stale(m_dir, {"--com", "236"});
    auto Target = [&]
    {
        std::error_code error;
        return std::filesystem::read_symlink(dir / "COM236", error).string();
    };
    for (int i = 0; i < 300 && (Target() == "/dev/pts/987654" || Target().rfind("/dev/pts/", 0) != 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Target().rfind("/dev/pts/", 0), 0u);
    EXPECT_NE(Target(), "/dev/pts/987654") << stale.Output();
    CRelayProcess theirs(m_dir, {"--com", "237"});
    EXPECT_EQ(theirs.Wait(), 1);
    EXPECT_EQ(std::filesystem::read_symlink(dir / "COM237"), "/dev/null");
}

// A relay killed outright leaves its link and its record behind; when its terminal number went
// to another program meanwhile, the next relay on that COM number still knows the link for its
// own and takes it over, instead of leaving COMn pointing at the other program's terminal. A
// link the record does not name, to a terminal someone holds, is refused.
TEST_F(RelayProgram, TakesOverItsOwnStaleLinkEvenWhenTheTerminalWasReused)
{
    const auto dir = m_dir / "relvane" / "ports";
    std::filesystem::create_directories(dir);
    // The other program's terminal, which got the number the killed relay had.
    const int nOther = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(nOther, 0);
    ASSERT_EQ(grantpt(nOther), 0);
    ASSERT_EQ(unlockpt(nOther), 0);
    const std::string strOther = ptsname(nOther);
    std::filesystem::create_symlink(strOther, dir / "COM238");
    std::ofstream(dir / ".COM238.relay") << strOther;
    std::filesystem::create_symlink(strOther, dir / "COM239");

    CRelayProcess relay(m_dir, {"--com", "238"});
    auto Target = [&](const char* pszCom)
    {
        std::error_code error;
        return std::filesystem::read_symlink(dir / pszCom, error).string();
    };
    // Until the relay's own link is in place (none at all for a moment while it is replaced).
    for (int i = 0; i < 300 && (Target("COM238") == strOther || Target("COM238").rfind("/dev/pts/", 0) != 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Target("COM238").rfind("/dev/pts/", 0), 0u) << relay.Output();
    EXPECT_NE(Target("COM238"), strOther) << relay.Output();

    CRelayProcess theirs(m_dir, {"--com", "239"});
    EXPECT_EQ(theirs.Wait(), 1);
    EXPECT_NE(theirs.Output().find("COM239 is taken"), std::string::npos) << theirs.Output();
    EXPECT_EQ(Target("COM239"), strOther);
    relay.Signal(SIGTERM);
    EXPECT_EQ(relay.Wait(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "COM238"));
    close(nOther);
}

TEST_F(RelayProgram, RefusesBadArgumentsAndATakenUdpPort)
{
    CRelayProcess bad(m_dir, {"--protocol", "iec"});
    EXPECT_EQ(bad.Wait(), 2);
    CRelayProcess list(m_dir, {"--defect", "list"});
    EXPECT_EQ(list.Wait(), 0);
    const std::string strNames = list.Output();
    EXPECT_EQ(strNames.rfind("bad-checksum-answered\nwrong-address-answered\n", 0), 0u) << strNames;
    EXPECT_EQ(std::count(strNames.begin(), strNames.end(), '\n'), DEFECT_COUNT);
    const int nSocket = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nSize = sizeof address;
    ASSERT_EQ(bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nSize);
    CRelayProcess taken(m_dir,
                        {"--protocol", "eth103", "--udp-port", std::to_string(ntohs(address.sin_port))});
    EXPECT_EQ(taken.Wait(), 1);
    EXPECT_NE(taken.Output().find("UDP port"), std::string::npos) << taken.Output();
    close(nSocket);
}

#ifdef RELVANE_RUN_PATH
// The headless runner over the real serial channel against the relay: 103 reset, interrogation and
// the class-1 follow-ups; a '94 poll with its automatic answer.
TEST_F(RelayProgram, ServesAHeadlessRunOfEachSerialProtocol)
{
    struct CCase
    {
        const char* pszProtocol;
        const char* pszCom;
        const char* pszScript;
        const char* pszExpected;
    };
    const CCase cases[] = {
        {"103", "233",
         "set port COM233\ncommand 32772\ncommand 32777\ncommand 32843\nwait 600\ncommand 32848\nwait 1500\n",
         "总查询(总召唤)终止"},
        {"94", "234", "set port COM234\ncommand 32777\ncommand 32792\nwait 800\n", "装置上电"},
    };
    for (const CCase& c : cases)
    {
        CRelayProcess relay(m_dir, {"--protocol", c.pszProtocol, "--com", c.pszCom});
        ASSERT_TRUE(WaitForLink(m_dir / "relvane" / "ports" / (std::string("COM") + c.pszCom)))
            << relay.Output();
        std::ofstream(m_dir / "script.txt") << c.pszScript;
        const std::string strCommand = "HOME=" + m_dir.string() + " XDG_CONFIG_HOME=" + m_dir.string() + " QT_QPA_PLATFORM=offscreen " +
                                       RELVANE_RUN_PATH + " " + (m_dir / "script.txt").string() + " > " +
                                       (m_dir / "run.txt").string() + " 2>&1";
        EXPECT_EQ(std::system(strCommand.c_str()), 0);
        std::ifstream in(m_dir / "run.txt");
        const std::string strLog((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(strLog.find(c.pszExpected), std::string::npos) << strLog;
        EXPECT_EQ(strLog.find("超时"), std::string::npos) << strLog;
    }
}
#endif

} // namespace
} // namespace relvane

#endif
