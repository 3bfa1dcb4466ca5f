#pragma once

// Tools run as child processes on Windows, their output read back from a file as it grows.
#include "ToolRun.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <windows.h>

namespace relvane::test
{

// A tool as a child process, its standard output and error in one file; ended at the end of the
// scope.
class CChildProcess
{
public:
    CChildProcess(const std::string& strProgram, const std::string& strArguments, const std::filesystem::path& output)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        m_hOutput = CreateFileW(output.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = m_hOutput;
        startup.hStdError = m_hOutput;
        std::string strCommand = "\"" + WindowsPathOf(strProgram) + "\" " + strArguments;
        m_bStarted = CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                    &m_process) != 0;
    }
    ~CChildProcess()
    {
        if (m_bStarted)
        {
            TerminateProcess(m_process.hProcess, 0);
            WaitForSingleObject(m_process.hProcess, 10000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        if (m_hOutput != INVALID_HANDLE_VALUE)
            CloseHandle(m_hOutput);
    }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return m_bStarted; }
    // The exit status, or -1 when the tool did not end within ten seconds.
    int Wait() const
    {
        DWORD nStatus = 0;
        if (WaitForSingleObject(m_process.hProcess, 10000) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_process.hProcess, &nStatus))
            return -1;
        return static_cast<int>(nStatus);
    }

private:
    HANDLE m_hOutput = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION m_process{};
    bool m_bStarted = false;
};

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace relvane::test
