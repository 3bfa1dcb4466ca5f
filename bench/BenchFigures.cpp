#include "BenchFigures.h"

#include "proto94/Crc16.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace relvane::bench
{

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long nPages = 0;
    long nResident = 0;
    statm >> nPages >> nResident;
    return nResident * sysconf(_SC_PAGESIZE);
}

long TrimmedResidentBytes()
{
    malloc_trim(0);
    return ResidentBytes();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

ThreadSwitchMap ThreadSwitches()
{
    ThreadSwitchMap threads;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error))
    {
        CThreadSwitches thread;
        std::ifstream status(task.path() / "status");
        std::string strLine;
        bool bRead = false;
        while (std::getline(status, strLine))
        {
            if (strLine.rfind("Name:", 0) == 0)
                thread.strName = strLine.substr(strLine.find_first_not_of(" \t", 5));
            else if (strLine.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                     strLine.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            {
                thread.nSwitches += std::atol(strLine.c_str() + strLine.find(':') + 1);
                bRead = true;
            }
        }
        if (bRead) // a thread that ended while being read has no status left
            threads[std::atol(task.path().filename().c_str())] = thread;
    }
    return threads;
}

long SwitchesBetween(const ThreadSwitchMap& before, const ThreadSwitchMap& after)
{
    long nTotal = 0;
    for (const auto& [nId, thread] : after)
    {
        const auto it = before.find(nId);
        if (it != before.end())
            nTotal += thread.nSwitches - it->second.nSwitches;
    }
    return nTotal;
}

std::string SwitchingThreads(const ThreadSwitchMap& before, const ThreadSwitchMap& after)
{
    std::string strList;
    for (const auto& [nId, thread] : after)
    {
        const auto it = before.find(nId);
        if (it == before.end() || thread.nSwitches == it->second.nSwitches)
            continue;
        if (!strList.empty())
            strList += ", ";
        strList += thread.strName + " " + std::to_string(thread.nSwitches - it->second.nSwitches);
    }
    return strList.empty() ? "none" : strList;
}

double LoadAverage()
{
    std::ifstream loadavg("/proc/loadavg");
    double dLoad = 0;
    loadavg >> dLoad;
    return dLoad;
}

std::string CpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string strLine;
    while (std::getline(cpuinfo, strLine))
    {
        if (strLine.rfind("model name", 0) == 0)
            return strLine.substr(strLine.find(':') + 2);
    }
    return "unknown";
}

namespace
{
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> abFrame)
{
    const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abFrame;
}
} // namespace

std::vector<std::uint8_t> EventFrame(int nIndex)
{
    return WithCrc({0x01, 0xB0, 0x0C, 0x01, 0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45, 0x00, 0x00,
                    static_cast<std::uint8_t>(nIndex % 40), 0x01});
}

std::vector<std::uint8_t> ReportFrame()
{
    return WithCrc({0x01, 0xBA, 0x00, 0x01, 0x01});
}

int PositionalNumber(int argc, char** argv, int nDefault)
{
    for (int i = 1; i < argc; ++i)
    {
        if (argv[i][0] != '-')
            return std::max(1, std::atoi(argv[i]));
    }
    return nDefault;
}

bool HasFlag(int argc, char** argv, const char* pszFlag)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], pszFlag) == 0)
            return true;
    }
    return false;
}

const char* OptionText(int argc, char** argv, const char* pszName)
{
    const char* pszValue = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], pszName) == 0)
            pszValue = argv[i + 1];
    }
    return pszValue;
}

double OptionNumber(int argc, char** argv, const char* pszName, double dDefault)
{
    const char* pszValue = OptionText(argc, argv, pszName);
    return pszValue != nullptr ? std::atof(pszValue) : dDefault;
}

int OptionInteger(int argc, char** argv, const char* pszName, int nDefault)
{
    const char* pszValue = OptionText(argc, argv, pszName);
    return pszValue != nullptr ? std::atoi(pszValue) : nDefault;
}

void PrintMachine(const char* pszBench)
{
    // The window benchmarks name their platform (offscreen, or xcb on a display).
    const char* pszPlatform = std::getenv("QT_QPA_PLATFORM");
    const std::string strPlatform =
        pszPlatform != nullptr && *pszPlatform != 0 ? std::string(", platform ") + pszPlatform : "";
    std::printf("%s: %u cores, %s, load average %.2f at the start%s\n", pszBench,
                std::thread::hardware_concurrency(), CpuModel().c_str(), LoadAverage(), strPlatform.c_str());
}

} // namespace relvane::bench
