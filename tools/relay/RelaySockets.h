#pragma once

// The socket calls of the Ethernet-103 relay on POSIX sockets or Windows Sockets. Sockets are
// ints (-1 for none) on both.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace relvane
{

#ifdef _WIN32
using SocketResult = long long;
constexpr int kSocketWouldBlock = WSAEWOULDBLOCK;
constexpr int kSocketInProgress = WSAEWOULDBLOCK; // a non-blocking connect on its way
constexpr int kSocketInterrupted = WSAEINTR;
constexpr int kSendFlags = 0;

inline int SocketError()
{
    return WSAGetLastError();
}
inline std::string SocketErrorText(int nError)
{
    return "Windows Sockets error " + std::to_string(nError);
}
inline int OpenSocket(int nType)
{
    const SOCKET hSocket = socket(AF_INET, nType, 0);
    if (hSocket == INVALID_SOCKET)
        return -1;
    u_long nNonBlocking = 1;
    ioctlsocket(hSocket, FIONBIO, &nNonBlocking);
    return static_cast<int>(hSocket);
}
inline void CloseSocket(int nSocket)
{
    closesocket(static_cast<SOCKET>(nSocket));
}
inline pollfd PollEntry(int nSocket, short nEvents)
{
    pollfd entry{};
    entry.fd = static_cast<SOCKET>(nSocket);
    entry.events = nEvents;
    return entry;
}
inline int PollSockets(pollfd* pEntries, std::size_t nCount, int nTimeoutMs)
{
    return WSAPoll(pEntries, static_cast<ULONG>(nCount), nTimeoutMs);
}
inline SocketResult SendSome(int nSocket, const std::uint8_t* pBytes, std::size_t nCount)
{
    return send(static_cast<SOCKET>(nSocket), reinterpret_cast<const char*>(pBytes), static_cast<int>(nCount), 0);
}
inline SocketResult ReceiveSome(int nSocket, std::uint8_t* pBytes, std::size_t nCount)
{
    return recv(static_cast<SOCKET>(nSocket), reinterpret_cast<char*>(pBytes), static_cast<int>(nCount), 0);
}
inline int PendingSocketError(int nSocket)
{
    int nError = 0;
    int nSize = sizeof nError;
    getsockopt(static_cast<SOCKET>(nSocket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nSize);
    return nError;
}
#else
using SocketResult = ssize_t;
constexpr int kSocketWouldBlock = EAGAIN;
constexpr int kSocketInProgress = EINPROGRESS;
constexpr int kSocketInterrupted = EINTR;

inline int SocketError()
{
    return errno;
}
inline std::string SocketErrorText(int nError)
{
    return std::strerror(nError);
}
inline int OpenSocket(int nType)
{
    return socket(AF_INET, nType | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}
inline void CloseSocket(int nSocket)
{
    close(nSocket);
}
inline pollfd PollEntry(int nSocket, short nEvents)
{
    return pollfd{nSocket, nEvents, 0};
}
inline int PollSockets(pollfd* pEntries, std::size_t nCount, int nTimeoutMs)
{
    return poll(pEntries, static_cast<nfds_t>(nCount), nTimeoutMs);
}
inline SocketResult SendSome(int nSocket, const std::uint8_t* pBytes, std::size_t nCount)
{
    return send(nSocket, pBytes, nCount, MSG_NOSIGNAL);
}
inline SocketResult ReceiveSome(int nSocket, std::uint8_t* pBytes, std::size_t nCount)
{
    return recv(nSocket, pBytes, nCount, 0);
}
inline int PendingSocketError(int nSocket)
{
    int nError = 0;
    socklen_t nSize = sizeof nError;
    getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nError, &nSize);
    return nError;
}
#endif

} // namespace relvane
