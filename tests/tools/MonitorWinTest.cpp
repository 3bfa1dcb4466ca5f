// relvane-monitor on Windows, run as a user runs it: listening on COM202 of the test's COM pair
// (opened for reading only) while the Win32 serial channel on COM201 plays the line, it logs each
// 103 frame it hears with the direction the frame's PRM bit gives.
#include "transport/SerialChannel.h"

#include "../transport/RecordingSink.h"
#include "ChildProcessWin.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace relvane
{
namespace
{

using test::CChildProcess;
using test::ReadText;

// Waits up to 30 s (a first Qt start under Wine is slow) for the output to hold strText.
bool WaitForText(const std::filesystem::path& output, const std::string& strText)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadText(output).find(strText) == std::string::npos)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(WinMonitor, LogsEachFrameOfTheBusWithItsDirection)
{
    const std::filesystem::path output = std::filesystem::temp_directory_path() /
                                         ("relvane-monitor-" + std::to_string(GetCurrentProcessId()) + ".txt");
    {
        CChildProcess monitor(RELVANE_MONITOR_PATH, "--protocol 103 --bus COM202", output);
        ASSERT_TRUE(monitor.Started());
        ASSERT_TRUE(WaitForText(output, "listening on the bus COM202")) << ReadText(output);

        test::CRecordingSink sink;
        CSerialChannel line;
        ASSERT_EQ(line.Configure(&sink, 201, 9600, 'N', 8, 1, 5, 512), CHANNEL_OK);
        ASSERT_EQ(line.Open(), CHANNEL_OK);
        struct CCase
        {
            std::vector<std::uint8_t> abFrame;
            const char* pszLogged;
        };
        const CCase cases[] = {
            {{0x10, 0x40, 0x01, 0x41, 0x16}, "主站→装置: 10 40 01 41 16"}, // reset of the communication unit
            {{0x10, 0x00, 0x01, 0x01, 0x16}, "装置→主站: 10 00 01 01 16"}, // its confirmation
        };
        for (const CCase& c : cases)
        {
            ASSERT_EQ(line.Write(c.abFrame.data(), static_cast<int>(c.abFrame.size())), 1);
            EXPECT_TRUE(WaitForText(output, c.pszLogged)) << ReadText(output);
        }
        // Nothing was ever written back: the monitor only listens.
        EXPECT_EQ(sink.Count(), 0u);
    }
    std::error_code error;
    std::filesystem::remove(output, error);
}

} // namespace
} // namespace relvane
