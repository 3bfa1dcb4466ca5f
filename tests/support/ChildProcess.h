#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace relvane::test
{

// Starts the program with the arguments, its output and errors going to the file; with
// pszConfigHome the child keeps its settings there. Returns the child's process id (-1 when fork
// failed); a program that cannot be started ends the child with 127.
inline pid_t StartChildProcess(const char* pszProgram, std::vector<std::string> args,
                               const std::filesystem::path& output, const char* pszConfigHome = nullptr)
{
    const pid_t nPid = fork();
    if (nPid == 0)
    {
        if (pszConfigHome != nullptr)
            setenv("XDG_CONFIG_HOME", pszConfigHome, 1);
        const int nFd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(nFd, 1);
        dup2(nFd, 2);
        std::vector<char*> argv{const_cast<char*>(pszProgram)};
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(pszProgram, argv.data());
        _exit(127);
    }
    return nPid;
}

} // namespace relvane::test
