#include "BenchSupport.h"

#include "FakeNetworkChannel.h"
#include "proto94/Crc16.h"
#include "session/SessionCommands.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
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

long ContextSwitches()
{
    long nTotal = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error))
    {
        std::ifstream status(task.path() / "status");
        std::string strLine;
        while (std::getline(status, strLine))
        {
            if (strLine.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                strLine.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                nTotal += std::atol(strLine.c_str() + strLine.find(':') + 1);
        }
    }
    return nTotal;
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

int CBenchSerialChannel::Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int)
{
    std::lock_guard lock(m_mutex);
    m_pSink = pOwner;
    return CHANNEL_OK;
}

int CBenchSerialChannel::Write(const std::uint8_t*, int)
{
    m_nLastWrite = Clock::now().time_since_epoch().count();
    ++m_nWrites;
    return 1;
}

void CBenchSerialChannel::AdvanceChunk()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_queued.empty())
            m_current.clear();
        else
        {
            m_current = std::move(m_queued.front());
            m_queued.pop_front();
        }
    }
    const long long nCount = ++m_nAdvanced;
    if (m_fnAdvanceHook)
        m_fnAdvanceHook(nCount);
}

int CBenchSerialChannel::BytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_current.size());
}

int CBenchSerialChannel::CopyReceived(std::uint8_t* pDestination, int nCapacity) const
{
    std::lock_guard lock(m_mutex);
    if (m_current.empty())
        return -1;
    const int nCount = std::min(static_cast<int>(m_current.size()), nCapacity);
    std::copy_n(m_current.begin(), nCount, pDestination);
    return nCount;
}

void CBenchSerialChannel::Inject(std::vector<std::uint8_t> abChunk)
{
    IMessageSink* pSink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back(std::move(abChunk));
        pSink = m_pSink;
    }
    if (pSink != nullptr)
        pSink->PostChannelMessage(CChannelMessage{WM_SERIAL_DATA, 0, 0, {}});
}

std::size_t CBenchSerialChannel::Queued() const
{
    std::lock_guard lock(m_mutex);
    return m_queued.size();
}

CWorkbench::CWorkbench(bool bShow)
{
    auto pSerial = std::make_unique<CBenchSerialChannel>();
    m_pSerial = pSerial.get();
    m_pView =
        std::make_unique<CRelvaneView>(std::move(pSerial), std::make_unique<CFakeNetworkChannel>(), m_ui);
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{false, 2000}));
    m_pView->OnCommand(ID_LINE_LIMIT);
    m_pView->OnCommand(ID_SERIAL_CONNECT);
    m_pFrame = std::make_unique<CMainFrame>(*m_pView);
    if (bShow)
    {
        m_pFrame->show();
        Pump(50);
    }
}

CWorkbench::~CWorkbench()
{
    m_pFrame.reset();
    m_pView.reset();
}

void FillLog(CRelvaneView& view, int nEntries)
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(EventFrame(i));
    for (int i = 0; i < nEntries; ++i)
    {
        const auto& abFrame = frames[static_cast<std::size_t>(i % 40)];
        view.WriteEvent(LOG_RECEIVE);
        view.WriteFrame(abFrame.data(), static_cast<int>(abFrame.size()), 1);
        if ((i + 1) % 500 == 0)
            QCoreApplication::processEvents();
    }
    view.Log().Flush();
    QCoreApplication::processEvents();
}

void Pump(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
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

void PrintMachine(const char* pszBench)
{
    std::ifstream loadavg("/proc/loadavg");
    double dLoad = 0;
    loadavg >> dLoad;
    std::printf("%s: %u cores, %s, load average %.2f at the start\n", pszBench,
                std::thread::hardware_concurrency(), CpuModel().c_str(), dLoad);
}

} // namespace relvane::bench
