// relvane-run's "disturbance upload" against relvane-relay on a pseudo-terminal at 9600 baud: the
// COMTRADE files hold the relay's own waveforms, also when blocks are garbled or lost on the way,
// and a relay that aborts ends the run with its reason and no files. An independent reader
// (comtrade_reader.py, Python's standard library only) reads the files back.
#if defined(RELVANE_RUN_PATH) && defined(RELVANE_RELAY_PATH)

#include "ChildProcess.h"
#include "relay/DisturbanceRecorder.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace relvane
{
namespace
{

constexpr int kCom = 233;
constexpr int kAnalog = CDisturbanceRecorder::kChannels;

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Split(const std::string& strText, char cSeparator)
{
    std::vector<std::string> parts;
    std::string strPart;
    std::istringstream stream(strText);
    while (std::getline(stream, strPart, cSeparator))
        parts.push_back(strPart);
    return parts;
}

// The relay's value of a channel at a sample, in secondary units.
double Expected(std::uint16_t nFan, int nChannel, int nSample)
{
    return CDisturbanceRecorder::Sample(nFan, nChannel, nSample) *
           static_cast<double>(CDisturbanceRecorder::ReferenceFactor(nChannel));
}

bool Near(double dActual, double dExpected)
{
    return std::fabs(dActual - dExpected) <= 1e-6 * std::fabs(dExpected) + 1e-9;
}

// The samples of a .cfg/.dat pair as this test reads them: per sample the analogue values scaled
// by the configuration's a and b, then the digital states.
struct CComtrade
{
    std::string strConfig;
    std::vector<std::vector<double>> samples;
};

CComtrade ReadComtrade(const std::filesystem::path& cfg)
{
    CComtrade file;
    file.strConfig = ReadAll(cfg);
    const std::vector<std::string> lines = Split(file.strConfig, '\n');
    const std::vector<std::string> counts = Split(lines.at(1), ',');
    const int nAnalog = std::stoi(counts.at(1));
    const int nDigital = std::stoi(counts.at(2));
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < nAnalog; ++i)
    {
        const std::vector<std::string> fields = Split(lines.at(static_cast<std::size_t>(2 + i)), ',');
        a.push_back(std::stod(fields.at(5)));
        b.push_back(std::stod(fields.at(6)));
    }
    const bool bBinary = file.strConfig.find("BINARY") != std::string::npos;
    std::filesystem::path dat = cfg;
    dat.replace_extension(".dat");
    const std::string strData = ReadAll(dat);
    auto Add = [&](const std::vector<long>& raw)
    {
        std::vector<double> values;
        for (int i = 0; i < nAnalog; ++i)
            values.push_back(a[static_cast<std::size_t>(i)] * static_cast<double>(raw[static_cast<std::size_t>(i)]) +
                             b[static_cast<std::size_t>(i)]);
        for (int i = 0; i < nDigital; ++i)
            values.push_back(static_cast<double>(raw[static_cast<std::size_t>(nAnalog + i)]));
        file.samples.push_back(values);
    };
    if (!bBinary)
    {
        for (const std::string& strLine : Split(strData, '\n'))
        {
            const std::vector<std::string> fields = Split(strLine, ',');
            std::vector<long> raw;
            for (std::size_t i = 2; i < fields.size(); ++i)
                raw.push_back(std::stol(fields[i]));
            Add(raw);
        }
        return file;
    }
    const std::size_t nWords = (static_cast<std::size_t>(nDigital) + 15) / 16;
    const std::size_t nRecord = 8 + 2 * static_cast<std::size_t>(nAnalog) + 2 * nWords;
    const auto* p = reinterpret_cast<const unsigned char*>(strData.data());
    for (std::size_t o = 0; o + nRecord <= strData.size(); o += nRecord)
    {
        std::vector<long> raw;
        for (int i = 0; i < nAnalog; ++i)
            raw.push_back(static_cast<std::int16_t>(p[o + 8 + 2 * i] | (p[o + 9 + 2 * i] << 8)));
        for (int i = 0; i < nDigital; ++i)
        {
            const std::size_t w = o + 8 + 2 * static_cast<std::size_t>(nAnalog) + 2 * static_cast<std::size_t>(i / 16);
            raw.push_back(((p[w] | (p[w + 1] << 8)) >> (i % 16)) & 1);
        }
        Add(raw);
    }
    return file;
}

struct CUploadCase
{
    const char* pszName;
    const char* pszFaults;   // --disturbance-faults, or "" for none
    std::uint16_t nFan;
    const char* pszFormat;   // ascii or binary
    bool bComplete;          // the files are written
    const char* pszMessage;  // on standard error
    const char* pszLog;      // in the log, or ""
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CUploadCase& c, std::ostream* pStream)
{
    *pStream << c.pszName;
}

class DisturbanceUpload : public ::testing::TestWithParam<CUploadCase>
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-upload-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
        std::filesystem::create_directories(m_dir / "relvane" / "ports");
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
    void StartRelay(const char* pszFaults)
    {
        std::vector<std::string> args = {"--protocol", "103", "--com", std::to_string(kCom), "--quiet"};
        if (*pszFaults != '\0')
            args.insert(args.end(), {"--disturbance-faults", pszFaults});
        m_nRelay = test::StartChildProcess(RELVANE_RELAY_PATH, args, m_dir / "relay.out", m_dir.c_str());
        const auto link = m_dir / "relvane" / "ports" / ("COM" + std::to_string(kCom));
        for (int i = 0; i < 300 && !std::filesystem::is_symlink(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::is_symlink(link)) << ReadAll(m_dir / "relay.out");
    }
    // Runs relvane-run on the script; returns its exit status.
    int Run(const std::string& strScript)
    {
        std::ofstream(m_dir / "script.txt") << strScript;
        const std::string strCommand = "HOME=" + m_dir.string() + " XDG_CONFIG_HOME=" + m_dir.string() + " QT_QPA_PLATFORM=offscreen timeout 120 " +
                                       RELVANE_RUN_PATH + " " + (m_dir / "script.txt").string() + " > " +
                                       (m_dir / "log.txt").string() + " 2> " + (m_dir / "err.txt").string();
        const int nStatus = std::system(strCommand.c_str());
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    std::filesystem::path m_dir;
    pid_t m_nRelay = -1;
};

TEST_P(DisturbanceUpload, FilesHoldTheRelaysWaveformsOrTheRunSaysWhy)
{
    const CUploadCase& c = GetParam();
    StartRelay(c.pszFaults);
    const auto out = m_dir / "records";
    const int nExit = Run("set port COM" + std::to_string(kCom) +
                          "\nset baud 9600\ncommand 32777\ncommand 32772\ncommand 32843\nwait 300\n"
                          "disturbance upload " +
                          std::to_string(c.nFan) + " " + out.string() + " " + c.pszFormat + "\n");
    const std::string strErr = ReadAll(m_dir / "err.txt");
    const std::string strLog = ReadAll(m_dir / "log.txt");
    EXPECT_NE(strErr.find(c.pszMessage), std::string::npos) << strErr;
    EXPECT_NE(strLog.find(c.pszLog), std::string::npos) << c.pszLog;
    if (!c.bComplete)
    {
        EXPECT_EQ(nExit, 2) << strErr;
        EXPECT_FALSE(std::filesystem::exists(out) && !std::filesystem::is_empty(out));
        return;
    }
    ASSERT_EQ(nExit, 0) << strErr;

    std::vector<std::filesystem::path> configs;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        if (entry.path().extension() == ".cfg")
            configs.push_back(entry.path());
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(configs[0].filename().string().rfind("RELVANE_FAN" + std::to_string(c.nFan) + "_", 0), 0u);
    const CComtrade file = ReadComtrade(configs[0]);
    EXPECT_NE(file.strConfig.find("RELVANE,FUN128 ADDR1"), std::string::npos) << file.strConfig;
    EXPECT_NE(file.strConfig.find("\r\n1000,1000\r\n"), std::string::npos) << file.strConfig;
    ASSERT_EQ(file.samples.size(), static_cast<std::size_t>(CDisturbanceRecorder::kElements));
    int nWrong = 0;
    for (int s = 0; s < CDisturbanceRecorder::kElements; ++s)
    {
        const std::vector<double>& values = file.samples[static_cast<std::size_t>(s)];
        ASSERT_EQ(values.size(), static_cast<std::size_t>(kAnalog + 3));
        for (int ch = 0; ch < kAnalog; ++ch)
            if (!Near(values[static_cast<std::size_t>(ch)], Expected(c.nFan, ch, s)) && ++nWrong < 5)
                ADD_FAILURE() << "channel " << ch + 1 << " sample " << s << ": " << values[static_cast<std::size_t>(ch)]
                              << " instead of " << Expected(c.nFan, ch, s);
        // The third digital channel is the general trip: on from the trip to the reset.
        const bool bTrip = s >= CDisturbanceRecorder::kPrefaultSamples + 30 && s < CDisturbanceRecorder::kPrefaultSamples + 100;
        EXPECT_EQ(values[kAnalog + 2], bTrip ? 1.0 : 0.0) << "sample " << s;
    }
    EXPECT_EQ(nWrong, 0);

    // The independent reader takes the same files and finds the same channels, rate and values.
    if (std::system("python3 --version > /dev/null 2>&1") != 0)
    {
        GTEST_SKIP() << "python3 is not installed (scripts/install-deps.sh installs it): the independent "
                        "COMTRADE reader did not run";
    }
    const std::string strRead = "python3 " RELVANE_COMTRADE_READER " " + configs[0].string() + " > " +
                                (m_dir / "read.txt").string() + " 2>&1";
    ASSERT_EQ(std::system(strRead.c_str()), 0) << ReadAll(m_dir / "read.txt");
    const std::string strRead2 = ReadAll(m_dir / "read.txt");
    EXPECT_NE(strRead2.find("counts 11 8 3\n"), std::string::npos) << strRead2.substr(0, 2000);
    EXPECT_NE(strRead2.find("rate 1000.0 1000\n"), std::string::npos);
    EXPECT_NE(strRead2.find(std::string("format ") + (std::string(c.pszFormat) == "binary" ? "BINARY" : "ASCII")),
              std::string::npos);
    int nSamples = 0;
    for (const std::string& strLine : Split(strRead2, '\n'))
    {
        if (strLine.rfind("sample ", 0) != 0)
            continue;
        const std::vector<std::string> fields = Split(strLine, ' ');
        ASSERT_EQ(fields.size(), static_cast<std::size_t>(3 + kAnalog + 3)) << strLine;
        for (int ch = 0; ch < kAnalog; ++ch)
            if (!Near(std::stod(fields[static_cast<std::size_t>(3 + ch)]), Expected(c.nFan, ch, nSamples)) && ++nWrong < 5)
                ADD_FAILURE() << "reader: " << strLine;
        ++nSamples;
    }
    EXPECT_EQ(nSamples, CDisturbanceRecorder::kElements);
    EXPECT_EQ(nWrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisturbanceUpload,
    ::testing::Values(
        CUploadCase{"Clean", "", 2, "ascii", true, "录波已保存", ""},
        // The garbled block is fetched again by the link layer (same FCB), the lost one by a
        // negative acknowledgement of its channel.
        CUploadCase{"GarbledAndLostBlocks", "garbled,lost", 1, "binary", true, "要求装置重传该通道", "校验和出错: 68"},
        CUploadCase{"RelayAborts", "abort", 2, "ascii", false,
                    "由继电保护设备(或间隔单元)所中止的扰动数据传输的结束", "COT: 31  扰动数据的传送"}),
    [](const ::testing::TestParamInfo<CUploadCase>& param) { return std::string(param.param.pszName); });

} // namespace
} // namespace relvane

#endif
