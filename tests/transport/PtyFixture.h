#pragma once

#include "RecordingSink.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace relvane::test
{

// Pseudo-terminal pairs mapped to COM numbers through a port map in a private
// XDG_CONFIG_HOME: the channel opens the slave side, the test plays the relay on the master.
class PtyFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/relvane-transport-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_root = szTemplate;
        std::filesystem::create_directories(m_root / "relvane" / "ports");
        const char* pszConfig = std::getenv("XDG_CONFIG_HOME");
        m_strConfigBefore = pszConfig != nullptr ? pszConfig : "";
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", m_root.c_str(), 1), 0);
    }

    void TearDown() override
    {
        for (int nFd : m_anMasters)
        {
            if (nFd >= 0)
                close(nFd);
        }
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
        // Back to the program's own scratch configuration, never the user's.
        if (m_strConfigBefore.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", m_strConfigBefore.c_str(), 1);
    }

    std::string m_strConfigBefore;

    std::filesystem::path PortEntry(int nPort) const
    {
        return m_root / "relvane" / "ports" / ("COM" + std::to_string(nPort));
    }

    void MapPort(int nPort, const std::string& strTarget)
    {
        std::error_code error;
        std::filesystem::remove(PortEntry(nPort), error);
        std::filesystem::create_symlink(strTarget, PortEntry(nPort));
    }

    // Creates a pty pair, maps COMn to its slave and returns the master descriptor.
    int OpenPty(int nPort)
    {
        int nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(nMaster, 0);
        if (nMaster < 0)
            return -1;
        EXPECT_EQ(grantpt(nMaster), 0);
        EXPECT_EQ(unlockpt(nMaster), 0);
        char szName[128] = {};
        EXPECT_EQ(ptsname_r(nMaster, szName, sizeof szName), 0);
        MapPort(nPort, szName);
        m_anMasters.push_back(nMaster);
        return nMaster;
    }

    void CloseMaster(int nMaster)
    {
        for (int& nFd : m_anMasters)
        {
            if (nFd == nMaster)
            {
                close(nFd);
                nFd = -1;
            }
        }
    }

    static void WriteAll(int nFd, const std::vector<std::uint8_t>& abBytes)
    {
        std::size_t nDone = 0;
        while (nDone < abBytes.size())
        {
            ssize_t n = write(nFd, abBytes.data() + nDone, abBytes.size() - nDone);
            if (n < 0 && errno == EINTR)
                continue;
            ASSERT_GT(n, 0);
            nDone += static_cast<std::size_t>(n);
        }
    }

    // Reads exactly nCount bytes from the master or what came within a generous limit.
    static std::vector<std::uint8_t> ReadSome(int nFd, std::size_t nCount)
    {
        std::vector<std::uint8_t> abBytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (abBytes.size() < nCount && std::chrono::steady_clock::now() < deadline)
        {
            pollfd in{nFd, POLLIN, 0};
            if (poll(&in, 1, 100) <= 0)
                continue;
            std::uint8_t abBuffer[1024];
            ssize_t n = read(nFd, abBuffer, std::min(sizeof abBuffer, nCount - abBytes.size()));
            if (n > 0)
                abBytes.insert(abBytes.end(), abBuffer, abBuffer + n);
        }
        return abBytes;
    }

    std::filesystem::path m_root;
    std::vector<int> m_anMasters;
    CRecordingSink m_sink;
};

} // namespace relvane::test
