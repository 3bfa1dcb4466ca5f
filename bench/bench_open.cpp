// Saving and opening a big log in the real window: an annotated '94 log saved as RTF, then opened
// in a fresh window, shown first as `relvane FILE` shows it, until the log is painted and scrolled
// to the end. When LibreOffice
// is installed, its conversion of the same file is timed as well.
//
//   bench_open [entries] [--limit-seconds S] [--no-office] [--file PATH [--reuse]] [--starts N]
//
// --file keeps the log at PATH; with --reuse an existing file there is opened without writing
// a new one (the entry count is then only used for the per-entry figures).
//
// The default of 100,000 entries keeps `make bench` short; `bench_open 1000000` is the full run.
// A step that takes longer than --limit-seconds (default 600) ends the run with a note.
//
// Then the file is opened as `relvane FILE` opens it, in a new process (this program again, built
// as relvane's main builds the window, on the real channels), --starts times (default 3): timed
// from starting the process to the first event the window answers after the log is in, and to
// the first paint of the log, with the window thread's CPU time up to then. On X11 the real
// `relvane FILE` is started as well and timed until its window answers a _NET_WM_PING, the
// question a window manager asks to see whether a window still responds.

#include "BenchSupport.h"
#include "app/LogEdit.h"
#include "app/LogFonts.h"
#include "app/LogHeap.h"
#include "app/QtTranslations.h"
#include "iec103/UdpFrame.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>
#if defined(RELVANE_BENCH_XCB)
#include <poll.h>
#include <sys/wait.h>
#include <xcb/xcb.h>
#endif

using namespace relvane;
using namespace relvane::bench;

namespace
{

// Ends the process with a note when a step has not finished in time (a stalled step cannot be
// interrupted from its own thread).
class CWatchdog
{
public:
    explicit CWatchdog(double dLimit)
        : m_thread(
              [this, dLimit]
              {
                  const auto start = Clock::now();
                  while (!m_bDone)
                  {
                      std::this_thread::sleep_for(std::chrono::milliseconds(100));
                      if (Seconds(start, Clock::now()) > dLimit)
                      {
                          std::printf("  stalled: %s not finished after %.0f s\n", m_pszStep.load(), dLimit);
                          std::fflush(stdout);
                          std::_Exit(0);
                      }
                  }
              })
    {
    }
    ~CWatchdog()
    {
        m_bDone = true;
        m_thread.join();
    }
    void Step(const char* pszStep) { m_pszStep = pszStep; }

private:
    std::atomic<bool> m_bDone{false};
    std::atomic<const char*> m_pszStep{"setup"};
    std::thread m_thread;
};

class CPaintCounter : public QObject
{
public:
    explicit CPaintCounter(QWidget* pWidget) { pWidget->installEventFilter(this); }
    int Paints() const { return m_nPaints; }
    void SetOnFirst(std::function<void()> fnFirst) { m_fnFirst = std::move(fnFirst); }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint && ++m_nPaints == 1 && m_fnFirst)
            m_fnFirst();
        return QObject::eventFilter(pWatched, pEvent);
    }

private:
    int m_nPaints = 0;
    std::function<void()> m_fnFirst;
};

void TimeLibreOffice(const QString& strFile, double dOpen)
{
    QString strOffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (strOffice.isEmpty())
        strOffice = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (strOffice.isEmpty())
    {
        std::printf("  LibreOffice: not installed, conversion not timed\n");
        return;
    }
    QTemporaryDir out;
    QProcess process;
    const auto start = Clock::now();
    process.start(strOffice, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                              QStringLiteral("odt"), QStringLiteral("--outdir"), out.path(), strFile});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
    {
        std::printf("  LibreOffice: conversion failed\n");
        return;
    }
    const double dOffice = Seconds(start, Clock::now());
    std::printf("  LibreOffice headless conversion of the same file: %.2f s; open is %.1fx faster "
                "(goal: at least 10x)\n",
                dOffice, dOffice / dOpen);
}


