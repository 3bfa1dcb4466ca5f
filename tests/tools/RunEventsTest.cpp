// relvane-run --events and --measurands against relvane-relay on a pseudo-terminal: a general
// interrogation's answers become event rows and the measurands after a reset become samples, both
// written as CSV that reads back; a target that cannot be written stops the run before it starts.
#if defined(RELVANE_RUN_PATH) && defined(RELVANE_RELAY_PATH)

#include "ChildProcess.h"
#include "events/RecordCsv.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace relvane
{
namespace
{

constexpr int kCom = 234;

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class RunEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-events-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
        std::filesystem::create_directories(m_dir / "relvane" / "ports");
        m_nRelay = test::StartChildProcess(RELVANE_RELAY_PATH,
                                           {"--protocol", "103", "--com", std::to_string(kCom), "--quiet"},
                                           m_dir / "relay.out", m_dir.c_str());
        const auto link = m_dir / "relvane" / "ports" / ("COM" + std::to_string(kCom));
        for (int i = 0; i < 300 && !std::filesystem::is_symlink(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::is_symlink(link)) << ReadAll(m_dir / "relay.out");
    }
    void TearDown() override
    {
        if (m_nRelay > 0)
        {
            kill(m_nRelay, SIGTERM);
            waitpid(m_nRelay, nullptr, 0);
        }
        std::filesystem::remove_all(m_dir);
    }
    int Run(const std::string& strOptions)
    {
        std::ofstream(m_dir / "script.txt") << "set port COM" << kCom
                                            << "\ncommand 32777\ncommand 32772\ncommand 32843\ncommand 32848\n"
                                               "command 32842\ncommand 32842\n";
        const std::string strCommand = "HOME=" + m_dir.string() + " XDG_CONFIG_HOME=" + m_dir.string() +
                                       " QT_QPA_PLATFORM=offscreen timeout 120 " + RELVANE_RUN_PATH + " " +
                                       strOptions + " " + (m_dir / "script.txt").string() + " > " +
                                       (m_dir / "log.txt").string() + " 2> " + (m_dir / "err.txt").string();
        const int nStatus = std::system(strCommand.c_str());
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    std::filesystem::path m_dir;
    pid_t m_nRelay = -1;
};

TEST_F(RunEvents, InterrogationAnswersAndMeasurandsReadBackFromTheirCsv)
{
    const auto events = m_dir / "events.csv";
    const auto samples = m_dir / "samples.csv";
    ASSERT_EQ(Run("--events " + events.string() + " --measurands " + samples.string()), 0) << ReadAll(m_dir / "err.txt");
    const std::string strLog = ReadAll(m_dir / "log.txt");

    // One row per ASDU 1 or 2 the log shows, in its order, with the relay's state of each point.
    const auto rows = ParseCsv(ReadAll(events));
    ASSERT_GE(rows.size(), 2u);
    std::size_t nLogged = 0;
    for (std::size_t n = strLog.find("ASDU 1 "); n != std::string::npos; n = strLog.find("ASDU 1 ", n + 1))
        ++nLogged;
    for (std::size_t n = strLog.find("ASDU 2 "); n != std::string::npos; n = strLog.find("ASDU 2 ", n + 1))
        ++nLogged;
    EXPECT_EQ(rows.size() - 1, nLogged) << strLog;
    struct CRowCase
    {
        std::size_t nRow;
        std::vector<std::string> fields; // FUN, INF, 状态, SIN, 故障序号, COT
    };
    const std::vector<CRowCase> cases{
        {1, {"128", "16", "合(ON)", "0", "", "9"}},
        {5, {"128", "24", "分(OFF)", "0", "", "9"}},
        {10, {"128", "64", "分(OFF)", "0", "2", "9"}},
    };
    for (const CRowCase& one : cases)
    {
        ASSERT_LT(one.nRow, rows.size());
        const auto& row = rows[one.nRow];
        ASSERT_EQ(row.size(), 12u);
        EXPECT_EQ(row[0], std::to_string(one.nRow));
        EXPECT_EQ((std::vector<std::string>{row[4], row[5], row[7], row[8], row[9], row[11]}), one.fields)
            << one.nRow;
        EXPECT_FALSE(row[6].empty()); // the standard's name of the point
    }

    // The measurands: the nine values of ASDU 9, named, each one as a fraction of full scale.
    const auto values = ParseCsv(ReadAll(samples));
    ASSERT_GE(values.size(), 10u) << strLog;
    for (std::size_t i = 1; i <= 9; ++i)
    {
        EXPECT_EQ(values[i].at(2).rfind("128/148 测量值" + std::to_string(i), 0), 0u) << values[i].at(2);
        const double dValue = std::stod(values[i].at(7));
        EXPECT_GE(dValue, -1.0);
        EXPECT_LT(dValue, 1.0);
        EXPECT_EQ(dValue, (static_cast<std::int16_t>(std::stoi(values[i].at(8), nullptr, 16) & 0xFFF8)) / 32768.0);
    }
}

TEST_F(RunEvents, ATargetThatCannotBeWrittenStopsTheRunFirst)
{
    std::filesystem::create_directories(m_dir / "folder.csv");
    EXPECT_EQ(Run("--events " + (m_dir / "folder.csv").string()), 2);
    EXPECT_NE(ReadAll(m_dir / "err.txt").find("--events"), std::string::npos) << ReadAll(m_dir / "err.txt");
    EXPECT_EQ(ReadAll(m_dir / "log.txt"), "");
    EXPECT_EQ(Run("--measurands " + (m_dir / "script.txt").string()), 2);
}

} // namespace
} // namespace relvane

#endif
