#include "RelayConsole.h"

#include <cstdio>
#include <winsock2.h>

namespace relvane
{
namespace
{

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

} // namespace

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

void SendEachLineAtOnce()
{
    // Windows has no line buffering.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

} // namespace relvane