// The process that opens the file as relvane does: what its main does up to the event loop, then
// a posted event that the window answers once the loop runs. Prints the times since the parent
// started the process (nanoseconds of the steady clock, which all processes share).
int RunStartup(int argc, char** argv, const char* pszFile, long long nSpawned)
{
    const auto since = [nSpawned]
    { return Seconds(Clock::time_point(Clock::duration(nSpawned)), Clock::now()); };
    KeepLargeBlocksMapped();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    InstallQtChineseTranslations();
    InstallLogFontFallbacks();
    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CNetworkChannel>(BuildUdpFrame), ui);
    CMainFrame frame(view);
    frame.show();
    const double dShown = since();
    const bool bOpened = frame.OpenLogFile(QString::fromLocal8Bit(pszFile));
    const double dOpened = since();
    double dAnswered = 0;
    double dAnsweredCpu = 0;
    double dPainted = 0;
    CPaintCounter paints(frame.LogEdit()->viewport());
    QTimer::singleShot(0, &frame,
                       [&]
                       {
                           dAnswered = since();
                           dAnsweredCpu = ThreadCpuSeconds();
                       });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]
                     {
                         if (dAnswered > 0 && paints.Paints() > 0)
                             QApplication::quit();
                     });
    poll.start(1);
    paints.SetOnFirst([&] { dPainted = since(); });
    QApplication::exec();
    std::printf("%d %.3f %.3f %.3f %.3f %.3f %.3f\n", bOpened ? 1 : 0, dShown, dOpened, dAnswered, dPainted,
                dAnsweredCpu, ThreadCpuSeconds());
    return 0;
}


