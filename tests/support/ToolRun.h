#pragma once

// Runs a command-line tool as a user would and collects what it prints: through the shell on
// POSIX systems, as a child process with pipes on Windows (where the text a tool prints has
// "\r\n" line ends, given back here as "\n", and a path of the build machine is reached through
// Wine's Z: drive).
#include <cstdio>
#include <string>
#ifdef _WIN32
#include <algorithm>
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace relvane::test
{

struct CToolRun
{
    int nExit = -1; // -1 when the tool could not be started or did not end normally
    std::string strOut;
};

enum class ToolOutput
{
    Stdout, // standard error discarded
    Stderr, // standard output discarded
    Both,
};

#ifdef _WIN32
inline std::string WindowsPathOf(std::string strPath)
{
    if (!strPath.empty() && strPath[0] == '/')
        strPath = "Z:" + strPath;
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    return strPath;
}

// strInput: a file for standard input (empty: none).
inline CToolRun RunTool(const std::string& strProgram, const std::string& strArgs, ToolOutput eOutput,
                        const std::string& strInput = {})
{
    CToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, &inherit, 0))
        return run;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE hNull = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    HANDLE hInput = strInput.empty() ? hNull
                                     : CreateFileA(WindowsPathOf(strInput).c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hInput;
    startup.hStdOutput = eOutput == ToolOutput::Stderr ? hNull : hWrite;
    startup.hStdError = eOutput == ToolOutput::Stdout ? hNull : hWrite;
    std::string strCommand = "\"" + WindowsPathOf(strProgram) + "\" " + strArgs;
    PROCESS_INFORMATION process{};
    const bool bStarted = CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                         &startup, &process) != 0;
    CloseHandle(hWrite);
    if (bStarted)
    {
        char abBuffer[4096];
        DWORD nRead = 0;
        while (ReadFile(hRead, abBuffer, sizeof abBuffer, &nRead, nullptr) && nRead > 0)
            run.strOut.append(abBuffer, nRead);
        DWORD nStatus = 0;
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &nStatus))
            run.nExit = static_cast<int>(nStatus);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(hRead);
    if (hInput != hNull && hInput != INVALID_HANDLE_VALUE)
        CloseHandle(hInput);
    CloseHandle(hNull);
    for (std::size_t nAt = run.strOut.find("\r\n"); nAt != std::string::npos; nAt = run.strOut.find("\r\n", nAt))
        run.strOut.erase(nAt, 1);
    return run;
}
#else
inline CToolRun RunTool(const std::string& strProgram, const std::string& strArgs, ToolOutput eOutput,
                        const std::string& strInput = {})
{
    static const char* const kRedirections[] = {" 2>/dev/null", " 2>&1 >/dev/null", " 2>&1"};
    const std::string strCommand = strProgram + " " + strArgs + (strInput.empty() ? "" : " < " + strInput) +
                                   kRedirections[static_cast<int>(eOutput)];
    CToolRun run;
    FILE* pPipe = popen(strCommand.c_str(), "r");
    if (pPipe == nullptr)
        return run;
    char abBuffer[4096];
    std::size_t nRead = 0;
    while ((nRead = fread(abBuffer, 1, sizeof abBuffer, pPipe)) > 0)
        run.strOut.append(abBuffer, nRead);
    const int nStatus = pclose(pPipe);
    run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return run;
}
#endif

} // namespace relvane::test
