#pragma once

// Pieces shared by every benchmark, window or not: process figures read from /proc, the relay's
// frames, and the command line.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace relvane::bench
{

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to);
long ResidentBytes();
// Returns what malloc keeps of freed memory to the system, then the resident size.
long TrimmedResidentBytes();
// User and system CPU time of the whole process, and of the calling thread.
double CpuSeconds();
double ThreadCpuSeconds();
// Context switches (each a wake-up or a preemption) of every thread of the process, by thread id.
struct CThreadSwitches
{
    std::string strName;
    long nSwitches = 0;
};
using ThreadSwitchMap = std::map<long, CThreadSwitches>;
ThreadSwitchMap ThreadSwitches();
// Switches between two readings, counting only the threads present at both: a thread that ended
// meanwhile took its count with it, and one that started has nothing to compare with.
long SwitchesBetween(const ThreadSwitchMap& before, const ThreadSwitchMap& after);
// The threads that switched between the readings, as "name N, name N".
std::string SwitchingThreads(const ThreadSwitchMap& before, const ThreadSwitchMap& after);
// The load average over the last minute.
double LoadAverage();
std::string CpuModel();

// A '94 event report of the relay (code B0H), annotated by the '94 interpreter; nIndex picks
// one of 40 event codes.
std::vector<std::uint8_t> EventFrame(int nIndex);
// A '94 report request (code BAH) asking for the events (answered with 86H).
std::vector<std::uint8_t> ReportFrame();

// Arguments: the first positional number, and flags.
int PositionalNumber(int argc, char** argv, int nDefault);
bool HasFlag(int argc, char** argv, const char* pszFlag);
// The argument after the last pszName, or null when there is none.
const char* OptionText(int argc, char** argv, const char* pszName);
// That argument as a number, or the default when it is not given.
double OptionNumber(int argc, char** argv, const char* pszName, double dDefault);
int OptionInteger(int argc, char** argv, const char* pszName, int nDefault);
void PrintMachine(const char* pszBench);

} // namespace relvane::bench
