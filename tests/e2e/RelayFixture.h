#pragma once

#include "ChildProcess.h"
#include "ScriptedUserInterface.h"
#include "app/MainFrame.h"
#include "iec103/UdpFrame.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortMap.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace relvane::test
{

// The workbench window over the real serial and network channels, a scripted user, and
// relvane-relay as the relay, in a port map of the test's own.
class RelayFixture : public ::testing::Test
{
public:
    static constexpr int kCom = 210;

    static int Count(const std::string& strText, const std::string& strPart)
    {
        int nCount = 0;
        for (std::size_t n = strText.find(strPart); n != std::string::npos; n = strText.find(strPart, n + 1))
            ++nCount;
        return nCount;
    }

protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
        // The window and the relay look up COMn in the same map.
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        m_pView = std::make_unique<CRelvaneView>(std::make_unique<CSerialChannel>(),
                                                 std::make_unique<CNetworkChannel>(BuildUdpFrame), m_ui);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
        m_pFrame->show();
    }
    void TearDown() override
    {
        m_pFrame.reset();
        m_pView.reset();
        StopRelay();
        std::filesystem::remove_all(m_dir);
    }

    // Starts relvane-relay with the arguments; for a serial relay waits until COMn is listed.
    void StartRelay(std::vector<std::string> args, bool bSerial = true)
    {
        m_relayOutput = m_dir / ("relay" + std::to_string(++m_nRelays) + ".out");
        m_nRelayPid = StartChildProcess(RELVANE_RELAY_PATH, std::move(args), m_relayOutput);
        if (!bSerial)
            return;
        const auto link = m_dir / "relvane" / "ports" / ("COM" + std::to_string(kCom));
        for (int i = 0; i < 500 && !std::filesystem::is_symlink(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::is_symlink(link)) << RelayOutput();
    }
    void StopRelay()
    {
        if (m_nRelayPid <= 0)
            return;
        kill(m_nRelayPid, SIGTERM);
        int nStatus = 0;
        for (int i = 0; i < 300 && waitpid(m_nRelayPid, &nStatus, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waitpid(m_nRelayPid, &nStatus, WNOHANG) == 0)
        {
            kill(m_nRelayPid, SIGKILL);
            waitpid(m_nRelayPid, &nStatus, 0);
        }
        m_nRelayPid = -1;
    }
    std::string RelayOutput() const
    {
        std::ifstream in(m_relayOutput);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The user picks a command from a menu or toolbar.
    void Choose(int nId)
    {
        QAction* pAction = m_pFrame->Action(nId);
        ASSERT_NE(pAction, nullptr) << nId;
        ASSERT_TRUE(pAction->isEnabled()) << nId;
        pAction->trigger();
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    // "串口设置" → the relay's port → "确定", then "连接".
    void ConnectToRelay()
    {
        // The serial form offers the relay's port.
        const std::vector<std::string> astrPorts = ListAvailablePorts();
        ASSERT_NE(std::find(astrPorts.begin(), astrPorts.end(), "COM" + std::to_string(kCom)),
                  astrPorts.end());
        m_ui.SerialForm().Push(
            [](CSerialFields& fields)
            {
                fields.strPort = "COM" + std::to_string(kCom);
                return true;
            });
        Choose(ID_SERIAL_SETTINGS);
        Choose(ID_SERIAL_CONNECT);
        ASSERT_TRUE(m_pView->PortOpen()) << ::testing::PrintToString(m_ui.Messages());
    }

    std::string Log() { return m_pView->LogText(); }
    // Runs the window until the condition on the log holds or the time is up.
    bool WaitFor(const std::function<bool(const std::string&)>& fnDone, int nMs = 8000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < nMs)
        {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (fnDone(Log()))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return fnDone(Log());
    }
    // Runs the window until the relay has printed the text or the time is up.
    bool WaitForRelayOutput(const std::string& strText, int nMs = 8000)
    {
        return WaitFor([&](const std::string&) { return RelayOutput().find(strText) != std::string::npos; },
                       nMs);
    }
    // Waits until no request is outstanding and no poll is due, so that a command chosen now is
    // the only frame on its way (the relay never speaks unasked).
    bool WaitForLinkIdle(int nMs = 8000)
    {
        return WaitFor(
            [this](const std::string&)
            { return !m_pView->IsTimerActive(TIMER_RESPONSE) && !m_pView->IsTimerActive(TIMER_POLL); },
            nMs);
    }
    bool WaitForText(const std::string& strText, int nCount = 1, int nMs = 8000)
    {
        return WaitFor([&](const std::string& strLog) { return Count(strLog, strText) >= nCount; }, nMs);
    }

    std::filesystem::path m_dir;
    CScriptedUserInterface m_ui;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
    pid_t m_nRelayPid = -1;
    int m_nRelays = 0;
    std::filesystem::path m_relayOutput;
};

} // namespace relvane::test
