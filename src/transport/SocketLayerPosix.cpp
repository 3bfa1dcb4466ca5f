// The socket calls on POSIX: eventfd wake-ups, poll, and sends that never raise SIGPIPE.
#include "transport/SocketLayer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace relvane
{
namespace
{

int AsDescriptor(SocketValue nSocket)
{
    return static_cast<int>(nSocket);
}

sockaddr_in BuildAddress(std::uint32_t nAddress, int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(nAddress);
    return address;
}

int PollRetrying(pollfd* pFds, nfds_t nCount, int nTimeoutMs)
{
    int nReady;
    do
        nReady = poll(pFds, nCount, nTimeoutMs);
    while (nReady < 0 && errno == EINTR);
    return nReady;
}

} // namespace

CSocketsInUse::CSocketsInUse() = default;
CSocketsInUse::~CSocketsInUse() = default;

int StartSocketsForOwner()
{
    return 1;
}

CSocketWake::CSocketWake() : m_nValue(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CSocketWake::~CSocketWake()
{
    if (m_nValue >= 0)
        close(AsDescriptor(m_nValue));
}

void CSocketWake::Signal() const
{
    if (m_nValue < 0)
        return;
    const std::uint64_t nOne = 1;
    while (write(AsDescriptor(m_nValue), &nOne, sizeof nOne) < 0 && errno == EINTR)
    {
    }
}

void CSocketWake::Drain() const
{
    if (m_nValue < 0)
        return;
    std::uint64_t nCount = 0;
    while (read(AsDescriptor(m_nValue), &nCount, sizeof nCount) < 0 && errno == EINTR)
    {
    }
}

bool CSocketWake::IsSignalled() const
{
    if (m_nValue < 0)
        return false;
    pollfd wake{AsDescriptor(m_nValue), POLLIN, 0};
    return poll(&wake, 1, 0) > 0 && (wake.revents & POLLIN) != 0;
}

SocketValue OpenStreamSocket()
{
    return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

SocketValue OpenDatagramSocket()
{
    return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

void CloseSocket(SocketValue nSocket)
{
    if (nSocket >= 0)
        close(AsDescriptor(nSocket));
}

void ShutdownSending(SocketValue nSocket)
{
    shutdown(AsDescriptor(nSocket), SHUT_WR);
}

ListenResult BindAndListen(SocketValue nSocket, int nPort)
{
    // A restart right after a disconnect must not trip over the old connection's TIME_WAIT;
    // a port another socket listens on still refuses the bind.
    const int nOn = 1;
    setsockopt(AsDescriptor(nSocket), SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    const sockaddr_in local = BuildAddress(INADDR_ANY, nPort);
    if (bind(AsDescriptor(nSocket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return ListenResult::BindFailed;
    if (listen(AsDescriptor(nSocket), 1) != 0)
        return ListenResult::ListenFailed;
    return ListenResult::Listening;
}

SocketValue AcceptConnection(SocketValue nListen, bool& bRetry)
{
    // Sends on the connection pass MSG_DONTWAIT, so it can stay a blocking socket.
    const int nConnection = accept4(AsDescriptor(nListen), nullptr, nullptr, SOCK_CLOEXEC);
    bRetry = nConnection < 0 &&
             (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN || errno == EWOULDBLOCK);
    return nConnection < 0 ? kNoSocket : nConnection;
}

int WaitReadable(SocketValue nSocket, const CSocketWake& wake, int nTimeoutMs)
{
    // poll passes over negative descriptors, so a missing socket or wake-up just waits.
    pollfd fds[2] = {{AsDescriptor(nSocket), POLLIN, 0}, {AsDescriptor(wake.Value()), POLLIN, 0}};
    const int nReady = PollRetrying(fds, 2, nTimeoutMs);
    if (nReady > 0 && (fds[1].revents & POLLIN) != 0)
        return kStopRequested;
    return nReady;
}

bool WaitWritable(SocketValue nSocket, int nTimeoutMs)
{
    pollfd out{AsDescriptor(nSocket), POLLOUT, 0};
    return PollRetrying(&out, 1, nTimeoutMs) > 0 && (out.revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
}

long SendStream(SocketValue nSocket, const std::uint8_t* pBytes, int nCount)
{
    const ssize_t nSent =
        send(AsDescriptor(nSocket), pBytes, static_cast<std::size_t>(nCount), MSG_NOSIGNAL | MSG_DONTWAIT);
    return nSent < 0 ? -1 : static_cast<long>(nSent);
}

long SendDatagram(SocketValue nSocket, const std::uint8_t* pBytes, std::size_t nCount,
                  std::uint32_t nAddress, int nPort)
{
    const sockaddr_in destination = BuildAddress(nAddress, nPort);
    const ssize_t nSent = sendto(AsDescriptor(nSocket), pBytes, nCount, MSG_NOSIGNAL,
                                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    return nSent < 0 ? -1 : static_cast<long>(nSent);
}

long ReceiveStream(SocketValue nSocket, std::uint8_t* pBuffer, std::size_t nSize)
{
    const ssize_t nReceived = recv(AsDescriptor(nSocket), pBuffer, nSize, MSG_DONTWAIT);
    if (nReceived < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return kReceiveAgain;
    return nReceived < 0 ? -1 : static_cast<long>(nReceived);
}

void NameSocketThread(const char* pszName)
{
    pthread_setname_np(pthread_self(), pszName);
}

} // namespace relvane