#if defined(RELVANE_BENCH_XCB)
// CPU time of a process's main thread (the window thread), read from /proc.
double MainThreadCpuSeconds(pid_t nPid)
{
    QFile stat(QStringLiteral("/proc/%1/task/%1/stat").arg(nPid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray abStat = stat.readAll();
    // The fields after the command name, which ends with the last ')': utime and stime are the
    // 12th and 13th of them.
    const QList<QByteArray> fields = abStat.mid(abStat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong()) / sysconf(_SC_CLK_TCK);
}

xcb_atom_t Atom(xcb_connection_t* pConnection, const char* pszName)
{
    xcb_intern_atom_reply_t* pReply = xcb_intern_atom_reply(
        pConnection, xcb_intern_atom(pConnection, 0, static_cast<std::uint16_t>(std::strlen(pszName)), pszName),
        nullptr);
    const xcb_atom_t atom = pReply != nullptr ? pReply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(pReply);
    return atom;
}

// The process id a top-level window names as its own (_NET_WM_PID), or 0.
pid_t WindowPid(xcb_connection_t* pConnection, xcb_window_t window, xcb_atom_t pidAtom)
{
    xcb_get_property_reply_t* pReply = xcb_get_property_reply(
        pConnection, xcb_get_property(pConnection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    pid_t nPid = 0;
    if (pReply != nullptr && xcb_get_property_value_length(pReply) == 4)
        nPid = static_cast<pid_t>(*static_cast<const std::uint32_t*>(xcb_get_property_value(pReply)));
    std::free(pReply);
    return nPid;
}

// Starts the real relvane on the file and times it from the start of the process to the answer
// of its window to a ping sent once the window is mapped (a window busy reading answers only
// when its event loop runs).
void TimeRealProgram(const QString& strPath, double dLimit)
{
    xcb_connection_t* pConnection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(pConnection) != 0)
    {
        std::printf("  relvane FILE on X11: no display connection, not timed\n");
        xcb_disconnect(pConnection);
        return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(pConnection)).data->root;
    const xcb_atom_t protocols = Atom(pConnection, "WM_PROTOCOLS");
    const xcb_atom_t ping = Atom(pConnection, "_NET_WM_PING");
    const xcb_atom_t pidAtom = Atom(pConnection, "_NET_WM_PID");
    // Maps of top-level windows, and the answers to pings, which Qt sends to the root window for
    // whoever watches its structure.
    const std::uint32_t nMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(pConnection, root, XCB_CW_EVENT_MASK, &nMask);
    xcb_flush(pConnection);

    const QByteArray abPath = QFile::encodeName(strPath);
    const auto start = Clock::now();
    const pid_t nPid = fork();
    if (nPid == 0)
    {
        execl(RELVANE_PROGRAM, RELVANE_PROGRAM, abPath.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    double dMapped = 0;
    double dAnswered = 0;
    double dCpu = 0;
    xcb_window_t window = XCB_WINDOW_NONE;
    const std::uint32_t nStamp = 4711;
    while (dAnswered == 0 && Seconds(start, Clock::now()) < dLimit)
    {
        pollfd fd{xcb_get_file_descriptor(pConnection), POLLIN, 0};
        poll(&fd, 1, 100);
        while (xcb_generic_event_t* pEvent = xcb_poll_for_event(pConnection))
        {
            const int nType = pEvent->response_type & 0x7F;
            if (nType == XCB_MAP_NOTIFY && window == XCB_WINDOW_NONE)
            {
                const auto* pMap = reinterpret_cast<xcb_map_notify_event_t*>(pEvent);
                if (WindowPid(pConnection, pMap->window, pidAtom) == nPid)
                {
                    window = pMap->window;
                    dMapped = Seconds(start, Clock::now());
                    xcb_client_message_event_t message{};
                    message.response_type = XCB_CLIENT_MESSAGE;
                    message.format = 32;
                    message.window = window;
                    message.type = protocols;
                    message.data.data32[0] = ping;
                    message.data.data32[1] = nStamp;
                    message.data.data32[2] = window;
                    xcb_send_event(pConnection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                   reinterpret_cast<const char*>(&message));
                    xcb_flush(pConnection);
                }
            }
            else if (nType == XCB_CLIENT_MESSAGE && window != XCB_WINDOW_NONE)
            {
                const auto* pMessage = reinterpret_cast<xcb_client_message_event_t*>(pEvent);
                if (pMessage->type == protocols && pMessage->data.data32[0] == ping &&
                    pMessage->data.data32[1] == nStamp)
                {
                    dAnswered = Seconds(start, Clock::now());
                    dCpu = MainThreadCpuSeconds(nPid);
                }
            }
            std::free(pEvent);
        }
        if (xcb_connection_has_error(pConnection) != 0)
            break;
    }
    kill(nPid, SIGKILL);
    waitpid(nPid, nullptr, 0);
    xcb_disconnect(pConnection);
    if (dAnswered == 0)
        std::printf("  relvane FILE on X11: no answer to the ping within %.0f s\n", dLimit);
    else
        std::printf("  relvane FILE on X11 (the program itself): window mapped %.2f s, ping answered %.2f s after "
                    "the process started (window thread CPU %.2f s) (target: 100k at most 1.5 s, 1M at most "
                    "20 s); load %.2f\n",
                    dMapped, dAnswered, dCpu, LoadAverage());
    std::fflush(stdout);
}
#endif

void TimeStartups(const QString& strPath, int nStarts, const char* pszSelf)
{
    for (int n = 0; n < nStarts; ++n)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto spawned = Clock::now();
        process.start(QString::fromLocal8Bit(pszSelf),
                      {QStringLiteral("--startup"), strPath, QStringLiteral("--spawned"),
                       QString::number(spawned.time_since_epoch().count())});
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
        {
            std::printf("  relvane FILE from process start: the process failed\n");
            return;
        }
        const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
        if (fields.size() != 7 || fields[0] != "1")
        {
            std::printf("  relvane FILE from process start: the file did not open\n");
            return;
        }
        std::printf("  relvane FILE from process start (run %d): window shown %.2f s, log read %.2f s, first "
                    "event answered %.2f s (window thread CPU %.2f s), log painted %.2f s (target: 100k at most "
                    "1.5 s, 1M at most 20 s); load %.2f\n",
                    n + 1, fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble(),
                    fields[5].toDouble(), fields[4].toDouble(), LoadAverage());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (const char* pszFile = OptionText(argc, argv, "--startup"); pszFile != nullptr)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return RunStartup(argc, argv, pszFile, std::atoll(OptionText(argc, argv, "--spawned")));
    }
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = PositionalNumber(argc, argv, 100000);
    const double dLimit = OptionNumber(argc, argv, "--limit-seconds", 600);
    PrintMachine("bench_open");
    QTemporaryDir dir;
    QString strPath = dir.filePath(QStringLiteral("log.rtf"));
    if (const char* pszFile = OptionText(argc, argv, "--file"); pszFile != nullptr)
        strPath = QString::fromLocal8Bit(pszFile);
    const bool bReuse = HasFlag(argc, argv, "--reuse") && QFileInfo::exists(strPath);
    CWatchdog watchdog(dLimit);

    if (!bReuse)
    {
        watchdog.Step("writing the log");
        CWorkbench writer;
        FillLog(writer.View(), nEntries);
        watchdog.Step("save");
        const auto start = Clock::now();
        const bool bSaved = writer.Frame().SaveLogFile(strPath);
        const double dSave = Seconds(start, Clock::now());
        std::printf(
            "  save: %d annotated entries, %.1f MB of RTF in %.2f s%s (target for 100k: at most 1 s)\n",
            nEntries, QFileInfo(strPath).size() / 1048576.0, dSave, bSaved ? "" : " FAILED");
    }
    Pump(50);

    const long nBefore = TrimmedResidentBytes();
    watchdog.Step("open");
    // As `relvane FILE` does it: the window is shown, then the file is read into it.
    CWorkbench reader;
    CPaintCounter paints(reader.Frame().LogEdit()->viewport());
    const double dCpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    const bool bOpened = reader.Frame().OpenLogFile(strPath);
    const double dLoaded = Seconds(start, Clock::now());
    while (paints.Paints() == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const double dShown = Seconds(start, Clock::now());
    QScrollBar* pBar = reader.Frame().LogEdit()->verticalScrollBar();
    pBar->setValue(pBar->maximum());
    reader.Frame().LogEdit()->viewport()->repaint();
    const double dScrolled = Seconds(start, Clock::now());
    const double dCpu = ThreadCpuSeconds() - dCpuBefore;
    std::printf(
        "  open: %.2f s to read into the log, %.2f s to the painted window, %.2f s scrolled to the end%s"
        " (window thread CPU %.2f s) (target: 100k at most 1.5 s, 1M at most 20 s); load %.2f\n",
        dLoaded, dShown, dScrolled, bOpened ? "" : " FAILED", dCpu, LoadAverage());
    const long nResident = ResidentBytes();
    std::printf("  opened log: %d paragraphs, scroll range %d, %.0f bytes/entry resident (%.0f after trimming "
                "the heap)\n",
                reader.View().LogDocument()->blockCount(), pBar->maximum(),
                static_cast<double>(nResident - nBefore) / nEntries,
                static_cast<double>(TrimmedResidentBytes() - nBefore) / nEntries);
    watchdog.Step("starting relvane");
    const int nStarts = OptionInteger(argc, argv, "--starts", 3);
    TimeStartups(strPath, nStarts, argv[0]);
#if defined(RELVANE_BENCH_XCB)
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
    {
        for (int n = 0; n < nStarts; ++n)
            TimeRealProgram(strPath, dLimit);
    }
#endif
    watchdog.Step("LibreOffice");
    if (HasFlag(argc, argv, "--no-office"))
        std::printf("  LibreOffice: not timed (--no-office)\n");
    else
        TimeLibreOffice(strPath, dScrolled);
    return 0;
}
