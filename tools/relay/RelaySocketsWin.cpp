#include "RelaySockets.h"

#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace relvane
{
namespace
{

sockaddr_in Loopback(int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

int SocketError()
{
    return WSAGetLastError();
}

std::string SocketErrorText(int nError)
{
    return "Windows Sockets error " + std::to_string(nError);
}

bool SocketWouldBlock(int nError)
{
    return nError == WSAEWOULDBLOCK;
}

bool SocketConnecting(int nError)
{
    // A non-blocking connect on its way.
    return nError == WSAEWOULDBLOCK;
}

bool SocketInterrupted(int nError)
{
    return nError == WSAEINTR;
}

int OpenSocket(SocketKind eKind)
{
    const SOCKET hSocket = socket(AF_INET, eKind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (hSocket == INVALID_SOCKET)
        return -1;
    u_long nNonBlocking = 1;
    ioctlsocket(hSocket, FIONBIO, &nNonBlocking);
    return static_cast<int>(hSocket);
}

void CloseSocket(int nSocket)
{
    closesocket(static_cast<SOCKET>(nSocket));
}

bool BindLoopback(int nSocket, int nPort)
{
    const sockaddr_in address = Loopback(nPort);
    return bind(static_cast<SOCKET>(nSocket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int ConnectLoopback(int nSocket, int nPort)
{
    const sockaddr_in address = Loopback(nPort);
    return connect(static_cast<SOCKET>(nSocket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int PollSockets(CSocketPoll* pEntries, std::size_t nCount, int nTimeoutMs)
{
    std::vector<WSAPOLLFD> fds(nCount);
    for (std::size_t i = 0; i < nCount; ++i)
    {
        fds[i].fd = static_cast<SOCKET>(pEntries[i].nSocket);
        fds[i].events = static_cast<short>(((pEntries[i].nWanted & kPollReadable) != 0 ? POLLIN : 0) |
                                           ((pEntries[i].nWanted & kPollWritable) != 0 ? POLLOUT : 0));
    }
    const int nReady = WSAPoll(fds.data(), static_cast<ULONG>(nCount), nTimeoutMs);
    for (std::size_t i = 0; i < nCount; ++i)
    {
        const short nEvents = nReady > 0 ? fds[i].revents : 0;
        pEntries[i].nReady = static_cast<short>(((nEvents & POLLIN) != 0 ? kPollReadable : 0) |
                                                ((nEvents & POLLOUT) != 0 ? kPollWritable : 0) |
                                                ((nEvents & (POLLERR | POLLHUP | POLLNVAL)) != 0 ? kPollFailed : 0));
    }
    return nReady;
}

SocketResult SendSome(int nSocket, const std::uint8_t* pBytes, std::size_t nCount)
{
    return send(static_cast<SOCKET>(nSocket), reinterpret_cast<const char*>(pBytes), static_cast<int>(nCount), 0);
}

SocketResult ReceiveSome(int nSocket, std::uint8_t* pBytes, std::size_t nCount)
{
    return recv(static_cast<SOCKET>(nSocket), reinterpret_cast<char*>(pBytes), static_cast<int>(nCount), 0);
}

int PendingSocketError(int nSocket)
{
    int nError = 0;
    int nSize = sizeof nError;
    getsockopt(static_cast<SOCKET>(nSocket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nSize);
    return nError;
}

} // namespace relvane
