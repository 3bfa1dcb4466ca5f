#pragma once

// The few socket calls the network tests make, on POSIX sockets or Windows Sockets. Sockets are
// plain ints here (-1 for none), as the tests have always held them.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#ifndef SOCK_CLOEXEC
#define SOCK_CLOEXEC 0
#endif
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace relvane::test
{

#ifdef _WIN32
// Windows Sockets for the whole test program, before any test makes a socket.
struct CSocketsLayer
{
    CSocketsLayer()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~CSocketsLayer() { WSACleanup(); }
};
inline const CSocketsLayer g_socketsLayer;

inline int CloseSocket(int nFd)
{
    return closesocket(static_cast<SOCKET>(nFd));
}
inline pollfd ReadableWait(int nFd)
{
    pollfd wait{};
    wait.fd = static_cast<SOCKET>(nFd);
    wait.events = POLLIN;
    return wait;
}
inline int PollSockets(pollfd* pFds, unsigned long nCount, int nTimeoutMs)
{
    return WSAPoll(pFds, nCount, nTimeoutMs);
}
inline long long SendBytes(int nFd, const void* pBytes, std::size_t nCount, int nFlags)
{
    return send(static_cast<SOCKET>(nFd), static_cast<const char*>(pBytes), static_cast<int>(nCount), nFlags);
}
inline long long ReceiveBytes(int nFd, void* pBytes, std::size_t nCount, int nFlags)
{
    return recv(static_cast<SOCKET>(nFd), static_cast<char*>(pBytes), static_cast<int>(nCount), nFlags);
}
inline int SetSocketOption(int nFd, int nLevel, int nName, const int& nValue)
{
    return setsockopt(static_cast<SOCKET>(nFd), nLevel, nName, reinterpret_cast<const char*>(&nValue), sizeof nValue);
}
#else
inline int CloseSocket(int nFd)
{
    return close(nFd);
}
inline pollfd ReadableWait(int nFd)
{
    return pollfd{nFd, POLLIN, 0};
}
inline int PollSockets(pollfd* pFds, nfds_t nCount, int nTimeoutMs)
{
    return poll(pFds, nCount, nTimeoutMs);
}
inline ssize_t SendBytes(int nFd, const void* pBytes, std::size_t nCount, int nFlags)
{
    return send(nFd, pBytes, nCount, nFlags);
}
inline ssize_t ReceiveBytes(int nFd, void* pBytes, std::size_t nCount, int nFlags)
{
    return recv(nFd, pBytes, nCount, nFlags);
}
inline int SetSocketOption(int nFd, int nLevel, int nName, const int& nValue)
{
    return setsockopt(nFd, nLevel, nName, &nValue, sizeof nValue);
}
#endif

} // namespace relvane::test
