#include "RelaySockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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
    return errno;
}

std::string SocketErrorText(int nError)
{
    return std::strerror(nError);
}

bool SocketWouldBlock(int nError)
{
    return nError == EAGAIN || nError == EWOULDBLOCK;
}

bool SocketConnecting(int nError)
{
    return nError == EINPROGRESS;
}

bool SocketInterrupted(int nError)
{
    return nError == EINTR;
}

int OpenSocket(SocketKind eKind)
{
    return socket(AF_INET, (eKind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

void CloseSocket(int nSocket)
{
    close(nSocket);
}

bool BindLoopback(int nSocket, int nPort)
{
    const sockaddr_in address = Loopback(nPort);
    return bind(nSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int ConnectLoopback(int nSocket, int nPort)
{
    const sockaddr_in address = Loopback(nPort);
    return connect(nSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int PollSockets(CSocketPoll* pEntries, std::size_t nCount, int nTimeoutMs)
{
    std::vector<pollfd> fds(nCount);
    for (std::size_t i = 0; i < nCount; ++i)
    {
        fds[i].fd = pEntries[i].nSocket;
        fds[i].events = static_cast<short>(((pEntries[i].nWanted & kPollReadable) != 0 ? POLLIN : 0) |
                                           ((pEntries[i].nWanted & kPollWritable) != 0 ? POLLOUT : 0));
    }
    const int nReady = poll(fds.data(), static_cast<nfds_t>(nCount), nTimeoutMs);
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
    return send(nSocket, pBytes, nCount, MSG_NOSIGNAL);
}

SocketResult ReceiveSome(int nSocket, std::uint8_t* pBytes, std::size_t nCount)
{
    return recv(nSocket, pBytes, nCount, 0);
}

int PendingSocketError(int nSocket)
{
    int nError = 0;
    socklen_t nSize = sizeof nError;
    getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nError, &nSize);
    return nError;
}

} // namespace relvane
