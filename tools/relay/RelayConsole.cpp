#include "RelayConsole.h"
#include "ConsoleText.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace relvane
{

std::atomic<bool> g_bStopRequested{false};

namespace
{

#ifdef _WIN32
// Ctrl-C, Ctrl-Break and the console closing stop the relay; the handler runs on a thread of its
// own and wakes the loop through a loopback datagram to a socket of the relay's own.
SOCKET g_hStopSocket = INVALID_SOCKET;

BOOL WINAPI OnConsoleControl(DWORD)
{
    g_bStopRequested = true;
    const char c = 1;
    send(g_hStopSocket, &c, 1, 0);
    return TRUE;
}
#else
int g_anStopPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    g_bStopRequested = true;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(g_anStopPipe[1], &c, 1);
}
#endif

std::string TimeText(std::int64_t nMs)
{
    const std::time_t nSeconds = static_cast<std::time_t>(nMs / 1000);
    std::tm local{};
    localtime_r(&nSeconds, &local);
    char szText[32];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(nMs % 1000));
    return szText;
}

} // namespace

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

#ifdef _WIN32
int StopFd()
{
    return g_hStopSocket == INVALID_SOCKET ? -1 : static_cast<int>(g_hStopSocket);
}

void InstallStopHandlers()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) == 0)
    {
        g_hStopSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int nLength = sizeof address;
        u_long nNonBlocking = 1;
        if (g_hStopSocket != INVALID_SOCKET &&
            (bind(g_hStopSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
             getsockname(g_hStopSocket, reinterpret_cast<sockaddr*>(&address), &nLength) != 0 ||
             connect(g_hStopSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
             ioctlsocket(g_hStopSocket, FIONBIO, &nNonBlocking) != 0))
        {
            closesocket(g_hStopSocket);
            g_hStopSocket = INVALID_SOCKET;
        }
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}
#else
int StopFd()
{
    return g_anStopPipe[0];
}

void InstallStopHandlers()
{
    if (pipe2(g_anStopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_anStopPipe[0] = g_anStopPipe[1] = -1;
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(nSignal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}
#endif

void CRelayConsole::Frame(const char* pszDirection, const char* pszProtocol, const CRelayBytes& abBytes,
                          const std::string& strNote) const
{
    if (m_bQuiet)
        return;
    std::string strLine = TimeText(NowMs()) + " " + pszDirection + " " + pszProtocol;
    strLine.resize(strLine.size() < 20 ? 20 : strLine.size(), ' ');
    for (const std::uint8_t b : abBytes)
    {
        char szByte[4];
        std::snprintf(szByte, sizeof szByte, "%02X ", b);
        strLine += szByte;
    }
    if (!abBytes.empty())
        strLine.pop_back();
    if (!strNote.empty())
        strLine += "  (" + strNote + ")";
    PutText(stdout, strLine + "\n");
}

void CRelayConsole::Note(const std::string& strText) const
{
    if (!m_bQuiet)
        PutText(stdout, TimeText(NowMs()) + " " + strText + "\n");
}

} // namespace relvane
